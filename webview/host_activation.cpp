// The control host: creating the control named by the host window's text,
// embedding it in the window and activating it in place, and letting go of it.
#include "webview/control_host.h"

#include <exdisp.h>
#include <mshtml.h>

#include "base/com_ptr.h"
#include "webview/com_table.h"
#include "webview/host_internal.h"
#include "webview/host_rules.h"

bool ControlHost::TakeWindow(HWND window) {
  ReleaseAll();
  if (window_ != nullptr) {
    Redraw();
    LetGoOfWindow();
  }
  if (!IsWindow(window)) {
    return false;
  }
  SetFlag(kAmbientSubclassed, Subclass(window) ? VARIANT_TRUE : VARIANT_FALSE);
  return true;
}

// ---- IHostWindow ----

STDMETHODIMP ControlHost::CreateHostedControl(LPCOLESTR name, HWND window, IStream* stream) {
  ComPtr<IUnknown> control;
  return CreateHostedControlWithSink(name, window, stream, control.Put(), IID_NULL, nullptr);
}

STDMETHODIMP ControlHost::CreateHostedControlWithSink(LPCOLESTR name, HWND window,
                                                      IStream* stream, IUnknown** control,
                                                      REFIID sinkInterface, IUnknown* sink) {
  if (control != nullptr) {
    *control = nullptr;
  }
  if (!TakeWindow(window)) {
    return S_FALSE;
  }

  if (backColor_ == 0) {
    char parentClass[8] = {};
    GetClassNameA(GetParent(window), parentClass, sizeof parentClass);
    backColor_ = lstrcmpA(parentClass, "#32770") == 0 ? GetSysColor(COLOR_BTNFACE)
                                                       : GetSysColor(COLOR_WINDOW);
  }

  ComPtr<IUnknown> object;
  bool htmlOrUrl = false;
  HRESULT hr = CreateNamedObject(name, object.Put(), htmlOrUrl);
  if (object) {
    hr = Activate(object.get(), hr == S_FALSE, stream);
    object.Reset();
  }

  sinkInterface_ = sinkInterface;
  if (SUCCEEDED(hr) && control_ != nullptr && sink != nullptr) {
    ComPtr<IConnectionPointContainer> points;
    hr = control_->QueryInterface(IID_IConnectionPointContainer, points.PutVoid());
    if (SUCCEEDED(hr)) {
      ComPtr<IConnectionPoint> point;
      hr = points->FindConnectionPoint(sinkInterface, point.Put());
      if (SUCCEEDED(hr)) {
        hr = point->Advise(sink, &sinkCookie_);
      }
    }
  }

  if (SUCCEEDED(hr) && htmlOrUrl && control_ != nullptr) {
    LoadHtmlOrUrl(name);
  }

  if (FAILED(hr) || control_ == nullptr) {
    ReleaseAll();
    if (window_ != nullptr) {
      Redraw();
      if (FAILED(hr)) {
        LetGoOfWindow();
      }
    }
  } else if (control != nullptr) {
    *control = control_;
    control_->AddRef();
  }
  return hr;
}

STDMETHODIMP ControlHost::AttachHostedControl(IUnknown* control, HWND window) {
  if (!TakeWindow(window)) {
    return S_FALSE;
  }
  const HRESULT hr = control != nullptr ? Activate(control, true, nullptr) : E_INVALIDARG;
  if (FAILED(hr)) {
    ReleaseAll();
    LetGoOfWindow();
  }
  return hr;
}

STDMETHODIMP ControlHost::QueryHostedControl(REFIID iid, void** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  *out = nullptr;
  if (control_ == nullptr) {
    return OLE_E_NOCONNECTION;
  }
  return control_->QueryInterface(iid, out);
}

STDMETHODIMP ControlHost::SetHostExternalDispatch(IDispatch* dispatch) {
  ReplaceReference(externalDispatch_, dispatch);
  return S_OK;
}

STDMETHODIMP ControlHost::SetHostUIHandler(IHostUIHandlerDispatch* handler) {
  ReplaceReference(uiHandler_, handler);
  return S_OK;
}

// ---- creating and activating the control ----

HRESULT ControlHost::CreateNamedObject(LPCOLESTR name, IUnknown** object, bool& htmlOrUrl) {
  *object = nullptr;
  const HostNameKind kind = ClassifyHostName(name);
  if (kind == HostNameKind::kNone) {
    return S_OK;
  }
  constexpr DWORD kContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
  HRESULT hr;
  if (kind == HostNameKind::kHtml) {
    htmlOrUrl = true;
    hr = CoCreateInstance(kClsidHtmlDocument, nullptr, kContext, IID_IUnknown,
                          reinterpret_cast<void**>(object));
    if (SUCCEEDED(hr)) {
      return hr;
    }
  }
  if (lstrlenW(name) < static_cast<int>(kMaxClassNameLength)) {
    CLSID clsid;
    hr = name[0] == L'{' ? CLSIDFromString(name, &clsid) : CLSIDFromProgID(name, &clsid);
    if (SUCCEEDED(hr)) {
      hr = CoCreateInstance(clsid, nullptr, kContext, IID_IUnknown,
                            reinterpret_cast<void**>(object));
      if (SUCCEEDED(hr)) {
        return hr;
      }
    }
  }
  htmlOrUrl = true;
  return CoCreateInstance(kClsidWebBrowser, nullptr, kContext, IID_IUnknown,
                          reinterpret_cast<void**>(object));
}

HRESULT ControlHost::Activate(IUnknown* object, bool initialized, IStream* stream) {
  ReplaceReference(control_, object);
  IOleClientSite* site = this;
  if (SUCCEEDED(control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&oleObject_)))) {
    oleObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_);
    const bool siteFirst = (miscStatus_ & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) {
      oleObject_->SetClientSite(site);
    }
    if (!initialized) {
      ComPtr<IPersistStreamInit> persist;
      if (SUCCEEDED(control_->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) {
        // A control that cannot read its state still runs with its defaults.
        if (stream != nullptr) {
          persist->Load(stream);
        } else {
          persist->InitNew();
        }
      }
    }
    if (!siteFirst) {
      oleObject_->SetClientSite(site);
    }

    void* view = nullptr;
    if (SUCCEEDED(control_->QueryInterface(IID_IViewObjectEx, &view))) {
      viewKind_ = 7;
    } else if (SUCCEEDED(control_->QueryInterface(IID_IViewObject2, &view))) {
      viewKind_ = 3;
    } else if (SUCCEEDED(control_->QueryInterface(IID_IViewObject, &view))) {
      viewKind_ = 1;
    }
    viewObject_ = static_cast<IViewObject*>(view);

    IAdviseSink* sink = this;
    oleObject_->Advise(sink, &adviseCookie_);
    if (viewObject_ != nullptr) {
      viewObject_->SetAdvise(DVASPECT_CONTENT, 0, sink);
    }
    oleObject_->SetHostNames(L"NAVO", nullptr);

    GetClientRect(window_, &position_);
    pixelSize_ = {position_.right - position_.left, position_.bottom - position_.top};
    himetricSize_ = SizeToHimetric(pixelSize_);
    oleObject_->SetExtent(DVASPECT_CONTENT, &himetricSize_);
    oleObject_->GetExtent(DVASPECT_CONTENT, &himetricSize_);
    pixelSize_ = SizeToPixels(himetricSize_);
    position_.right = position_.left + pixelSize_.cx;
    position_.bottom = position_.top + pixelSize_.cy;

    oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window_, &position_);
    Redraw();
  }
  ComPtr<IObjectWithSite> withSite;
  if (control_ != nullptr &&
      SUCCEEDED(control_->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()))) {
    withSite->SetSite(Unknown());
  }
  return S_OK;
}

void ControlHost::LoadHtmlOrUrl(LPCOLESTR name) {
  const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  if ((style & (WS_VSCROLL | WS_HSCROLL)) == 0) {
    hostInfoFlags_ |= kHostInfoNoScrollBars;
  } else {
    SetWindowLongPtrA(window_, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VSCROLL | WS_HSCROLL));
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }

  if (ClassifyHostName(name) == HostNameKind::kHtml) {
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control_->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) {
      persist->InitNew();
      persist.Reset();
    }
    ComPtr<IHTMLDocument2> document;
    if (SUCCEEDED(control_->QueryInterface(IID_IHTMLDocument2, document.PutVoid()))) {
      ComPtr<IHTMLElement> body;
      if (SUCCEEDED(document->get_body(body.Put())) && body) {
        BSTR html = SysAllocString(name + kHtmlPrefixLength);
        body->put_innerHTML(html);
        SysFreeString(html);
      }
    }
    return;
  }

  ComPtr<IWebBrowser2> browser;
  if (SUCCEEDED(control_->QueryInterface(IID_IWebBrowser2, browser.PutVoid()))) {
    browser->put_Visible(VARIANT_TRUE);
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(name);
    VARIANT empty;
    VariantInit(&empty);
    browser->Navigate2(&url, &empty, &empty, &empty, &empty);
    VariantClear(&url);
  }
}

void ControlHost::ReleaseAll() {
  if (releasing_) {
    return;
  }
  releasing_ = true;
  if (viewObject_ != nullptr) {
    viewObject_->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
  }
  if (sinkCookie_ != kNoSinkCookie) {
    ComPtr<IConnectionPointContainer> points;
    if (control_ != nullptr &&
        SUCCEEDED(control_->QueryInterface(IID_IConnectionPointContainer, points.PutVoid()))) {
      ComPtr<IConnectionPoint> point;
      if (SUCCEEDED(points->FindConnectionPoint(sinkInterface_, point.Put()))) {
        point->Unadvise(sinkCookie_);
      }
    }
    sinkCookie_ = kNoSinkCookie;
  }
  if (oleObject_ != nullptr) {
    oleObject_->Unadvise(adviseCookie_);
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
  }
  {
    ComPtr<IObjectWithSite> withSite;
    if (control_ != nullptr &&
        SUCCEEDED(control_->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()))) {
      withSite->SetSite(nullptr);
    }
  }
  ReleaseReference(viewObject_);
  viewKind_ = 0;
  ReleaseReference(inPlaceObject_);
  ReleaseReference(oleObject_);
  ReleaseReference(control_);
  ReleaseReference(document_);
  ReleaseReference(frame_);
  // The control is closed and no longer uses the frame's table.
  if (accelerators_ != nullptr) {
    DestroyAcceleratorTable(accelerators_);
    accelerators_ = nullptr;
  }
  inPlaceActive_ = false;
  uiActive_ = false;
  windowless_ = false;
  captured_ = false;
  releasing_ = false;
}
