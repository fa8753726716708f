// The options bar: card size and orientation.
#include "editor/options_bar.h"

#include "job/card_job.h"
#include "job/card_side.h"
#include "resources/resource.h"

namespace {

constexpr char kLinksProp[] = "OPTIONS_LINKS";

const OptionsBarLinks* Links(HWND dialog) {
  return static_cast<const OptionsBarLinks*>(GetPropA(dialog, kLinksProp));
}

// Tells the editor view that the card geometry changed.
void AnnounceCardChange(const OptionsBarLinks& links) {
  if (links.editorView) {
    PostMessageA(links.editorView, WM_COMMAND, IDC_CARD_SIZE, 0);
  }
}

void OnInit(HWND dialog, CardJob& Job) {
  Job.orientation = kLandscape;
  CheckDlgButton(dialog, IDC_LANDSCAPE, BST_CHECKED);
  CheckDlgButton(dialog, IDC_PORTRAIT, Job.orientation == kPortrait ? BST_CHECKED : BST_UNCHECKED);
  HWND list = GetDlgItem(dialog, IDC_CARD_SIZE);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (const char* name : kCardSizeNames) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(Job.sizeIndex), 0);
}

// Returns TRUE when the command was handled.
INT_PTR OnCommand(HWND dialog, const OptionsBarLinks& links, int id, int notification) {
  CardJob& Job = *links.job;
  switch (id) {
    case IDC_LANDSCAPE:
    case IDC_PORTRAIT:
      Job.orientation = IsDlgButtonChecked(dialog, IDC_PORTRAIT) == BST_CHECKED ? kPortrait : kLandscape;
      AnnounceCardChange(links);
      return TRUE;
    case IDC_CARD_SIZE: {
      if (notification != CBN_SELCHANGE) {
        return FALSE;
      }
      const LRESULT row = SendDlgItemMessageA(dialog, IDC_CARD_SIZE, CB_GETCURSEL, 0, 0);
      // The list holds exactly the rows of the size table; no selection changes nothing.
      if (row >= 0 && row < kCardSizeCount) {
        Job.sizeIndex = static_cast<int32_t>(row);
      }
      AnnounceCardChange(links);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK OptionsBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* links = reinterpret_cast<const OptionsBarLinks*>(lParam);
    if (!links || !links->job) return TRUE;
    SetPropA(dialog, kLinksProp, const_cast<OptionsBarLinks*>(links));
    OnInit(dialog, *links->job);
    return TRUE;
  }
  const OptionsBarLinks* links = Links(dialog);
  if (!links) return FALSE;
  switch (message) {
    case WM_COMMAND:
      return OnCommand(dialog, *links, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(links->panelBrush);
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(links->panelBrush);
    case WM_DESTROY:
      RemovePropA(dialog, kLinksProp);
      return FALSE;
    default:
      return FALSE;
  }
}

void ShowCardSettings(HWND bar) {
  const OptionsBarLinks* links = bar ? Links(bar) : nullptr;
  if (!links) return;
  const CardJob& Job = *links->job;
  CheckRadioButton(bar, IDC_LANDSCAPE, IDC_PORTRAIT,
                   Job.orientation == kPortrait ? IDC_PORTRAIT : IDC_LANDSCAPE);
  SendDlgItemMessageA(bar, IDC_CARD_SIZE, CB_SETCURSEL, static_cast<WPARAM>(Job.sizeIndex), 0);
}
