// The card cut editor view (template IMAGEDLG): the current page reduced to
// fit, the card-shaped selection that the mouse and the arrow keys move and
// resize, and the commands that load a page, re-apply the card geometry,
// cut the current side and clear it.
#pragma once

#include <windows.h>

#include "editor/card_geometry.h"

struct CardJob;
struct CutEditor;

// What the view is handed at creation. Its creator keeps it alive as long as
// the view; the previews, made after the view, are filled in once they exist.
struct EditorViewLinks {
  CardJob* job;        // the card being made: page, card settings, sides
  HWND mainWindow;     // told IDC_FRONT or IDC_BACK when a cut side is pressed
  HWND previews[2];    // repainted after a cut, a clear or a card change
  HWND optionsBar;     // shows the card size when a found card changes it
  HWND cardNote;       // tells that a card was found on the page
};

// Dialog procedure of IMAGEDLG; the main window creates the view with
// CreateDialogParamA(instance, "IMAGEDLG", main window, EditorViewProc,
// reinterpret_cast<LPARAM>(&links)) for an EditorViewLinks `links`.
// It handles IDC_SHOW_PAGE (load the job's selected page), IDC_CARD_SIZE (card
// size or orientation changed), IDC_DATA_CUT and IDC_DATA_CLEAR, and posts
// IDC_FRONT or IDC_BACK to the main window when a cut side's area is pressed.
INT_PTR CALLBACK EditorViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The state of a view window, or null for another window.
const CutEditor* EditorViewState(HWND view);

// Draws a selection frame and its four corner handles, sized for `card`, with
// the device context's raster operation; returns the handle size.
int PaintSelection(HDC dc, int left, int top, int right, int bottom, COLORREF colour,
                   const CardGeometry& card);
