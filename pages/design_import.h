// Bringing a card design in from an image file: whether its proportions are
// those of a card, where and how large it lands on a page, and the page
// itself, built as the printer driver would leave it (a top-down 24-bit A4
// bitmap at 720 dpi, white around the design).
#pragma once

#include <cstddef>
#include <cstdint>

#include "job/card_side.h"

struct DibImage;

// The page of the printer driver: A4 portrait at 720 dpi.
inline constexpr int32_t kImportPageWidth = 5953;   // 210 mm
inline constexpr int32_t kImportPageHeight = 8419;  // 297 mm
inline constexpr double kImportPageDpi = 720.0;

// Resolution taken for a file that records none.
inline constexpr double kDefaultDesignDpi = 350.0;

// Bleeds, in whole millimetres on every edge, that a card-sized export may carry.
inline constexpr int32_t kMaxDesignBleedMm = 5;

// Largest difference between an image's proportions and a card's that still
// counts as that card, relative: half the smallest gap between two different
// candidates (0.53 %, 普通名刺 with 1 mm against 欧米名刺 with 5 mm), so that
// at most one proportion can ever match.
inline constexpr double kCardProportionCap = 0.0025;

// A card size, orientation and bleed whose outer proportions an image has.
struct CardProportions {
  int32_t sizeIndex;    // row of CardSizeTable
  int32_t orientation;  // kLandscape or kPortrait
  int32_t bleedMm;      // 0 to kMaxDesignBleedMm
};

// True, with the card in *out, when an image of width × height pixels has the
// outer proportions of a card of the size table in either orientation with a
// bleed of 0 to 5 mm on every edge. The tolerance is the rounding of the
// image's own pixels (one pixel on each side), capped at kCardProportionCap.
// Some candidates have exactly the same outer size (３号名刺 with 3 mm bleed
// is 91 × 55 mm, as 普通名刺 without bleed; likewise 4 and 5 mm against 1 and
// 2 mm): of those the one with the smaller bleed wins, which is the common
// 普通名刺. Among different proportions the closest wins.
bool MatchDesignProportions(int32_t width, int32_t height, CardProportions* out);

// Page pixels for a length in millimetres at 720 dpi, rounded half up.
int32_t PagePixelsForMm(double mm);

// Where a design lands on the page.
struct DesignPlacement {
  int32_t x;       // left edge on the page
  int32_t y;       // top edge on the page (rows counted from the top)
  int32_t width;   // size on the page
  int32_t height;
  bool isCard;            // the proportions are a card's: trim and card are known
  CardProportions card;   // when isCard
  CardRect trim;          // when isCard: the card's trim box in page pixels
};

enum PlacementResult : int32_t {
  PlacementOk = 0,
  PlacementEmpty,     // the image has no pixels
  PlacementTooLarge,  // the design at its size does not fit on the page
};

// Places an image of width × height pixels centred on the page. A card's
// proportions give it exactly that card's outer size at 720 dpi (whatever its
// resolution says) and its trim box; otherwise its size follows xDpi × yDpi
// (the file's own resolution, kDefaultDesignDpi when it records none).
PlacementResult PlaceDesign(int32_t width, int32_t height, double xDpi, double yDpi,
                            DesignPlacement* out);

// Turns straight-alpha 32-bit pixels (blue, green, red, alpha) into 24-bit
// pixels laid over white. `dst` holds width × 3 bytes per row, rows packed.
void FlattenOnWhite(const unsigned char* bgra, int32_t width, int32_t height, int32_t stride,
                    unsigned char* dst);

// Resamples 24-bit pixels of srcWidth × srcHeight into dstWidth × dstHeight
// with a separable Lanczos-3 filter (widened when shrinking), edges
// extended. Rows are `srcStride` and `dstStride` bytes apart. False when a
// size has no pixels or memory runs out.
bool ResampleLanczos3(const unsigned char* src, int32_t srcWidth, int32_t srcHeight,
                      size_t srcStride, unsigned char* dst, int32_t dstWidth, int32_t dstHeight,
                      size_t dstStride);

// The page: a new top-down 24-bit A4 image at 720 dpi (28346 pixels per metre
// in its header), white, with the design of width × height 24-bit pixels
// (rows packed) drawn at `placement`, copied when its size is unchanged and
// resampled otherwise. Null when memory runs out or the placement leaves the page.
DibImage* BuildDesignPage(const unsigned char* bgr, int32_t width, int32_t height,
                          const DesignPlacement& placement);
