// The card previews (template CARDDLG): one per card side, showing its cut
// image on a grey checkerboard with printer's marks for the trim line and the
// safety margin.
#pragma once

#include <windows.h>

#include "editor/card_geometry.h"

struct DibImage;

// Window property that holds the preview's CardSide pointer.
inline constexpr char kCardPreviewProp[] = "NORVALISK";

// Dialog procedure of CARDDLG; the creation parameter is the CardSide* to show:
// CreateDialogParamA(AppInstance, "CARDDLG", main window, CardPreviewProc,
// reinterpret_cast<LPARAM>(&Job.sides[i])).
INT_PTR CALLBACK CardPreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Paints a preview of `image` (may be null) into `client`: 8 × 8 checkerboard,
// then the image fitted 20 pixels inside with its trim and safety marks.
void PaintCardPreview(HDC dc, const RECT& client, const DibImage* image, const CardGeometry& card);
