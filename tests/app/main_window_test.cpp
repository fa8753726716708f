// Tests of the main window under Wine: in-process for its commands, and the
// real program for start-up, the single-instance hand-over and shutdown.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/program_values.h"
#include "controls/bitmap_button.h"
#include "net/account.h"
#include "resources/resource.h"
#include "support/win_test_util.h"

namespace {

// Gives the process the values start-up would, with the program "installed"
// in `folder`.
void InitValuesIn(const std::string& folder) {
  InitProgramValues((folder + "\\Norvalisk.exe").c_str(), "http://127.0.0.1:9");
  InitCardJob(&Job, ProgramFolder);
  AppInstance = GetModuleHandleA(nullptr);
}

HWND CreateTestMainWindow() {
  RegisterMainWindowClass(AppInstance);
  HWND window = CreateMainWindow(AppInstance, LoadBitmapA(AppInstance, "WINDOW_BG"));
  if (window) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
  }
  return window;
}

RECT ChildRect(HWND parent, int id) {
  RECT rect = {};
  HWND child = GetDlgItem(parent, id);
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int ButtonState(HWND main, int id) { return SetBitmapButtonState(GetDlgItem(main, id), -1, 0); }

// One main window for the suite; commands are sent to it directly.
class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    InitValuesIn(folder_->path());
    window_ = CreateTestMainWindow();
  }
  static void TearDownTestSuite() {
    if (IsWindow(window_)) {
      SendMessageA(window_, WM_CLOSE, 0, 0);
    }
    PumpMessages();
    delete folder_;
  }
  void SetUp() override { ASSERT_NE(window_, nullptr); }

  static LRESULT Command(int id) { return SendMessageA(window_, WM_COMMAND, id, 0); }

  static inline TempFolder* folder_ = nullptr;
  static inline HWND window_ = nullptr;
};

// ---- window, shape and layout ---------------------------------------------
TEST_F(MainWindowTest, BorderlessPopupOfBackgroundSizeCentredOnScreen) {
  RECT rect;
  GetWindowRect(window_, &rect);
  EXPECT_EQ(rect.right - rect.left, 878);
  EXPECT_EQ(rect.bottom - rect.top, 680);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 878) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 680) / 2);
  const LONG style = GetWindowLongA(window_, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
  const LONG exStyle = GetWindowLongA(window_, GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_COMPOSITED);
  EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
  char title[64];
  GetWindowTextA(window_, title, sizeof title);
  EXPECT_STREQ(title, "Norvalisk version 1.0J");
}

TEST_F(MainWindowTest, ShapedByTheBlueOfTheBackground) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(window_, region) == ERROR, false);
  // The rounded corners of the skin are cut away, the middle is in the shape.
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, 877, 0));
  EXPECT_TRUE(PtInRegion(region, 439, 340));
  EXPECT_FALSE(PtInRegion(region, 439, 679));  // the bottom row never shows
  DeleteObject(region);
}

TEST_F(MainWindowTest, EightButtonsAtTheirPlacesWithBitmapSizes) {
  struct Place {
    int id, x, y, width, height;
  };
  const Place places[] = {
      {IDC_CLOSE, 805, 10, 57, 19},   {IDC_DATA_CLEAR, 765, 52, 95, 43}, {IDC_DATA_CUT, 433, 235, 65, 83},
      {IDC_SITE, 505, 610, 147, 57},  {IDC_WEBHELP, 675, 622, 67, 34},   {IDC_UPLOAD, 775, 617, 89, 45},
      {IDC_FRONT, 515, 70, 106, 30},  {IDC_BACK, 622, 70, 105, 30},
  };
  for (const Place& place : places) {
    const RECT rect = ChildRect(window_, place.id);
    EXPECT_EQ(rect.left, place.x) << place.id;
    EXPECT_EQ(rect.top, place.y) << place.id;
    EXPECT_EQ(rect.right - rect.left, place.width) << place.id;
    EXPECT_EQ(rect.bottom - rect.top, place.height) << place.id;
  }
}

// ---- commands ---------------------------------------------------------------
TEST_F(MainWindowTest, TabCommandsSwitchOnlyWhenTheSideChanges) {
  struct Step {
    int command;
    int side;   // currentSide afterwards
    int front;  // tab states afterwards
    int back;
  };
  // The repeated commands must not touch the tabs: a state set by hand
  // (pressed) on the other tab survives them.
  const Step steps[] = {
      {IDC_FRONT, 0, BtnSelected, BtnNormal},
      {IDC_BACK, 1, BtnNormal, BtnSelected},
      {IDC_BACK, 1, BtnNormal, BtnSelected},
      {IDC_FRONT, 0, BtnSelected, BtnNormal},
  };
  ASSERT_EQ(Job.currentSide, 0);
  for (const Step& step : steps) {
    const bool repeat = Job.currentSide == step.side;
    HWND other = GetDlgItem(window_, step.side == 0 ? IDC_BACK : IDC_FRONT);
    if (repeat) {
      SetBitmapButtonState(other, BtnPressed, 0);
    }
    EXPECT_EQ(Command(step.command), 1);
    EXPECT_EQ(Job.currentSide, step.side);
    if (repeat) {
      EXPECT_EQ(SetBitmapButtonState(other, BtnNormal, 0), BtnPressed) << step.command;
    }
    EXPECT_EQ(ButtonState(window_, IDC_FRONT), step.front) << step.command;
    EXPECT_EQ(ButtonState(window_, IDC_BACK), step.back) << step.command;
  }
}

TEST_F(MainWindowTest, ClickOnATabButtonReachesTheWindow) {
  HWND back = GetDlgItem(window_, IDC_BACK);
  SendMessageA(back, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(back, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(WaitFor([] { return Job.currentSide == 1; }));
  Command(IDC_FRONT);
  EXPECT_EQ(Job.currentSide, 0);
}

TEST_F(MainWindowTest, UnknownCommandGoesToDefaultProcessing) {
  EXPECT_EQ(Command(4321), 0);
}

TEST_F(MainWindowTest, UploadWithoutFrontCutIsRefusedWithAMessage) {
  ASSERT_EQ(Job.sides[0].image, nullptr);
  std::string text, caption;
  std::thread answer([&] { text = AnswerMessageBox(&caption); });
  EXPECT_EQ(Command(IDC_UPLOAD), 1);
  answer.join();
  EXPECT_EQ(text, "名刺表の画像が切り取られていません。");
  EXPECT_EQ(caption, "アップロード");
}

TEST_F(MainWindowTest, PressOnTheBackgroundStartsACaptionDrag) {
  // The press becomes a caption press at the same position, which the system
  // turns into moving the window.
  const LPARAM at = MAKELPARAM(300, 40);
  SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  MSG message = {};
  ASSERT_TRUE(PeekMessageA(&message, window_, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(message.lParam, at);

  // A press on a child stays with the child.
  SendMessageA(GetDlgItem(window_, IDC_DATA_CLEAR), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_FALSE(PeekMessageA(&message, window_, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  SetBitmapButtonState(GetDlgItem(window_, IDC_DATA_CLEAR), BtnNormal, 0);
}

// ---- shutdown ---------------------------------------------------------------
// The cleanup of a close, run on a window of its own: the settings file is
// written and the page files deleted, whichever way the close came.
class MainWindowCloseTest : public ::testing::TestWithParam<UINT> {};

TEST_P(MainWindowCloseTest, WritesSettingsAndDeletesPageFiles) {
  TempFolder folder;
  InitValuesIn(folder.path());
  strcpy(UserId, "taro");
  strcpy(UserPassword, "secret");
  RememberLogin = 1;
  HWND window = CreateTestMainWindow();
  ASSERT_NE(window, nullptr);
  for (int n = 1; n <= 5; ++n) {
    WriteFileBytes(folder.File("page_" + std::to_string(n) + ".bmp"), "BM");
  }
  WriteFileBytes(folder.File("page_6.bmp"), "BM");

  if (GetParam() == WM_CLOSE) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    PostMessageA(window, WM_COMMAND, IDC_CLOSE, 0);
  }
  TakeQuitCode();
  std::optional<WPARAM> quitCode;
  ASSERT_TRUE(WaitFor([&] { return (quitCode = TakeQuitCode()).has_value(); }));
  EXPECT_EQ(*quitCode, 0u);
  EXPECT_FALSE(IsWindow(window));
  for (int n = 1; n <= 5; ++n) {
    EXPECT_FALSE(FileExists(folder.File("page_" + std::to_string(n) + ".bmp"))) << n;
  }
  EXPECT_TRUE(FileExists(folder.File("page_6.bmp")));
  const std::string settings = ReadFileBytes(folder.File("Norvalisk.env"));
  EXPECT_NE(settings.find("USER_ID      = taro\r\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("COOKIE       = 1\r\n"), std::string::npos) << settings;
}

INSTANTIATE_TEST_SUITE_P(Both, MainWindowCloseTest, ::testing::Values(WM_CLOSE, WM_COMMAND),
                         [](const auto& info) { return info.param == WM_CLOSE ? "WmClose" : "IdcClose"; });

// ---- the real program ------------------------------------------------------
// A copy of Norvalisk.exe (and the libraries beside it) in a folder of its own.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FindWindowA(kMainWindowClass, nullptr), nullptr) << "a Norvalisk window is already open";
    ASSERT_TRUE(CopyFileA(BesideTestExe("Norvalisk.exe").c_str(), folder_.File("Norvalisk.exe").c_str(), FALSE));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(BesideTestExe("*.dll").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        CopyFileA(BesideTestExe(found.cFileName).c_str(), folder_.File(found.cFileName).c_str(), FALSE);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }

  std::string Exe() const { return "\"" + folder_.File("Norvalisk.exe") + "\""; }

  // Waits for the program's main window.
  static HWND WaitForWindow(const ChildProcess& process) {
    HWND window = nullptr;
    WaitFor([&] { return (window = FindProcessWindow(process.id(), kMainWindowClass)) != nullptr; }, 20000);
    return window;
  }

  TempFolder folder_;
};

TEST_F(ProgramTest, ArgumentReplacesPagePrefixWhoseFilesGoAtStartAndExit) {
  const std::string dir = folder_.File("some dir");
  CreateDirectoryA(dir.c_str(), nullptr);
  for (int n = 1; n <= 5; ++n) {
    WriteFileBytes(dir + "\\p_" + std::to_string(n) + ".bmp", "BM");
  }
  WriteFileBytes(folder_.File("page_1.bmp"), "BM");  // not the prefix in use: stays
  ChildProcess program(Exe() + " \"" + dir + "\\p_\" ignored", folder_.path());
  ASSERT_TRUE(program.started());
  HWND window = WaitForWindow(program);
  ASSERT_NE(window, nullptr);
  for (int n = 1; n <= 5; ++n) {
    EXPECT_FALSE(FileExists(dir + "\\p_" + std::to_string(n) + ".bmp")) << n;
  }
  EXPECT_TRUE(FileExists(folder_.File("page_1.bmp")));

  WriteFileBytes(dir + "\\p_3.bmp", "BM");  // printed while it ran
  PostMessageA(window, WM_COMMAND, IDC_CLOSE, 0);
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_FALSE(FileExists(dir + "\\p_3.bmp"));
  EXPECT_TRUE(FileExists(folder_.File("Norvalisk.env")));
  RemoveDirectoryA(dir.c_str());
}

TEST_F(ProgramTest, SecondStartRestoresAndFrontsTheFirstAndExitsZero) {
  ChildProcess first(Exe(), folder_.path());
  HWND window = WaitForWindow(first);
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != 0; }));

  ChildProcess second(Exe() + " \"C:\\elsewhere\\p_\"", folder_.path());
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.Wait(), 0);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(window); }));
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }));
  EXPECT_EQ(FindProcessWindow(second.id(), kMainWindowClass), nullptr);

  SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  EXPECT_EQ(first.Wait(), 0);
}

}  // namespace
