// The web view window: a host window holding the browser control, subclassed
// so that the WVM_ messages reach the browser's automation interface.
#include <windows.h>

#include <exdisp.h>

#include "base/com_ptr.h"
#include "webview/com_table.h"
#include "webview/control_host.h"
#include "webview/host_rules.h"
#include "webview/navo.h"
#include "webview/navo_module.h"

namespace {

constexpr char kStateProperty[] = "CTL_NAVO";
constexpr char kBrowserName[] = "Shell.Explorer.2";
// URLs up to this length are converted on the stack.
constexpr int kStackUrlLength = 1024;

// One per web view window, hung on it as "CTL_NAVO".
struct WebViewState {
  IWebBrowser2* browser;      // null when the control yielded none
  WNDPROC previousProcedure;  // the control host's procedure
};

// Navigates to the narrow URL `text` (the ANSI code page); a null text
// navigates with a null string.
void Navigate(IWebBrowser2* browser, const char* text) {
  VARIANT url;
  VariantInit(&url);
  V_VT(&url) = VT_BSTR;
  V_BSTR(&url) = nullptr;
  if (text != nullptr) {
    const int length = lstrlenA(text);
    wchar_t stackBuffer[kStackUrlLength + 1];
    wchar_t* wide = stackBuffer;
    if (length > kStackUrlLength) {
      wide = static_cast<wchar_t*>(
          HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    }
    BSTR copy = nullptr;
    if (wide != nullptr) {
      wide[0] = 0;
      MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length + 1);
      copy = SysAllocString(wide);
      if (wide != stackBuffer) {
        HeapFree(GetProcessHeap(), 0, wide);
      }
    }
    if (copy != nullptr) {
      V_BSTR(&url) = copy;
    } else {
      V_VT(&url) = VT_ERROR;
      V_ERROR(&url) = E_OUTOFMEMORY;
    }
  }
  VARIANT empty;
  VariantInit(&empty);
  // The result does not matter: the caller only learns that it was asked.
  browser->Navigate2(&url, &empty, &empty, &empty, &empty);
  VariantClear(&url);
  VariantClear(&empty);
}

LRESULT Refresh(IWebBrowser2* browser, WPARAM wParam) {
  VARIANT level;
  VariantInit(&level);
  V_VT(&level) = VT_I4;
  V_I4(&level) = RefreshLevel(static_cast<intptr_t>(wParam));
  return browser->Refresh2(&level) == S_OK ? 1 : 0;
}

LRESULT CALLBACK WebViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = static_cast<WebViewState*>(GetPropA(window, kStateProperty));
  if (state == nullptr || state->previousProcedure == nullptr) {
    // After WM_DESTROY the window has no record: nothing more to pass on.
    return 0;
  }
  IWebBrowser2* browser = state->browser;
  switch (message) {
    case WVM_NAVIGATE:
      if (browser != nullptr) {
        Navigate(browser, reinterpret_cast<const char*>(wParam));
      }
      return 1;
    case WVM_GOBACK:
      return browser != nullptr && browser->GoBack() == S_OK ? 1 : 0;
    case WVM_GOFORWARD:
      return browser != nullptr && browser->GoForward() == S_OK ? 1 : 0;
    case WVM_GOHOME:
      return browser != nullptr && browser->GoHome() == S_OK ? 1 : 0;
    case WVM_REFRESH:
      return browser != nullptr ? Refresh(browser, wParam) : 0;
    case WM_DESTROY: {
      ReleaseReference(state->browser);
      const WNDPROC previous = state->previousProcedure;
      GlobalFree(GetPropA(window, kStateProperty));
      RemovePropA(window, kStateProperty);
      return CallWindowProcA(previous, window, message, wParam, lParam);
    }
    default:
      return CallWindowProcA(state->previousProcedure, window, message, wParam, lParam);
  }
}

}  // namespace

extern "C" HWND WINAPI jNAVO_Create(HWND parent, HINSTANCE /*instance*/, UINT id) {
  RegisterHostWindowClass();
  auto* state = static_cast<WebViewState*>(GlobalAlloc(GPTR, sizeof(WebViewState)));
  if (state == nullptr) {
    return nullptr;
  }
  HWND window = CreateWindowExA(0, kHostWindowClass, kBrowserName, WS_CHILD | WS_VISIBLE, 10, 10,
                                500, 300, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                NavoLibrary.instance, nullptr);
  if (window == nullptr) {
    GlobalFree(state);
    return nullptr;
  }
  SetPropA(window, kStateProperty, state);
  state->previousProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WebViewProc)));

  ComPtr<IUnknown> control(
      reinterpret_cast<IUnknown*>(SendMessageA(window, NavoGetControlMessage, 0, 0)));
  if (control) {
    IWebBrowser2* browser = nullptr;
    control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    // The state holds its browser reference until the window goes.
    ComPtr<IWebBrowser2> old(state->browser);
    state->browser = browser;
  }
  return window;
}
