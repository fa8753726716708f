// Splits the raw process command line into tokens the way the program reads
// its arguments: only the space separates, double quotes group, no escapes.
#pragma once

#include <cstddef>

// Longest token the program accepts, terminator included (one path buffer).
inline constexpr std::size_t kMaxTokenSize = 260;

// Looks for argument `index` (0 is the first argument after the program path)
// in `commandLine`. When it exists, copies it with its terminator into `out`
// (when `out` is not null) and returns its length. A token that does not fit
// into kMaxTokenSize bytes is refused: `out` is left alone and −1 is returned,
// so that a cut-off path is never used. When the argument does not exist,
// `out` is left alone and the number of arguments after the program path is
// returned (0 for an empty command line).
int CommandLineArg(const char* commandLine, int index, char* out);
