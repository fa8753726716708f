// The program's own paths, derived from the executable's full path. Paths are
// Shift-JIS: a trail byte may equal '\\' or '.', so they are scanned by
// character, never byte by byte.
#pragma once

#include <cstddef>

inline constexpr std::size_t kPathSize = 260;

// True for a byte that starts a double-byte character in code page 932.
inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Position of the last single-byte `ch` in `text`, or null; the second byte of
// a double-byte character never matches.
const char* FindLastSjisChar(const char* text, char ch);

// The paths the program computes once at start-up.
struct ProgramPathSet {
  char exeBase[kPathSize];        // executable path without its last '.' and what follows
  char programFolder[kPathSize];  // executable path cut at its last '\\'
  char settingsPath[kPathSize];   // exeBase followed by ".env"
};

// Fills `paths` from `exePath`. Returns false, with every path empty, when the
// path is empty (not known) or a result would not fit into kPathSize bytes.
bool DeriveProgramPaths(const char* exePath, ProgramPathSet* paths);
