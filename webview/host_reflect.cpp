// The control host: notifications of child windows sent back to the child
// they came from, so that a control can handle its own.
#include "webview/control_host.h"

#include "webview/host_internal.h"

namespace {

// Messages reflected to the child they came from are sent as message + this.
constexpr UINT kReflectBase = 0x2000;

}  // namespace

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
