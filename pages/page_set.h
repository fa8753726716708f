// The page set: how many consecutive page files "%s%d.bmp" of the page prefix
// can be read, counting from page 1, and which selection commands name a page.
#pragma once

#include <cstdint>

// Most pages the program uses.
inline constexpr int32_t kMaxPages = 5;

// Whether the page file at `path` can be opened for reading now: it exists
// and nobody holds it open for writing.
using PageFileProbe = bool (*)(const char* path, void* context);

// What one recount found.
struct PageRecount {
  int32_t oldCount;  // pages counted before
  int32_t newCount;  // pages counted now, oldCount to kMaxPages
  bool selectFirst;  // the first pages have just appeared: select page 1
};

// Counts on from `pageCount`: probes pages pageCount + 1 to kMaxPages of
// `prefix` in order and stops at the first that cannot be opened (or whose
// path does not fit). Counted pages are never probed again, so the count
// only grows.
PageRecount RecountPages(const char* prefix, int32_t pageCount, PageFileProbe probe,
                         void* context);

// Page index (0 to 4) of a selection command IDC_PAGE1 to IDC_PAGE5, or −1.
int32_t PageIndexOfCommand(int command);
