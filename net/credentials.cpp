// ID and password rules.
#include "net/credentials.h"

#include <cstring>

namespace {

constexpr size_t kMinLength = 4;
constexpr size_t kMaxLength = 20;

bool IsAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool AllBytes(const char* text, bool allowMarks) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (!IsAlnum(*p) && !(allowMarks && (*p == '-' || *p == '_'))) return false;
  }
  return true;
}

bool LengthFits(const char* text) {
  const size_t length = std::strlen(text);
  return length >= kMinLength && length <= kMaxLength;
}

}  // namespace

CredentialsProblem FindCredentialsProblem(const char* id, const char* password) {
  if (!LengthFits(id)) return kIdLength;
  if (!AllBytes(id, true)) return kIdCharacters;
  if (!LengthFits(password)) return kPasswordLength;
  if (!AllBytes(password, false)) return kPasswordCharacters;
  return kCredentialsOk;
}

const char* CredentialsMessage(CredentialsProblem problem) {
  switch (problem) {
    case kIdLength:
      return "ユーザーＩＤが正しく入力されていません。";
    case kIdCharacters:
      return "ユーザーＩＤに使用できない文字が含まれています。";
    case kPasswordLength:
      return "パスワードが正しく入力されていません。";
    case kPasswordCharacters:
      return "パスワードに使用できない文字が含まれています。";
    case kCredentialsOk:
      break;
  }
  return nullptr;
}

int CredentialsAcceptable(const char* id, const char* password) {
  return FindCredentialsProblem(id, password) == kCredentialsOk ? 1 : 0;
}
