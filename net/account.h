// The remembered account: the user's ID, password and the choice whether to keep them filled in.
#pragma once

// Bytes of the ID and password buffers: 31 characters and the terminator.
constexpr int kAccountTextSize = 32;

// The user's ID at the web service; empty until read from the account file or set by a login.
extern char UserId[kAccountTextSize];
// The user's password, kept in plain text like the ID.
extern char UserPassword[kAccountTextSize];
// 1 when the login dialog fills in the saved ID and password, 0 when it starts empty.
extern int RememberLogin;
// 1 after a successful login in this run, 0 otherwise.
extern int LoggedIn;
