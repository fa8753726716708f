// The two sides of the card being made and what a cut leaves in them.
#pragma once

#include <cstdint>

struct DibImage;

// A rectangle in page pixels, laid out as the platform's RECT.
struct CardRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// One cut side: an empty side has pageIndex −1 and no image.
struct CardSide {
  int32_t pageIndex;  // page the side was cut from (0 to 4), −1 when empty
  CardRect trimRect;  // the selection at the time of the cut
  CardRect cutRect;   // trimRect grown by the bleed on every edge
  DibImage* image;    // the cut image, 24 bits per pixel, owned by the side
};
