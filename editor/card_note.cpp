// The card note window.
#include "editor/card_note.h"

#include <algorithm>

#include "base/scoped_handle.h"

namespace {

constexpr char kNoteClass[] = "NORVALISK_NOTE";
constexpr char kBackgroundProp[] = "NOTE_BG";
constexpr COLORREF kNoteGreen = RGB(35, 150, 85);
constexpr COLORREF kNoteEdge = RGB(24, 110, 60);

// Restores the object a device context held before.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

void Paint(HWND note) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(note, &paint);
  RECT client;
  GetClientRect(note, &client);
  // The header behind the label, so that its rounded corners sit on it.
  auto background = static_cast<HBITMAP>(GetPropA(note, kBackgroundProp));
  if (background) {
    ScopedMemoryDc memory(CreateCompatibleDC(dc));
    SelectGuard keep(memory.get(), background);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), kCardNoteX, kCardNoteY, SRCCOPY);
  }
  char text[128];
  const int length = GetWindowTextA(note, text, sizeof text);
  ScopedFont font(CreateFontA(12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, nullptr));
  SelectGuard keepFont(dc, font.get());
  SIZE extent = {};
  GetTextExtentPoint32A(dc, text, length, &extent);
  const int width = std::min<int>(client.right, extent.cx + 26);
  ScopedBrush fill(CreateSolidBrush(kNoteGreen));
  ScopedPen edge(CreatePen(PS_SOLID, 1, kNoteEdge));
  {
    SelectGuard keepBrush(dc, fill.get());
    SelectGuard keepPen(dc, edge.get());
    RoundRect(dc, 0, 0, width, client.bottom, 8, 8);
    // A check mark.
    ScopedPen tick(CreatePen(PS_SOLID, 2, RGB(255, 255, 255)));
    SelectGuard keepTick(dc, tick.get());
    MoveToEx(dc, 6, client.bottom / 2, nullptr);
    LineTo(dc, 9, client.bottom / 2 + 3);
    LineTo(dc, 15, client.bottom / 2 - 4);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 19, (client.bottom - extent.cy) / 2, text, length);
  EndPaint(note, &paint);
}

LRESULT CALLBACK NoteProc(HWND note, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetPropA(note, kBackgroundProp, create->lpCreateParams);
      return 0;
    }
    case WM_PAINT:
      Paint(note);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      // Presses fall through to the main window, which is dragged by its background.
      return HTTRANSPARENT;
    case WM_DESTROY:
      RemovePropA(note, kBackgroundProp);
      return 0;
    default:
      return DefWindowProcA(note, message, wParam, lParam);
  }
}

}  // namespace

HWND CreateCardNote(HWND parent, HBITMAP background) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = NoteProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kNoteClass;
  RegisterClassA(&windowClass);  // a second registration fails harmlessly
  return CreateWindowExA(0, kNoteClass, "", WS_CHILD, kCardNoteX, kCardNoteY, kCardNoteWidth,
                         kCardNoteHeight, parent, nullptr, instance, background);
}

void ShowCardNote(HWND note, const char* text) {
  if (!note) return;
  const bool visible = text && *text;
  SetWindowTextA(note, visible ? text : "");
  ShowWindow(note, visible ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(note, nullptr, FALSE);
  if (!visible) {
    // Let the header show through where the label was.
    RECT area = {kCardNoteX, kCardNoteY, kCardNoteX + kCardNoteWidth, kCardNoteY + kCardNoteHeight};
    InvalidateRect(GetParent(note), &area, FALSE);
  }
}
