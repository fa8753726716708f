// The page selector (template PAGEDLG): five page buttons and a refresh
// button over the page files of the job's page prefix, and the loading of one
// page behind the progress panel (template PGSDLG).
#pragma once

#include <windows.h>

struct CardJob;
struct DibImage;

// What the selector is handed at creation; its creator keeps it alive as long
// as the selector.
struct PageSelectorLinks {
  CardJob* job;       // page prefix, count and selection
  HWND editorView;    // told IDC_SHOW_PAGE after a selection
  HBRUSH panelBrush;  // background of the panel
};

// Dialog procedure of PAGEDLG, created as a modeless child of the main window
// with a PageSelectorLinks* as creation parameter. IDC_SHOW_PAGE recounts the
// page files; IDC_PAGE1 to IDC_PAGE5 select a page and post IDC_SHOW_PAGE to
// the editor view.
INT_PTR CALLBACK PageSelectorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog procedure of PGSDLG: centres the panel across its owner, a little
// above the middle, and shows "ページ画像読み込み中...".
INT_PTR CALLBACK PageProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Reads page `pageIndex` (0 to 4, the file "%s%d.bmp" of `prefix` and
// pageIndex + 1) while the progress panel shows over `owner`. The caller owns
// the image; null when the file is missing, held open for writing elsewhere,
// or not a usable bitmap.
DibImage* LoadPageImage(HWND owner, const char* prefix, int pageIndex);
