// The 開く command: the file dialog for a design file, and opening a design
// file (chosen there or dropped on the window) as the next page, with a
// Japanese message when it cannot be.
#pragma once

#include <windows.h>

#include <cstddef>

// Shows the standard file dialog for design images (PNG, JPEG, TIFF, BMP,
// GIF) owned by `owner`. True with the chosen path in `path` (size bytes).
bool ChooseDesignFile(HWND owner, char* path, size_t size);

// Writes the design file at `path` as the next page of Job.pagePrefix and
// records its card in the job when its proportions are a card's. Returns
// the page index written, or −1 after telling the user why nothing changed.
int OpenDesignFile(HWND owner, const char* path);
