// The rules an ID and a password must meet before they are sent to the service. They keep
// both URL-safe, so that they can go into form data and query strings as they are.
#pragma once

// The first rule an ID and password break, in the order they are checked.
enum CredentialsProblem : int {
  kCredentialsOk = 0,
  kIdLength = 1,            // the ID is not 4 to 20 characters long
  kIdCharacters = 2,        // the ID holds a byte other than 0-9, a-z, A-Z, '-' and '_'
  kPasswordLength = 3,      // the password is not 4 to 20 characters long
  kPasswordCharacters = 4,  // the password holds a byte other than 0-9, a-z and A-Z
};

// Caption of the messages about the ID and password.
inline constexpr char kCredentialsCaption[] = "ユーザー認証";

// Checks the rules in order and returns the first one broken, or kCredentialsOk. Bytes are
// compared as unsigned values, so a double-byte character always breaks rule 2 or 4.
CredentialsProblem FindCredentialsProblem(const char* id, const char* password);

// The message shown for a problem; null for kCredentialsOk.
const char* CredentialsMessage(CredentialsProblem problem);

// 1 when both values meet every rule.
int CredentialsAcceptable(const char* id, const char* password);
