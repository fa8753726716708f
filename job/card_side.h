// The two sides of the card being made, what a cut leaves in them, and the
// standard card sizes the user chooses from.
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

// One standard card size: trim width and height in millimetres, landscape.
struct CardSize {
  float widthMm;
  float heightMm;
};

// The card sizes in the order of the options bar's list.
inline constexpr int kCardSizeCount = 3;
inline constexpr CardSize CardSizeTable[kCardSizeCount] = {
    {91.0f, 55.0f},  // 普通名刺
    {89.0f, 51.0f},  // 欧米名刺
    {85.0f, 49.0f},  // ３号名刺
};

// Texts of the options bar's list, Shift-JIS, in table order.
inline constexpr const char* kCardSizeNames[kCardSizeCount] = {"普通名刺", "欧米名刺", "３号名刺"};

// Bleed added on every edge of a cut, in millimetres.
inline constexpr float kCardBleedMm = 2.0f;

// Orientations of the card.
inline constexpr int32_t kLandscape = 0;
inline constexpr int32_t kPortrait = 1;

// Trim width and height of table row `sizeIndex` in `orientation` (portrait
// exchanges them). False, leaving the outputs alone, for a row outside the table.
bool CardSizeFor(int32_t sizeIndex, int32_t orientation, float* widthMm, float* heightMm);

// Empties a side: frees its image and sets pageIndex to −1.
void EmptyCardSide(CardSide* side);
