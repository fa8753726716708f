// The control host: its window class, its life with the host window, creating
// and activating the control, and the window messages it follows.
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

#include <exdisp.h>
#include <mshtml.h>

#include <new>

#include "webview/com_table.h"
#include "webview/host_rules.h"
#include "webview/navo_module.h"

UINT NavoGetHostMessage;
UINT NavoGetControlMessage;

namespace {

// The window property that leads SubclassProc to its host.
constexpr char kHostProperty[] = "NavoControlHost";
// The event-sink cookie when no sink is connected.
constexpr DWORD kNoSinkCookie = 0xCDCDCDCD;
// Sent by a frame to let a child translate a keyboard message.
constexpr UINT kForwardMessage = 0x037F;
// Messages reflected to the child they came from are sent as message + this.
constexpr UINT kReflectBase = 0x2000;
constexpr UINT kRedrawFlags =
    RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME;

// Dots per inch of the screen, horizontally and vertically.
SIZE ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const SIZE dpi = {GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

SIZEL SizeToHimetric(SIZE pixels) {
  const SIZE dpi = ScreenDpi();
  return {PixelsToHimetric(pixels.cx, dpi.cx), PixelsToHimetric(pixels.cy, dpi.cy)};
}

SIZE SizeToPixels(SIZEL himetric) {
  const SIZE dpi = ScreenDpi();
  return {HimetricToPixels(himetric.cx, dpi.cx), HimetricToPixels(himetric.cy, dpi.cy)};
}

bool IsMouseMessage(UINT message) {
  switch (message) {
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

// Keyboard and related messages that go to a windowless control with the focus.
bool IsFocusMessage(UINT message) {
  switch (message) {
    case WM_CANCELMODE:
    case WM_HELP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSDEADCHAR:
    case WM_MBUTTONDBLCLK:
    case WM_IME_CHAR:
      return true;
    default:
      return message >= WM_IME_SETCONTEXT && message <= WM_IME_KEYUP;
  }
}

bool IsReflectedMessage(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return lParam != 0;
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return true;
    default:
      return false;
  }
}

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
  OleInitialize(nullptr);

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
  IStream* stream = StreamFromCreationData(create->lpCreateParams);
  MultiByteToWideChar(CP_ACP, 0, text, -1, name, length + 1);

  IUnknown* host = nullptr;
  HRESULT hr = CreateControlHost(name, window, stream, &host, nullptr, IID_NULL, nullptr);
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
  if (stream != nullptr) {
    stream->Release();
  }
  if (host != nullptr) {
    host->Release();
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
    auto* hostWindow =
        reinterpret_cast<IHostWindow*>(SetWindowLongPtrA(window, GWLP_USERDATA, 0));
    if (hostWindow != nullptr) {
      hostWindow->Release();
    }
    OleUninitialize();
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
  IUnknown* unknown = object->Unknown();
  IHostWindow* hostWindow = nullptr;
  IUnknown* made = nullptr;
  HRESULT hr = unknown->QueryInterface(IID_IHostWindow, reinterpret_cast<void**>(&hostWindow));
  if (SUCCEEDED(hr)) {
    BSTR bstrName = SysAllocString(name);
    hr = hostWindow->CreateHostedControlWithSink(bstrName, window, stream, &made, sinkInterface,
                                                 sink);
    SysFreeString(bstrName);
    hostWindow->Release();
  }
  if (SUCCEEDED(hr)) {
    if (host != nullptr) {
      *host = unknown;
      unknown = nullptr;
    }
    if (control != nullptr) {
      *control = made;
      made = nullptr;
    }
  }
  if (made != nullptr) {
    made->Release();
  }
  if (unknown != nullptr) {
    unknown->Release();
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

// ---- IHostWindow ----

STDMETHODIMP ControlHost::CreateHostedControl(LPCOLESTR name, HWND window, IStream* stream) {
  IUnknown* control = nullptr;
  const HRESULT hr = CreateHostedControlWithSink(name, window, stream, &control, IID_NULL, nullptr);
  if (control != nullptr) {
    control->Release();
  }
  return hr;
}

STDMETHODIMP ControlHost::CreateHostedControlWithSink(LPCOLESTR name, HWND window,
                                                      IStream* stream, IUnknown** control,
                                                      REFIID sinkInterface, IUnknown* sink) {
  if (control != nullptr) {
    *control = nullptr;
  }
  ReleaseAll();
  if (window_ != nullptr) {
    Redraw();
    LetGoOfWindow();
  }
  if (!IsWindow(window)) {
    return S_FALSE;
  }
  SetFlag(kAmbientSubclassed, Subclass(window) ? VARIANT_TRUE : VARIANT_FALSE);

  if (backColor_ == 0) {
    char parentClass[8] = {};
    GetClassNameA(GetParent(window), parentClass, sizeof parentClass);
    backColor_ = lstrcmpA(parentClass, "#32770") == 0 ? GetSysColor(COLOR_BTNFACE)
                                                       : GetSysColor(COLOR_WINDOW);
  }

  IUnknown* object = nullptr;
  bool htmlOrUrl = false;
  HRESULT hr = CreateNamedObject(name, &object, htmlOrUrl);
  if (object != nullptr) {
    hr = Activate(object, hr == S_FALSE, stream);
    object->Release();
  }

  sinkInterface_ = sinkInterface;
  if (SUCCEEDED(hr) && control_ != nullptr && sink != nullptr) {
    IConnectionPointContainer* points = nullptr;
    hr = control_->QueryInterface(IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(&points));
    if (SUCCEEDED(hr)) {
      IConnectionPoint* point = nullptr;
      hr = points->FindConnectionPoint(sinkInterface, &point);
      if (SUCCEEDED(hr)) {
        hr = point->Advise(sink, &sinkCookie_);
        point->Release();
      }
      points->Release();
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
  ReleaseAll();
  if (window_ != nullptr) {
    Redraw();
    LetGoOfWindow();
  }
  if (!IsWindow(window)) {
    return S_FALSE;
  }
  SetFlag(kAmbientSubclassed, Subclass(window) ? VARIANT_TRUE : VARIANT_FALSE);
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
      IPersistStreamInit* persist = nullptr;
      if (SUCCEEDED(control_->QueryInterface(IID_IPersistStreamInit,
                                             reinterpret_cast<void**>(&persist)))) {
        // A control that cannot read its state still runs with its defaults.
        if (stream != nullptr) {
          persist->Load(stream);
        } else {
          persist->InitNew();
        }
        persist->Release();
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
  IObjectWithSite* withSite = nullptr;
  if (control_ != nullptr && SUCCEEDED(control_->QueryInterface(
                                 IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
    withSite->SetSite(Unknown());
    withSite->Release();
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
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(control_->QueryInterface(IID_IPersistStreamInit,
                                           reinterpret_cast<void**>(&persist)))) {
      persist->InitNew();
      persist->Release();
    }
    IHTMLDocument2* document = nullptr;
    if (SUCCEEDED(
            control_->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document)))) {
      IHTMLElement* body = nullptr;
      if (SUCCEEDED(document->get_body(&body)) && body != nullptr) {
        BSTR html = SysAllocString(name + kHtmlPrefixLength);
        body->put_innerHTML(html);
        SysFreeString(html);
        body->Release();
      }
      document->Release();
    }
    return;
  }

  IWebBrowser2* browser = nullptr;
  if (SUCCEEDED(control_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
    browser->put_Visible(VARIANT_TRUE);
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(name);
    VARIANT empty;
    VariantInit(&empty);
    browser->Navigate2(&url, &empty, &empty, &empty, &empty);
    VariantClear(&url);
    browser->Release();
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
    IConnectionPointContainer* points = nullptr;
    if (control_ != nullptr &&
        SUCCEEDED(control_->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&points)))) {
      IConnectionPoint* point = nullptr;
      if (SUCCEEDED(points->FindConnectionPoint(sinkInterface_, &point))) {
        point->Unadvise(sinkCookie_);
        point->Release();
      }
      points->Release();
    }
    sinkCookie_ = kNoSinkCookie;
  }
  if (oleObject_ != nullptr) {
    oleObject_->Unadvise(adviseCookie_);
    oleObject_->Close(OLECLOSE_NOSAVE);
    oleObject_->SetClientSite(nullptr);
  }
  IObjectWithSite* withSite = nullptr;
  if (control_ != nullptr && SUCCEEDED(control_->QueryInterface(
                                 IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
    withSite->SetSite(nullptr);
    withSite->Release();
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

// ---- the host window ----

bool ControlHost::Subclass(HWND window) {
  window_ = window;
  SetPropA(window, kHostProperty, this);
  replacedProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
  if (replacedProc_ == nullptr) {
    RemovePropA(window, kHostProperty);
    return false;
  }
  return true;
}

void ControlHost::Redraw() { RedrawWindow(window_, nullptr, nullptr, kRedrawFlags); }

void ControlHost::LetGoOfWindow() {
  HWND window = window_;
  if (window == nullptr) {
    return;
  }
  if (ambientFlags_ & kAmbientSubclassed) {
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == SubclassProc) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacedProc_));
    }
    RemovePropA(window, kHostProperty);
    ambientFlags_ &= ~kAmbientSubclassed;
  } else {
    DestroyWindow(window);
  }
  window_ = nullptr;
  replacedProc_ = nullptr;
}

LRESULT ControlHost::CallReplaced(UINT message, WPARAM wParam, LPARAM lParam) {
  if (replacedProc_ == nullptr) {
    return DefWindowProcA(window_, message, wParam, lParam);
  }
  return CallWindowProcA(replacedProc_, window_, message, wParam, lParam);
}

LRESULT CALLBACK ControlHost::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* host = static_cast<ControlHost*>(GetPropA(window, kHostProperty));
  if (host == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    // The class procedure drops the window's reference on the way: keep the
    // host alive until this handler is done with it.
    host->AddRef();
    const WNDPROC replaced = host->replacedProc_;
    const LRESULT result = CallWindowProcA(replaced, window, message, wParam, lParam);
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) == SubclassProc) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replaced));
    }
    RemovePropA(window, kHostProperty);
    host->window_ = nullptr;
    host->replacedProc_ = nullptr;
    if (host->destroyReferenceHeld_) {
      // Gives back the reference taken at WM_DESTROY; the one taken above
      // still keeps the host alive, so this cannot be the last.
      host->destroyReferenceHeld_ = false;
      --host->refs_;
    }
    host->Release();
    return result;
  }
  bool handled = false;
  const LRESULT result = host->HandleMessage(message, wParam, lParam, handled);
  return handled ? result : host->CallReplaced(message, wParam, lParam);
}

LRESULT ControlHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_KILLFOCUS:
      hasFocus_ = false;
      return 0;
    case WM_PAINT:
      if (viewObject_ == nullptr || windowless_) {
        PaintWindow();
        handled = true;
        return 1;
      }
      return 0;
    case WM_ERASEBKGND:
      if (viewObject_ != nullptr) {
        handled = true;
        return 1;
      }
      break;
    default:
      break;
  }

  if (IsMouseMessage(message) && windowless_ && HitsWindowlessControl(message, lParam)) {
    if (inPlaceActive_ && inPlaceObject_ != nullptr) {
      LRESULT ignored = 0;
      WindowlessObject()->OnWindowMessage(message, wParam, lParam, &ignored);
    }
  }

  if (IsFocusMessage(message) && windowless_ && hasFocus_) {
    if (inPlaceActive_ && inPlaceObject_ != nullptr) {
      LRESULT result = 0;
      const HRESULT hr = WindowlessObject()->OnWindowMessage(message, wParam, lParam, &result);
      if (hr != S_FALSE) {
        handled = true;
        return result;
      }
    }
  }

  if (message == WM_DESTROY) {
    // Stay alive until WM_NCDESTROY, which gives this reference back.
    if (!destroyReferenceHeld_) {
      AddRef();
      destroyReferenceHeld_ = true;
    }
    ReleaseAll();
    handled = true;
    return CallReplaced(message, wParam, lParam);
  }

  if (IsReflectedMessage(message, lParam) && !windowless_ &&
      (ambientFlags_ & kAmbientMessageReflect)) {
    const LRESULT result = Reflect(message, wParam, lParam, handled);
    if (handled) {
      return result;
    }
  }

  if (message == NavoGetHostMessage && message != 0) {
    handled = true;
    IUnknown* unknown = Unknown();
    unknown->AddRef();
    return reinterpret_cast<LRESULT>(unknown);
  }
  if (message == NavoGetControlMessage && message != 0) {
    handled = true;
    if (control_ == nullptr) {
      return 0;
    }
    control_->AddRef();
    return reinterpret_cast<LRESULT>(control_);
  }
  if (message == kForwardMessage) {
    handled = true;
    IOleInPlaceActiveObject* active = nullptr;
    if (control_ == nullptr || lParam == 0 ||
        FAILED(control_->QueryInterface(IID_IOleInPlaceActiveObject,
                                        reinterpret_cast<void**>(&active)))) {
      return 0;
    }
    const HRESULT hr = active->TranslateAccelerator(reinterpret_cast<MSG*>(lParam));
    active->Release();
    return hr == S_OK ? 1 : 0;
  }
  return 0;
}

IOleInPlaceObjectWindowless* ControlHost::WindowlessObject() const {
  // While windowless the in-place object was obtained as the windowless kind.
  return static_cast<IOleInPlaceObjectWindowless*>(inPlaceObject_);
}

void ControlHost::OnSize(int width, int height) {
  position_.right = position_.left + width;
  position_.bottom = position_.top + height;
  pixelSize_ = {width, height};
  himetricSize_ = SizeToHimetric(pixelSize_);
  if (oleObject_ != nullptr) {
    oleObject_->SetExtent(DVASPECT_CONTENT, &himetricSize_);
  }
  if (inPlaceObject_ != nullptr) {
    inPlaceObject_->SetObjectRects(&position_, &position_);
  }
  if (windowless_) {
    ::InvalidateRect(window_, nullptr, TRUE);
  }
}

void ControlHost::OnSetFocus() {
  hasFocus_ = true;
  if (releasing_) {
    return;
  }
  if (oleObject_ != nullptr && !inPlaceActive_) {
    oleObject_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0,
                       window_, &position_);
  }
  if (!windowless_) {
    // The host window itself is no descendant: the focus moves on to the
    // control's window, the host's first child.
    if (!IsChild(window_, ::GetFocus())) {
      if (HWND child = ::GetWindow(window_, GW_CHILD)) {
        ::SetFocus(child);
      }
    }
  }
}

void ControlHost::PaintWindow() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (dc == nullptr) {
    return;
  }
  RECT client;
  GetClientRect(window_, &client);
  COLORREF background = 0;
  OleTranslateColor(backColor_, nullptr, &background);
  HBRUSH brush = CreateSolidBrush(background);
  if (viewObject_ == nullptr) {
    FillRect(dc, &client, brush);
  } else {
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    if (memory != nullptr && bitmap != nullptr) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      FillRect(memory, &client, brush);
      const RECTL bounds = {position_.left, position_.top, position_.right, position_.bottom};
      viewObject_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                        &bounds, nullptr, 0);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
    }
    if (bitmap != nullptr) {
      DeleteObject(bitmap);
    }
    if (memory != nullptr) {
      DeleteDC(memory);
    }
  }
  DeleteObject(brush);
  EndPaint(window_, &paint);
}

bool ControlHost::HitsWindowlessControl(UINT message, LPARAM lParam) {
  if (captured_) {
    return true;
  }
  if (viewKind_ != 7 || viewObject_ == nullptr) {
    return false;
  }
  POINT point;
  if (message == WM_SETCURSOR) {
    GetCursorPos(&point);
    ScreenToClient(window_, &point);
  } else {
    point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  }
  DWORD hit = HITRESULT_OUTSIDE;
  static_cast<IViewObjectEx*>(viewObject_)
      ->QueryHitPoint(DVASPECT_CONTENT, &position_, point, 0, &hit);
  return hit == HITRESULT_HIT;
}

LRESULT ControlHost::Reflect(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  HWND target = nullptr;
  switch (message) {
    case WM_COMMAND:
      target = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY:
      if (lParam != 0) {
        target = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
      }
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY) {
        target = reinterpret_cast<HWND>(lParam);
      } else {
        target = GetDlgItem(window_, HIWORD(wParam));
      }
      break;
    case WM_DRAWITEM:
      if (wParam != 0 && lParam != 0) {
        target = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
      }
      break;
    case WM_MEASUREITEM:
      if (wParam != 0 && lParam != 0) {
        target = GetDlgItem(window_, reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID);
      }
      break;
    case WM_COMPAREITEM:
      if (wParam != 0 && lParam != 0) {
        target = GetDlgItem(window_, reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->CtlID);
      }
      break;
    case WM_DELETEITEM:
      if (wParam != 0 && lParam != 0) {
        target = GetDlgItem(window_, reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->CtlID);
      }
      break;
    default:  // WM_VKEYTOITEM, WM_CHARTOITEM, the scroll bars and WM_CTLCOLOR…
      target = reinterpret_cast<HWND>(lParam);
      break;
  }
  if (target == nullptr) {
    return 0;
  }
  handled = true;
  return SendMessageA(target, message + kReflectBase, wParam, lParam);
}
