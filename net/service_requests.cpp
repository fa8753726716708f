// Request texts of the login, the registration and the site visit.
#include "net/service_requests.h"

#include <cstdio>
#include <cstring>

#include "net/service_addresses.h"
#include "net/account.h"
#include "net/credentials.h"

namespace {

bool Unreserved(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

// Appends `text` percent-encoded at out[*length]; false when it does not fit.
bool AppendEncoded(char* out, size_t size, size_t* length, const char* text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    const size_t need = Unreserved(*p) ? 1 : 3;
    if (*length + need >= size) return false;
    if (need == 1) {
      out[(*length)++] = static_cast<char>(*p);
    } else {
      out[(*length)++] = '%';
      out[(*length)++] = kHex[*p >> 4];
      out[(*length)++] = kHex[*p & 15];
    }
  }
  out[*length] = '\0';
  return true;
}

bool AppendText(char* out, size_t size, size_t* length, const char* text) {
  const size_t add = std::strlen(text);
  if (*length + add >= size) return false;
  std::memcpy(out + *length, text, add + 1);
  *length += add;
  return true;
}

}  // namespace

int IsSuccessReply(const char* reply) { return std::strcmp(reply, "TRUE") == 0 ? 1 : 0; }

int FormatAccountRequest(char* out, size_t size, const char* mode, const char* id,
                         const char* password) {
  if (size == 0) return 0;
  out[0] = '\0';
  if (!CredentialsAcceptable(id, password)) return 0;
  const int written = std::snprintf(out, size, "application=norvalisk&mode=%s&id=%s&pwd=%s", mode,
                                    id, password);
  if (written < 0 || static_cast<size_t>(written) >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int FormatSiteUrl(char* out, size_t size, const char* loginPageUrl, const char* id,
                  const char* password) {
  if (size == 0) return 0;
  out[0] = '\0';
  size_t length = 0;
  const bool fits = AppendText(out, size, &length, loginPageUrl) &&
                    AppendText(out, size, &length, "?mode=_LOGIN&from=View1&id=") &&
                    AppendEncoded(out, size, &length, id) &&
                    AppendText(out, size, &length, "&pwd=") &&
                    AppendEncoded(out, size, &length, password);
  if (!fits) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int BuildSiteUrl(char* out, size_t size) {
  return FormatSiteUrl(out, size, LoginPageUrl, UserId, UserPassword);
}
