// Tests of the main window's web view under Wine: where it sits and which
// help page it is sent at each step, seen by a test browser control that
// stands in for the platform's browser.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/program_values.h"
#include "net/service_addresses.h"
#include "resources/resource.h"
#include "support/win_test_util.h"
#include "test_control.h"
#include "webview/host_interfaces.h"

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(MainWindowWebView, SitsInItsPlaceAndShowsTheHelpOfEachStep) {
  OleInitialize(nullptr);  // the class registration below needs an apartment
  ControlLog log;
  TestControlFactory browsers(&log, ControlKind::kBrowser);
  ASSERT_TRUE(browsers.Register(kClsidWebBrowser));

  TempFolder folder;
  InitProgramValues((folder.path() + "\\Norvalisk.exe").c_str(), "http://127.0.0.1:9");
  InitCardJob(&Job, ProgramFolder);
  AppInstance = GetModuleHandleA(nullptr);
  RegisterMainWindowClass(AppInstance);
  HWND window = CreateMainWindow(AppInstance, LoadBitmapA(AppInstance, "WINDOW_BG"));
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  PumpMessages();

  ASSERT_NE(AppWindows.webView, nullptr);
  EXPECT_TRUE(IsWindowVisible(AppWindows.webView));
  RECT rect;
  GetWindowRect(AppWindows.webView, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 505);
  EXPECT_EQ(rect.top, 470);
  EXPECT_EQ(rect.right - rect.left, 360);
  EXPECT_EQ(rect.bottom - rect.top, 135);

  const std::string help = HelpPageUrl;
  EXPECT_EQ(log.browser.navigateCount, 1);
  EXPECT_EQ(std::wstring(log.browser.url), Wide(help + "?page=info"));

  SendMessageA(window, WM_COMMAND, IDC_DATA_CUT, 0);
  EXPECT_EQ(log.browser.navigateCount, 2);
  EXPECT_EQ(std::wstring(log.browser.url), Wide(help + "?page=data_cut"));

  // The upload page comes first, even when the upload is then refused.
  std::string caption;
  std::thread answer([&] { AnswerMessageBox(&caption); });
  SendMessageA(window, WM_COMMAND, IDC_UPLOAD, 0);
  answer.join();
  EXPECT_EQ(caption, "アップロード");
  EXPECT_EQ(log.browser.navigateCount, 3);
  EXPECT_EQ(std::wstring(log.browser.url), Wide(help + "?page=upload"));

  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(AppWindows.webView, nullptr);
  PumpMessages();
  TakeQuitCode();
  browsers.Revoke();
  if (log.site) {
    log.site->Release();
  }
  OleUninitialize();
}

}  // namespace
