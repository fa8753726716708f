// The in-place frame and document window objects and their hidden windows.
#include "webview/host_frame.h"

#include <cstdio>
#include <new>

#include "webview/com_table.h"
#include "webview/navo_module.h"

namespace {

// The window class of one kind of hidden window, registered once per process.
struct HiddenWindowClass {
  const char* windowText;
  ATOM atom;
  char name[16];
};

HiddenWindowClass frameClass = {"NAVO Frame Window", 0, {}};
HiddenWindowClass documentClass = {"NAVO UI Window", 0, {}};

// The hidden windows handle nothing themselves.
LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// First message of a hidden window: finds the object waiting for it on this
// thread, gives it the window handle and hands the window to its own procedure.
LRESULT CALLBACK HiddenWindowStartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto* slot = static_cast<HWND*>(NavoTakeHandOver())) {
    *slot = window;
  }
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HiddenWindowProc));
  return HiddenWindowProc(window, message, wParam, lParam);
}

// Registers the class of `record` unless it exists; returns its atom or 0.
ATOM RegisterHiddenClass(HiddenWindowClass& record) {
  WindowCreateLock lock;
  if (record.atom != 0) {
    return record.atom;
  }
  std::snprintf(record.name, sizeof record.name, "NAVO:%8.8X",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&record)));
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  // GetClassInfoEx answers with the class atom when the class exists.
  if (const BOOL known = GetClassInfoExA(NavoLibrary.instance, record.name, &info)) {
    record.atom = static_cast<ATOM>(known);
    return record.atom;
  }
  info = {};
  info.cbSize = sizeof info;
  info.style = (CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS) & ~CS_GLOBALCLASS;
  info.lpfnWndProc = HiddenWindowStartProc;
  info.hInstance = NavoLibrary.instance;
  info.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  info.lpszClassName = record.name;
  record.atom = RegisterClassExA(&info);
  return record.atom;
}

// Makes the hidden window of `record` for the object whose window slot is `slot`.
void CreateHiddenWindow(HiddenWindowClass& record, HWND* slot) {
  const ATOM atom = RegisterHiddenClass(record);
  if (atom == 0 || !NavoPushHandOver(slot)) {
    return;
  }
  HWND window = CreateWindowExA(0, MAKEINTATOM(atom), record.windowText, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                nullptr, nullptr, NavoLibrary.instance, nullptr);
  if (window == nullptr) {
    // No message reached the start procedure: take the entry back.
    NavoTakeHandOver();
  }
}

void DestroyHiddenWindow(HWND& window) {
  if (window != nullptr && IsWindow(window)) {
    DestroyWindow(window);
  }
  window = nullptr;
}

}  // namespace

// ---- HostFrame ----

HostFrame::HostFrame() { NavoModuleLock(); }

HostFrame::~HostFrame() {
  ReleaseReference(activeObject_);
  DestroyHiddenWindow(window_);
  NavoModuleUnlock();
}

HostFrame* HostFrame::Create() { return new (std::nothrow) HostFrame(); }

STDMETHODIMP HostFrame::QueryInterface(REFIID iid, void** out) {
  static const QiEntry kTable[] = {
      {&IID_IOleInPlaceFrame, 0},
      {&IID_IOleInPlaceUIWindow, 0},
      {&IID_IOleWindow, 0},
  };
  return QueryThroughTable(this, kTable, 3, iid, out);
}

STDMETHODIMP_(ULONG) HostFrame::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) HostFrame::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) {
    delete this;
  }
  return refs;
}

STDMETHODIMP HostFrame::GetWindow(HWND* window) {
  if (window == nullptr) {
    return E_POINTER;
  }
  if (window_ == nullptr) {
    CreateHiddenWindow(frameClass, &window_);
  }
  *window = window_;
  return S_OK;
}

STDMETHODIMP HostFrame::ContextSensitiveHelp(BOOL) { return S_OK; }
STDMETHODIMP HostFrame::GetBorder(LPRECT) { return S_OK; }
STDMETHODIMP HostFrame::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP HostFrame::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

STDMETHODIMP HostFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  ReplaceReference(activeObject_, object);
  return S_OK;
}

STDMETHODIMP HostFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return S_OK; }
STDMETHODIMP HostFrame::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP HostFrame::RemoveMenus(HMENU) { return S_OK; }
STDMETHODIMP HostFrame::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP HostFrame::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP HostFrame::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// ---- HostUIWindow ----

HostUIWindow::HostUIWindow() { NavoModuleLock(); }

HostUIWindow::~HostUIWindow() {
  ReleaseReference(activeObject_);
  DestroyHiddenWindow(window_);
  NavoModuleUnlock();
}

HostUIWindow* HostUIWindow::Create() { return new (std::nothrow) HostUIWindow(); }

STDMETHODIMP HostUIWindow::QueryInterface(REFIID iid, void** out) {
  static const QiEntry kTable[] = {
      {&IID_IOleInPlaceUIWindow, 0},
      {&IID_IOleWindow, 0},
  };
  return QueryThroughTable(this, kTable, 2, iid, out);
}

STDMETHODIMP_(ULONG) HostUIWindow::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) HostUIWindow::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) {
    delete this;
  }
  return refs;
}

STDMETHODIMP HostUIWindow::GetWindow(HWND* window) {
  if (window == nullptr) {
    return E_POINTER;
  }
  if (window_ == nullptr) {
    CreateHiddenWindow(documentClass, &window_);
  }
  *window = window_;
  return S_OK;
}

STDMETHODIMP HostUIWindow::ContextSensitiveHelp(BOOL) { return S_OK; }
STDMETHODIMP HostUIWindow::GetBorder(LPRECT) { return S_OK; }
STDMETHODIMP HostUIWindow::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP HostUIWindow::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

STDMETHODIMP HostUIWindow::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  ReplaceReference(activeObject_, object);
  return S_OK;
}
