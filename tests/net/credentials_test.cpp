// Tests of the ID and password rules.
#include "net/credentials.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ---- FindCredentialsProblem ----

struct CredentialsCase {
  const char* label;
  std::string id;
  std::string password;
  CredentialsProblem expected;
};

const CredentialsCase kCases[] = {
    {"plain pair", "user01", "pass01", kCredentialsOk},
    {"shortest lengths", "abcd", "wxyz", kCredentialsOk},
    {"longest lengths", std::string(20, 'i'), std::string(20, 'p'), kCredentialsOk},
    {"'-' and '_' in the ID", "my-id_01", "pass01", kCredentialsOk},
    {"ID of 3 characters", "abc", "pass01", kIdLength},
    {"ID of 21 characters", std::string(21, 'i'), "pass01", kIdLength},
    {"empty ID", "", "pass01", kIdLength},
    {"blank in the ID", "my id", "pass01", kIdCharacters},
    {"'&' in the ID (would add a form field)", "ab&x=1", "pass01", kIdCharacters},
    {"'%' in the ID", "ab%41", "pass01", kIdCharacters},
    {"double-byte ID (Shift-JIS \"名刺名刺\")", "\x96\xBC\x8E\x68\x96\xBC\x8E\x68", "pass01",
     kIdCharacters},
    {"half-width katakana byte", "abc\xB1", "pass01", kIdCharacters},
    {"password of 3 characters", "user01", "pas", kPasswordLength},
    {"password of 21 characters", "user01", std::string(21, 'p'), kPasswordLength},
    {"empty password", "user01", "", kPasswordLength},
    {"'-' in the password", "user01", "pass-01", kPasswordCharacters},
    {"'_' in the password", "user01", "pass_01", kPasswordCharacters},
    {"blank in the password", "user01", "pass 01", kPasswordCharacters},
    {"double-byte password", "user01", "\x83\x5C\x83\x5C", kPasswordCharacters},
    {"ID checked before password", "abc", "p", kIdLength},
    {"ID characters checked before password length", "a b c", "p", kIdCharacters},
};

TEST(CredentialsTest, FirstBrokenRuleIsReported) {
  for (const CredentialsCase& c : kCases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FindCredentialsProblem(c.id.c_str(), c.password.c_str()), c.expected);
    EXPECT_EQ(CredentialsAcceptable(c.id.c_str(), c.password.c_str()),
              c.expected == kCredentialsOk ? 1 : 0);
  }
}

// ---- CredentialsMessage ----

TEST(CredentialsTest, EachRuleHasItsMessage) {
  EXPECT_EQ(CredentialsMessage(kCredentialsOk), nullptr);
  EXPECT_STREQ(CredentialsMessage(kIdLength), "ユーザーＩＤが正しく入力されていません。");
  EXPECT_STREQ(CredentialsMessage(kIdCharacters), "ユーザーＩＤに使用できない文字が含まれています。");
  EXPECT_STREQ(CredentialsMessage(kPasswordLength), "パスワードが正しく入力されていません。");
  EXPECT_STREQ(CredentialsMessage(kPasswordCharacters),
               "パスワードに使用できない文字が含まれています。");
}

}  // namespace
