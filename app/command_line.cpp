// Command-line tokenizer.
#include "app/command_line.h"

#include <cstring>

int CommandLineArg(const char* commandLine, int index, char* out) {
  if (!commandLine) {
    return 0;
  }
  enum class Scan { kOutside, kQuoted, kUnquoted };
  Scan scan = Scan::kOutside;
  int number = -2;  // number of the last token started; the program path is −1
  const char* start = nullptr;

  for (const char* p = commandLine;; ++p) {
    const char c = *p;
    bool ended = false;
    switch (scan) {
      case Scan::kOutside:
        if (c == '\0') {
          return number < -1 ? 0 : number + 1;
        }
        if (c == ' ') {
          break;
        }
        ++number;
        if (c == '"') {
          scan = Scan::kQuoted;
          start = p + 1;
        } else {
          scan = Scan::kUnquoted;
          start = p;
        }
        break;
      case Scan::kQuoted:
        ended = c == '"' || c == '\0';
        break;
      case Scan::kUnquoted:
        ended = c == ' ' || c == '\0';
        break;
    }
    if (!ended) {
      continue;
    }
    if (number == index) {
      const std::size_t length = static_cast<std::size_t>(p - start);
      if (length >= kMaxTokenSize) {
        return -1;
      }
      if (out) {
        std::memcpy(out, start, length);
        out[length] = '\0';
      }
      return static_cast<int>(length);
    }
    if (c == '\0') {
      return number < -1 ? 0 : number + 1;
    }
    scan = Scan::kOutside;
  }
}
