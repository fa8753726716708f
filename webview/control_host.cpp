// The control host: its window class, its life with the host window, and
// the interfaces it answers with. The rest of ControlHost lives beside it:
// creating and activating the control (host_activation.cpp), the window
// messages it follows (host_messages.cpp), sizing and painting
// (host_paint.cpp) and reflecting notifications (host_reflect.cpp).
//
// How the pieces meet: the class procedure of "NavoHostWin" (HostWindowProc)
// runs the creation. It reads the window text, makes a ControlHost, which
// subclasses the window with SubclassProc, creates the control named by the
// text and activates it in place. The window keeps the host's IHostWindow in
// its user-data slot. From then on SubclassProc sees every message first: it
// keeps the control sized, focused and painted, reflects notifications to
// their child windows and hands the control out through "WM_NAVOGETCONTROL".
// WM_DESTROY closes and releases the control; WM_NCDESTROY undoes the
// subclassing and drops the last references. A window that a user of the host
// subclasses again (the web view) sits in front of SubclassProc.
#include "webview/control_host.h"

#include <new>

#include "base/com_ptr.h"
#include "webview/com_table.h"
#include "webview/host_internal.h"
#include "webview/host_rules.h"
#include "webview/navo_module.h"

UINT NavoGetHostMessage;
UINT NavoGetControlMessage;

namespace {

// The window property that holds a host window's OLE initialisation.
constexpr char kOleProperty[] = "NavoOleInit";

// Reads the saved control state that creation data may carry: a 16-bit byte
// count followed by that many bytes. Returns a stream over a copy, or null.
IStream* StreamFromCreationData(const void* data) {
  if (data == nullptr) {
    return nullptr;
  }
  WORD count;
  CopyMemory(&count, data, sizeof count);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, count);
  if (block == nullptr || count == 0) {
    if (block != nullptr) {
      GlobalFree(block);
    }
    return nullptr;
  }
  if (void* bytes = GlobalLock(block)) {
    CopyMemory(bytes, static_cast<const BYTE*>(data) + sizeof count, count);
    GlobalUnlock(block);
  }
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
    GlobalFree(block);
    return nullptr;
  }
  return stream;
}

}  // namespace

// ---- registration and the host window class ----

bool RegisterHostWindowClass() {
  WindowCreateLock lock;
  NavoGetHostMessage = RegisterWindowMessageA(kGetHostMessageName);
  NavoGetControlMessage = RegisterWindowMessageA(kGetControlMessageName);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  if (GetClassInfoExA(NavoLibrary.instance, kHostWindowClass, &info)) {
    return true;
  }
  info = {};
  info.cbSize = sizeof info;
  info.lpfnWndProc = HostWindowProc;
  info.hInstance = NavoLibrary.instance;
  info.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  info.lpszClassName = kHostWindowClass;
  return RegisterClassExA(&info) != 0;
}

namespace {

// WM_CREATE of a host window: embeds the control named by the window text.
LRESULT CreateHostWindow(HWND window, const CREATESTRUCTA* create) {
  // The window's own OLE initialisation, undone at WM_NCDESTROY.
  SetPropA(window, kOleProperty, new (std::nothrow) ScopedOleInitialize);

  const int length = GetWindowTextLengthA(window);
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, length + 1));
  wchar_t* name =
      static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (length + 1) * 2));
  if (text == nullptr || name == nullptr) {
    HeapFree(GetProcessHeap(), 0, text);
    HeapFree(GetProcessHeap(), 0, name);
    return -1;
  }
  GetWindowTextA(window, text, length + 1);
  SetWindowTextA(window, "");
  ComPtr<IStream> stream(StreamFromCreationData(create->lpCreateParams));
  MultiByteToWideChar(CP_ACP, 0, text, -1, name, length + 1);

  ComPtr<IUnknown> host;
  HRESULT hr =
      CreateControlHost(name, window, stream.get(), host.Put(), nullptr, IID_NULL, nullptr);
  HeapFree(GetProcessHeap(), 0, text);
  HeapFree(GetProcessHeap(), 0, name);
  if (SUCCEEDED(hr)) {
    IHostWindow* hostWindow = nullptr;
    hr = host->QueryInterface(IID_IHostWindow, reinterpret_cast<void**>(&hostWindow));
    if (SUCCEEDED(hr)) {
      // The window's own reference, dropped at WM_NCDESTROY.
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hostWindow));
    }
  }
  if (SUCCEEDED(hr)) {
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (GetWindowLongPtrA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
        SetWindowLongPtrA(window, GWL_EXSTYLE,
                          GetWindowLongPtrA(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        break;
      }
    }
  }
  return SUCCEEDED(hr) ? 0 : -1;
}

}  // namespace

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (CreateHostWindow(window, reinterpret_cast<const CREATESTRUCTA*>(lParam)) != 0) {
      return -1;
    }
  } else if (message == WM_NCDESTROY) {
    // The window's reference to its host, then its OLE initialisation.
    ComPtr<IHostWindow> hostWindow(
        reinterpret_cast<IHostWindow*>(SetWindowLongPtrA(window, GWLP_USERDATA, 0)));
    hostWindow.Reset();
    delete static_cast<ScopedOleInitialize*>(RemovePropA(window, kOleProperty));
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HRESULT CreateControlHost(LPCOLESTR name, HWND window, IStream* stream, IUnknown** host,
                          IUnknown** control, REFIID sinkInterface, IUnknown* sink) {
  if (host != nullptr) {
    *host = nullptr;
  }
  if (control != nullptr) {
    *control = nullptr;
  }
  RegisterHostWindowClass();
  ControlHost* object = ControlHost::Create();
  if (object == nullptr) {
    return E_OUTOFMEMORY;
  }
  ComPtr<IUnknown> unknown(object->Unknown());
  ComPtr<IUnknown> made;
  HRESULT hr;
  {
    ComPtr<IHostWindow> hostWindow;
    hr = unknown->QueryInterface(IID_IHostWindow, hostWindow.PutVoid());
    if (SUCCEEDED(hr)) {
      BSTR bstrName = SysAllocString(name);
      hr = hostWindow->CreateHostedControlWithSink(bstrName, window, stream, made.Put(),
                                                   sinkInterface, sink);
      SysFreeString(bstrName);
    }
  }
  if (SUCCEEDED(hr)) {
    if (host != nullptr) {
      *host = unknown.Detach();
    }
    if (control != nullptr) {
      *control = made.Detach();
    }
  }
  return hr;
}

// ---- life of the host ----

ControlHost::ControlHost()
    : sinkCookie_(kNoSinkCookie),
      ambientFlags_(kAmbientDefaultFlags),
      foreColor_(GetSysColor(COLOR_WINDOWTEXT)),
      localeId_(kDefaultLocaleId),
      hostInfoFlags_(kDefaultHostInfoFlags),
      hostInfoDoubleClick_(kDefaultHostInfoDoubleClick) {
  NavoModuleLock();
}

ControlHost::~ControlHost() {
  ReleaseAll();
  SysFreeString(optionsKey_);
  ReleaseReference(serviceProvider_);
  ReleaseReference(font_);
  ReleaseReference(uiHandler_);
  ReleaseReference(externalDispatch_);
  ReleaseReference(viewObject_);
  ReleaseReference(inPlaceObject_);
  ReleaseReference(oleObject_);
  ReleaseReference(control_);
  ReleaseReference(outerSite_);
  NavoModuleUnlock();
}

ControlHost* ControlHost::Create() { return new (std::nothrow) ControlHost(); }

STDMETHODIMP ControlHost::QueryInterface(REFIID iid, void** out) {
  static const QiEntry kTable[] = {
      {&IID_IDispatch, QiOffset<ControlHost, IHostAmbient>()},
      {&IID_IHostWindow, QiOffset<ControlHost, IHostWindow>()},
      {&IID_IOleClientSite, QiOffset<ControlHost, IOleClientSite>()},
      {&IID_IOleInPlaceSiteWindowless, QiOffset<ControlHost, IOleInPlaceSiteWindowless>()},
      {&IID_IOleInPlaceSiteEx, QiOffset<ControlHost, IOleInPlaceSiteWindowless>()},
      {&IID_IOleInPlaceSite, QiOffset<ControlHost, IOleInPlaceSiteWindowless>()},
      {&IID_IOleWindow, QiOffset<ControlHost, IOleInPlaceSiteWindowless>()},
      {&IID_IOleControlSite, QiOffset<ControlHost, IOleControlSite>()},
      {&IID_IOleContainer, QiOffset<ControlHost, IOleContainer>()},
      {&IID_IObjectWithSite, QiOffset<ControlHost, IObjectWithSite>()},
      {&IID_IServiceProvider, QiOffset<ControlHost, IServiceProvider>()},
      {&IID_IHostAmbient, QiOffset<ControlHost, IHostAmbient>()},
      {&IID_IDocHostUIHandler, QiOffset<ControlHost, IDocHostUIHandler>()},
      {&IID_IAdviseSink, QiOffset<ControlHost, IAdviseSink>()},
  };
  return QueryThroughTable(this, kTable, sizeof kTable / sizeof kTable[0], iid, out);
}

STDMETHODIMP_(ULONG) ControlHost::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) ControlHost::Release() {
  const ULONG refs = --refs_;
  if (refs == 0) {
    delete this;
  }
  return refs;
}
