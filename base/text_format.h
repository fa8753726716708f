// Formatting into fixed narrow buffers: an overlong result never leaves a cut
// text behind.
#pragma once

#include <cstddef>
#include <cstdio>

// Formats into `out` (`size` bytes). Returns false and leaves `out` empty
// when the result would not fit.
template <typename... Args>
bool FormatInto(char* out, std::size_t size, const char* format, Args... args) {
  const int written = std::snprintf(out, size, format, args...);
  if (written < 0 || static_cast<std::size_t>(written) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}
