// The document-host handler the control host answers for the browser
// control: what it may show and do, passed on to a handler the user of the
// host may set.
#include <windows.h>

#include <oleauto.h>

#include "base/com_ptr.h"
#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/host_internal.h"
#include "webview/navo_module.h"

// ---- IDocHostUIHandler ----

STDMETHODIMP ControlHost::ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                          IDispatch* reserved) {
  // S_FALSE lets the browser show its own menu.
  HRESULT result = (ambientFlags_ & kAmbientContextMenu) ? S_FALSE : S_OK;
  if (uiHandler_ != nullptr) {
    const POINT at = point != nullptr ? *point : POINT{};
    uiHandler_->ShowContextMenu(id, at.x, at.y, target, reserved, &result);
  }
  return result;
}

STDMETHODIMP ControlHost::GetHostInfo(DOCHOSTUIINFO* info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  if (uiHandler_ != nullptr) {
    return uiHandler_->GetHostInfo(&info->dwFlags, &info->dwDoubleClick);
  }
  info->dwFlags = hostInfoFlags_;
  info->dwDoubleClick = hostInfoDoubleClick_;
  return S_OK;
}

STDMETHODIMP ControlHost::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                                 IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                                 IOleInPlaceUIWindow* document) {
  // S_FALSE lets the browser show its own menus and toolbars.
  HRESULT result = (ambientFlags_ & kAmbientBrowserUI) ? S_FALSE : S_OK;
  if (uiHandler_ != nullptr) {
    uiHandler_->ShowUI(id, activeObject, commandTarget, frame, document, &result);
  }
  return result;
}

STDMETHODIMP ControlHost::HideUI() { return uiHandler_ != nullptr ? uiHandler_->HideUI() : S_OK; }

STDMETHODIMP ControlHost::UpdateUI() {
  return uiHandler_ != nullptr ? uiHandler_->UpdateUI() : S_OK;
}

STDMETHODIMP ControlHost::EnableModeless(BOOL enable) {
  return uiHandler_ != nullptr ? uiHandler_->EnableModeless(ToVariantBool(enable != FALSE))
                               : S_OK;
}

STDMETHODIMP ControlHost::OnDocWindowActivate(BOOL activate) {
  return uiHandler_ != nullptr
             ? uiHandler_->OnDocWindowActivate(ToVariantBool(activate != FALSE))
             : S_OK;
}

STDMETHODIMP ControlHost::OnFrameWindowActivate(BOOL activate) {
  return uiHandler_ != nullptr
             ? uiHandler_->OnFrameWindowActivate(ToVariantBool(activate != FALSE))
             : S_OK;
}

STDMETHODIMP ControlHost::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                       BOOL frameWindow) {
  if (uiHandler_ == nullptr) {
    return S_OK;
  }
  const RECT box = border != nullptr ? *border : RECT{};
  return uiHandler_->ResizeBorder(box.left, box.top, box.right, box.bottom, window,
                                  ToVariantBool(frameWindow != FALSE));
}

STDMETHODIMP ControlHost::TranslateAccelerator(LPMSG message, const GUID* commandGroup,
                                               DWORD commandId) {
  HRESULT result = S_FALSE;
  if (uiHandler_ != nullptr && message != nullptr) {
    wchar_t group[40] = {};
    if (commandGroup != nullptr) {
      StringFromGUID2(*commandGroup, group, 40);
    }
    BSTR groupText = SysAllocString(group);
    uiHandler_->TranslateAccelerator(reinterpret_cast<DWORD_PTR>(message->hwnd), message->message,
                                     message->wParam, message->lParam, groupText, commandId,
                                     &result);
    SysFreeString(groupText);
  }
  return result;
}

STDMETHODIMP ControlHost::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
  if (key == nullptr) {
    return E_POINTER;
  }
  *key = nullptr;
  BSTR handlerKey = nullptr;
  const wchar_t* source = optionsKey_;
  if (uiHandler_ != nullptr) {
    if (FAILED(uiHandler_->GetOptionKeyPath(&handlerKey, reserved))) {
      SysFreeString(handlerKey);
      return S_FALSE;
    }
    source = handlerKey;
  }
  HRESULT hr = S_FALSE;
  if (source != nullptr) {
    const size_t bytes = (lstrlenW(source) + 1) * sizeof(wchar_t);
    *key = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (*key != nullptr) {
      CopyMemory(*key, source, bytes);
      hr = S_OK;
    } else {
      hr = E_OUTOFMEMORY;
    }
  }
  SysFreeString(handlerKey);
  return hr;
}

STDMETHODIMP ControlHost::GetDropTarget(IDropTarget* target, IDropTarget** replacement) {
  if (replacement == nullptr) {
    return E_POINTER;
  }
  *replacement = nullptr;
  if (uiHandler_ == nullptr) {
    return E_NOTIMPL;
  }
  ComPtr<IUnknown> object;
  HRESULT hr = uiHandler_->GetDropTarget(target, object.Put());
  if (SUCCEEDED(hr) && object) {
    hr = object->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(replacement));
  }
  return *replacement != nullptr ? S_OK : S_FALSE;
}

STDMETHODIMP ControlHost::GetExternal(IDispatch** external) {
  if (external == nullptr) {
    return E_POINTER;
  }
  *external = nullptr;
  if (uiHandler_ == nullptr) {
    *external = externalDispatch_;
    if (externalDispatch_ != nullptr) {
      externalDispatch_->AddRef();
    }
    return S_OK;
  }
  const HRESULT hr = uiHandler_->GetExternal(external);
  if (FAILED(hr) || *external == nullptr) {
    if (SUCCEEDED(hr)) {
      *external = nullptr;
    }
    return E_NOINTERFACE;
  }
  return S_OK;
}

STDMETHODIMP ControlHost::TranslateUrl(DWORD translate, LPWSTR in, LPWSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (uiHandler_ == nullptr) {
    return S_FALSE;
  }
  BSTR inText = SysAllocString(in);
  BSTR outText = nullptr;
  const HRESULT hr = uiHandler_->TranslateUrl(translate, inText, &outText);
  SysFreeString(inText);
  HRESULT result = S_FALSE;
  if (SUCCEEDED(hr) && outText != nullptr) {
    const size_t bytes = 2 * SysStringLen(outText) + 2;
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*out != nullptr) {
      CopyMemory(*out, outText, bytes - 2);
      (*out)[SysStringLen(outText)] = 0;
      result = S_OK;
    } else {
      result = E_OUTOFMEMORY;
    }
  }
  SysFreeString(outText);
  return result;
}

STDMETHODIMP ControlHost::FilterDataObject(IDataObject* object, IDataObject** replacement) {
  if (replacement == nullptr) {
    return E_POINTER;
  }
  *replacement = nullptr;
  if (uiHandler_ == nullptr) {
    return S_FALSE;
  }
  ComPtr<IUnknown> filtered;
  HRESULT hr = uiHandler_->FilterDataObject(object, filtered.Put());
  if (SUCCEEDED(hr) && filtered) {
    hr = filtered->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(replacement));
  }
  return *replacement != nullptr ? S_OK : S_FALSE;
}
