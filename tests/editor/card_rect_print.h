// Comparing and printing card rectangles in test expectations.
#pragma once

#include <ostream>

#include "job/card_side.h"

inline bool operator==(const CardRect& a, const CardRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const CardRect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
