// The card previews (template CARDDLG): one per card side, showing its cut
// image on a grey checkerboard with printer's marks for the trim line and the
// safety margin.
#pragma once

#include <windows.h>

#include "editor/card_geometry.h"

struct CardJob;
struct CardSide;
struct DibImage;

// Window property that holds the preview's CardSide pointer.
inline constexpr char kCardPreviewProp[] = "NORVALISK";

// What a preview is handed at creation: the side it shows and the job whose
// card size places the marks. Both outlive the preview.
struct CardPreviewLinks {
  const CardSide* side;
  const CardJob* job;
};

// Dialog procedure of CARDDLG; the creation parameter is a CardPreviewLinks*:
// CreateDialogParamA(instance, "CARDDLG", main window, CardPreviewProc,
// reinterpret_cast<LPARAM>(&links)).
INT_PTR CALLBACK CardPreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Paints a preview of `image` (may be null) into `client`: 8 × 8 checkerboard,
// then the image fitted 20 pixels inside with its trim and safety marks.
void PaintCardPreview(HDC dc, const RECT& client, const DibImage* image, const CardGeometry& card);
