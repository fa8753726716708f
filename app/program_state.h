// Process-wide values of the program, set once at start-up: its paths, the
// service addresses, the login state, and the record of the card being made.
#pragma once

#include <cstdint>

#include "app/program_paths.h"
#include "editor/card_side.h"

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
};

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

inline constexpr float kPixelsPerMm = 28.346457f;
inline constexpr int kUrlSize = 260;

extern char ExePath[kPathSize];
extern char ExeBase[kPathSize];
extern char ProgramFolder[kPathSize];
extern char SettingsPath[kPathSize];
extern char AgentName[64];
extern char ApiUrl[kUrlSize];
extern char HelpPageUrl[kUrlSize];
extern char LoginPageUrl[kUrlSize];
extern char HelpUrl[kUrlSize];
extern int LoggedIn;
extern CardJob Job;
// Indexed by page index 0 to 4; page files are deleted at start-up, so all
// start unknown.
extern PageCard PageCards[5];

// Zeroes `job` and gives it the start values; the page prefix is the program
// folder, a backslash and "page_" (empty when that would not fit).
void InitCardJob(CardJob* job, const char* programFolder);

// Sets the program paths from the executable's path and the service
// addresses from `serviceBase`; clears the login state.
void InitProgramValues(const char* exePath, const char* serviceBase);

// Writes the path of page `n` ("%s%d.bmp" of `prefix` and n) into `out`
// (kPathSize bytes). Returns false, writing nothing usable, when the prefix is
// empty or the path would not fit, so that no other file is ever touched.
bool PageFilePath(const char* prefix, int n, char* out);

// Deletes the page files 1 to 5 of `prefix`; missing files are no error.
void DeletePageFiles(const char* prefix);
