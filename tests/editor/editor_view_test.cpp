// Tests of the card cut editor view on real windows under Wine: a stand-in
// main window holds the view, the options bar and both previews, as the
// program arranges them. The mouse tests move the real pointer of the
// virtual display with xdotool, which Wine starts as a Linux program.
#include "editor/editor_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_values.h"
#include "editor/card_note.h"
#include "editor/card_preview.h"
#include "editor/card_rect_print.h"
#include "editor/cut_editor.h"
#include "editor/cut_reference.h"
#include "editor/fit_rect.h"
#include "editor/marked_page.h"
#include "editor/options_bar.h"
#include "editor/page_pattern.h"
#include "image/dib_image.h"
#include "pages/design_file.h"
#include "resources/resource.h"
#include "support/win_test_util.h"

namespace {

// A4 at 720 dots per inch, as the printer driver renders a page.
constexpr int kA4Width = 5953;
constexpr int kA4Height = 8419;

// Commands that reached the stand-in main window: (wParam, lParam).
CommandLog g_mainCommands;

// What the view and the previews were seen to receive, through subclassing.
struct Seen {
  WNDPROC viewProc;
  WNDPROC previewProcs[2];
  int previewPaints[2];
  POINT lastMove;   // client position of the view's last WM_MOUSEMOVE
  int presses;      // WM_LBUTTONDOWN and WM_LBUTTONUP the view received
  int releases;
};
Seen g_seen;

LRESULT CALLBACK SeenViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) g_seen.lastMove = {LOWORD(lParam), HIWORD(lParam)};
  if (message == WM_LBUTTONDOWN) ++g_seen.presses;
  if (message == WM_LBUTTONUP) ++g_seen.releases;
  return CallWindowProcA(g_seen.viewProc, window, message, wParam, lParam);
}

template <int Index>
LRESULT CALLBACK SeenPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++g_seen.previewPaints[Index];
  return CallWindowProcA(g_seen.previewProcs[Index], window, message, wParam, lParam);
}

void WritePage(const std::string& path, DibImage* page) {
  DibLayout layout;
  DibDescribe(page, &layout);
  WriteFileBytes(path, std::string(reinterpret_cast<const char*>(DibBytes(page)), layout.fileSize));
}

// Starts xdotool on the test's display with `arguments`; Wine runs the Linux
// program itself, without a process handle, so callers wait on what the
// input does.
bool XdoTool(const std::string& arguments) {
  std::string line = "Z:\\usr\\bin\\xdotool " + arguments;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  if (info.hProcess) {
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  return true;
}

class EditorViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    // Page 1: A4, top-down as the driver writes it. Page 2: a smaller page
    // stored bottom-up. Page 5 is missing.
    DibImage* page = MakePatternPage(kA4Width, kA4Height, true);
    WritePage(folder_->File("page_1.bmp"), page);
    DibFree(page);
    page = MakePatternPage(2480, 3508, false);
    WritePage(folder_->File("page_2.bmp"), page);
    DibFree(page);

    main_ = CreateCommandRecorder(&g_mainCommands, "main", WS_POPUP | WS_VISIBLE, 0, 0, 1240, 700);
    SetForegroundWindow(main_);
    PanelBrush = CreateSolidBrush(RGB(255, 204, 0));
  }

  static void TearDownTestSuite() {
    DeleteObject(PanelBrush);
    PanelBrush = nullptr;
    ShowWindow(main_, SW_HIDE);
    delete folder_;
  }

  void SetUp() override {
    ASSERT_NE(main_, nullptr);
    InitCardJob(&Job, folder_->path().c_str());
    AppWindows = {};
    AppWindows.main = main_;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    viewLinks_ = {&Job, main_, {nullptr, nullptr}};
    view_ = CreateDialogParamA(instance, "IMAGEDLG", main_, EditorViewProc,
                               reinterpret_cast<LPARAM>(&viewLinks_));
    ASSERT_NE(view_, nullptr);
    AppWindows.editorView = view_;
    optionsLinks_ = {&Job, view_, PanelBrush};
    AppWindows.optionsBar = CreateDialogParamA(instance, "VIEWDLG", main_, OptionsBarProc,
                                               reinterpret_cast<LPARAM>(&optionsLinks_));
    viewLinks_.optionsBar = AppWindows.optionsBar;
    // Both previews visible side by side, so that both repaint when invalidated.
    for (int i = 0; i < 2; ++i) {
      previewLinks_[i] = {&Job.sides[i], &Job};
      AppWindows.previews[i] = CreateDialogParamA(instance, "CARDDLG", main_, CardPreviewProc,
                                                  reinterpret_cast<LPARAM>(&previewLinks_[i]));
      viewLinks_.previews[i] = AppWindows.previews[i];
      MoveWindow(AppWindows.previews[i], 512 + 360 * i, 104, 346, 346, TRUE);
    }
    MoveWindow(view_, 13, 97, 411, 563, TRUE);
    MoveWindow(AppWindows.optionsBar, 18, 70, 263, 26, TRUE);
    g_seen = {};
    g_seen.viewProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(view_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SeenViewProc)));
    g_seen.previewProcs[0] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        AppWindows.previews[0], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SeenPreviewProc<0>)));
    g_seen.previewProcs[1] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        AppWindows.previews[1], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SeenPreviewProc<1>)));
    UpdateWindow(main_);
    PumpMessages();
    g_mainCommands.clear();
    // Park the pointer away from the view, so that every move below is one.
    ASSERT_TRUE(XdoTool("mousemove 1230 690"));
    ASSERT_TRUE(WaitFor([] {
      POINT at;
      GetCursorPos(&at);
      return at.x == 1230 && at.y == 690;
    }));
  }

  void TearDown() override {
    if (g_seen.presses > g_seen.releases) XdoTool("mouseup 1");
    ClipCursor(nullptr);
    for (HWND window : {view_, AppWindows.optionsBar, AppWindows.previews[0], AppWindows.previews[1]}) {
      DestroyWindow(window);
    }
    AppWindows = {};
    EmptyCardSide(&Job.sides[0]);
    EmptyCardSide(&Job.sides[1]);
    PumpMessages();
  }

  const CutEditor& Editor() const { return *EditorViewState(view_); }

  // Posts a command to the view as the main window and the panels do, and
  // waits until it has been handled.
  void Command(int id) {
    PostMessageA(view_, WM_COMMAND, id, 0);
    MSG message;
    WaitFor([&] { return !PeekMessageA(&message, view_, WM_COMMAND, WM_COMMAND, PM_NOREMOVE); });
    UpdateWindow(view_);
    PumpMessages();
  }

  // Loads page `index` through the page files and paints it.
  void LoadPage(int index) {
    Job.selectedPage = index;
    Command(IDC_SHOW_PAGE);
    ASSERT_NE(Editor().pageImage, nullptr);
  }

  POINT Screen(POINT client) const {
    ClientToScreen(view_, &client);
    return client;
  }

  // Moves the real pointer to view client position `to` and waits until the
  // view has seen it there.
  void MoveMouse(POINT to) {
    const POINT at = Screen(to);
    ASSERT_TRUE(XdoTool("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y)));
    ASSERT_TRUE(WaitFor([&] { return g_seen.lastMove.x == to.x && g_seen.lastMove.y == to.y; }))
        << "pointer never reached " << to.x << "," << to.y;
  }

  void Press() {
    const int before = g_seen.presses;
    ASSERT_TRUE(XdoTool("mousedown 1"));
    ASSERT_TRUE(WaitFor([&] { return g_seen.presses > before; }));
  }

  void Release() {
    const int before = g_seen.releases;
    ASSERT_TRUE(XdoTool("mouseup 1"));
    ASSERT_TRUE(WaitFor([&] { return g_seen.releases > before; }));
  }

  // Presses at `from`, moves to `to`, releases there.
  void Drag(POINT from, POINT to) {
    MoveMouse(from);
    Press();
    MoveMouse(to);
    Release();
  }

  void Click(POINT at) {
    MoveMouse(at);
    Press();
    Release();
  }

  static POINT Centre(const CardRect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

  // The selection that a fresh geometry places for the job at the view's scale.
  CardRect DefaultFor() const {
    RECT client;
    GetClientRect(view_, &client);
    return DefaultSelection(client.right, JobGeometry(Job), Editor().viewScale);
  }

  static inline TempFolder* folder_ = nullptr;
  static inline HWND main_ = nullptr;
  HWND view_ = nullptr;
  EditorViewLinks viewLinks_ = {};
  OptionsBarLinks optionsLinks_ = {};
  CardPreviewLinks previewLinks_[2] = {};
};

// ---- before any page ----------------------------------------------------------
TEST_F(EditorViewTest, CardCommandBeforeAnyPagePlacesTheDefaultSelection) {
  RECT client;
  GetClientRect(view_, &client);
  ASSERT_EQ(client.right, 409);
  EXPECT_EQ(Editor().viewScale, 0.083333336f);
  EXPECT_TRUE(SelectionEmpty(Editor().selection));
  Command(IDC_CARD_SIZE);
  EXPECT_EQ(Editor().selection, (CardRect{97, 50, 311, 179}));

  // The options bar's portrait button announces the change itself.
  SendMessageA(GetDlgItem(AppWindows.optionsBar, IDC_PORTRAIT), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return Editor().selection.left == 140; }));
  EXPECT_EQ(Editor().selection, (CardRect{140, 50, 269, 264}));
}

TEST_F(EditorViewTest, MissingPageShowsNothingAndIgnoresTheMouse) {
  Command(IDC_CARD_SIZE);
  Job.selectedPage = 4;  // no page_5.bmp
  Command(IDC_SHOW_PAGE);
  EXPECT_EQ(Editor().pageImage, nullptr);
  EXPECT_EQ(Editor().viewImage, nullptr);
  SendMessageA(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 100));
  EXPECT_EQ(Editor().dragState, DragNone);
  // The arrow keys still move the selection, without drawing a band on the
  // empty view.
  SendMessageA(view_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Editor().selection, (CardRect{98, 50, 312, 179}));
  HDC dc = GetDC(view_);
  for (POINT p : {POINT{98, 50}, POINT{97, 50}, POINT{200, 50}, POINT{312, 179}, POINT{94, 47}}) {
    EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(0, 0, 0)) << p.x << "," << p.y;
  }
  ReleaseDC(view_, dc);
  // A cut leaves the current side empty.
  Command(IDC_DATA_CUT);
  EXPECT_EQ(Job.sides[0].image, nullptr);
  EXPECT_EQ(Job.sides[0].pageIndex, -1);
}

// ---- page load ---------------------------------------------------------------------
TEST_F(EditorViewTest, LoadedPageIsShownFittedWithTheDefaultSelection) {
  LoadPage(0);
  EXPECT_EQ(Editor().viewScale, 561.0f / kA4Height);
  DibLayout view;
  DibDescribe(Editor().viewImage, &view);
  EXPECT_EQ(view.width, kA4Width / 12);
  EXPECT_EQ(view.height, -(kA4Height / 12));
  int32_t drawn[4] = {0, 0, 409, 561};
  FitImageRect(view.width, -view.height, drawn);
  EXPECT_EQ(Editor().imageRect, (CardRect{drawn[0], drawn[1], drawn[2], drawn[3]}));
  EXPECT_EQ(Editor().selection, DefaultFor());
  EXPECT_EQ(Editor().handleSize, SelectionHandleSize(Editor().selection, JobGeometry(Job)));
}

TEST_F(EditorViewTest, SelectionKeepsItsPlaceWhenThePageChanges) {
  LoadPage(0);
  SendMessageA(view_, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(view_, WM_KEYDOWN, VK_LEFT, 0);
  const CardRect moved = Editor().selection;
  EXPECT_EQ(moved.top, DefaultFor().top + 1);
  EXPECT_EQ(moved.left, DefaultFor().left - 1);
  LoadPage(1);
  EXPECT_EQ(Editor().selection, moved);
}

// ---- mouse -------------------------------------------------------------------------
TEST_F(EditorViewTest, DraggingTheInsideMovesTheSelectionWithTheMouse) {
  LoadPage(0);
  const CardRect start = Editor().selection;
  const POINT from = Centre(start);
  MoveMouse(from);
  Press();
  EXPECT_EQ(Editor().dragState, DragMove);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZEALL));
  // The pointer is held inside the view until the button goes up.
  RECT clip, area;
  GetClipCursor(&clip);
  GetClientRect(view_, &area);
  MapWindowPoints(view_, nullptr, reinterpret_cast<POINT*>(&area), 2);
  EXPECT_TRUE(EqualRect(&clip, &area));

  MoveMouse({from.x + 30, from.y + 20});
  EXPECT_EQ(Editor().selection,
            (CardRect{start.left + 30, start.top + 20, start.right + 30, start.bottom + 20}));
  MoveMouse({from.x - 12, from.y + 41});
  EXPECT_EQ(Editor().selection,
            (CardRect{start.left - 12, start.top + 41, start.right - 12, start.bottom + 41}));
  Release();
  EXPECT_EQ(Editor().dragState, DragNone);
  EXPECT_EQ(GetFocus(), view_);
  GetClipCursor(&clip);
  EXPECT_FALSE(EqualRect(&clip, &area));

  // Moving without the button changes nothing.
  MoveMouse({from.x + 50, from.y + 50});
  EXPECT_EQ(Editor().selection.left, start.left - 12);
}

TEST_F(EditorViewTest, ShiftHeldMovesAlongOneAxisAndVerticallyOnEqualDistances) {
  LoadPage(0);
  const CardRect start = Editor().selection;
  const POINT from = Centre(start);
  MoveMouse(from);
  ASSERT_TRUE(XdoTool("keydown shift"));
  ASSERT_TRUE(WaitFor([] { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }));
  Press();
  MoveMouse({from.x + 25, from.y + 10});  // wider than tall: horizontal
  EXPECT_EQ(Editor().selection, (CardRect{start.left + 25, start.top, start.right + 25, start.bottom}));
  MoveMouse({from.x + 20, from.y + 20});  // equal: vertical
  EXPECT_EQ(Editor().selection, (CardRect{start.left, start.top + 20, start.right, start.bottom + 20}));
  MoveMouse({from.x - 5, from.y - 30});  // taller than wide: vertical
  EXPECT_EQ(Editor().selection, (CardRect{start.left, start.top - 30, start.right, start.bottom - 30}));
  Release();
  ASSERT_TRUE(XdoTool("keyup shift"));
  ASSERT_TRUE(WaitFor([] { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0; }));
}

TEST_F(EditorViewTest, DraggingACornerResizesInProportionWithinHalfToTwiceTheCard) {
  LoadPage(0);
  const CardRect start = Editor().selection;
  const CardGeometry card = JobGeometry(Job);
  const float scale = Editor().viewScale;
  const POINT from = {start.right + 2, start.bottom + 2};  // bottom-right handle
  MoveMouse(from);
  Press();
  EXPECT_EQ(Editor().dragState, DragResize);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_SIZENWSE));

  CardRect expected;
  ASSERT_TRUE(ResizedSelection(start, true, true, 40, card, scale, &expected));
  MoveMouse({from.x + 40, from.y + 9});  // only the horizontal movement counts
  EXPECT_EQ(Editor().selection, expected);
  EXPECT_EQ(Editor().selection.right, start.right + 40);
  EXPECT_EQ(Editor().selection.top, start.top);

  // Narrower than half the card: refused, the last size stays.
  const int32_t half = NominalSelectionWidth(card, scale) / 2;
  const int32_t tooNarrow = half - 1 - (start.right - start.left);
  CardRect refused;
  ASSERT_FALSE(ResizedSelection(start, true, true, tooNarrow, card, scale, &refused));
  MoveMouse({from.x + tooNarrow, from.y});
  EXPECT_EQ(Editor().selection, expected);
  Release();

  // The top-left corner: the bottom edge stays (up to truncation).
  const CardRect second = Editor().selection;
  const POINT topLeft = {second.left - 2, second.top - 2};
  MoveMouse(topLeft);
  Press();
  ASSERT_TRUE(ResizedSelection(second, false, false, -20, card, scale, &expected));
  MoveMouse({topLeft.x - 20, topLeft.y});
  EXPECT_EQ(Editor().selection, expected);
  EXPECT_EQ(Editor().selection.left, second.left - 20);
  EXPECT_NEAR(Editor().selection.bottom, second.bottom, 1);
  Release();
}

// ---- cut, clear and the sides ------------------------------------------------------------
TEST_F(EditorViewTest, CutFillsTheCurrentSideAndItsPreviewRepaints) {
  LoadPage(0);
  Job.currentSide = 0;
  const int paintsBefore = g_seen.previewPaints[0];
  Command(IDC_DATA_CUT);
  ASSERT_TRUE(WaitFor([&] { return g_seen.previewPaints[0] > paintsBefore; }));
  const CardSide& front = Job.sides[0];
  ASSERT_NE(front.image, nullptr);
  EXPECT_EQ(front.pageIndex, 0);
  const CutEditor& editor = Editor();
  EXPECT_EQ(front.trimRect, TrimRectFromSelection(editor.selection, editor.imageRect.left,
                                                  editor.imageRect.top, editor.viewScale));
  EXPECT_EQ(front.cutRect, CutRectFromTrim(front.trimRect, JobGeometry(Job)));
  DibLayout layout;
  DibDescribe(front.image, &layout);
  EXPECT_EQ(layout.width, 2693);
  EXPECT_EQ(layout.height, 1672);
  DibImage* reference = ReferenceCut(editor.pageImage, front.cutRect, 2693, 1672);
  EXPECT_EQ(std::memcmp(DibBytes(reference), DibBytes(front.image), layout.fileSize), 0);
  DibFree(reference);
  EXPECT_EQ(Job.sides[1].image, nullptr);

  // The back is cut the same way once it is current; clear empties it again.
  Job.currentSide = 1;
  const int backPaints = g_seen.previewPaints[1];
  Command(IDC_DATA_CUT);
  ASSERT_NE(Job.sides[1].image, nullptr);
  ASSERT_TRUE(WaitFor([&] { return g_seen.previewPaints[1] > backPaints; }));
  Command(IDC_DATA_CLEAR);
  EXPECT_EQ(Job.sides[1].image, nullptr);
  EXPECT_EQ(Job.sides[1].pageIndex, -1);
  EXPECT_NE(Job.sides[0].image, nullptr);
}

TEST_F(EditorViewTest, PagesOfEitherRowOrderAreCutUpright) {
  // Page 1 is stored top-down, page 2 bottom-up; the pattern tells each
  // pixel's place counted from the top of the page.
  for (int page : {0, 1}) {
    SCOPED_TRACE(page);
    LoadPage(page);
    Command(IDC_DATA_CUT);
    const CardSide& front = Job.sides[0];
    ASSERT_NE(front.image, nullptr);
    ASSERT_EQ(front.pageIndex, page);
    const CardRect& cut = front.cutRect;
    ASSERT_GE(cut.left, 0);
    ASSERT_GE(cut.top, 0);
    unsigned char blue, green, red;
    PatternColour(cut.left, cut.top, &blue, &green, &red);
    EXPECT_EQ(PixelFromTop(front.image, 0, 0), (red << 16) | (green << 8) | blue);
    DibImage* reference = ReferenceCut(Editor().pageImage, cut, 2693, 1672);
    DibLayout layout;
    DibDescribe(reference, &layout);
    EXPECT_EQ(std::memcmp(DibBytes(reference), DibBytes(front.image), layout.fileSize), 0);
    DibFree(reference);
  }
}

TEST_F(EditorViewTest, PressOnACutSidesAreaPostsItsTabCommand) {
  LoadPage(0);
  const CardRect start = Editor().selection;
  Command(IDC_DATA_CUT);  // the front, at the default place
  ASSERT_NE(Job.sides[0].image, nullptr);
  // Move the selection 200 pixels down and cut the back there.
  Drag(Centre(start), {Centre(start).x, Centre(start).y + 200});
  ASSERT_EQ(Editor().selection.top, start.top + 200);
  Job.currentSide = 1;
  Command(IDC_DATA_CUT);
  ASSERT_NE(Job.sides[1].image, nullptr);
  // And the selection 100 pixels up again, between the two.
  Drag({Centre(start).x, Centre(start).y + 200}, {Centre(start).x, Centre(start).y + 100});
  ASSERT_EQ(Editor().selection.top, start.top + 100);
  g_mainCommands.clear();

  Click({Centre(start).x, start.top + 20});  // on the front, above the selection
  Click({Centre(start).x, start.bottom + 180});  // on the back, below the selection
  Click({Centre(start).x, start.top + 150});  // inside the selection: a move, no command
  Click({5, 5});  // on neither
  ASSERT_TRUE(WaitFor([] { return g_mainCommands.size() >= 2; }));
  PumpMessages();
  const std::vector<std::pair<WPARAM, LPARAM>> expected = {{IDC_FRONT, 0}, {IDC_BACK, 0}};
  EXPECT_EQ(g_mainCommands, expected);
}

TEST_F(EditorViewTest, SizeOrOrientationChangeEmptiesBothSides) {
  LoadPage(0);
  auto CutBoth = [&] {
    Job.currentSide = 0;
    Command(IDC_DATA_CUT);
    Job.currentSide = 1;
    Command(IDC_DATA_CUT);
    ASSERT_NE(Job.sides[0].image, nullptr);
    ASSERT_NE(Job.sides[1].image, nullptr);
  };
  auto ExpectBothEmpty = [&](const int paintsBefore[2]) {
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(Job.sides[i].image, nullptr) << i;
      EXPECT_EQ(Job.sides[i].pageIndex, -1) << i;
      EXPECT_TRUE(WaitFor([&] { return g_seen.previewPaints[i] > paintsBefore[i]; })) << i;
    }
    EXPECT_EQ(Editor().selection, DefaultFor());
  };

  CutBoth();
  int paints[2] = {g_seen.previewPaints[0], g_seen.previewPaints[1]};
  HWND list = GetDlgItem(AppWindows.optionsBar, IDC_CARD_SIZE);
  SendMessageA(list, CB_SETCURSEL, 1, 0);
  SendMessageA(AppWindows.optionsBar, WM_COMMAND, MAKEWPARAM(IDC_CARD_SIZE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  ASSERT_TRUE(WaitFor([] { return Job.sides[0].image == nullptr; }));
  PumpMessages();
  EXPECT_EQ(Job.cardWidthMm, 89.0f);
  EXPECT_EQ(Job.cardHeightMm, 51.0f);
  ExpectBothEmpty(paints);

  CutBoth();
  DibLayout layout;
  DibDescribe(Job.sides[0].image, &layout);
  EXPECT_EQ(layout.width, 2636);
  EXPECT_EQ(layout.height, 1559);
  paints[0] = g_seen.previewPaints[0];
  paints[1] = g_seen.previewPaints[1];
  SendMessageA(GetDlgItem(AppWindows.optionsBar, IDC_PORTRAIT), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([] { return Job.sides[0].image == nullptr; }));
  PumpMessages();
  EXPECT_EQ(Job.cardWidthMm, 51.0f);
  EXPECT_EQ(Job.cardHeightMm, 89.0f);
  ExpectBothEmpty(paints);
}

// ---- found cards -------------------------------------------------------------
// A page with trim marks of another size and orientation: the bar switches
// to it, the selection lands on the marked box, the note tells, the cut takes
// the box exactly; an arrow key hands the selection back to the user.
TEST_F(EditorViewTest, FoundCardSwitchesTheSizePlacesTheSelectionAndIsCutExactly) {
  const CardRect box = TrimBox(1501, 2203, 51.0f, 89.0f, Job.pixelsPerMm);  // 欧米名刺, たて
  {
    DibImage* page = MakeWhitePage(kA4Width, kA4Height);
    DrawTrimMarks(page, box, 85, {4, 300, true, false});
    WritePage(folder_->File("page_3.bmp"), page);
    DibFree(page);
  }
  AppWindows.cardNote = CreateCardNote(main_, nullptr);
  viewLinks_.cardNote = AppWindows.cardNote;
  LoadPage(2);
  EXPECT_EQ(Job.sizeIndex, 1);
  EXPECT_EQ(Job.orientation, kPortrait);
  EXPECT_EQ(Job.cardWidthMm, 51.0f);
  EXPECT_EQ(SendDlgItemMessageA(AppWindows.optionsBar, IDC_CARD_SIZE, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(IsDlgButtonChecked(AppWindows.optionsBar, IDC_PORTRAIT), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(AppWindows.optionsBar, IDC_LANDSCAPE), BST_UNCHECKED);
  ASSERT_EQ(Editor().exactCard, 1);
  EXPECT_EQ(Editor().exactTrim, box);
  EXPECT_EQ(Editor().selection, TrimRectInView(box, Editor().imageRect.left, Editor().imageRect.top,
                                               Editor().viewScale));
  char note[64] = {};
  GetWindowTextA(AppWindows.cardNote, note, sizeof note);
  EXPECT_STREQ(note, "名刺を検出：トンボ");
  EXPECT_TRUE(IsWindowVisible(AppWindows.cardNote));

  Command(IDC_DATA_CUT);
  ASSERT_NE(Job.sides[0].image, nullptr);
  EXPECT_EQ(Job.sides[0].trimRect, box);

  // An arrow key moves the selection by hand: the cut follows it again.
  SetFocus(view_);
  SendMessageA(view_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Editor().exactCard, 0);
  EXPECT_FALSE(IsWindowVisible(AppWindows.cardNote));
  Command(IDC_DATA_CUT);
  EXPECT_EQ(Job.sides[0].trimRect, TrimRectFromSelection(Editor().selection, Editor().imageRect.left,
                                                         Editor().imageRect.top, Editor().viewScale));
  DestroyWindow(AppWindows.cardNote);
}

// A page made from a card-sized design: its known box is used even where the
// card is white on the white page; a page file written again is looked at afresh.
TEST_F(EditorViewTest, ImportedCardBoxIsUsedForItsOwnPageFileOnly) {
  const std::string path = folder_->File("page_4.bmp");
  {
    DibImage* page = MakeWhitePage(kA4Width, kA4Height);
    WritePage(path, page);
    DibFree(page);
  }
  const CardRect box = {1687, 3430, 1687 + 2580, 3430 + 1559};
  Job.pageCards[3] = {};
  Job.pageCards[3].source = PageCardImported;
  Job.pageCards[3].trim = box;
  Job.pageCards[3].sizeIndex = 0;
  Job.pageCards[3].orientation = kLandscape;
  ASSERT_TRUE(PageFileStamp(Job.pagePrefix, 3, &Job.pageCards[3].fileSize, &Job.pageCards[3].fileTime));
  LoadPage(3);
  ASSERT_EQ(Editor().exactCard, 1);
  EXPECT_EQ(Editor().exactTrim, box);

  // The same name written again (another size, which alone tells the files
  // apart): nothing card-like on it.
  {
    DibImage* page = MakeWhitePage(kA4Width - 1, kA4Height);
    WritePage(path, page);
    DibFree(page);
  }
  LoadPage(3);
  EXPECT_EQ(Editor().exactCard, 0);
  EXPECT_EQ(Job.pageCards[3].source, PageCardNone);
}

}  // namespace
