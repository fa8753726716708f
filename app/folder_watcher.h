// The page-folder watcher: a thread that waits for writes in a folder (and
// the folders below it) and posts a command to a window after each.
#pragma once

#include <windows.h>

// With a command other than 0, starts watching `path` for changes of a file's
// last write time and posts WM_COMMAND (low 16 bits of `command`, lParam 0) to
// `window` after each; returns 1 when the thread runs, 0 when the change
// notification or the thread cannot be made, or when the watcher already runs.
// With command 0, stops the watcher and closes its handles; nothing is posted
// after this returns. Returns 1.
int WatchFolder(const char* path, HWND window, int command);
