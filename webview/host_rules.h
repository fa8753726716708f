// Pure rules of the control host and the web view: unit conversion between
// pixels and HIMETRIC, how a host window's text names its control, and the
// refresh levels the web view accepts.
#pragma once

#include <cstddef>
#include <cstdint>

// Pixels to HIMETRIC (0.01 mm) at `dpi` dots per inch, rounded to nearest.
int32_t PixelsToHimetric(int32_t pixels, int32_t dpi);
// HIMETRIC to pixels at `dpi` dots per inch, rounded to nearest.
int32_t HimetricToPixels(int32_t himetric, int32_t dpi);

// The prefix that marks a host window text as literal HTML.
inline constexpr char kHtmlPrefix[] = "MSHTML:";
inline constexpr size_t kHtmlPrefixLength = 7;
// Texts of this length or longer are never looked up as a class name.
inline constexpr size_t kMaxClassNameLength = 255;

// What a host window's text asks for, before any lookup.
enum class HostNameKind {
  kNone,       // null or empty: no control
  kHtml,       // "MSHTML:" and an HTML fragment: the HTML document object
  kClassId,    // begins with '{': a class identifier in braces
  kProgId,     // a programmatic identifier (a URL when the lookup fails)
  kUrl,        // too long for a class name: straight to the browser
};

// Sorts a NUL-terminated wide text (any 16- or 32-bit character type). The
// prefix "MSHTML:" matches letters in either case, the colon exactly.
template <typename Char>
HostNameKind ClassifyHostName(const Char* name) {
  if (name == nullptr || name[0] == 0) {
    return HostNameKind::kNone;
  }
  size_t length = 0;
  while (name[length] != 0) {
    ++length;
  }
  bool html = length >= kHtmlPrefixLength;
  for (size_t i = 0; html && i < kHtmlPrefixLength; ++i) {
    const char32_t c = static_cast<char32_t>(name[i]);
    const char32_t upper = (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c;
    html = upper == static_cast<char32_t>(kHtmlPrefix[i]);
  }
  if (html) {
    return HostNameKind::kHtml;
  }
  if (length >= kMaxClassNameLength) {
    return HostNameKind::kUrl;
  }
  return name[0] == '{' ? HostNameKind::kClassId : HostNameKind::kProgId;
}

// The refresh level passed to the browser for a WVM_REFRESH wParam read as a
// signed number: normal (0), if-expired (1) and completely (3) pass, every
// other value becomes normal.
int32_t RefreshLevel(intptr_t requested);
