// The page selector panel and the page loader. The buttons are children of
// the panel with their commands as child identifiers, so the panel finds them
// with GetDlgItem and keeps no state of its own beyond the page set in the job.
#include "pages/page_selector.h"

#include "job/card_job.h"
#include "base/scoped_handle.h"
#include "controls/bitmap_button.h"
#include "image/dib_image.h"
#include "pages/page_set.h"
#include "resources/resource.h"

namespace {

// One button of the panel: command, place, and bitmaps (normal, hover,
// selected, disabled).
struct SelectorButton {
  int id;
  int x;
  const char* names[4];
};

constexpr SelectorButton kPageButtons[kMaxPages] = {
    {IDC_PAGE1, 0, {"PAGE1", "PAGE1", "PAGE1_SEL", "PAGE_DIS"}},
    {IDC_PAGE2, 20, {"PAGE2", "PAGE2", "PAGE2_SEL", "PAGE_DIS"}},
    {IDC_PAGE3, 40, {"PAGE3", "PAGE3", "PAGE3_SEL", "PAGE_DIS"}},
    {IDC_PAGE4, 60, {"PAGE4", "PAGE4", "PAGE4_SEL", "PAGE_DIS"}},
    {IDC_PAGE5, 80, {"PAGE5", "PAGE5", "PAGE5_SEL", "PAGE_DIS"}},
};
constexpr SelectorButton kRefreshButton = {
    IDC_SHOW_PAGE, 108, {"PAGE_SHOW", "PAGE_SHOW", "PAGE_SHOW_SEL", "PAGE_SHOW"}};

constexpr char kLoadingText[] = "ページ画像読み込み中...";

constexpr char kLinksProp[] = "PAGE_LINKS";

const PageSelectorLinks* Links(HWND dialog) {
  return static_cast<const PageSelectorLinks*>(GetPropA(dialog, kLinksProp));
}

HWND CreateSelectorButton(HWND dialog, const SelectorButton& button) {
  return CreateBitmapButton(dialog, button.id, button.x, 0, button.names[0], button.names[1],
                            button.names[2], button.names[3], kSkinButtonFlags);
}

void SetPageButton(HWND dialog, int index, int state) {
  SetBitmapButtonState(GetDlgItem(dialog, IDC_PAGE1 + index), state, 1);
}

// A page file counts when it can be opened for reading while others may only
// read: a file the printer driver still writes is refused.
bool CanOpenPageFile(const char* path, void*) {
  const ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

void OnInitSelector(HWND dialog, CardJob& Job) {
  Job.pageCount = 0;
  Job.selectedPage = 0;
  for (const SelectorButton& button : kPageButtons) {
    CreateSelectorButton(dialog, button);
  }
  for (int index = 0; index < kMaxPages; ++index) {
    SetPageButton(dialog, index, BtnDisabled);
  }
  CreateSelectorButton(dialog, kRefreshButton);
}

void Recount(HWND dialog, CardJob& Job) {
  const PageRecount found = RecountPages(Job.pagePrefix, Job.pageCount, CanOpenPageFile, nullptr);
  for (int index = found.oldCount; index < found.newCount; ++index) {
    SetPageButton(dialog, index, BtnNormal);
  }
  Job.pageCount = found.newCount;
  for (int index = found.newCount; index < kMaxPages; ++index) {
    SetPageButton(dialog, index, BtnDisabled);
  }
  if (found.selectFirst) {
    PostMessageA(dialog, WM_COMMAND, IDC_PAGE1, 0);
  }
}

// Selects page `index`; selecting the current page again reloads it.
void SelectPage(HWND dialog, const PageSelectorLinks& links, int index) {
  CardJob& Job = *links.job;
  SetPageButton(dialog, Job.selectedPage, BtnNormal);
  Job.selectedPage = index;
  SetPageButton(dialog, index, BtnSelected);
  if (links.editorView) {
    PostMessageA(links.editorView, WM_COMMAND, IDC_SHOW_PAGE, 0);
  }
}

void OnDestroySelector(HWND dialog) {
  for (const SelectorButton& button : kPageButtons) {
    DestroyBitmapButton(GetDlgItem(dialog, button.id));
  }
  DestroyBitmapButton(GetDlgItem(dialog, kRefreshButton.id));
}

void OnInitProgress(HWND dialog) {
  RECT panel = {};
  RECT owner = {};
  GetClientRect(dialog, &panel);
  GetClientRect(GetParent(dialog), &owner);
  const int width = panel.right;
  const int height = panel.bottom;
  const int x = (owner.right - width) / 2;
  const int y = (owner.bottom - height) / 2 * 4 / 5;
  MoveWindow(dialog, x, y, width, height, TRUE);
  SetDlgItemTextA(dialog, IDC_STATUS, kLoadingText);
}

}  // namespace

INT_PTR CALLBACK PageSelectorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* links = reinterpret_cast<const PageSelectorLinks*>(lParam);
    if (links && links->job) {
      SetPropA(dialog, kLinksProp, const_cast<PageSelectorLinks*>(links));
      OnInitSelector(dialog, *links->job);
    }
    return FALSE;  // the panel takes no focus from the main window
  }
  const PageSelectorLinks* links = Links(dialog);
  if (!links) return FALSE;
  switch (message) {
    case WM_DESTROY:
      OnDestroySelector(dialog);
      RemovePropA(dialog, kLinksProp);
      return TRUE;
    case WM_COMMAND: {
      const int command = LOWORD(wParam);
      if (command == IDC_SHOW_PAGE) {
        Recount(dialog, *links->job);
        return TRUE;
      }
      const int index = PageIndexOfCommand(command);
      if (index >= 0) {
        SelectPage(dialog, *links, index);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(links->panelBrush);
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(links->panelBrush);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PageProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitProgress(dialog);
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

DibImage* LoadPageImage(HWND owner, const char* prefix, int pageIndex) {
  HWND panel = CreateDialogParamA(GetModuleHandleA(nullptr), "PGSDLG", owner, PageProgressProc, 0);
  if (panel) {
    ShowWindow(panel, SW_SHOW);
    // The read blocks the thread: paint the panel before it starts.
    UpdateWindow(panel);
  }
  char path[kPathSize];
  DibImage* image = prefix && PageFilePath(prefix, pageIndex + 1, path) ? DibLoadFile(path) : nullptr;
  if (panel) {
    DestroyWindow(panel);
  }
  return image;
}
