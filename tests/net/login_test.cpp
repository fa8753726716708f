// Tests of the login gate and the login and registration dialogs against the reference
// service: what the dialogs show, the requests they send and the account state they leave.
#include "net/login.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/service_addresses.h"
#include "controls/bitmap_button.h"
#include "dialog_driver.h"
#include "net/account.h"
#include "net/account_file.h"
#include "base/byte_buffer.h"
#include "net/http_client.h"
#include "resources/resource.h"
#include "service_peer.h"
#include "support/win_test_util.h"

namespace {

constexpr char kLoginCaption[] = "ログイン";
constexpr char kRegistCaption[] = "ユーザー新規登録";
constexpr char kAuthCaption[] = "ユーザー認証";
constexpr char kBadLogin[] = "IDまたはパスワードが正しくありません。";

void SetAccount(const std::string& id, const std::string& password, int remember, int loggedIn) {
  std::snprintf(UserId, sizeof UserId, "%s", id.c_str());
  std::snprintf(UserPassword, sizeof UserPassword, "%s", password.c_str());
  RememberLogin = remember;
  LoggedIn = loggedIn;
}

void PointApiAt(const std::string& base) {
  std::snprintf(ApiUrl, sizeof ApiUrl, "%s/admin/norvalisk/norvix_api.php", base.c_str());
}

std::string FailureText(const std::vector<std::string>& failures) {
  std::string text;
  for (const std::string& failure : failures) text += failure + "\n";
  return text;
}

// A bitmap button found in a dialog: its id and its place in the dialog's client area.
struct FoundButton {
  HWND window;
  int id;
  POINT place;
};

BOOL CALLBACK CollectButton(HWND window, LPARAM context) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, kBitmapButtonClass) == 0) {
    RECT rect;
    GetWindowRect(window, &rect);
    POINT place = {rect.left, rect.top};
    ScreenToClient(GetParent(window), &place);
    reinterpret_cast<std::vector<FoundButton>*>(context)->push_back(
        {window, GetDlgCtrlID(window), place});
  }
  return TRUE;
}

std::vector<FoundButton> BitmapButtons(HWND dialog) {
  std::vector<FoundButton> buttons;
  EnumChildWindows(dialog, CollectButton, reinterpret_cast<LPARAM>(&buttons));
  return buttons;
}

// One parent window for the whole suite; every test starts logged out with an empty account.
class LoginTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    parent_ = CreateWindowExA(0, "STATIC", "login test parent", WS_POPUP | WS_VISIBLE, 50, 50, 200,
                              100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(parent_); }

  void SetUp() override {
    if (ServicePort() == 0) GTEST_SKIP() << "NORVALISK_TEST_SERVICE is not set";
    ASSERT_NE(parent_, nullptr);
    ResetService();
    PointApiAt(ServiceBase());
    SetAccount("", "", 0, 0);
  }
  void TearDown() override {
    if (ServicePort() != 0) ResetService();
    SetAccount("", "", 0, 0);
  }

  // Registers an account at the service directly.
  static void Register(const std::string& id, const std::string& password) {
    char buffer[2048] = {};
    std::snprintf(buffer, sizeof buffer, "application=norvalisk&mode=regist&id=%s&pwd=%s",
                  id.c_str(), password.c_str());
    ASSERT_EQ(PostForm(ApiUrl, "POST", buffer, sizeof buffer), 4);
    ASSERT_EQ(std::string(buffer, 4), "TRUE");
  }

  int Drive(const std::function<void(DialogDriver&)>& script, const std::function<int()>& show) {
    std::vector<std::string> failures;
    const int result = DriveModal(script, show, &failures);
    EXPECT_TRUE(failures.empty()) << FailureText(failures);
    return result;
  }

  int DriveLogin(const std::function<void(DialogDriver&)>& script) {
    return Drive(script, [] { return ShowLoginDialog(parent_); });
  }

  static HWND parent_;
};

HWND LoginTest::parent_ = nullptr;

// ---- Login dialog: opening ----

// The account file's COOKIE value decides whether the saved ID and password are filled in.
TEST_F(LoginTest, FieldsArePrefilledOnlyWhenCookieIsOne) {
  struct Case {
    const char* cookie;
    const char* id;
    const char* password;
    bool checked;
  };
  for (const Case& c : {Case{"1", "saved01", "secret1", true}, Case{"0", "", "", false},
                        Case{"x", "", "", false}}) {
    SCOPED_TRACE(c.cookie);
    TempFolder folder;
    const std::string file = folder.File("Norvalisk.env");
    WriteFileBytes(file, std::string("USER_ID      = saved01\r\nUSER_PWD     = secret1\r\n") +
                             "COOKIE       = " + c.cookie + "\r\n");
    ASSERT_EQ(ReadAccountFile(file.c_str()), 1);
    std::string id, password;
    bool checked = !c.checked;
    const int result = DriveLogin([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kLoginCaption, parent_);
      if (!dialog) return;
      id = d.Text(dialog, IDC_USER_ID);
      password = d.Text(dialog, IDC_USER_PWD);
      checked = d.Checked(dialog, IDC_SAVE_LOGIN);
      d.Command(dialog, IDC_LOGIN_CANCEL);
      d.WaitGone(dialog);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(password, c.password);
    EXPECT_EQ(checked, c.checked);
    EXPECT_STREQ(UserId, "saved01");  // kept in memory either way
    EXPECT_EQ(RecordedRequestCount(), 0);
  }
}

TEST_F(LoginTest, ThreeBitmapButtonsTakeThePlaceOfTheHiddenOnes) {
  std::vector<FoundButton> buttons;
  bool placeholdersHidden = false;
  DriveLogin([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kLoginCaption, parent_);
    if (!dialog) return;
    buttons = BitmapButtons(dialog);
    HWND placeholder = GetDlgItem(dialog, IDC_LOGIN);
    placeholdersHidden = placeholder && !IsWindowVisible(placeholder) && !IsWindowEnabled(placeholder);
    d.Command(dialog, IDCANCEL);
    d.WaitGone(dialog);
  });
  ASSERT_EQ(buttons.size(), 3u);
  const FoundButton expected[] = {{nullptr, IDC_LOGIN_CANCEL, {187, 130}},
                                  {nullptr, IDC_LOGIN, {300, 130}},
                                  {nullptr, IDC_NEW_MEMBER, {187, 220}}};
  for (const FoundButton& want : expected) {
    SCOPED_TRACE(want.id);
    bool found = false;
    for (const FoundButton& button : buttons) {
      if (button.id == want.id) {
        found = true;
        EXPECT_EQ(button.place.x, want.place.x);
        EXPECT_EQ(button.place.y, want.place.y);
      }
    }
    EXPECT_TRUE(found);
  }
  EXPECT_TRUE(placeholdersHidden);
}

TEST_F(LoginTest, CloseRequestEndsWithZeroAndTakesTheButtons) {
  std::vector<FoundButton> buttons;
  const int result = DriveLogin([&](DialogDriver& d) {
    HWND dialog = d.WaitDialog(kLoginCaption, parent_);
    if (!dialog) return;
    buttons = BitmapButtons(dialog);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    d.WaitGone(dialog);
  });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(buttons.size(), 3u);
  for (const FoundButton& button : buttons) EXPECT_FALSE(IsWindow(button.window));
}

// ---- Login dialog: the login button ----

TEST_F(LoginTest, SuccessfulLoginSetsTheAccount) {
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    const std::string id = UniqueId("ok-");
    Register(id, "pass01");
    SetAccount("", "", keep ? 0 : 1, 0);
    ResetService();
    const int result = DriveLogin([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kLoginCaption, parent_);
      if (!dialog) return;
      d.SetText(dialog, IDC_USER_ID, id);
      d.SetText(dialog, IDC_USER_PWD, "pass01");
      d.SetCheck(dialog, IDC_SAVE_LOGIN, keep);
      d.Command(dialog, IDC_LOGIN);
      d.WaitGone(dialog);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(LoggedIn, 1);
    EXPECT_STREQ(UserId, id.c_str());
    EXPECT_STREQ(UserPassword, "pass01");
    EXPECT_EQ(RememberLogin, keep ? 1 : 0);
    ASSERT_EQ(RecordedRequestCount(), 1);
    const RawRequest request = LastRecordedRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/admin/norvalisk/norvix_api.php");
    EXPECT_EQ(request.Header("User-Agent"), "Application");
    EXPECT_EQ(request.Header("Content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, "application=norvalisk&mode=login&id=" + id + "&pwd=pass01");
  }
}

// Every reply other than the bare "TRUE" is shown as it came, and changes nothing.
TEST_F(LoginTest, RefusedLoginShowsTheReplyAndKeepsTheAccount) {
  const std::string id = UniqueId("rf");
  Register(id, "pass01");
  struct Case {
    const char* label;
    std::string control;  // service setting, empty for normal answers
    bool closedPort;
    std::string password;
    std::string message;
  };
  const Case cases[] = {
      {"wrong password", "", false, "wrong01", kBadLogin},
      {"TRUE and a line end", "set?mode=reply&text=" + QueryEncode("TRUE\r\n"), false, "pass01",
       "TRUE\r\n"},
      {"service refusal", "set?mode=refuse&text=" + QueryEncode("停止中です。"), false, "pass01",
       "停止中です。"},
      {"dropped connection", "set?mode=drop", false, "pass01", ""},
      {"refused connection", "", true, "pass01", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetAccount("keep01", "keep02", 0, 0);
    ResetService();
    if (!c.control.empty()) ServiceControl(c.control);
    if (c.closedPort) PointApiAt("http://127.0.0.1:" + std::to_string(ClosedPort()));
    std::string message, caption;
    bool stayed = false;
    const int result = DriveLogin([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kLoginCaption, parent_);
      if (!dialog) return;
      d.SetText(dialog, IDC_USER_ID, id);
      d.SetText(dialog, IDC_USER_PWD, c.password);
      d.SetCheck(dialog, IDC_SAVE_LOGIN, true);
      d.Command(dialog, IDC_LOGIN);
      HWND box = d.WaitDialog(kAuthCaption, dialog);
      if (!box) return;
      message = d.BoxText(box);
      d.Command(box, IDOK);
      d.WaitGone(box);
      stayed = IsWindow(dialog) != FALSE;
      d.Command(dialog, IDC_LOGIN_CANCEL);
      d.WaitGone(dialog);
    });
    PointApiAt(ServiceBase());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, c.message);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(LoggedIn, 0);
    EXPECT_STREQ(UserId, "keep01");
    EXPECT_STREQ(UserPassword, "keep02");
    EXPECT_EQ(RememberLogin, 0);
  }
}

TEST_F(LoginTest, BrokenRuleIsShownAndNothingSent) {
  struct Case {
    const char* label;
    std::string id;
    std::string password;
    const char* message;
  };
  const Case cases[] = {
      {"ID of 3", "abc", "pass01", "ユーザーＩＤが正しく入力されていません。"},
      {"ID typed longer than 21", std::string(25, 'a'), "pass01",
       "ユーザーＩＤが正しく入力されていません。"},
      {"blank in the ID", "my id", "pass01", "ユーザーＩＤに使用できない文字が含まれています。"},
      {"short password", "user01", "abc", "パスワードが正しく入力されていません。"},
      {"'_' in the password", "user01", "pass_01", "パスワードに使用できない文字が含まれています。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string message;
    DriveLogin([&](DialogDriver& d) {
      HWND dialog = d.WaitDialog(kLoginCaption, parent_);
      if (!dialog) return;
      d.SetText(dialog, IDC_USER_ID, c.id);
      d.SetText(dialog, IDC_USER_PWD, c.password);
      d.Command(dialog, IDC_LOGIN);
      HWND box = d.WaitDialog(kAuthCaption, dialog);
      if (!box) return;
      message = d.BoxText(box);
      d.Command(box, IDOK);
      d.WaitGone(box);
      d.Command(dialog, IDCANCEL);
      d.WaitGone(dialog);
    });
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(RecordedRequestCount(), 0);
  }
}

// ---- Registration ----

TEST_F(LoginTest, RegistrationFillsTheLoginFieldsButDoesNotLogIn) {
  const std::string id = UniqueId("rg_");
  std::string emptyId = "x", emptyPassword = "x", notice, filledId, filledPassword;
  const int result = DriveLogin([&](DialogDriver& d) {
    HWND login = d.WaitDialog(kLoginCaption, parent_);
    if (!login) return;
    d.Command(login, IDC_NEW_MEMBER);
    HWND regist = d.WaitDialog(kRegistCaption, login);
    if (!regist) return;
    emptyId = d.Text(regist, IDC_USER_ID);
    emptyPassword = d.Text(regist, IDC_USER_PWD);
    d.SetText(regist, IDC_USER_ID, id);
    d.SetText(regist, IDC_USER_PWD, "newpass1");
    d.Command(regist, IDC_REGIST);
    HWND box = d.WaitDialog(kRegistCaption, regist);
    if (!box) return;
    notice = d.BoxText(box);
    d.Command(box, IDOK);
    d.WaitGone(regist);
    filledId = d.Text(login, IDC_USER_ID);
    filledPassword = d.Text(login, IDC_USER_PWD);
    d.Command(login, IDC_LOGIN_CANCEL);
    d.WaitGone(login);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(emptyId, "");
  EXPECT_EQ(emptyPassword, "");
  EXPECT_EQ(notice, "新しいユーザーアカウントを登録しました。");
  EXPECT_EQ(filledId, id);
  EXPECT_EQ(filledPassword, "newpass1");
  EXPECT_EQ(LoggedIn, 0);
  EXPECT_STREQ(UserId, id.c_str());
  EXPECT_STREQ(UserPassword, "newpass1");
  const RawRequest request = LastRecordedRequest();
  EXPECT_EQ(request.Header("User-Agent"), "Application");
  EXPECT_EQ(request.body, "application=norvalisk&mode=regist&id=" + id + "&pwd=newpass1");
}

TEST_F(LoginTest, RefusedRegistrationShowsTheReplyAndStays) {
  const std::string id = UniqueId("dup");
  Register(id, "pass01");
  std::string message;
  bool stayed = false;
  const int result = Drive(
      [&](DialogDriver& d) {
        HWND regist = d.WaitDialog(kRegistCaption, parent_);
        if (!regist) return;
        d.SetText(regist, IDC_USER_ID, id);
        d.SetText(regist, IDC_USER_PWD, "other01");
        d.Command(regist, IDC_REGIST);
        HWND box = d.WaitDialog(kRegistCaption, regist);
        if (!box) return;
        message = d.BoxText(box);
        d.Command(box, IDOK);
        d.WaitGone(box);
        stayed = IsWindow(regist) != FALSE;
        d.Command(regist, IDCANCEL);
        d.WaitGone(regist);
      },
      [] { return ShowRegistDialog(parent_); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(message, "このIDは既に使用されています。別のIDを入力して下さい。");
  EXPECT_TRUE(stayed);
  EXPECT_STREQ(UserId, "");
}

TEST_F(LoginTest, RegistrationChecksTheRulesUnderTheAuthCaption) {
  std::string message;
  Drive(
      [&](DialogDriver& d) {
        HWND regist = d.WaitDialog(kRegistCaption, parent_);
        if (!regist) return;
        d.SetText(regist, IDC_USER_ID, "abcd");
        d.SetText(regist, IDC_USER_PWD, "pass-1");
        d.Command(regist, IDC_REGIST);
        HWND box = d.WaitDialog(kAuthCaption, regist);
        if (!box) return;
        message = d.BoxText(box);
        d.Command(box, IDOK);
        d.WaitGone(box);
        d.Command(regist, IDCANCEL);
        d.WaitGone(regist);
      },
      [] { return ShowRegistDialog(parent_); });
  EXPECT_EQ(message, "パスワードに使用できない文字が含まれています。");
  EXPECT_EQ(RecordedRequestCount(), 0);
}

// ---- EnsureLogin ----

TEST_F(LoginTest, LoggedInUserIsCheckedSilently) {
  const std::string id = UniqueId("en");
  Register(id, "pass01");
  ResetService();
  SetAccount(id, "pass01", 0, 1);
  const int result = Drive([](DialogDriver&) {}, [] { return EnsureLogin(parent_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(LoggedIn, 1);
  ASSERT_EQ(RecordedRequestCount(), 1);
  EXPECT_EQ(LastRecordedRequest().body, "application=norvalisk&mode=login&id=" + id + "&pwd=pass01");
}

TEST_F(LoginTest, FailedRecheckOpensTheDialog) {
  struct Case {
    const char* label;
    std::string id;
    int requests;  // a stored value that breaks the rules is never sent
  };
  const Case cases[] = {
      {"password changed at the service", UniqueId("en"), 1},
      {"tampered ID from the account file", "abcd&mode=regist", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ResetService();
    SetAccount(c.id, "pass01", 0, 1);
    bool opened = false;
    const int result = Drive(
        [&](DialogDriver& d) {
          HWND dialog = d.WaitDialog(kLoginCaption, parent_);
          if (!dialog) return;
          opened = true;
          d.Command(dialog, IDC_LOGIN_CANCEL);
          d.WaitGone(dialog);
        },
        [] { return EnsureLogin(parent_); });
    EXPECT_TRUE(opened);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LoggedIn, 0);
    EXPECT_EQ(RecordedRequestCount(), c.requests);
  }
}

TEST_F(LoginTest, LoggedOutUserLogsInThroughTheDialog) {
  const std::string id = UniqueId("en");
  Register(id, "pass01");
  SetAccount(id, "pass01", 1, 0);
  const int result = Drive(
      [&](DialogDriver& d) {
        HWND dialog = d.WaitDialog(kLoginCaption, parent_);
        if (!dialog) return;
        d.Command(dialog, IDC_LOGIN);  // the remembered values are filled in
        d.WaitGone(dialog);
      },
      [] { return EnsureLogin(parent_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(LoggedIn, 1);
}

// ---- CheckCredentials and BufferFree: their message boxes ----

TEST_F(LoginTest, CheckCredentialsShowsOneMessage) {
  struct Case {
    const char* id;
    const char* password;
    int result;
    const char* message;  // null: no box
  };
  const std::string longPassword(21, 'p');
  const Case cases[] = {
      {"user01", "pass01", 1, nullptr},
      {"\x96\xBC\x8E\x68\x96\xBC", "pass01", 0, "ユーザーＩＤに使用できない文字が含まれています。"},
      {"user01", longPassword.c_str(), 0, "パスワードが正しく入力されていません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    std::string message;
    const int result = Drive(
        [&](DialogDriver& d) {
          if (c.message == nullptr) return;
          HWND box = d.WaitDialog(kAuthCaption, parent_);
          if (!box) return;
          message = d.BoxText(box);
          d.Command(box, IDOK);
          d.WaitGone(box);
        },
        [&] { return CheckCredentials(parent_, c.id, c.password); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(message, c.message ? c.message : "");
  }
}

TEST_F(LoginTest, FreeingNullShowsItsMessage) {
  std::string message;
  Drive(
      [&](DialogDriver& d) {
        HWND box = d.WaitDialog("Memory free");
        if (!box) return;
        message = d.BoxText(box);
        d.Command(box, IDOK);
        d.WaitGone(box);
      },
      [] {
        BufferFree(nullptr);
        return 0;
      });
  EXPECT_EQ(message, "NULL pointer error.");
}

}  // namespace
