// The control host: the window procedure it installs on the host window and
// the messages it answers there.
#include "webview/control_host.h"

#include "base/com_ptr.h"
#include "webview/host_internal.h"
#include "webview/host_rules.h"

namespace {

// The window property that leads SubclassProc to its host.
constexpr char kHostProperty[] = "NavoControlHost";
// Sent by a frame to let a child translate a keyboard message.
constexpr UINT kForwardMessage = 0x037F;
constexpr UINT kRedrawFlags =
    RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME;

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

}  // namespace

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
    ComPtr<IOleInPlaceActiveObject> active;
    if (control_ == nullptr || lParam == 0 ||
        FAILED(control_->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()))) {
      return 0;
    }
    const HRESULT hr = active->TranslateAccelerator(reinterpret_cast<MSG*>(lParam));
    return hr == S_OK ? 1 : 0;
  }
  return 0;
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
