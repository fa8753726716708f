// Tests of the options bar on a real dialog under Wine.
#include "editor/options_bar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_values.h"
#include "resources/resource.h"
#include "support/win_test_util.h"

namespace {

// Commands that reached the stand-in editor view: (wParam, lParam).
CommandLog g_viewCommands;

// A parent holding the bar and a plain window standing in for the editor view.
class OptionsBarTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    parent_ = CreateCommandRecorder(&g_viewCommands, "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200);
    view_ = CreateCommandRecorder(&g_viewCommands, "view", WS_CHILD, 0, 100, 10, 10, parent_);
    PanelBrush = CreateSolidBrush(RGB(255, 204, 0));
  }
  static void TearDownTestSuite() {
    DeleteObject(PanelBrush);
    PanelBrush = nullptr;
    ShowWindow(parent_, SW_HIDE);
  }

  void SetUp() override {
    InitCardJob(&Job, "C:\\prog");
    Job.orientation = kPortrait;  // the bar starts in landscape whatever was there
    Job.sizeIndex = 1;
    AppWindows = {};
    AppWindows.main = parent_;
    AppWindows.editorView = view_;
    links_ = {&Job, view_, PanelBrush};
    bar_ = CreateDialogParamA(GetModuleHandleA(nullptr), "VIEWDLG", parent_, OptionsBarProc,
                              reinterpret_cast<LPARAM>(&links_));
    ASSERT_NE(bar_, nullptr);
    AppWindows.optionsBar = bar_;
    MoveWindow(bar_, 18, 70, 263, 26, TRUE);
    PumpMessages();
    g_viewCommands.clear();
  }
  void TearDown() override {
    DestroyWindow(bar_);
    AppWindows = {};
  }

  HWND List() const { return GetDlgItem(bar_, IDC_CARD_SIZE); }

  OptionsBarLinks links_ = {};

  // Waits for the posted commands to arrive at the stand-in view.
  std::vector<std::pair<WPARAM, LPARAM>> Posted() {
    WaitFor([] { return !g_viewCommands.empty(); }, 2000);
    PumpMessages();
    return g_viewCommands;
  }

  static inline HWND parent_ = nullptr;
  static inline HWND view_ = nullptr;
  HWND bar_ = nullptr;
};

const std::vector<std::pair<WPARAM, LPARAM>> kCardChange = {{IDC_CARD_SIZE, 0}};

// ---- initialisation -----------------------------------------------------------
TEST_F(OptionsBarTest, StartsInLandscapeWithTheThreeSizesAndTheJobsRow) {
  EXPECT_EQ(Job.orientation, kLandscape);
  EXPECT_EQ(IsDlgButtonChecked(bar_, IDC_LANDSCAPE), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(bar_, IDC_PORTRAIT), BST_UNCHECKED);
  ASSERT_EQ(SendMessageA(List(), CB_GETCOUNT, 0, 0), 3);
  const char* names[] = {"普通名刺", "欧米名刺", "３号名刺"};
  for (int row = 0; row < 3; ++row) {
    char text[32] = {};
    SendMessageA(List(), CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), std::string(names[row])) << row;
  }
  EXPECT_EQ(SendMessageA(List(), CB_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(g_viewCommands.empty());
}

// ---- orientation ------------------------------------------------------------------
TEST_F(OptionsBarTest, EachRadioClickSetsTheOrientationAndAnnouncesIt) {
  SendMessageA(GetDlgItem(bar_, IDC_PORTRAIT), BM_CLICK, 0, 0);
  EXPECT_EQ(Job.orientation, kPortrait);
  EXPECT_EQ(Posted(), kCardChange);

  g_viewCommands.clear();
  SendMessageA(GetDlgItem(bar_, IDC_LANDSCAPE), BM_CLICK, 0, 0);
  EXPECT_EQ(Job.orientation, kLandscape);
  EXPECT_EQ(Posted(), kCardChange);

  // Clicking the radio button that is already checked announces a change too.
  g_viewCommands.clear();
  SendMessageA(GetDlgItem(bar_, IDC_LANDSCAPE), BM_CLICK, 0, 0);
  EXPECT_EQ(Job.orientation, kLandscape);
  EXPECT_EQ(Posted(), kCardChange);
}

// ---- size list ------------------------------------------------------------------------
TEST_F(OptionsBarTest, SelectionChangeSetsTheSizeAndAnnouncesIt) {
  SendMessageA(List(), CB_SETCURSEL, 2, 0);
  SendMessageA(bar_, WM_COMMAND, MAKEWPARAM(IDC_CARD_SIZE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(List()));
  EXPECT_EQ(Job.sizeIndex, 2);
  EXPECT_EQ(Posted(), kCardChange);
}

TEST_F(OptionsBarTest, OtherListNotificationsChangeNothing) {
  SendMessageA(List(), CB_SETCURSEL, 2, 0);
  EXPECT_EQ(SendMessageA(bar_, WM_COMMAND, MAKEWPARAM(IDC_CARD_SIZE, CBN_DROPDOWN),
                         reinterpret_cast<LPARAM>(List())),
            0);
  PumpMessages();
  EXPECT_EQ(Job.sizeIndex, 1);
  EXPECT_TRUE(g_viewCommands.empty());
}

// ---- colours --------------------------------------------------------------------------
TEST_F(OptionsBarTest, PanelBrushBehindTheBarAndItsLabel) {
  HDC dc = GetDC(bar_);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(bar_, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(bar_))),
            PanelBrush);
  SetBkMode(dc, OPAQUE);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(bar_, WM_CTLCOLORSTATIC,
                                                  reinterpret_cast<WPARAM>(dc), 0)),
            PanelBrush);
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(bar_, dc);
}

}  // namespace
