// Counting the page files.
#include "pages/page_set.h"

#include "job/card_job.h"
#include "resources/resource.h"

PageRecount RecountPages(const char* prefix, int32_t pageCount, PageFileProbe probe,
                         void* context) {
  // A count outside 0 to kMaxPages is taken as the nearest valid one.
  const int32_t start = pageCount < 0 ? 0 : pageCount > kMaxPages ? kMaxPages : pageCount;
  PageRecount result = {start, start, false};
  char path[kPathSize];
  for (int32_t page = start + 1; page <= kMaxPages; ++page) {
    if (!PageFilePath(prefix, page, path) || !probe(path, context)) {
      break;
    }
    result.newCount = page;
  }
  result.selectFirst = result.oldCount == 0 && result.newCount > 0;
  return result;
}

int32_t PageIndexOfCommand(int command) {
  return command >= IDC_PAGE1 && command <= IDC_PAGE5 ? command - IDC_PAGE1 : -1;
}
