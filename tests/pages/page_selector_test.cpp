// Tests of the page selector panel, the page loader and the progress panel
// on real windows and real page files under Wine.
#include "pages/page_selector.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_values.h"
#include "controls/bitmap_button.h"
#include "image/dib_image.h"
#include "resources/resource.h"
#include "support/win_test_util.h"

namespace {

using States = std::array<int, 5>;
constexpr int N = BtnNormal;
constexpr int S = BtnSelected;
constexpr int D = BtnDisabled;

// Commands that reached the stand-in editor view: (wParam, lParam).
CommandLog g_editorCommands;

// Owns an image for the length of a test.
struct ImageHolder {
  DibImage* image;
  explicit ImageHolder(DibImage* i) : image(i) {}
  ~ImageHolder() { DibFree(image); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
};

// Width of the page file written for page n, so that a loaded page tells which it is.
int PageWidth(int page) { return 10 + page; }

// Windows created with the progress panel's owner as parent, and how the
// first of them looked when it was destroyed.
struct PanelWatch {
  HWND owner = nullptr;
  std::vector<HWND> created;
  bool destroyed = false;
  bool visibleAtDestroy = false;
  std::string textAtDestroy;
};
PanelWatch* g_panelWatch;

LRESULT CALLBACK WatchPanels(int code, WPARAM wParam, LPARAM lParam) {
  if (g_panelWatch && code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (create->lpcs->hwndParent == g_panelWatch->owner) {
      g_panelWatch->created.push_back(reinterpret_cast<HWND>(wParam));
    }
  } else if (g_panelWatch && code == HCBT_DESTROYWND && !g_panelWatch->created.empty() &&
             reinterpret_cast<HWND>(wParam) == g_panelWatch->created[0]) {
    HWND panel = reinterpret_cast<HWND>(wParam);
    char text[64] = {};
    GetDlgItemTextA(panel, IDC_STATUS, text, sizeof text);
    g_panelWatch->destroyed = true;
    g_panelWatch->visibleAtDestroy = IsWindowVisible(panel);
    g_panelWatch->textAtDestroy = text;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One visible parent for the suite, a stand-in editor view inside it, and a
// fresh page selector and page folder for every test.
class PageSelectorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    AppInstance = GetModuleHandleA(nullptr);
    PanelBrush = CreateSolidBrush(RGB(255, 204, 0));
    parent_ = CreateCommandRecorder(nullptr, "parent", WS_POPUP | WS_VISIBLE, 50, 50, 600, 700);
    editor_ = CreateCommandRecorder(&g_editorCommands, "", WS_CHILD | WS_VISIBLE, 13, 97, 411, 563,
                                    parent_);
  }

  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    DeleteObject(PanelBrush);
    PanelBrush = nullptr;
    AppWindows = {};
  }

  void SetUp() override {
    ASSERT_NE(editor_, nullptr);
    AppWindows = {};
    AppWindows.main = parent_;
    AppWindows.editorView = editor_;
    ASSERT_TRUE(PageFilePrefix());
    links_ = {&Job, editor_, PanelBrush};
    selector_ = CreateDialogParamA(AppInstance, "PAGEDLG", parent_, PageSelectorProc,
                                   reinterpret_cast<LPARAM>(&links_));
    ASSERT_NE(selector_, nullptr);
    MoveWindow(selector_, 295, 72, 135, 22, TRUE);
    PumpMessages();
    g_editorCommands.clear();
  }

  void TearDown() override {
    DestroyWindow(selector_);
    PumpMessages();
  }

  bool PageFilePrefix() {
    const std::string prefix = folder_.File("page_");
    if (prefix.size() >= sizeof Job.pagePrefix) {
      return false;
    }
    lstrcpyA(Job.pagePrefix, prefix.c_str());
    return true;
  }

  std::string PagePath(int page) const { return folder_.File("page_" + std::to_string(page) + ".bmp"); }

  // Writes a complete top-down 24-bit page file for page n.
  void WritePage(int page) const {
    uint32_t size = 0;
    ImageHolder image(DibCreate(PageWidth(page), -8, 24, &size));
    ASSERT_NE(image.image, nullptr);
    const auto* bytes = reinterpret_cast<const char*>(DibBytes(image.image));
    WriteFileBytes(PagePath(page), std::string(bytes, size));
  }

  void WritePages(std::initializer_list<int> pages) const {
    for (int page : pages) {
      WritePage(page);
    }
  }

  HWND Button(int id) const { return GetDlgItem(selector_, id); }

  States ButtonStates() const {
    States states;
    for (int i = 0; i < 5; ++i) {
      states[i] = SetBitmapButtonState(Button(IDC_PAGE1 + i), -1, 0);
    }
    return states;
  }

  // A recount as the main window asks for it, and what it posts in turn.
  void Recount() {
    PostMessageA(selector_, WM_COMMAND, IDC_SHOW_PAGE, 0);
    PumpMessages();
  }

  void Command(int id) {
    PostMessageA(selector_, WM_COMMAND, id, 0);
    PumpMessages();
  }

  // A mouse click on a bitmap button, as the button sees it.
  void Click(HWND button) {
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpMessages();
  }

  size_t LoadRequests() const {
    size_t count = 0;
    for (const auto& [wParam, lParam] : g_editorCommands) {
      EXPECT_EQ(lParam, 0);
      count += wParam == IDC_SHOW_PAGE;
    }
    EXPECT_EQ(count, g_editorCommands.size()) << "the editor got another command";
    return count;
  }

  static HWND parent_;
  static HWND editor_;
  HWND selector_ = nullptr;
  PageSelectorLinks links_ = {};
  TempFolder folder_;
};

HWND PageSelectorTest::parent_;
HWND PageSelectorTest::editor_;

// ---- Panel and buttons --------------------------------------------------------------

TEST_F(PageSelectorTest, StartsWithNoPagesAndEveryPageButtonDisabled) {
  EXPECT_EQ(Job.pageCount, 0);
  EXPECT_EQ(Job.selectedPage, 0);
  EXPECT_EQ(ButtonStates(), (States{D, D, D, D, D}));
  EXPECT_EQ(SetBitmapButtonState(Button(IDC_SHOW_PAGE), -1, 0), BtnNormal);
  EXPECT_EQ(LoadRequests(), 0u);
}

TEST_F(PageSelectorTest, ButtonsSitInARowAtTheirPlaces) {
  const struct {
    int id;
    int x;
    int width;
    int height;
  } places[] = {
      {IDC_PAGE1, 0, 16, 21},  {IDC_PAGE2, 20, 16, 21}, {IDC_PAGE3, 40, 16, 21},
      {IDC_PAGE4, 60, 16, 21}, {IDC_PAGE5, 80, 16, 21}, {IDC_SHOW_PAGE, 108, 21, 21},
  };
  for (const auto& place : places) {
    SCOPED_TRACE(place.id);
    HWND button = Button(place.id);
    ASSERT_NE(button, nullptr);
    char className[64] = {};
    GetClassNameA(button, className, sizeof className);
    EXPECT_STREQ(className, kBitmapButtonClass);
    RECT rect;
    GetWindowRect(button, &rect);
    MapWindowPoints(nullptr, selector_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, place.x);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, place.width);
    EXPECT_EQ(rect.bottom - rect.top, place.height);
  }
}

TEST_F(PageSelectorTest, PaintsItsBackgroundWithThePanelBrush) {
  HDC dc = GetDC(selector_);
  SetBkMode(dc, OPAQUE);
  EXPECT_EQ(SendMessageA(selector_, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(selector_)),
            reinterpret_cast<LRESULT>(PanelBrush));
  EXPECT_EQ(SendMessageA(selector_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(selector_)),
            reinterpret_cast<LRESULT>(PanelBrush));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(selector_, dc);
}

// ---- Recount ---------------------------------------------------------------------------

TEST_F(PageSelectorTest, RefreshWithNoFilesChangesNothing) {
  Recount();
  EXPECT_EQ(Job.pageCount, 0);
  EXPECT_EQ(ButtonStates(), (States{D, D, D, D, D}));
  EXPECT_EQ(LoadRequests(), 0u);
}

TEST_F(PageSelectorTest, CountsOnlyConsecutivePagesAndSelectsPage1Once) {
  WritePages({1, 2, 4});
  Recount();
  EXPECT_EQ(Job.pageCount, 2);
  EXPECT_EQ(Job.selectedPage, 0);
  EXPECT_EQ(ButtonStates(), (States{S, N, D, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);

  // Page 3 arrives: 2 -> 4, the selection stays and nothing is loaded again.
  WritePage(3);
  Recount();
  EXPECT_EQ(Job.pageCount, 4);
  EXPECT_EQ(Job.selectedPage, 0);
  EXPECT_EQ(ButtonStates(), (States{S, N, N, N, D}));
  EXPECT_EQ(LoadRequests(), 1u);

  WritePage(5);
  Recount();
  EXPECT_EQ(Job.pageCount, 5);
  EXPECT_EQ(ButtonStates(), (States{S, N, N, N, N}));

  // With five pages counted no file is looked at: vanished pages keep their buttons.
  for (int page = 1; page <= 5; ++page) {
    DeleteFileA(PagePath(page).c_str());
  }
  Recount();
  EXPECT_EQ(Job.pageCount, 5);
  EXPECT_EQ(ButtonStates(), (States{S, N, N, N, N}));
  EXPECT_EQ(LoadRequests(), 1u);
}

TEST_F(PageSelectorTest, FirstRecountFindingThreePages) {
  WritePages({1, 2, 3});
  Recount();
  EXPECT_EQ(Job.pageCount, 3);
  EXPECT_EQ(ButtonStates(), (States{S, N, N, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);
}

TEST_F(PageSelectorTest, RefreshButtonRecounts) {
  WritePage(1);
  Click(Button(IDC_SHOW_PAGE));
  EXPECT_EQ(Job.pageCount, 1);
  EXPECT_EQ(ButtonStates(), (States{S, D, D, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);
}

TEST_F(PageSelectorTest, PageHeldOpenForWritingEndsTheCountUntilClosed) {
  WritePages({1, 2, 3});
  // The driver still writes page 2; it lets others read and write.
  HANDLE writer = CreateFileA(PagePath(2).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Recount();
  EXPECT_EQ(Job.pageCount, 1);
  EXPECT_EQ(ButtonStates(), (States{S, D, D, D, D}));

  CloseHandle(writer);
  Recount();
  EXPECT_EQ(Job.pageCount, 3);
  EXPECT_EQ(ButtonStates(), (States{S, N, N, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);
}

// ---- Selection ---------------------------------------------------------------------------

TEST_F(PageSelectorTest, SelectingAPageMovesTheSelectionAndAsksTheEditorToLoad) {
  WritePages({1, 2, 3});
  Recount();
  g_editorCommands.clear();

  Command(IDC_PAGE3);
  EXPECT_EQ(Job.selectedPage, 2);
  EXPECT_EQ(ButtonStates(), (States{N, N, S, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);

  // The selected page again: loaded again, still selected.
  Command(IDC_PAGE3);
  EXPECT_EQ(Job.selectedPage, 2);
  EXPECT_EQ(ButtonStates(), (States{N, N, S, D, D}));
  EXPECT_EQ(LoadRequests(), 2u);
}

TEST_F(PageSelectorTest, ClicksOnPageButtons) {
  WritePages({1, 2});
  Recount();
  g_editorCommands.clear();

  Click(Button(IDC_PAGE2));
  EXPECT_EQ(Job.selectedPage, 1);
  EXPECT_EQ(ButtonStates(), (States{N, S, D, D, D}));
  EXPECT_EQ(LoadRequests(), 1u);

  Click(Button(IDC_PAGE2));  // the selected page reports its click again
  EXPECT_EQ(LoadRequests(), 2u);

  Click(Button(IDC_PAGE4));  // disabled: no command
  EXPECT_EQ(Job.selectedPage, 1);
  EXPECT_EQ(ButtonStates(), (States{N, S, D, D, D}));
  EXPECT_EQ(LoadRequests(), 2u);
}

TEST_F(PageSelectorTest, DestroyingThePanelTakesItsButtons) {
  std::vector<HWND> buttons;
  for (int id : {IDC_PAGE1, IDC_PAGE2, IDC_PAGE3, IDC_PAGE4, IDC_PAGE5, IDC_SHOW_PAGE}) {
    buttons.push_back(Button(id));
  }
  DestroyWindow(selector_);
  for (HWND button : buttons) {
    EXPECT_FALSE(IsWindow(button));
  }
  selector_ = nullptr;
}

// ---- LoadPageImage ---------------------------------------------------------------------------

TEST_F(PageSelectorTest, LoadsThePageOfTheIndexBehindAPanelThatGoesAway) {
  WritePages({1, 2, 3});
  PanelWatch watch;
  watch.owner = editor_;
  g_panelWatch = &watch;
  HHOOK hook = SetWindowsHookExA(WH_CBT, WatchPanels, nullptr, GetCurrentThreadId());
  ImageHolder page(LoadPageImage(editor_, Job.pagePrefix, 2));
  UnhookWindowsHookEx(hook);
  g_panelWatch = nullptr;

  ASSERT_NE(page.image, nullptr);
  DibLayout layout;
  DibDescribe(page.image, &layout);
  EXPECT_EQ(layout.width, PageWidth(3));
  EXPECT_EQ(layout.height, -8);
  EXPECT_EQ(layout.bitCount, 24);
  ASSERT_EQ(watch.created.size(), 1u) << "one progress panel";
  EXPECT_TRUE(watch.destroyed);
  EXPECT_TRUE(watch.visibleAtDestroy);
  EXPECT_EQ(watch.textAtDestroy, "ページ画像読み込み中...");
  EXPECT_FALSE(IsWindow(watch.created[0]));
}

TEST_F(PageSelectorTest, LoadingFailsQuietlyForMissingLockedAndBrokenPages) {
  WritePages({1, 2});
  WriteFileBytes(PagePath(3), "BM not a bitmap");
  HANDLE writer = CreateFileA(PagePath(2).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(LoadPageImage(editor_, Job.pagePrefix, 1), nullptr) << "held open for writing";
  CloseHandle(writer);
  ImageHolder released(LoadPageImage(editor_, Job.pagePrefix, 1));
  EXPECT_NE(released.image, nullptr) << "after the writer closed it";
  EXPECT_EQ(LoadPageImage(editor_, Job.pagePrefix, 2), nullptr) << "broken";
  EXPECT_EQ(LoadPageImage(editor_, Job.pagePrefix, 4), nullptr) << "missing";
  EXPECT_EQ(LoadPageImage(editor_, "", 0), nullptr) << "no prefix";
  ImageHolder ownerless(LoadPageImage(nullptr, Job.pagePrefix, 0));
  EXPECT_NE(ownerless.image, nullptr) << "without an owner there is no panel, but the page loads";
}

// ---- Progress panel ---------------------------------------------------------------------------

TEST_F(PageSelectorTest, ProgressPanelSitsCentredAboveTheMiddleOfItsOwner) {
  HWND panel = CreateDialogParamA(AppInstance, "PGSDLG", editor_, PageProgressProc, 0);
  ASSERT_NE(panel, nullptr);
  RECT templateSize = {0, 0, 107, 30};
  MapDialogRect(panel, &templateSize);
  const int w = templateSize.right;
  const int h = templateSize.bottom;
  RECT owner;
  GetClientRect(editor_, &owner);
  RECT placed;
  GetWindowRect(panel, &placed);
  MapWindowPoints(nullptr, editor_, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, (owner.right - w) / 2);
  EXPECT_EQ(placed.top, (owner.bottom - h) / 2 * 4 / 5);
  EXPECT_EQ(placed.right - placed.left, w);
  EXPECT_EQ(placed.bottom - placed.top, h);

  char text[64] = {};
  GetDlgItemTextA(panel, IDC_STATUS, text, sizeof text);
  EXPECT_STREQ(text, "ページ画像読み込み中...");
  EXPECT_TRUE(IsWindowVisible(panel));

  SendMessageA(panel, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(IsWindowVisible(panel));
  DestroyWindow(panel);
}

}  // namespace
