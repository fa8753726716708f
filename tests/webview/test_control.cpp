// The test control of the web view tests.
#include "test_control.h"

#include <ocidl.h>

namespace {

class TestControl final : public IOleObject,
                          public IOleControl,
                          public IOleInPlaceObjectWindowless,
                          public IViewObjectEx,
                          public IPersistStreamInit,
                          public IObjectWithSite {
 public:
  TestControl(ControlLog* log, ControlKind kind)
      : log_(log),
        isBrowser_(kind == ControlKind::kBrowser),
        isWindowless_(kind == ControlKind::kWindowless) {
    ++log_->live;
    InitTestBrowser(&browser_, static_cast<IOleObject*>(this), &log_->browser);
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *out = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleControl) {
      *out = static_cast<IOleControl*>(this);
    } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
      *out = static_cast<IOleInPlaceObjectWindowless*>(this);
    } else if (isWindowless_ && iid == IID_IOleInPlaceObjectWindowless) {
      *out = static_cast<IOleInPlaceObjectWindowless*>(this);
    } else if (isWindowless_ && (iid == IID_IViewObject || iid == IID_IViewObject2 ||
                                 iid == IID_IViewObjectEx)) {
      *out = static_cast<IViewObjectEx*>(this);
    } else if (iid == IID_IPersistStreamInit) {
      *out = static_cast<IPersistStreamInit*>(this);
    } else if (iid == IID_IObjectWithSite) {
      *out = static_cast<IObjectWithSite*>(this);
    } else if (isBrowser_ && (iid == IID_IWebBrowser2 || iid == IID_IWebBrowserApp ||
                              iid == IID_IWebBrowser)) {
      *out = reinterpret_cast<IWebBrowser2*>(&browser_);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG refs = --refs_;
    if (refs == 0) {
      delete this;
    }
    return refs;
  }

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    if (site == nullptr) {
      ++log_->clearedClientSite;
    } else {
      ++log_->setClientSiteCalls;
    }
    if (site != nullptr) {
      site->AddRef();
    }
    if (log_->site != nullptr) {
      log_->site->Release();
    }
    log_->site = site;
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    *site = log_->site;
    if (*site != nullptr) {
      (*site)->AddRef();
    }
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD option) override {
    ++log_->closeCalls;
    log_->closeOption = option;
    if (inPlaceActive_ && log_->site != nullptr) {
      IOleInPlaceSite* site = nullptr;
      if (SUCCEEDED(log_->site->QueryInterface(IID_IOleInPlaceSite,
                                               reinterpret_cast<void**>(&site)))) {
        site->OnInPlaceDeactivate();
        site->Release();
      }
      inPlaceActive_ = false;
    }
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override {
    log_->verbs.push_back(verb);
    if (verb == OLEIVERB_INPLACEACTIVATE && site != nullptr && !inPlaceActive_) {
      IOleInPlaceSite* inPlace = nullptr;
      if (SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
        IOleInPlaceSiteWindowless* windowless = nullptr;
        if (isWindowless_ &&
            SUCCEEDED(site->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                           reinterpret_cast<void**>(&windowless))) &&
            windowless->CanWindowlessActivate() == S_OK) {
          BOOL noRedraw = FALSE;
          windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
          log_->activatedWindowless = true;
          inPlaceActive_ = true;
        } else if (inPlace->CanInPlaceActivate() == S_OK) {
          inPlace->OnInPlaceActivate();
          inPlaceActive_ = true;
        }
        if (windowless != nullptr) {
          windowless->Release();
        }
        inPlace->Release();
      }
    }
    return S_OK;
  }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override {
    *clsid = kTestControlClsid;
    return S_OK;
  }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP SetExtent(DWORD, SIZEL* size) override {
    ++log_->setExtentCalls;
    log_->extent = *size;
    return S_OK;
  }
  STDMETHODIMP GetExtent(DWORD, SIZEL* size) override {
    *size = log_->extent;
    return S_OK;
  }
  STDMETHODIMP Advise(IAdviseSink*, DWORD* cookie) override {
    *cookie = 7;
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD) override { return S_OK; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    *status = OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override {
    log_->ambientChanges.push_back(id);
    return S_OK;
  }
  STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

  // IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* window) override {
    *window = nullptr;
    return E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
    ++log_->setObjectRectsCalls;
    log_->objectRects = *position;
    return S_OK;
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // IOleInPlaceObjectWindowless
  STDMETHODIMP OnWindowMessage(UINT message, WPARAM, LPARAM, LRESULT* result) override {
    log_->windowMessages.push_back(message);
    *result = log_->messageResult;
    return log_->messageAnswer;
  }
  STDMETHODIMP GetDropTarget(IDropTarget** target) override {
    *target = nullptr;
    return E_NOTIMPL;
  }

  // IViewObject, IViewObject2, IViewObjectEx
  STDMETHODIMP Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                    BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    ++log_->drawCalls;
    log_->drawBounds = bounds != nullptr ? *bounds : RECTL{};
    log_->drawDcType = GetObjectType(dc);
    return S_OK;
  }
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
  STDMETHODIMP GetAdvise(DWORD*, DWORD*, IAdviseSink**) override { return E_NOTIMPL; }
  STDMETHODIMP GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL) override { return E_NOTIMPL; }
  STDMETHODIMP GetRect(DWORD, LPRECTL) override { return E_NOTIMPL; }
  STDMETHODIMP GetViewStatus(DWORD* status) override {
    *status = 0;
    return S_OK;
  }
  STDMETHODIMP QueryHitPoint(DWORD, LPCRECT bounds, POINT point, LONG, DWORD* hit) override {
    const LONG middle = (bounds->left + bounds->right) / 2;
    *hit = PtInRect(bounds, point) && point.x < middle ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
  }
  STDMETHODIMP QueryHitRect(DWORD, LPCRECT, LPCRECT, LONG, DWORD*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                LPSIZEL) override {
    return E_NOTIMPL;
  }

  // IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    *clsid = kTestControlClsid;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM) override { return S_OK; }
  STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP InitNew() override {
    ++log_->initNewCalls;
    return S_OK;
  }

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override {
    ++log_->setSiteCalls;
    log_->objectSite = site;
    return S_OK;
  }
  STDMETHODIMP GetSite(REFIID, void** site) override {
    *site = nullptr;
    return E_FAIL;
  }

 private:
  ~TestControl() { --log_->live; }

  ULONG refs_ = 1;
  ControlLog* log_;
  bool isBrowser_;
  bool isWindowless_;
  bool inPlaceActive_ = false;
  TestBrowser browser_;
};

}  // namespace

IUnknown* CreateTestControl(ControlLog* log, ControlKind kind) {
  return static_cast<IOleObject*>(new TestControl(log, kind));
}

STDMETHODIMP TestControlFactory::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TestControlFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  *out = nullptr;
  if (outer != nullptr) {
    return CLASS_E_NOAGGREGATION;
  }
  if (FAILED(failure_)) {
    return failure_;
  }
  IUnknown* control = CreateTestControl(log_, kind_);
  const HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

bool TestControlFactory::Register(const CLSID& clsid) {
  return SUCCEEDED(CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                         &cookie_));
}

void TestControlFactory::Revoke() {
  if (cookie_ != 0) {
    CoRevokeClassObject(cookie_);
    cookie_ = 0;
  }
}
