// Tests of the request texts: reply convention, login and registration bodies, site URL.
#include "net/service_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/program_values.h"
#include "net/service_addresses.h"
#include "net/account.h"

namespace {

// ---- IsSuccessReply ----

TEST(ServiceReplyTest, OnlyTheBareTextTrueIsSuccess) {
  EXPECT_EQ(IsSuccessReply("TRUE"), 1);
  for (const char* reply : {"TRUE\r\n", "true", "TRUE ", " TRUE", "", "FALSE", "TRU"}) {
    SCOPED_TRACE(reply);
    EXPECT_EQ(IsSuccessReply(reply), 0);
  }
}

// ---- FormatAccountRequest ----

TEST(AccountRequestTest, LoginAndRegistrationBodies) {
  char body[kServiceReplySize];
  ASSERT_EQ(FormatAccountRequest(body, sizeof body, "login", "my-id_01", "pass01"), 1);
  EXPECT_STREQ(body, "application=norvalisk&mode=login&id=my-id_01&pwd=pass01");
  ASSERT_EQ(FormatAccountRequest(body, sizeof body, "regist", "abcd", "wxyz"), 1);
  EXPECT_STREQ(body, "application=norvalisk&mode=regist&id=abcd&pwd=wxyz");
}

TEST(AccountRequestTest, ValuesBreakingTheRulesAreNeverSent) {
  struct Case {
    const char* label;
    const char* id;
    const char* password;
  };
  const Case cases[] = {
      {"extra field in the ID", "abcd&mode=regist", "pass01"},
      {"extra field in the password", "abcd", "pass&id=admin"},
      {"empty values", "", ""},
      {"line end in the ID", "abcd\r\nX: y", "pass01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char body[kServiceReplySize];
    std::memset(body, 'x', sizeof body);
    EXPECT_EQ(FormatAccountRequest(body, sizeof body, "login", c.id, c.password), 0);
    EXPECT_STREQ(body, "");
  }
}

TEST(AccountRequestTest, BodyThatDoesNotFitIsRefused) {
  char body[40];
  EXPECT_EQ(FormatAccountRequest(body, sizeof body, "login", "abcd", "wxyz"), 0);
  EXPECT_STREQ(body, "");
}

// ---- FormatSiteUrl and BuildSiteUrl ----

struct SiteCase {
  const char* label;
  const char* id;
  const char* password;
  const char* expected;
};

const SiteCase kSiteCases[] = {
    {"checked values go in unchanged", "my-id_01", "pass01",
     "http://h/press_login.php?mode=_LOGIN&from=View1&id=my-id_01&pwd=pass01"},
    {"'&' and '=' from a tampered file are encoded", "a&mode=x", "p=1",
     "http://h/press_login.php?mode=_LOGIN&from=View1&id=a%26mode%3Dx&pwd=p%3D1"},
    {"blank, '#', '%' and double-byte bytes", "a b#%", "\x96\xBC",
     "http://h/press_login.php?mode=_LOGIN&from=View1&id=a%20b%23%25&pwd=%96%BC"},
    {"empty values", "", "", "http://h/press_login.php?mode=_LOGIN&from=View1&id=&pwd="},
};

TEST(SiteUrlTest, FormatsTheLoginPageAddress) {
  for (const SiteCase& c : kSiteCases) {
    SCOPED_TRACE(c.label);
    char url[kSiteUrlSize];
    ASSERT_EQ(FormatSiteUrl(url, sizeof url, "http://h/press_login.php", c.id, c.password), 1);
    EXPECT_STREQ(url, c.expected);
  }
}

TEST(SiteUrlTest, UrlThatDoesNotFitIsEmpty) {
  char url[48];
  EXPECT_EQ(FormatSiteUrl(url, sizeof url, "http://h/press_login.php", "abcd", "wxyz"), 0);
  EXPECT_STREQ(url, "");
}

TEST(SiteUrlTest, LongestValuesFitTheSiteUrlBuffer) {
  const std::string base = "http://" + std::string(kUrlSize - 30, 'h') + "/press_login.php";
  ASSERT_LT(base.size(), size_t{kUrlSize});
  const std::string value(kAccountTextSize - 1, '&');
  char url[kSiteUrlSize];
  EXPECT_EQ(FormatSiteUrl(url, sizeof url, base.c_str(), value.c_str(), value.c_str()), 1);
}

TEST(SiteUrlTest, BuildsFromTheProgramValues) {
  InitProgramValues("C:\\Norvalisk\\Norvalisk.exe", "http://127.0.0.1:8750");
  std::strcpy(UserId, "user01");
  std::strcpy(UserPassword, "pass01");
  char url[kSiteUrlSize];
  ASSERT_EQ(BuildSiteUrl(url, sizeof url), 1);
  EXPECT_STREQ(url,
               "http://127.0.0.1:8750/press_login.php?mode=_LOGIN&from=View1&id=user01&pwd=pass01");
  InitProgramValues("C:\\Norvalisk\\Norvalisk.exe", "http://127.0.0.1:8750");
}

}  // namespace
