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

// Zeroes `job` and gives it the start values; the page prefix is the program
// folder, a backslash and "page_" (empty when the folder is empty, that is not
// known, or when the prefix would not fit).
void InitCardJob(CardJob* job, const char* programFolder);

// Sets the program paths from the executable's path and the service
// addresses from `serviceBase`; clears the login state. An empty path (the
// system could not give it) or one that does not fit leaves every program path
// empty: no folder, no settings file.
void InitProgramValues(const char* exePath, const char* serviceBase);

// Writes the path of page `n` ("%s%d.bmp" of `prefix` and n) into `out`
// (kPathSize bytes). Returns false, writing nothing usable, when the prefix is
// empty or the path would not fit, so that no other file is ever touched.
bool PageFilePath(const char* prefix, int n, char* out);

// Deletes the page files 1 to 5 of `prefix`; missing files are no error.
void DeletePageFiles(const char* prefix);
