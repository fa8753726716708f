// Program paths from the executable's path.
#include "base/program_paths.h"

#include <cstring>

const char* FindLastSjisChar(const char* text, char ch) {
  const char* found = nullptr;
  for (const char* p = text; *p;) {
    if (IsSjisLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      p += 2;
      continue;
    }
    if (*p == ch) {
      found = p;
    }
    ++p;
  }
  return found;
}

namespace {

// Copies the first `length` bytes of `text` into a path buffer.
void CopyPrefix(char* out, const char* text, std::size_t length) {
  std::memcpy(out, text, length);
  out[length] = '\0';
}

}  // namespace

bool DeriveProgramPaths(const char* exePath, ProgramPathSet* paths) {
  *paths = {};
  const std::size_t length = std::strlen(exePath);
  const char* dot = FindLastSjisChar(exePath, '.');
  const std::size_t baseLength = dot ? static_cast<std::size_t>(dot - exePath) : length;
  const char* slash = FindLastSjisChar(exePath, '\\');
  const std::size_t folderLength = slash ? static_cast<std::size_t>(slash - exePath) : length;
  // An empty path (the system could not tell) has no folder: every path stays empty.
  if (length == 0 || length >= kPathSize || baseLength + std::strlen(".env") >= kPathSize) {
    return false;
  }
  CopyPrefix(paths->exeBase, exePath, baseLength);
  CopyPrefix(paths->programFolder, exePath, folderLength);
  std::memcpy(paths->settingsPath, exePath, baseLength);
  std::memcpy(paths->settingsPath + baseLength, ".env", sizeof ".env");
  return true;
}
