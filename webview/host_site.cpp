// The site interfaces of the control host: client site, in-place site (also
// windowless), control site, container, object with site, service provider
// and advise sink.
#include <windows.h>

#include "base/scoped_handle.h"
#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/host_frame.h"
#include "webview/unknown_enum.h"

// ---- IOleClientSite ----

STDMETHODIMP ControlHost::SaveObject() { return E_NOTIMPL; }

STDMETHODIMP ControlHost::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) {
    *moniker = nullptr;
  }
  return E_NOTIMPL;
}

STDMETHODIMP ControlHost::GetContainer(IOleContainer** container) {
  if (container == nullptr) {
    return E_POINTER;
  }
  *container = nullptr;
  if (outerSite_ != nullptr) {
    const HRESULT hr =
        outerSite_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
    if (SUCCEEDED(hr)) {
      return hr;
    }
  }
  return QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
}

STDMETHODIMP ControlHost::ShowObject() {
  ScopedGetDc windowDc(window_);
  HDC dc = windowDc.get();
  if (dc == nullptr) {
    return E_FAIL;
  }
  if (viewObject_ != nullptr) {
    const RECTL bounds = {position_.left, position_.top, position_.right, position_.bottom};
    viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds,
                      nullptr, 0);
  }
  return S_OK;
}

STDMETHODIMP ControlHost::OnShowWindow(BOOL) { return E_NOTIMPL; }
STDMETHODIMP ControlHost::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceSite, IOleInPlaceSiteEx, IOleInPlaceSiteWindowless ----

STDMETHODIMP ControlHost::GetWindow(HWND* window) {
  if (window == nullptr) {
    return E_POINTER;
  }
  *window = window_;
  return S_OK;
}

STDMETHODIMP ControlHost::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP ControlHost::CanInPlaceActivate() { return S_OK; }

STDMETHODIMP ControlHost::OnInPlaceActivate() {
  inPlaceActive_ = true;
  OleLockRunning(control_, TRUE, FALSE);
  windowless_ = false;
  ReleaseReference(inPlaceObject_);
  if (control_ != nullptr) {
    control_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlaceObject_));
  }
  return S_OK;
}

STDMETHODIMP ControlHost::OnUIActivate() {
  uiActive_ = true;
  return S_OK;
}

STDMETHODIMP ControlHost::GetWindowContext(IOleInPlaceFrame** frame,
                                           IOleInPlaceUIWindow** document, LPRECT position,
                                           LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
  if (frame != nullptr) {
    *frame = nullptr;
  }
  if (document != nullptr) {
    *document = nullptr;
  }
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr) {
    return E_POINTER;
  }
  // A frame or document object that cannot be made is handed out as null.
  if (frame_ == nullptr) {
    frame_ = HostFrame::Create();
  }
  if (document_ == nullptr) {
    document_ = HostUIWindow::Create();
  }
  *frame = frame_;
  if (frame_ != nullptr) {
    frame_->AddRef();
  }
  *document = document_;
  if (document_ != nullptr) {
    document_->AddRef();
  }
  GetClientRect(window_, position);
  GetClientRect(window_, clip);

  // The table belongs to the container: one per host, kept until the host
  // lets go of its control, however often the control asks.
  if (accelerators_ == nullptr) {
    ACCEL none = {};
    accelerators_ = CreateAcceleratorTableA(&none, 1);
  }
  if (frameInfo != nullptr) {
    frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
    frameInfo->fMDIApp = mdiApplication_ ? TRUE : FALSE;
    frameInfo->hwndFrame = GetParent(window_);
    frameInfo->haccel = accelerators_;
    frameInfo->cAccelEntries = 1;
  }
  return S_OK;
}

STDMETHODIMP ControlHost::Scroll(SIZE) { return E_NOTIMPL; }

STDMETHODIMP ControlHost::OnUIDeactivate(BOOL) {
  uiActive_ = false;
  return S_OK;
}

STDMETHODIMP ControlHost::OnInPlaceDeactivate() {
  inPlaceActive_ = false;
  ReleaseReference(inPlaceObject_);
  return S_OK;
}

STDMETHODIMP ControlHost::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP ControlHost::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP ControlHost::OnPosRectChange(LPCRECT) { return E_NOTIMPL; }

STDMETHODIMP ControlHost::OnInPlaceActivateEx(BOOL*, DWORD flags) {
  inPlaceActive_ = true;
  OleLockRunning(control_, TRUE, FALSE);
  ReleaseReference(inPlaceObject_);
  HRESULT hr = E_FAIL;
  if ((flags & ACTIVATE_WINDOWLESS) != 0 && control_ != nullptr) {
    windowless_ = true;
    hr = control_->QueryInterface(IID_IOleInPlaceObjectWindowless,
                                  reinterpret_cast<void**>(&inPlaceObject_));
  }
  if (FAILED(hr)) {
    windowless_ = false;
    if (control_ != nullptr) {
      control_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlaceObject_));
    }
  }
  if (inPlaceObject_ != nullptr) {
    inPlaceObject_->SetObjectRects(&position_, &position_);
  }
  return S_OK;
}

STDMETHODIMP ControlHost::OnInPlaceDeactivateEx(BOOL) { return S_OK; }
STDMETHODIMP ControlHost::RequestUIActivate() { return S_OK; }

STDMETHODIMP ControlHost::CanWindowlessActivate() {
  return (ambientFlags_ & kAmbientWindowless) ? S_OK : S_FALSE;
}

STDMETHODIMP ControlHost::GetCapture() { return captured_ ? S_OK : S_FALSE; }

STDMETHODIMP ControlHost::SetCapture(BOOL capture) {
  if (capture) {
    ::SetCapture(window_);
    captured_ = true;
  } else {
    ::ReleaseCapture();
    captured_ = false;
  }
  return S_OK;
}

STDMETHODIMP ControlHost::GetFocus() { return S_OK; }
STDMETHODIMP ControlHost::SetFocus(BOOL) { return S_OK; }

STDMETHODIMP ControlHost::GetDC(LPCRECT, DWORD, HDC* dc) {
  if (dc == nullptr) {
    return E_POINTER;
  }
  *dc = ::GetDC(window_);
  return S_OK;
}

STDMETHODIMP ControlHost::ReleaseDC(HDC dc) {
  ::ReleaseDC(window_, dc);
  return S_OK;
}

STDMETHODIMP ControlHost::InvalidateRect(LPCRECT rect, BOOL erase) {
  ::InvalidateRect(window_, rect, erase);
  return S_OK;
}

STDMETHODIMP ControlHost::InvalidateRgn(HRGN region, BOOL erase) {
  ::InvalidateRgn(window_, region, erase);
  return S_OK;
}

STDMETHODIMP ControlHost::ScrollRect(INT, INT, LPCRECT, LPCRECT) { return S_OK; }
STDMETHODIMP ControlHost::AdjustRect(LPRECT) { return S_OK; }

STDMETHODIMP ControlHost::OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                             LRESULT* result) {
  const LRESULT answer = CallReplaced(message, wParam, lParam);
  if (result != nullptr) {
    *result = answer;
  }
  return S_OK;
}

// ---- IOleControlSite ----

STDMETHODIMP ControlHost::OnControlInfoChanged() { return S_OK; }
STDMETHODIMP ControlHost::LockInPlaceActive(BOOL) { return S_OK; }

STDMETHODIMP ControlHost::GetExtendedControl(IDispatch** control) {
  if (control == nullptr) {
    return E_POINTER;
  }
  *control = nullptr;
  if (oleObject_ == nullptr) {
    return E_NOINTERFACE;
  }
  return oleObject_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(control));
}

STDMETHODIMP ControlHost::TransformCoords(POINTL*, POINTF*, DWORD) { return S_OK; }
STDMETHODIMP ControlHost::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }
STDMETHODIMP ControlHost::OnFocus(BOOL) { return S_OK; }
STDMETHODIMP ControlHost::ShowPropertyFrame() { return E_NOTIMPL; }

// ---- IOleContainer ----

STDMETHODIMP ControlHost::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** moniker) {
  if (moniker != nullptr) {
    *moniker = nullptr;
  }
  return E_NOTIMPL;
}

STDMETHODIMP ControlHost::EnumObjects(DWORD, IEnumUnknown** objects) {
  if (objects == nullptr) {
    return E_POINTER;
  }
  *objects = UnknownEnum::Create(Unknown(), &control_, 1);
  return *objects != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ControlHost::LockContainer(BOOL lock) {
  containerLocked_ = lock != FALSE;
  return S_OK;
}

// ---- IObjectWithSite ----

STDMETHODIMP ControlHost::SetSite(IUnknown* site) {
  ReplaceReference(outerSite_, site);
  ReleaseReference(serviceProvider_);
  if (site == nullptr) {
    return S_OK;
  }
  return site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&serviceProvider_));
}

STDMETHODIMP ControlHost::GetSite(REFIID iid, void** site) {
  if (site == nullptr) {
    return E_POINTER;
  }
  *site = nullptr;
  if (outerSite_ == nullptr) {
    return E_FAIL;
  }
  return outerSite_->QueryInterface(iid, site);
}

// ---- IServiceProvider ----

STDMETHODIMP ControlHost::QueryService(REFGUID service, REFIID iid, void** out) {
  if (serviceProvider_ == nullptr) {
    if (out != nullptr) {
      *out = nullptr;
    }
    return E_NOINTERFACE;
  }
  return serviceProvider_->QueryService(service, iid, out);
}

// ---- IAdviseSink ----

STDMETHODIMP_(void) ControlHost::OnDataChange(FORMATETC*, STGMEDIUM*) {}
STDMETHODIMP_(void) ControlHost::OnViewChange(DWORD, LONG) {}
STDMETHODIMP_(void) ControlHost::OnRename(IMoniker*) {}
STDMETHODIMP_(void) ControlHost::OnSave() {}
STDMETHODIMP_(void) ControlHost::OnClose() {}
