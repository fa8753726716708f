// Leak check of the control host under Wine: host windows with a control in
// them, made and destroyed many times, leave the process holding no more
// kernel handles, GDI objects or user objects than before.
#include <windows.h>

#include <ole2.h>

#include <gtest/gtest.h>

#include "support/leak_check.h"
#include "support/win_test_util.h"
#include "test_control.h"
#include "webview/host_interfaces.h"
#include "webview/navo.h"
#include "webview_test_util.h"

namespace {

constexpr char kTestControlText[] = "{5A1B7C3E-2D4F-4E6A-9B8C-7D6E5F403122}";
constexpr char kWindowlessControlText[] = "{5A1B7C3F-2D4F-4E6A-9B8C-7D6E5F403122}";
constexpr int kHostCycles = 200;
constexpr int kWarmUpCycles = 5;

// Creates a host window for the control named `text`, shows and paints it,
// then destroys it; returns whether the control was made.
bool HostOnce(HWND parent, const char* text, ControlLog* log) {
  HWND host = CreateWindowExA(0, kHostWindowClass, text, WS_CHILD | WS_VISIBLE, 0, 0, 360, 135,
                              parent, nullptr, NavoInstance(), nullptr);
  if (host == nullptr) return false;
  const bool made = log->live == 1;
  RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  SendMessageA(host, WM_SIZE, 0, MAKELPARAM(200, 100));
  PumpMessages();
  DestroyWindow(host);
  if (log->site != nullptr) {
    log->site->Release();
    log->site = nullptr;
  }
  return made && log->live == 0;
}

class HostLeakTest : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    parent_ = CreateTestParent("HostLeakTestParent");
    // The host class is registered by the library's one export.
    ControlLog log;
    TestControlFactory browser(&log, ControlKind::kBrowser);
    browser.Register(kClsidWebBrowser);
    DestroyWindow(jNAVO_Create(parent_, nullptr, 0));
    browser.Revoke();
  }

  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    OleUninitialize();
  }

  static inline HWND parent_ = nullptr;
};

// ---- a host window with a control, made and destroyed 200 times ----

TEST_P(HostLeakTest, HostWindowsWithAControlLeaveNothingBehind) {
  ASSERT_NE(parent_, nullptr);
  ControlLog log;
  TestControlFactory windowed(&log, ControlKind::kWindowed);
  TestControlFactory windowless(&log, ControlKind::kWindowless);
  ASSERT_TRUE(windowed.Register(kTestControlClsid));
  ASSERT_TRUE(windowless.Register(kWindowlessControlClsid));

  // The first hosts may make what the process keeps for good (classes, fonts).
  for (int i = 0; i < kWarmUpCycles; ++i) {
    ASSERT_TRUE(HostOnce(parent_, GetParam(), &log)) << "warm-up " << i;
  }
  const ProcessResources before = CountProcessResources();
  for (int i = 0; i < kHostCycles; ++i) {
    ASSERT_TRUE(HostOnce(parent_, GetParam(), &log)) << "cycle " << i;
  }
  const ProcessResources after = CountProcessResources();
  windowed.Revoke();
  windowless.Revoke();

  ExpectNoResourceGrowth(before, after, std::to_string(kHostCycles) + " hosts");
}

INSTANTIATE_TEST_SUITE_P(Controls, HostLeakTest,
                         ::testing::Values(kTestControlText, kWindowlessControlText));

}  // namespace

namespace {

// The counters see what they must: 16 more events, brushes and one window.
TEST(ResourceCountTest, CountsHandlesBrushesAndAWindowMore) {
  constexpr DWORD kMade = 16;
  const ProcessResources before = CountProcessResources();
  HANDLE events[kMade];
  HBRUSH brushes[kMade];
  for (DWORD i = 0; i < kMade; ++i) {
    events[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    brushes[i] = CreateSolidBrush(RGB(1, 2, i));
  }
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  const ProcessResources during = CountProcessResources();
  DestroyWindow(window);
  for (DWORD i = 0; i < kMade; ++i) {
    DeleteObject(brushes[i]);
    CloseHandle(events[i]);
  }
  const ProcessResources after = CountProcessResources();
  // Other threads of the process (Wine's own) may open or close a handle meanwhile.
  EXPECT_GE(during.handles, before.handles + kMade - kHandleDrift);
  EXPECT_LE(during.handles, before.handles + kMade + kHandleDrift);
  EXPECT_LE(after.handles, before.handles + kHandleDrift);
  EXPECT_EQ(during.gdiObjects, before.gdiObjects + kMade);
  EXPECT_GE(during.userObjects, before.userObjects + 1);
  EXPECT_EQ(after.gdiObjects, before.gdiObjects);
  EXPECT_EQ(after.userObjects, before.userObjects);
}

}  // namespace
