// Reading and writing the account settings file.
#include "net/account_file.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "net/account.h"

// ---- File access: the only platform-specific part of this file. ----
#ifdef _WIN32
#include <windows.h>

struct TextFile {
  HANDLE handle;
};

static TextFile* WrapHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  TextFile* file = new (std::nothrow) TextFile{handle};
  if (file == nullptr) CloseHandle(handle);
  return file;
}

TextFile* CreateTextFile(const char* path) {
  return WrapHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

TextFile* OpenTextFile(const char* path) {
  return WrapHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CloseTextFile(TextFile* file) {
  if (file == nullptr) return;
  CloseHandle(file->handle);
  delete file;
}

// Reads one byte; false at end of file or on a failed read.
static bool ReadFileByte(TextFile* file, unsigned char* byte) {
  DWORD got = 0;
  return ReadFile(file->handle, byte, 1, &got, nullptr) && got == 1;
}

// Writes the bytes and returns how many were written.
static size_t WriteFileBytes(TextFile* file, const void* data, size_t size) {
  DWORD put = 0;
  if (!WriteFile(file->handle, data, static_cast<DWORD>(size), &put, nullptr)) return 0;
  return put;
}

#else
struct TextFile {
  std::FILE* stream;
};

static TextFile* WrapStream(std::FILE* stream) {
  if (stream == nullptr) return nullptr;
  TextFile* file = new (std::nothrow) TextFile{stream};
  if (file == nullptr) std::fclose(stream);
  return file;
}

TextFile* CreateTextFile(const char* path) { return WrapStream(std::fopen(path, "wb")); }

TextFile* OpenTextFile(const char* path) { return WrapStream(std::fopen(path, "rb")); }

void CloseTextFile(TextFile* file) {
  if (file == nullptr) return;
  std::fclose(file->stream);
  delete file;
}

// Reads one byte; false at end of file or on a failed read.
static bool ReadFileByte(TextFile* file, unsigned char* byte) {
  int c = std::fgetc(file->stream);
  if (c == EOF) return false;
  *byte = static_cast<unsigned char>(c);
  return true;
}

// Writes the bytes and returns how many were written.
static size_t WriteFileBytes(TextFile* file, const void* data, size_t size) {
  return std::fwrite(data, 1, size, file->stream);
}
#endif
// ---- End of file access. ----

namespace {

// Keys are compared on their first 12 characters; the value starts in column 16.
constexpr int kKeyWidth = 12;
constexpr size_t kValueColumn = 15;
constexpr int kLineCapacity = 500;

constexpr char kUserIdKey[] = "USER_ID     ";
constexpr char kUserPasswordKey[] = "USER_PWD    ";
constexpr char kCookieKey[] = "COOKIE      ";

constexpr char kRuleLine[] = "; ----------------------------------------------------------";
constexpr char kTitleLine[] = ";     Norvalisk Ver1.x Environmet file                      ";
static_assert(sizeof(kRuleLine) - 1 == 60 && sizeof(kTitleLine) - 1 == 60);

// True for a byte that starts a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

int WriteTextLine(TextFile* file, const char* text) {
  size_t written = WriteFileBytes(file, text, std::strlen(text));
  written += WriteFileBytes(file, "\r\n", 2);
  return static_cast<int>(written);
}

int ReadTextLine(TextFile* file, char* buffer, int capacity) {
  if (capacity <= 0) return 0;
  int length = 0;
  unsigned char byte = 0;
  while (ReadFileByte(file, &byte)) {
    if (byte == '\r' || byte == '\n' || byte == '\0') {
      if (length == 0) continue;
      break;
    }
    if (length == capacity - 1) break;  // the line is full: this byte is dropped
    buffer[length++] = static_cast<char>(byte);
  }
  buffer[length] = '\0';
  return length;
}

int WriteAccountFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;  // no known place for the file
  ScopedTextFile file(CreateTextFile(path));
  if (!file) return 0;

  // The ID and password are at most 31 bytes; the precision keeps a stray unterminated
  // buffer from running past its end.
  char line[64];
  WriteTextLine(file.get(), kRuleLine);
  WriteTextLine(file.get(), kTitleLine);
  WriteTextLine(file.get(), kRuleLine);
  std::snprintf(line, sizeof line, "USER_ID      = %.31s", UserId);
  WriteTextLine(file.get(), line);
  std::snprintf(line, sizeof line, "USER_PWD     = %.31s", UserPassword);
  WriteTextLine(file.get(), line);
  std::snprintf(line, sizeof line, "COOKIE       = %d", RememberLogin);
  WriteTextLine(file.get(), line);
  WriteTextLine(file.get(), ";");
  return 1;
}

int ReadAccountFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  ScopedTextFile file(OpenTextFile(path));
  if (!file) return 0;

  char line[kLineCapacity];
  while (ReadTextLine(file.get(), line, kLineCapacity) > 0) {
    ApplyAccountLine(line, UserId, UserPassword, &RememberLogin);
  }
  return 1;
}

int ApplyAccountLine(const char* line, char* userId, char* userPassword, int* rememberLogin) {
  if (line[0] == ';') return 0;
  // A key line too short to reach the value column has an empty value.
  const char* value = std::strlen(line) > kValueColumn ? line + kValueColumn : "";
  if (std::strncmp(line, kUserIdKey, kKeyWidth) == 0) {
    CopyAccountText(userId, value);
    return 1;
  }
  if (std::strncmp(line, kUserPasswordKey, kKeyWidth) == 0) {
    CopyAccountText(userPassword, value);
    return 1;
  }
  if (std::strncmp(line, kCookieKey, kKeyWidth) == 0) {
    *rememberLogin = ParseCookieValue(value);
    return 1;
  }
  return 0;
}

void CopyAccountText(char* dest, const char* value) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(value);
  int length = 0;
  while (bytes[length] != '\0') {
    int width = 1;
    if (IsCp932LeadByte(bytes[length])) {
      if (bytes[length + 1] == '\0') break;  // a lead byte cut from its trail byte
      width = 2;
    }
    if (length + width > kAccountTextSize - 1) break;
    length += width;
  }
  std::memcpy(dest, value, static_cast<size_t>(length));
  dest[length] = '\0';
}

int ParseCookieValue(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate the magnitude, saturating one past INT_MAX so that INT_MIN still fits.
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}
