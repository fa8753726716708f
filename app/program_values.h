// Process-wide values of the program, set once at start-up: its paths and
// the one record of the card being made, which the shell hands to its windows.
#pragma once

#include "base/program_paths.h"
#include "job/card_job.h"

extern char ExePath[kPathSize];
extern char ExeBase[kPathSize];
extern char ProgramFolder[kPathSize];
extern char SettingsPath[kPathSize];
extern CardJob Job;

// Sets the program paths from the executable's path and the service
// addresses from `serviceBase`; clears the login state. An empty path (the
// system could not give it) or one that does not fit leaves every program path
// empty: no folder, no settings file.
void InitProgramValues(const char* exePath, const char* serviceBase);
