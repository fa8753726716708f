// Login and registration: the gate, the two dialogs and their requests.
#include "net/login.h"

#include <cstring>

#include "net/service_addresses.h"
#include "controls/bitmap_button.h"
#include "net/account.h"
#include "net/account_file.h"
#include "net/credentials.h"
#include "net/http_client.h"
#include "net/service_requests.h"
#include "resources/resource.h"

namespace {

constexpr char kRegistCaption[] = "ユーザー新規登録";
// The login dialog reads one character more than an ID may have, so that a longer entry
// fails the length rule instead of being cut to fit.
constexpr int kLoginFieldSize = 22;
constexpr int kRegistFieldSize = 32;

struct LoginButtonPlace {
  int id;
  int x, y;
  const char* normal;
  const char* hover;
};

constexpr LoginButtonPlace kLoginButtons[] = {
    {IDC_LOGIN_CANCEL, 187, 130, "BTN_CANCEL", "BTN_CANCEL_HV"},
    {IDC_LOGIN, 300, 130, "BTN_LOGIN", "BTN_LOGIN_HV"},
    {IDC_NEW_MEMBER, 187, 220, "BTN_REGIST", "BTN_REGIST_HV"},
};

HINSTANCE ResourceModule() { return GetModuleHandleA(nullptr); }

void DestroyLoginButtons(LoginDialogData* data) {
  if (data == nullptr) return;
  for (HWND& button : data->buttons) {
    DestroyBitmapButton(button);
    button = nullptr;
  }
}

void OnLoginInit(HWND dialog, LoginDialogData* data) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
  for (int i = 0; i < 3; ++i) {
    const LoginButtonPlace& place = kLoginButtons[i];
    data->buttons[i] = CreateBitmapButton(dialog, place.id, place.x, place.y, place.normal,
                                          place.hover, place.normal, place.normal,
                                          kSkinButtonFlags);
  }
  CheckDlgButton(dialog, IDC_SAVE_LOGIN, RememberLogin != 0 ? BST_CHECKED : BST_UNCHECKED);
  if (RememberLogin != 0) {
    SetDlgItemTextA(dialog, IDC_USER_ID, UserId);
    SetDlgItemTextA(dialog, IDC_USER_PWD, UserPassword);
  }
}

// Reads the ID and password edits (`size` bytes each) and checks them; a
// failed check has shown its message.
bool ReadCredentialFields(HWND dialog, char* id, char* password, int size) {
  GetDlgItemTextA(dialog, IDC_USER_ID, id, size);
  GetDlgItemTextA(dialog, IDC_USER_PWD, password, size);
  return CheckCredentials(dialog, id, password) != 0;
}

void OnLoginButton(HWND dialog) {
  char id[kLoginFieldSize] = "";
  char password[kLoginFieldSize] = "";
  if (!ReadCredentialFields(dialog, id, password, kLoginFieldSize)) return;

  char reply[kServiceReplySize];
  if (SendAccountRequest("login", id, password, reply)) {
    CopyAccountText(UserId, id);
    CopyAccountText(UserPassword, password);
    RememberLogin = IsDlgButtonChecked(dialog, IDC_SAVE_LOGIN) == BST_CHECKED ? 1 : 0;
    LoggedIn = 1;
    EndDialog(dialog, 1);
    return;
  }
  MessageBoxA(dialog, reply, kCredentialsCaption, MB_ICONERROR | MB_OK);
  LoggedIn = 0;
}

void OnRegistButton(HWND dialog) {
  char id[kRegistFieldSize] = "";
  char password[kRegistFieldSize] = "";
  if (!ReadCredentialFields(dialog, id, password, kRegistFieldSize)) return;

  char reply[kServiceReplySize];
  if (SendAccountRequest("regist", id, password, reply)) {
    MessageBoxA(dialog, "新しいユーザーアカウントを登録しました。", kRegistCaption,
                MB_ICONINFORMATION | MB_OK);
    CopyAccountText(UserId, id);
    CopyAccountText(UserPassword, password);
    EndDialog(dialog, 1);
    return;
  }
  MessageBoxA(dialog, reply, kRegistCaption, MB_ICONERROR | MB_OK);
}

}  // namespace

int CheckCredentials(HWND owner, const char* id, const char* password) {
  const CredentialsProblem problem = FindCredentialsProblem(id, password);
  if (problem == kCredentialsOk) return 1;
  MessageBoxA(owner, CredentialsMessage(problem), kCredentialsCaption, MB_ICONERROR | MB_OK);
  return 0;
}

int SendAccountRequest(const char* mode, const char* id, const char* password, char* reply) {
  std::memset(reply, 0, kServiceReplySize);
  if (!FormatAccountRequest(reply, kServiceReplySize, mode, id, password)) return 0;
  const int count = PostForm(ApiUrl, "POST", reply, kServiceReplySize);
  reply[count] = '\0';
  return IsSuccessReply(reply);
}

int EnsureLogin(HWND owner) {
  if (LoggedIn == 1) {
    char reply[kServiceReplySize];
    if (SendAccountRequest("login", UserId, UserPassword, reply)) return 1;
    LoggedIn = 0;
  }
  ShowLoginDialog(owner);
  return LoggedIn;
}

int ShowLoginDialog(HWND owner) {
  LoginDialogData data = {};
  const INT_PTR result = DialogBoxParamA(ResourceModule(), "LOGINDLG", owner, LoginDialogProc,
                                         reinterpret_cast<LPARAM>(&data));
  return result == 1 ? 1 : 0;
}

int ShowRegistDialog(HWND owner) {
  const INT_PTR result = DialogBoxParamA(ResourceModule(), "REGISTDLG", owner, RegistDialogProc, 0);
  return result == 1 ? 1 : 0;
}

INT_PTR CALLBACK LoginDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* data = reinterpret_cast<LoginDialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      OnLoginInit(dialog, reinterpret_cast<LoginDialogData*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDC_LOGIN_CANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_LOGIN:
          OnLoginButton(dialog);
          return TRUE;
        case IDC_NEW_MEMBER:
          if (ShowRegistDialog(dialog)) {
            SetDlgItemTextA(dialog, IDC_USER_ID, UserId);
            SetDlgItemTextA(dialog, IDC_USER_PWD, UserPassword);
          }
          return TRUE;
      }
      break;
    case WM_CLOSE:
      DestroyLoginButtons(data);
      return FALSE;  // default processing turns it into IDCANCEL
    case WM_DESTROY:
      // The dialog can also end by its buttons; the bitmaps the buttons own go with it.
      DestroyLoginButtons(data);
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK RegistDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_USER_ID, "");
      SetDlgItemTextA(dialog, IDC_USER_PWD, "");
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_REGIST:
          OnRegistButton(dialog);
          return TRUE;
      }
      break;
  }
  return FALSE;
}
