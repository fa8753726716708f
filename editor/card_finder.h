// Finding the card on a page: the trim box of a card drawn with Japanese trim
// marks (トンボ), or failing those, of a card-sized design area with or without
// a bleed. Pure arithmetic over the page's pixels; the editor view places its
// selection on what this finds.
//
// Trim marks. At each of the four corners, outside the card, two strokes run
// along the trim line and two along the bleed line 3 mm (at the card's scale)
// farther out, all pointing away from the card: above and below the card
// vertical strokes on x = left, left − g, right, right + g; left and right of
// it horizontal strokes on y = top, top − g, bottom, bottom + g. Each stroke
// must be thin, dark on a light ground and at least g long beyond the bleed
// line, with light paper between the two strokes of a pair; whether the
// strokes of a corner join (the two crossed L shapes of the usual corner
// mark) and whether centre marks are present does not matter. The four
// corners must agree: the box's proportions are those of one of the three
// card sizes in either orientation (at any scale), the two measurements of
// each edge (one per corner) lie within one pixel of each other, and every
// stroke is straight along the page's axes and ends in paper on the page. So a card turned on the page (by half a degree, and already by
// much less: its corners disagree by more than a pixel), or one whose marks
// run off the page, is not found by its marks. Where several marked cards
// share a page, the one whose top corners come first from the top wins.
//
// Where a stroke's line lies. A stroke is drawn centred on its line, so the
// line is the centre of the stroke across its width: the darkness-weighted
// centre of the stroke's profile, averaged along the stroke. The trim box's
// edge is that centre rounded to the nearest pixel boundary, a centre half
// way between two boundaries (a crisp stroke of odd width, centred in a
// pixel) going to the smaller coordinate (up or left). For a crisp stroke
// over lines first … first + w − 1 the boundary is therefore first + w / 2
// (integer division): a stroke 2 pixels wide over rows y − 1 and y marks the
// boundary y, a stroke 3 pixels wide over rows y − 1 … y + 1 marks y, and a
// 1-pixel stroke on row y marks y. Soft (resampled) strokes give their true
// centre the same way.
//
// Design area. Without marks, the largest connected area of non-white
// (not paper) pixels whose four edges are straight, taken as a card with a
// bleed; each edge lies where the pixels across it pass half way from the
// paper to the design's colour. Its size at pixelsPerMm must be a card of the
// table, in either orientation, plus the same bleed of 0 to 5 mm (± 0.2 mm)
// on every edge. The trim box is the card's size in whole pixels at
// pixelsPerMm, centred in that area: the area inset by the bleed. Where two sizes explain the same area (91 × 55 with no
// bleed is also 85 × 49 with 3 mm), the preferred size wins when it is among
// them, else the smaller bleed. An area reaching the page's edge may be cut
// off and is not taken; nor is a turned one, whose edges are not straight
// along the page's axes. A design whose marks run off the page but whose
// design area lies whole on it is found by that area. A design on white paper
// whose own background is white has no visible edges and is not found.
//
// Speed: a few milliseconds for an A4 page at 720 dpi (bench/card_finder_bench).
#pragma once

#include <cstdint>

#include "job/card_side.h"

struct DibImage;

// A page's pixels as the finder reads them: 24 bits per pixel (blue, green,
// red), `width` × `height`, line y counted from the top of the page starting
// at top + y × stride bytes (stride is negative for rows stored bottom-up).
// Every line holds at least 3 × width readable bytes.
struct PageView {
  const unsigned char* top;
  int64_t stride;
  int32_t width;
  int32_t height;
};

// The view of a page image, read as 24 bits per pixel as everywhere in the
// program, for either row order. False for a null image, an image without
// pixels or one whose block cannot hold 3 × width bytes on every line.
bool PageViewFromDib(DibImage* page, PageView* view);

// How a card was found.
enum CardFindMethod : int32_t {
  CardNotFound = 0,
  CardFoundByMarks = 1,
  CardFoundByDesignArea = 2,
};

// What FindCard found.
struct CardFindResult {
  int32_t method;       // CardFindMethod
  CardRect trim;        // trim box in page pixels, lines from the top; right
                        // and bottom are the boundaries after the card (the
                        // box is right − left pixels wide), as in CardSide
  int32_t sizeIndex;    // row of CardSizeTable
  int32_t orientation;  // kLandscape or kPortrait
  float bleedMm;        // design area: the bleed around the trim box; marks: 0
};

// The proportions of a measured box are taken as a card size when they lie
// within this relative distance of its width / height; the nearest wins. The
// two closest sizes (89 × 51 and 85 × 49) are 0.60 % apart.
inline constexpr double kCardRatioTolerance = 0.0025;

// Distance of the bleed line of trim marks outside the trim line.
inline constexpr float kMarkBleedMm = 3.0f;

// Finds the card on `page` (pixels at pixelsPerMm, 28.346457 for the
// program's 720-dpi pages): by trim marks first, then by a design area.
// `preferredSizeIndex` (a row of CardSizeTable, or −1) settles a design area
// that two sizes explain equally. Returns true and fills *result when a card
// is found; otherwise false with result->method CardNotFound.
bool FindCard(const PageView& page, float pixelsPerMm, int32_t preferredSizeIndex,
              CardFindResult* result);

// The two steps of FindCard on their own.
bool FindCardByMarks(const PageView& page, CardFindResult* result);
bool FindCardByDesignArea(const PageView& page, float pixelsPerMm, int32_t preferredSizeIndex,
                          CardFindResult* result);

// The card size whose proportions width : height (any scale, either
// orientation) match within kCardRatioTolerance, the nearest when several do.
// False when none does.
bool MatchCardProportions(double width, double height, int32_t* sizeIndex, int32_t* orientation);
