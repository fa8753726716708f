// Start-up of the program: the single-instance hand-over, the program's
// values, the main window and the message loop.
#pragma once

#include <windows.h>

// Copies argument `index` of the process command line into `out` (when given)
// and returns its length, or returns the number of arguments when there is no
// such argument; see CommandLineArg.
int GetCommandLineArg(int index, char* out);

// Runs the program; returns its exit code.
int RunNorvalisk(HINSTANCE instance, int showCommand);
