// The process-wide account state, empty until start-up reads the account file.
#include "net/account.h"

char UserId[kAccountTextSize] = "";
char UserPassword[kAccountTextSize] = "";
int RememberLogin = 0;
int LoggedIn = 0;
