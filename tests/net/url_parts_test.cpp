// Tests of the URL splitting and of how a form request is worked out from URL, verb and data.
#include "net/url_parts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A null text part reads as "<none>" so that absent and empty differ in the tables.
std::string Text(const char* part) { return part ? std::string(part) : std::string("<none>"); }

// ---- SplitUrl ----

struct SplitCase {
  const char* label;
  const char* url;
  const char* host;
  int port;
  uint32_t flags;
  const char* user;
  const char* password;
  const char* path;
  const char* query;
};

constexpr uint32_t kPlain = 0x80000000u;
constexpr uint32_t kSecure = 0x80800000u;  // reload and secure; certificate checks kept

const SplitCase kSplitCases[] = {
    {"api script", "http://example.jp/admin/norvalisk/norvix_api.php", "example.jp", 80, kPlain,
     nullptr, nullptr, "admin/norvalisk/norvix_api.php", nullptr},
    {"https in capitals", "HTTPS://secure.example.jp/a.php", "secure.example.jp", 443, kSecure,
     nullptr, nullptr, "a.php", nullptr},
    {"http in mixed case", "HtTp://h/x", "h", 80, kPlain, nullptr, nullptr, "x", nullptr},
    {"user, password and port", "http://user:pass@h:81/x", "h", 81, kPlain, "user", "pass", "x",
     nullptr},
    {"user without password", "http://user@h/x", "h", 80, kPlain, "user", nullptr, "x", nullptr},
    {"'@' in the path is no credential", "http://h/a@b", "h", 80, kPlain, nullptr, nullptr, "a@b",
     nullptr},
    {"no scheme", "h:8750/p.php", "h", 8750, kPlain, nullptr, nullptr, "p.php", nullptr},
    {"host only", "http://h", "h", 80, kPlain, nullptr, nullptr, nullptr, nullptr},
    {"empty path", "http://h/", "h", 80, kPlain, nullptr, nullptr, "", nullptr},
    {"query after '?'", "http://h/p.php?x=1&y=2", "h", 80, kPlain, nullptr, nullptr, "p.php",
     "x=1&y=2"},
    {"query after '&'", "http://h/p.php&y=2?z", "h", 80, kPlain, nullptr, nullptr, "p.php", "y=2?z"},
    {"port digits then junk", "http://h:81x/p", "h", 81, kPlain, nullptr, nullptr, "p", nullptr},
    {"port without digits", "http://h:/p", "h", 0, kPlain, nullptr, nullptr, "p", nullptr},
    {"port beyond 65535", "http://h:65536/p", "h", 0, kPlain, nullptr, nullptr, "p", nullptr},
    {"https with its own port", "https://h:8443/p", "h", 8443, kSecure, nullptr, nullptr, "p",
     nullptr},
    {"scheme cut short", "http:/h/p", "http", 0, kPlain, nullptr, nullptr, "h/p", nullptr},
};

TEST(SplitUrlTest, SplitsEveryPart) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE(c.label);
    std::string copy = c.url;
    UrlParts parts;
    SplitUrl(copy.data(), &parts);
    EXPECT_EQ(Text(parts.host), Text(c.host));
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.requestFlags, c.flags);
    EXPECT_EQ(Text(parts.user), Text(c.user));
    EXPECT_EQ(Text(parts.password), Text(c.password));
    EXPECT_EQ(Text(parts.path), Text(c.path));
    EXPECT_EQ(Text(parts.query), Text(c.query));
  }
}

TEST(SplitUrlTest, HttpsNeverIgnoresCertificateErrors) {
  std::string copy = "https://h/p";
  UrlParts parts;
  SplitUrl(copy.data(), &parts);
  constexpr uint32_t kIgnoreCertDate = 0x00002000u;
  constexpr uint32_t kIgnoreCertName = 0x00001000u;
  EXPECT_EQ(parts.requestFlags & (kIgnoreCertDate | kIgnoreCertName), 0u);
  EXPECT_NE(parts.requestFlags & kRequestFlagSecure, 0u);
}

// ---- PrepareFormRequest ----

struct FormCase {
  const char* label;
  const char* url;
  const char* verb;
  const char* data;
  const char* host;
  int port;
  const char* object;
  const char* header;
  const char* body;
};

const FormCase kFormCases[] = {
    {"api script with form data", "http://h/admin/norvalisk/norvix_api.php", "POST", "a=1&b=2", "h",
     80, "admin/norvalisk/norvix_api.php", kFormContentType, "a=1&b=2"},
    {"verb in small letters", "http://h/api.php", "post", "a=1", "h", 80, "api.php",
     kFormContentType, "a=1"},
    {"query of the url joins the body", "http://h/api.php?x=1", "POST", "y=2", "h", 80, "api.php",
     kFormContentType, "x=1&y=2"},
    {"login body", "http://127.0.0.1:8750/admin/norvalisk/norvix_api.php", "POST",
     "application=norvalisk&mode=login&id=user1&pwd=pass1", "127.0.0.1", 8750,
     "admin/norvalisk/norvix_api.php", kFormContentType,
     "application=norvalisk&mode=login&id=user1&pwd=pass1"},
    {"other verb: query in the object", "http://h/p.php?x=1", "GET", "y=2", "h", 80,
     "p.php?x=1&y=2", nullptr, nullptr},
    {"other verb: data after '&' becomes the query", "http://h/p.php", "GET", "y=2", "h", 80,
     "p.php?y=2", nullptr, nullptr},
    {"other verb, no data: path alone", "http://h/p.php", "PUT", "", "h", 80, "p.php", nullptr,
     nullptr},
    {"POST without data: empty body", "http://h/p.php", "POST", "", "h", 80, "p.php",
     kFormContentType, ""},
};

TEST(PrepareFormRequestTest, PicksObjectHeaderAndBody) {
  for (const FormCase& c : kFormCases) {
    SCOPED_TRACE(c.label);
    FormRequest request;
    ASSERT_EQ(PrepareFormRequest(c.url, c.verb, c.data, static_cast<uint32_t>(std::strlen(c.data)),
                                 &request),
              1);
    EXPECT_EQ(Text(request.url.host), Text(c.host));
    EXPECT_EQ(request.url.port, c.port);
    EXPECT_EQ(Text(request.object), Text(c.object));
    EXPECT_EQ(Text(request.header), Text(c.header));
    EXPECT_EQ(request.headerLength, c.header ? std::strlen(c.header) : 0u);
    EXPECT_EQ(Text(request.body), Text(c.body));
    EXPECT_EQ(request.bodyLength, c.body ? std::strlen(c.body) : 0u);
    FreeFormRequest(&request);
    EXPECT_EQ(request.work, nullptr);
  }
}

TEST(PrepareFormRequestTest, UsesOnlyTheGivenDataBytes) {
  const char data[] = "a=1&b=2XXXX";
  FormRequest request;
  ASSERT_EQ(PrepareFormRequest("http://h/p", "POST", data, 7, &request), 1);
  EXPECT_EQ(std::string(request.body, request.bodyLength), "a=1&b=2");
  FreeFormRequest(&request);
}

TEST(PrepareFormRequestTest, CredentialsOfTheUrlReachTheConnection) {
  FormRequest request;
  ASSERT_EQ(PrepareFormRequest("http://u:p@h:81/x", "POST", "d=1", 3, &request), 1);
  EXPECT_EQ(Text(request.url.user), "u");
  EXPECT_EQ(Text(request.url.password), "p");
  EXPECT_EQ(Text(request.url.host), "h");
  EXPECT_EQ(request.url.port, 81);
  EXPECT_EQ(Text(request.object), "x");
  EXPECT_EQ(Text(request.body), "d=1");
  FreeFormRequest(&request);
}

// ---- SplitUrlForMultipart ----

TEST(SplitUrlForMultipartTest, DropsTheQuery) {
  UrlParts parts;
  ByteBuffer work = SplitUrlForMultipart("https://h:444/up.php?x=1&y=2", &parts);
  ASSERT_NE(work, nullptr);
  EXPECT_EQ(Text(parts.host), "h");
  EXPECT_EQ(parts.port, 444);
  EXPECT_EQ(parts.requestFlags, kSecure);
  EXPECT_EQ(Text(parts.path), "up.php");
  EXPECT_EQ(parts.query, nullptr);
  BufferFree(work);
}

}  // namespace
