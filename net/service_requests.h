// The texts exchanged with the service's API script and site: the reply convention, the
// login and registration bodies, and the site address opened after a login.
#pragma once

#include <cstddef>

// Bytes of the buffer that holds a request body and then its reply (at most 2047 bytes).
inline constexpr int kServiceReplySize = 2048;
// Bytes of a buffer that always holds a site URL built by BuildSiteUrl.
inline constexpr size_t kSiteUrlSize = 512;

// The service's success reply is the bare text "TRUE"; anything else is its error message.
int IsSuccessReply(const char* reply);

// Writes "application=norvalisk&mode=<mode>&id=<id>&pwd=<password>" into `out`. Returns 1,
// or 0 (writing an empty text) when the ID or password breaks the credential rules, so that
// a tampered account file cannot add form fields, or when the body does not fit.
int FormatAccountRequest(char* out, size_t size, const char* mode, const char* id,
                         const char* password);

// Writes "<loginPageUrl>?mode=_LOGIN&from=View1&id=<id>&pwd=<password>" into `out`, the ID
// and password percent-encoded (values that meet the credential rules come out unchanged).
// Returns 1, or 0 (empty text) when it does not fit.
int FormatSiteUrl(char* out, size_t size, const char* loginPageUrl, const char* id,
                  const char* password);

// FormatSiteUrl with LoginPageUrl, UserId and UserPassword.
int BuildSiteUrl(char* out, size_t size);
