// The service's addresses and the program's user-agent name, set once at
// start-up from the base address fixed at build time.
#pragma once

inline constexpr int kUrlSize = 260;

extern char AgentName[64];
extern char ApiUrl[kUrlSize];        // login, registration and upload requests
extern char HelpPageUrl[kUrlSize];   // help pages shown in the web view
extern char LoginPageUrl[kUrlSize];  // the user's page, opened in the browser
extern char HelpUrl[kUrlSize];       // the help, opened in the browser

// Sets the agent name and the four URLs from `serviceBase` (scheme and host,
// no trailing slash); a URL that would not fit is left empty.
void SetServiceAddresses(const char* serviceBase);
