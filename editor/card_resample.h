// Resampling the cut area of a page into a card image.
#pragma once

#include <cstdint>

#include "job/card_side.h"

struct DibImage;

// A new 24-bit card image of width × height pixels, stored bottom-up, showing
// the page area `cutRect` (page pixels, rows counted from the top of the page)
// upright. One step, (cutRect width) / width as a float, serves both axes;
// output pixel (j, i) from the top takes the page pixel at
// (cutRect.left + round(j × step), cutRect.top + round(i × step)), nearest
// neighbour, and white where that lies off the page. Pages may be stored
// top-down or bottom-up. Null for a size without pixels or a failed creation.
DibImage* ResampleCut(DibImage* page, const CardRect& cutRect, int32_t width, int32_t height);
