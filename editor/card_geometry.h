// Geometry of the card cut editor: rounding, conversions between the reduced
// page view and page pixels, the default selection, the mouse zones and the
// move and resize rules, the trim and cut rectangles of a cut, the size of a
// cut image and the printer's marks of the preview. Pure arithmetic, so that
// every rule can be checked without a window.
#pragma once

#include <cstdint>

#include "job/card_side.h"

// The program's rounding: v + 0.5 truncated toward zero (half up for the
// positive values that occur). Values beyond the 32-bit range are clamped.
int32_t RoundHalfUp(double v);

// The card settings the geometry depends on; taken from the job record.
struct CardGeometry {
  float cardWidthMm;
  float cardHeightMm;
  float bleedMm;
  float pixelsPerMm;
};

// View pixels per page pixel before any page is loaded: 1/12, as a float.
inline constexpr float kInitialViewScale = 1.0f / 12.0f;

// Top of the default selection in view pixels.
inline constexpr int32_t kDefaultSelectionTop = 50;

// The page coordinate `page` shown in the view whose image starts at `origin`.
int32_t PageToView(int32_t page, int32_t origin, float viewScale);

// The page coordinate under view coordinate `view`.
int32_t ViewToPage(int32_t view, int32_t origin, float viewScale);

// View pixels per page pixel for a page shown fitted in a client area: the
// smaller of the two ratios (width wins on equality), as a float. Zero when
// the page has no pixels.
float FitViewScale(int32_t clientWidth, int32_t clientHeight, int32_t pageWidth,
                   int32_t pageAbsHeight);

// The card's trim width at the view scale, truncated.
int32_t NominalSelectionWidth(const CardGeometry& card, float viewScale);

// The selection placed after a card change or the first page load: the trim
// size at the view scale, centred across a client `clientWidth` wide and 50
// pixels below the top. Not clamped to the page.
CardRect DefaultSelection(int32_t clientWidth, const CardGeometry& card, float viewScale);

// Side of the selection's corner handles: the bleed at the view scale, at
// least 2 pixels.
int32_t SelectionHandleSize(const CardRect& selection, const CardGeometry& card);

// Parts of the selection a mouse press can hit.
enum SelectionZone : int32_t {
  ZoneNone = 0,
  ZoneTopLeft,
  ZoneTopRight,
  ZoneBottomLeft,
  ZoneBottomRight,
  ZoneInside,
};

// True when (x, y) lies in the handle square of `corner` (ZoneTopLeft to
// ZoneBottomRight), handleSize pixels wide beyond the selection's corner;
// with `edges` false its border lines do not count.
bool InHandleSquare(const CardRect& selection, int32_t handleSize, SelectionZone corner, int32_t x,
                    int32_t y, bool edges);

// The zone under (x, y): the corner handle squares (handleSize wide, edges
// included) tested first, then the open interior.
SelectionZone HitSelection(const CardRect& selection, int32_t handleSize, int32_t x, int32_t y);

// The selection dragged from (x0, y0) to (x, y). With `oneAxis` only the
// longer of the two distances counts; equal distances move vertically.
CardRect MovedSelection(const CardRect& start, int32_t x0, int32_t y0, int32_t x, int32_t y,
                        bool oneAxis);

// The selection resized by dragging one corner `dx` pixels across; the height
// follows the card's proportions and the opposite corner stays. False, with
// *out untouched, when the width would leave half to twice the card's width
// at the view scale.
bool ResizedSelection(const CardRect& start, bool grabRight, bool grabBottom, int32_t dx,
                      const CardGeometry& card, float viewScale, CardRect* out);

// The selection in page pixels: its view coordinates taken relative to the
// drawn page image at (imageLeft, imageTop) and scaled up.
CardRect TrimRectFromSelection(const CardRect& selection, int32_t imageLeft, int32_t imageTop,
                               float viewScale);

// The trim rectangle grown by the bleed on every side, the bleed taken at the
// scale of the trim rectangle itself.
CardRect CutRectFromTrim(const CardRect& trim, const CardGeometry& card);

// Pixels of a cut image: trim plus twice the bleed, at the card resolution.
void CutImageSize(const CardGeometry& card, int32_t* width, int32_t* height);

// A trim rectangle in page pixels as drawn in the view.
CardRect TrimRectInView(const CardRect& trim, int32_t imageLeft, int32_t imageTop, float viewScale);

// True when (x, y) lies strictly inside the trim rectangle as drawn in the view
// (unrounded).
bool TrimAreaContains(const CardRect& trim, int32_t imageLeft, int32_t imageTop, float viewScale,
                      int32_t x, int32_t y);

// Printer's marks of a card preview around the rectangle the card image was
// drawn into.
struct PreviewMarks {
  int32_t bleed;    // the bleed at preview scale
  int32_t overrun;  // how far the marks run past a corner
  CardRect trim;    // the trim line
  CardRect inner;   // the safety margin, one bleed inside the trim
};

PreviewMarks PreviewMarksFor(const CardRect& drawn, const CardGeometry& card);
