// Shows the card cut editor as the program does, for a screenshot: the real
// main window with the editor view, the page selector, the options bar and
// the two previews, a printed A4 page holding a card design, the selection
// placed on it, and the front cut. Writes "ready" (with the main window's
// screen rectangle) into the folder given as first argument, then waits for
// a file "quit" there.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/program_values.h"
#include "editor/card_geometry.h"
#include "editor/card_preview.h"
#include "editor/cut_editor.h"
#include "editor/editor_view.h"
#include "editor/fit_rect.h"
#include "editor/options_bar.h"
#include "pages/page_selector.h"
#include "resources/resource.h"
#include "support/win_test_util.h"

namespace {

constexpr int kPageWidth = 5953;  // A4 at 720 dpi
constexpr int kPageHeight = 8419;

void Text(HDC dc, int x, int y, int height, int weight, COLORREF colour, const char* text) {
  HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, "MS UI Gothic");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text, lstrlenA(text));
  SelectObject(dc, old);
  DeleteObject(font);
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT rect = {left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// A printed page, top-down as the printer driver writes it: a heading and a
// business card whose trim area is `trim`, its background running into the
// bleed.
void WriteSamplePage(const std::string& path, const CardRect& trim, int bleed) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kPageWidth;
  info.bmiHeader.biHeight = -kPageHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  Fill(dc, 0, 0, kPageWidth, kPageHeight, RGB(255, 255, 255));
  Text(dc, 500, 300, 180, FW_BOLD, RGB(40, 40, 40), "名刺データ（表面）");
  Fill(dc, 500, 560, kPageWidth - 500, 575, RGB(120, 120, 120));

  const int w = trim.right - trim.left;
  const int h = trim.bottom - trim.top;
  Fill(dc, trim.left - bleed, trim.top - bleed, trim.right + bleed, trim.bottom + bleed,
       RGB(244, 240, 228));
  Fill(dc, trim.left - bleed, trim.top - bleed, trim.left + w / 5, trim.bottom + bleed,
       RGB(20, 70, 140));
  Fill(dc, trim.left + w / 5, trim.bottom - h / 7, trim.right + bleed, trim.bottom + bleed,
       RGB(230, 150, 30));
  const int x = trim.left + w / 5 + 160;
  Text(dc, x, trim.top + 170, 110, FW_NORMAL, RGB(20, 70, 140), "ノルヴァリスク印刷株式会社");
  Text(dc, x, trim.top + 330, 80, FW_NORMAL, RGB(60, 60, 60), "営業部　課長");
  Text(dc, x, trim.top + 460, 230, FW_BOLD, RGB(20, 20, 20), "山田　太郎");
  Text(dc, x, trim.top + 820, 75, FW_NORMAL, RGB(60, 60, 60), "〒100-0001 東京都千代田区1-2-3");
  Text(dc, x, trim.top + 920, 75, FW_NORMAL, RGB(60, 60, 60), "TEL 03-1234-5678");
  Text(dc, x, trim.top + 1020, 75, FW_NORMAL, RGB(60, 60, 60), "taro@example.jp");
  Text(dc, trim.left + 120, trim.top + 160, 260, FW_BOLD, RGB(255, 255, 255), "N");

  // Another card further down, to show the page is a sheet of designs.
  Text(dc, 500, trim.bottom + 1200, 120, FW_NORMAL, RGB(90, 90, 90), "※ 裏面は次のページ");
  GdiFlush();

  BITMAPFILEHEADER file = {};
  const DWORD stride = (kPageWidth * 3 + 3) & ~3u;
  const DWORD pixels = stride * kPageHeight;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + pixels;
  info.bmiHeader.biSizeImage = pixels;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(static_cast<const char*>(bits), pixels);
  WriteFileBytes(path, bytes);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string signal = argv[1];
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  AppInstance = GetModuleHandleA(nullptr);
  TempFolder folder;
  InitCardJob(&Job, folder.path().c_str());

  // Where the view will put its default selection on an A4 page, in page pixels.
  const CardGeometry card = JobGeometry(Job);
  const float scale = FitViewScale(409, 561, kPageWidth, kPageHeight);
  int32_t image[4] = {0, 0, 409, 561};
  FitImageRect(kPageWidth / 12, kPageHeight / 12, image);
  const CardRect trim =
      TrimRectFromSelection(DefaultSelection(409, card, scale), image[0], image[1], scale);
  const CardRect cut = CutRectFromTrim(trim, card);
  WriteSamplePage(folder.File("page_1.bmp"), trim, trim.left - cut.left);

  RegisterMainWindowClass(AppInstance);
  HWND main = CreateMainWindow(AppInstance, LoadBitmapA(AppInstance, "WINDOW_BG"));
  if (!main) return 3;
  // The main window made its children (AppWindows) on creation.
  SendMessageA(main, WM_SIZE, 0, 0);
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);

  // Recount the page files: page 1 is found, selected and loaded.
  PostMessageA(main, WM_COMMAND, IDC_SHOW_PAGE, 0);
  WaitFor([] {
    const CutEditor* editor = EditorViewState(AppWindows.editorView);
    return editor && editor->pageImage;
  }, 60000);
  PumpMessages();
  // Cut the front, as the cut button does.
  PostMessageA(main, WM_COMMAND, IDC_DATA_CUT, 0);
  WaitFor([] { return Job.sides[0].image != nullptr; }, 60000);
  PumpMessages();
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();

  RECT rect;
  GetWindowRect(main, &rect);
  char line[64];
  std::snprintf(line, sizeof line, "%ld %ld %ld %ld\n", rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top);
  WriteFileBytes(signal + "\\ready", line);
  WaitFor([&] { return FileExists(signal + "\\quit"); }, 120000);
  ExitProcess(0);
}
