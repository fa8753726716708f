// The record of the card being made and the page files it refers to. Plain
// data: no window, no process-wide value; the shell keeps the one instance and
// hands it to the windows that read or change it.
#pragma once

#include <cstdint>

#include "base/program_paths.h"
#include "job/card_side.h"

// Where the card of a page was found, if it was.
enum PageCardSource : int32_t {
  PageCardUnknown = 0,     // not looked for yet
  PageCardNone,            // looked for, nothing card-like
  PageCardImported,        // the page was made from a card-sized design file
  PageCardMarks,           // found by its trim marks
  PageCardDesignArea,      // found by the edges of its design area
};

// The card of one page: its trim box in page pixels and its size. Pages
// made from a card-sized design file know it from the start; printed pages
// learn it when they are first loaded. Each entry holds for the page file
// it was taken from (its size and last write time): a page file written
// again is looked at afresh.
struct PageCard {
  int32_t source;       // PageCardSource
  CardRect trim;
  int32_t sizeIndex;
  int32_t orientation;
  uint64_t fileSize;
  uint64_t fileTime;
};

// The one record of the card being made; lives for the whole run.
struct CardJob {
  char pagePrefix[kPathSize];  // page n is "%s%d.bmp" of this prefix and n
  char title[64];              // card name typed in the upload dialog
  int32_t pageCount;           // pages found, 0 to 5
  int32_t selectedPage;        // selected page index, 0 to 4
  int32_t orientation;         // 0 landscape, 1 portrait
  int32_t sizeIndex;           // row of the card-size list
  float cardWidthMm;           // trim width after orientation
  float cardHeightMm;          // trim height after orientation
  float bleedMm;               // bleed on every edge
  float pixelsPerMm;           // page resolution: 720 dots per inch
  int32_t currentSide;         // 0 front, 1 back
  CardSide sides[2];           // front and back
  // The card of each page, by page index; page files are deleted at
  // start-up, so all start unknown.
  PageCard pageCards[5];
};

inline constexpr float kPixelsPerMm = 28.346457f;

// Zeroes `job` and gives it the start values; the page prefix is the program
// folder, a backslash and "page_" (empty when the folder is empty, that is not
// known, or when the prefix would not fit).
void InitCardJob(CardJob* job, const char* programFolder);

// Writes the path of page `n` ("%s%d.bmp" of `prefix` and n) into `out`
// (kPathSize bytes). Returns false, writing nothing usable, when the prefix is
// empty or the path would not fit, so that no other file is ever touched.
bool PageFilePath(const char* prefix, int n, char* out);

// Deletes the page files 1 to 5 of `prefix`; missing files are no error.
void DeletePageFiles(const char* prefix);
