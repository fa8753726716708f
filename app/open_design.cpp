// The 開く command and dropped design files.
#include "app/open_design.h"

#include <commdlg.h>

#include <cstring>

#include "app/program_values.h"
#include "pages/design_file.h"

namespace {

// Pairs of display text and patterns, each ending in NUL, the list in a second NUL.
constexpr char kFilter[] =
    "画像ファイル (PNG, JPEG, TIFF, BMP, GIF)\0*.png;*.jpg;*.jpeg;*.jpe;*.tif;*.tiff;*.bmp;*.gif\0"
    "PNG 画像 (*.png)\0*.png\0"
    "JPEG 画像 (*.jpg, *.jpeg)\0*.jpg;*.jpeg;*.jpe\0"
    "TIFF 画像 (*.tif, *.tiff)\0*.tif;*.tiff\0"
    "BMP 画像 (*.bmp)\0*.bmp\0"
    "GIF 画像 (*.gif)\0*.gif\0"
    "すべてのファイル (*.*)\0*.*\0";

constexpr char kDialogTitle[] = "名刺のデザインファイルを開く";

}  // namespace

bool ChooseDesignFile(HWND owner, char* path, size_t size) {
  path[0] = '\0';
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(size);
  dialog.lpstrTitle = kDialogTitle;
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR;
  return GetOpenFileNameA(&dialog) != FALSE && path[0] != '\0';
}

int OpenDesignFile(HWND owner, const char* path) {
  DesignImportResult result;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  const DesignImportStatus status = ImportDesignFile(path, Job.pagePrefix, &result);
  SetCursor(previous);
  if (status != DesignImported) {
    char message[512];
    DesignImportMessage(status, path, result, message, sizeof message);
    MessageBoxA(owner, message, kDesignOpenCaption, MB_ICONERROR | MB_OK);
    return -1;
  }
  PageCard& card = Job.pageCards[result.pageIndex];
  card = {};  // without a card's proportions: looked for when the page is loaded
  if (result.placement.isCard &&
      PageFileStamp(Job.pagePrefix, result.pageIndex, &card.fileSize, &card.fileTime)) {
    card.source = PageCardImported;
    card.trim = result.placement.trim;
    card.sizeIndex = result.placement.card.sizeIndex;
    card.orientation = result.placement.card.orientation;
  }
  return result.pageIndex;
}
