// Pages drawn from known geometry for the card finder: white 24-bit pages
// with Japanese trim marks, card designs with a bleed, and page content that
// is not a card, drawn straight or turned about a point.
#pragma once

#include <cstdint>

#include "job/card_side.h"

struct DibImage;

// 24-bit colour.
struct Rgb {
  unsigned char r, g, b;
};

// How trim marks are drawn.
struct MarkStyle {
  int32_t strokeWidth;  // pixels, the stroke centred on its line
  int32_t arm;          // length of each stroke beyond the bleed line, pixels
  bool joined;          // the trim stroke meets the bleed stroke of the other
                        // direction (two crossed L shapes), else the two trim
                        // strokes stand apart and the bleed strokes form an L
  bool centreMarks;     // crosses at the middle of each edge
};

// A turn of the whole drawing by `degrees` (clockwise on the page) about
// (cx, cy); zero degrees draws exactly on the pixel grid.
struct Turn {
  double degrees;
  double cx;
  double cy;
};

// A new white page, stored top-down (as the printer driver writes pages) or
// bottom-up.
DibImage* MakeWhitePage(int32_t width, int32_t height, bool topDown = true);

// Fills the area x0 ≤ x < x1, y0 ≤ y < y1 (page coordinates from the top,
// pixel centres tested) turned by `turn`, clipped to the page.
void FillArea(DibImage* page, double x0, double y0, double x1, double y1, Rgb colour,
              const Turn& turn = {0.0, 0.0, 0.0});

// Draws the corner marks of a card whose trim box is `trim` with the bleed
// line `gap` pixels outside it.
void DrawTrimMarks(DibImage* page, const CardRect& trim, int32_t gap, const MarkStyle& style,
                   const Turn& turn = {0.0, 0.0, 0.0});

// A card design filling `area`: a background colour, a band across it from
// edge to edge in a second colour, and blocks of dark "text" inside, placed
// from `seed`.
void DrawDesign(DibImage* page, const CardRect& area, Rgb background, uint32_t seed,
                const Turn& turn = {0.0, 0.0, 0.0});

// Small dark blocks like lines of text over `area`, from `seed`.
void DrawTextBlocks(DibImage* page, const CardRect& area, uint32_t seed);

// Softens the whole page with a [1 2 1] / 4 filter across and down, as a
// resampled page looks.
void SoftenPage(DibImage* page);

// A new top-down page `scale` times the size of `page`, resampled with the
// bilinear filter, pixel centres aligned: page pixel (x, y) takes the source
// at ((x + 0.5) / scale − 0.5, (y + 0.5) / scale − 0.5). How a design made at
// another resolution lands on a 720-dpi page.
DibImage* ResampledPage(DibImage* page, double scale);

// The trim box of a card of widthMm × heightMm at pixelsPerMm with its top
// left corner at (left, top): width and height rounded to whole pixels.
CardRect TrimBox(int32_t left, int32_t top, float widthMm, float heightMm, float pixelsPerMm);

// `box` grown by `by` pixels on every side.
CardRect Grown(const CardRect& box, int32_t by);
