// Geometry of drawing an image as large as fits into a rectangle, proportions
// kept and centred.
#pragma once

#include <cstdint>

// Shrinks `rect` (left, top, right, bottom) in place to the part an image of
// `width` × `absHeight` pixels covers when drawn as large as fits with its
// proportions kept: the image touches two opposite sides and is centred
// between the other two. Returns false, leaving `rect` alone, when the image
// has no pixels.
bool FitImageRect(int32_t width, int32_t absHeight, int32_t rect[4]);
