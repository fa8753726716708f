// A plain per-pixel cut, written straight from the rule, to check the
// table-driven resampler against (tests and benchmark).
#pragma once

#include <cstdint>

#include "job/card_side.h"

struct DibImage;

// The cut of `cutRect` into a new width × height 24-bit bottom-up image, one
// page read and one write per pixel through DibGetPixel and DibSetPixel.
DibImage* ReferenceCut(DibImage* page, const CardRect& cutRect, int32_t width, int32_t height);
