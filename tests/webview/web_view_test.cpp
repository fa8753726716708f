// Tests of the web view window under Wine: jNAVO_Create and the WVM_
// messages, with a test control standing in for the browser, and once with
// Wine's own browser control.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "test_control.h"
#include "webview/host_interfaces.h"
#include "webview/navo.h"
#include "webview_test_util.h"

namespace {

UINT GetHostMessage() { return RegisterWindowMessageA("WM_NAVOGETHOST"); }
UINT GetControlMessage() { return RegisterWindowMessageA("WM_NAVOGETCONTROL"); }

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    parent_ = CreateTestParent("WebViewTestParent");
  }

  static void TearDownTestSuite() {
    DestroyWindow(parent_);
    OleUninitialize();
  }

  void SetUp() override { ASSERT_NE(parent_, nullptr); }

  void TearDown() override {
    for (HWND view : views_) {
      if (IsWindow(view)) {
        DestroyWindow(view);
      }
    }
    browsers_.Revoke();
    if (log_.site != nullptr) {
      log_.site->Release();
      log_.site = nullptr;
    }
  }

  // A web view whose browser is the test control.
  HWND CreateTestView(HINSTANCE instance = nullptr, UINT id = 0) {
    if (!registered_) {
      registered_ = browsers_.Register(kClsidWebBrowser);
    }
    HWND view = jNAVO_Create(parent_, instance, id);
    views_.push_back(view);
    return view;
  }

  static HWND parent_;
  ControlLog log_;
  TestControlFactory browsers_{&log_, ControlKind::kBrowser};
  bool registered_ = false;
  std::vector<HWND> views_;
};

HWND WebViewTest::parent_ = nullptr;

TEST_F(WebViewTest, TwoCreatesGiveIndependentWindowsOfOneClass) {
  HWND first = CreateTestView(nullptr, 0);
  HWND second = CreateTestView(GetModuleHandleA(nullptr), 5);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(log_.live, 2);

  // One class, registered once, owned by the library whatever the caller passed.
  EXPECT_EQ(GetClassLongPtrA(first, GCW_ATOM), GetClassLongPtrA(second, GCW_ATOM));
  EXPECT_EQ(ClassName(first), "NavoHostWin");
  for (HWND view : {first, second}) {
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(view, GWLP_HINSTANCE)),
              NavoInstance());
    EXPECT_TRUE(IsWindowVisible(view));
    EXPECT_EQ(GetParent(view), parent_);
    EXPECT_EQ(WindowText(view), "");
    RECT rect;
    GetWindowRect(view, &rect);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 10);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 300);
  }
  EXPECT_EQ(GetDlgCtrlID(first), 0);
  EXPECT_EQ(GetDlgCtrlID(second), 5);
  void* firstState = GetPropA(first, "CTL_NAVO");
  void* secondState = GetPropA(second, "CTL_NAVO");
  EXPECT_NE(firstState, nullptr);
  EXPECT_NE(secondState, nullptr);
  EXPECT_NE(firstState, secondState);

  // Each drives its own browser.
  SendMessageA(first, WVM_NAVIGATE, 0, 0);
  EXPECT_EQ(log_.browser.navigateCount, 1);
  DestroyWindow(first);
  EXPECT_EQ(log_.live, 1);
  SendMessageA(second, WVM_NAVIGATE, 0, 0);
  EXPECT_EQ(log_.browser.navigateCount, 2);
  DestroyWindow(second);
  EXPECT_EQ(log_.live, 0);
}

TEST_F(WebViewTest, NavigateWithNullUrlSendsANullString) {
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, 0, 0), 1);
  EXPECT_EQ(log_.browser.navigateCount, 1);
  EXPECT_EQ(log_.browser.urlType, VT_BSTR);
  EXPECT_TRUE(log_.browser.urlIsNullString);
  EXPECT_TRUE(log_.browser.othersShareOneEmpty);
}

TEST_F(WebViewTest, NavigateConvertsShiftJisUrls) {
  ASSERT_EQ(GetACP(), 932u);
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  const struct {
    const char* url;  // Shift-JIS
    const wchar_t* wide;
  } cases[] = {
      {"http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info",
       L"http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info"},
      {"http://127.0.0.1/help_page.php?page=表示", L"http://127.0.0.1/help_page.php?page=表示"},
      // ソ ends in the byte 0x5C, the backslash of a byte-wise reader.
      {"http://127.0.0.1/ソフト?q=名刺", L"http://127.0.0.1/ソフト?q=名刺"},
      {"", L""},
  };
  int count = 0;
  for (const auto& c : cases) {
    // From a stack buffer the caller reuses at once.
    char buffer[260];
    lstrcpynA(buffer, c.url, sizeof buffer);
    EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, reinterpret_cast<WPARAM>(buffer), 0), 1);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(log_.browser.navigateCount, ++count);
    EXPECT_EQ(log_.browser.urlType, VT_BSTR);
    EXPECT_FALSE(log_.browser.urlIsNullString);
    EXPECT_STREQ(log_.browser.url, c.wide);
    EXPECT_TRUE(log_.browser.othersShareOneEmpty);
  }
}

TEST_F(WebViewTest, NavigateAnswersOneEvenWhenTheBrowserRefuses) {
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  log_.browser.answer = E_FAIL;
  EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, reinterpret_cast<WPARAM>("http://x/"), 0), 1);
  EXPECT_EQ(log_.browser.navigateCount, 1);
}

TEST_F(WebViewTest, RefreshPassesTheThreeLevelsAndMakesOthersNormal) {
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  const struct {
    WPARAM requested;
    LONG level;
  } cases[] = {
      {0, 0}, {1, 1}, {2, 0}, {3, 3}, {7, 0}, {static_cast<WPARAM>(-1), 0},
  };
  for (const auto& c : cases) {
    log_.browser.answer = S_OK;
    EXPECT_EQ(SendMessageA(view, WVM_REFRESH, c.requested, 0), 1);
    EXPECT_EQ(log_.browser.refreshType, VT_I4);
    EXPECT_EQ(log_.browser.refreshLevel, c.level) << static_cast<long long>(c.requested);
  }
  log_.browser.answer = S_FALSE;
  EXPECT_EQ(SendMessageA(view, WVM_REFRESH, 1, 0), 0);
}

TEST_F(WebViewTest, HistoryMessagesAnswerWhetherTheBrowserSucceeded) {
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  const struct {
    HRESULT answer;
    LRESULT result;
  } answers[] = {{S_OK, 1}, {S_FALSE, 0}, {E_FAIL, 0}};
  for (const auto& a : answers) {
    log_.browser.answer = a.answer;
    EXPECT_EQ(SendMessageA(view, WVM_GOBACK, 0, 0), a.result);
    EXPECT_EQ(SendMessageA(view, WVM_GOFORWARD, 0, 0), a.result);
    EXPECT_EQ(SendMessageA(view, WVM_GOHOME, 0, 0), a.result);
  }
  EXPECT_EQ(log_.browser.goBackCount, 3);
  EXPECT_EQ(log_.browser.goForwardCount, 3);
  EXPECT_EQ(log_.browser.goHomeCount, 3);
}

TEST_F(WebViewTest, MessagesAfterDestroyAreAnsweredWithZeroAndGoNowhere) {
  HWND view = CreateTestView();
  ASSERT_NE(view, nullptr);
  // The host answers this with its own interface while it is reached.
  ComPtr<IUnknown> host(reinterpret_cast<IUnknown*>(SendMessageA(view, GetHostMessage(), 0, 0)));
  ASSERT_TRUE(host);
  host.Reset();

  SendMessageA(view, WM_DESTROY, 0, 0);
  EXPECT_EQ(GetPropA(view, "CTL_NAVO"), nullptr);
  EXPECT_EQ(log_.live, 0);  // the browser was closed and let go
  EXPECT_EQ(log_.closeCalls, 1);

  EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, reinterpret_cast<WPARAM>("http://x/"), 0), 0);
  EXPECT_EQ(SendMessageA(view, WVM_REFRESH, 1, 0), 0);
  EXPECT_EQ(SendMessageA(view, GetHostMessage(), 0, 0), 0);
  EXPECT_EQ(SendMessageA(view, GetControlMessage(), 0, 0), 0);
  EXPECT_EQ(SendMessageA(view, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(log_.browser.navigateCount, 0);
  EXPECT_EQ(log_.browser.refreshCount, 0);
  EXPECT_EQ(log_.closeCalls, 1);
}

TEST_F(WebViewTest, NoWindowWhenTheBrowserCannotBeMade) {
  TestControlFactory failing(&log_, ControlKind::kBrowser, E_OUTOFMEMORY);
  ASSERT_TRUE(failing.Register(kClsidWebBrowser));
  EXPECT_EQ(jNAVO_Create(parent_, nullptr, 0), nullptr);
  failing.Revoke();
  EXPECT_EQ(FindWindowExA(parent_, nullptr, "NavoHostWin", nullptr), nullptr);
}

// Wine's own browser control: created and navigated, though nothing renders
// (Wine has no HTML engine here and refuses every navigation).
TEST_F(WebViewTest, WorksWithTheSystemBrowserControl) {
  HWND view = jNAVO_Create(parent_, GetModuleHandleA(nullptr), 0);
  views_.push_back(view);
  ASSERT_NE(view, nullptr);
  ShowWindow(view, SW_SHOW);
  MoveWindow(view, 505, 470, 360, 135, TRUE);
  ComPtr<IUnknown> control(
      reinterpret_cast<IUnknown*>(SendMessageA(view, GetControlMessage(), 0, 0)));
  ASSERT_TRUE(control);
  ComPtr<IUnknown> browser;
  EXPECT_EQ(control->QueryInterface(IID_IWebBrowser2, browser.PutVoid()), S_OK);
  EXPECT_EQ(log_.live, 0);

  char url[] = "http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info";
  EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, reinterpret_cast<WPARAM>(url), 0), 1);
  EXPECT_EQ(SendMessageA(view, WVM_NAVIGATE, 0, 0), 1);
  std::printf("Wine's browser: go back answers %lld, refresh %lld\n",
              static_cast<long long>(SendMessageA(view, WVM_GOBACK, 0, 0)),
              static_cast<long long>(SendMessageA(view, WVM_REFRESH, 0, 0)));
  DestroyWindow(view);
  EXPECT_FALSE(IsWindow(view));
}

}  // namespace
