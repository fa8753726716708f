// The login gate in front of the upload and the site visit, the login dialog (LOGINDLG)
// with its three bitmap buttons, and the new-user registration dialog (REGISTDLG).
#pragma once

#include <windows.h>

// Returns 1 when the user is logged in after the call, 0 when not. A user who is logged in
// is checked again with the service silently; otherwise the login dialog is shown, owned by
// `owner`.
int EnsureLogin(HWND owner);

// Returns 1 when the ID and password meet the credential rules; otherwise shows the first
// broken rule's message in a box owned by `owner` (caption "ユーザー認証") and returns 0.
int CheckCredentials(HWND owner, const char* id, const char* password);

// Sends the login ("login") or registration ("regist") request for the ID and password to
// ApiUrl and leaves the reply, terminated, in `reply` (kServiceReplySize bytes). Returns 1 when
// the reply is "TRUE". Values that break the credential rules are not sent (empty reply, 0).
int SendAccountRequest(const char* mode, const char* id, const char* password, char* reply);

// State of one login dialog, given as its creation parameter: the three bitmap buttons share
// their ids with hidden template buttons, so the dialog keeps their handles here.
struct LoginDialogData {
  HWND buttons[3];  // cancel, login, registration
};

// Shows LOGINDLG modally; returns 1 after a successful login, 0 otherwise.
int ShowLoginDialog(HWND owner);
// Shows REGISTDLG modally; returns 1 after a successful registration, 0 otherwise.
int ShowRegistDialog(HWND owner);

// Dialog procedures of the two templates.
INT_PTR CALLBACK LoginDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RegistDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
