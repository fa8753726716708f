// The skinned main window: a borderless popup shaped and painted by the
// WINDOW_BG bitmap, holding the program's panels and bitmap buttons at fixed
// places, and routing the commands between them.
#pragma once

#include <windows.h>

inline constexpr char kMainWindowClass[] = "NORVALISK";
inline constexpr char kMainWindowTitle[] = "Norvalisk version 1.0J";

// The program's module, for dialog and resource loads.
extern HINSTANCE AppInstance;
// Solid RGB(255, 204, 0): the background of the page selector and the options
// bar. Made and owned by the main window, which hands it to both.
extern HBRUSH PanelBrush;

// The main window and its panels; set while the main window is created,
// cleared as they are destroyed. The main window hands each panel the
// neighbours it talks to; no panel reads this record.
struct AppWindowSet {
  HWND main;
  HWND editorView;    // IMAGEDLG
  HWND pageSelector;  // PAGEDLG
  HWND optionsBar;    // VIEWDLG
  HWND previews[2];   // CARDDLG of the front and of the back
  HWND webView;
  HWND cardNote;      // "名刺を検出" label in the header
};
extern AppWindowSet AppWindows;

// Registers the NORVALISK class; returns 0 on failure.
ATOM RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window, centred on the screen with the size of `background`
// (WINDOW_BG), which the window then owns (deleted here when creation fails).
// Returns null on failure.
HWND CreateMainWindow(HINSTANCE instance, HBITMAP background);

// The window procedure of the NORVALISK class.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
