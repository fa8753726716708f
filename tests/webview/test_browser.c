/* The browser stand-in of the web view tests. */
#define COBJMACROS
#include "test_browser.h"

#include <string.h>

static TestBrowser* FromInterface(IWebBrowser2* iface) { return (TestBrowser*)iface; }

static HRESULT STDMETHODCALLTYPE QueryInterfaceOuter(IWebBrowser2* self, REFIID iid, void** out) {
  IUnknown* outer = FromInterface(self)->outer;
  return outer->lpVtbl->QueryInterface(outer, iid, out);
}

static ULONG STDMETHODCALLTYPE AddRefOuter(IWebBrowser2* self) {
  IUnknown* outer = FromInterface(self)->outer;
  return outer->lpVtbl->AddRef(outer);
}

static ULONG STDMETHODCALLTYPE ReleaseOuter(IWebBrowser2* self) {
  IUnknown* outer = FromInterface(self)->outer;
  return outer->lpVtbl->Release(outer);
}

static HRESULT STDMETHODCALLTYPE GoBack(IWebBrowser2* self) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->goBackCount;
  return log->answer;
}

static HRESULT STDMETHODCALLTYPE GoForward(IWebBrowser2* self) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->goForwardCount;
  return log->answer;
}

static HRESULT STDMETHODCALLTYPE GoHome(IWebBrowser2* self) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->goHomeCount;
  return log->answer;
}

static HRESULT STDMETHODCALLTYPE Refresh2(IWebBrowser2* self, VARIANT* level) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->refreshCount;
  log->refreshType = level != NULL ? V_VT(level) : VT_ILLEGAL;
  log->refreshLevel = level != NULL && V_VT(level) == VT_I4 ? V_I4(level) : -99;
  return log->answer;
}

static HRESULT STDMETHODCALLTYPE PutVisible(IWebBrowser2* self, VARIANT_BOOL visible) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->visibleCalls;
  log->visible = visible;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE Navigate2(IWebBrowser2* self, VARIANT* url, VARIANT* flags,
                                           VARIANT* frame, VARIANT* postData, VARIANT* headers) {
  TestBrowserLog* log = FromInterface(self)->log;
  ++log->navigateCount;
  log->urlType = url != NULL ? V_VT(url) : VT_ILLEGAL;
  log->urlIsNullString = url != NULL && V_VT(url) == VT_BSTR && V_BSTR(url) == NULL;
  log->url[0] = 0;
  if (url != NULL && V_VT(url) == VT_BSTR && V_BSTR(url) != NULL) {
    lstrcpynW(log->url, V_BSTR(url), (int)(sizeof log->url / sizeof log->url[0]));
  }
  log->othersShareOneEmpty = flags != NULL && flags == frame && flags == postData &&
                             flags == headers && V_VT(flags) == VT_EMPTY;
  return log->answer;
}

static HRESULT STDMETHODCALLTYPE NotImplemented(void* self) {
  (void)self;
  return E_NOTIMPL;
}

static IWebBrowser2Vtbl browserMethods;

void InitTestBrowser(TestBrowser* browser, IUnknown* outer, TestBrowserLog* log) {
  if (browserMethods.QueryInterface == NULL) {
    void** slot = (void**)&browserMethods;
    size_t i;
    browserMethods.QueryInterface = QueryInterfaceOuter;
    browserMethods.AddRef = AddRefOuter;
    browserMethods.Release = ReleaseOuter;
    browserMethods.GoBack = GoBack;
    browserMethods.GoForward = GoForward;
    browserMethods.GoHome = GoHome;
    browserMethods.Refresh2 = Refresh2;
    browserMethods.put_Visible = PutVisible;
    browserMethods.Navigate2 = Navigate2;
    /* Every other method shares one answer; on x64 one calling convention
       serves every signature. */
    for (i = 0; i < sizeof browserMethods / sizeof(void*); ++i) {
      if (slot[i] == NULL) {
        slot[i] = (void*)NotImplemented;
      }
    }
  }
  browser->methods = &browserMethods;
  browser->outer = outer;
  browser->log = log;
}
