// The job record's start values and its page files.
#include "job/card_job.h"

#include <cstdio>
#include <cstring>

#include "base/text_format.h"

void InitCardJob(CardJob* job, const char* programFolder) {
  std::memset(job, 0, sizeof *job);
  // Without a known folder there is no page prefix: "\page_" would name files
  // at the root of the current drive.
  if (programFolder != nullptr && programFolder[0] != '\0') {
    FormatInto(job->pagePrefix, sizeof job->pagePrefix, "%s\\page_", programFolder);
  }
  job->cardWidthMm = 91.0f;
  job->cardHeightMm = 55.0f;
  job->bleedMm = 2.0f;
  job->pixelsPerMm = kPixelsPerMm;
  for (CardSide& side : job->sides) {
    side.pageIndex = -1;
  }
}

bool PageFilePath(const char* prefix, int n, char* out) {
  return prefix[0] != '\0' && FormatInto(out, kPathSize, "%s%d.bmp", prefix, n);
}

void DeletePageFiles(const char* prefix) {
  char path[kPathSize];
  for (int n = 1; n <= 5; ++n) {
    if (PageFilePath(prefix, n, path)) {
      std::remove(path);
    }
  }
}
