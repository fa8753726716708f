// The card cut editor view (template IMAGEDLG): the current page reduced to
// fit, the card-shaped selection that the mouse and the arrow keys move and
// resize, and the commands that load a page, re-apply the card geometry,
// cut the current side and clear it.
#pragma once

#include <windows.h>

struct CutEditor;

// Dialog procedure of IMAGEDLG; the main window creates the view with
// CreateDialogParamA(AppInstance, "IMAGEDLG", main window, EditorViewProc, 0).
// It handles IDC_SHOW_PAGE (load Job.selectedPage), IDC_CARD_SIZE (card size
// or orientation changed), IDC_DATA_CUT and IDC_DATA_CLEAR, and posts
// IDC_FRONT or IDC_BACK to AppWindows.main when a cut side's area is pressed.
INT_PTR CALLBACK EditorViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The state of a view window, or null for another window.
const CutEditor* EditorViewState(HWND view);

// Draws a selection frame and its four corner handles with the device
// context's raster operation; returns the handle size.
int PaintSelection(HDC dc, int left, int top, int right, int bottom, COLORREF colour);
