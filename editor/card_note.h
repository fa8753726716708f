// The card note: a small green label in the main window's header, beside
// "名刺の範囲を指定", that tells the user the card was found on the page and
// the selection placed on it. Its text is its window text; without text it
// is hidden.
#pragma once

#include <windows.h>

// Where the note sits in the main window's client area.
inline constexpr int kCardNoteX = 122;
inline constexpr int kCardNoteY = 50;
inline constexpr int kCardNoteWidth = 166;
inline constexpr int kCardNoteHeight = 17;

// Creates the hidden note as a child of `parent`; `background` is the
// parent's background bitmap, drawn behind the label's rounded corners.
HWND CreateCardNote(HWND parent, HBITMAP background);

// Shows `text` (Shift-JIS), or hides the note for null or empty text.
void ShowCardNote(HWND note, const char* text);
