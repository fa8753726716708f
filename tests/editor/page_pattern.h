// Test pages: 24-bit images whose every pixel tells where it came from.
#pragma once

#include <cstdint>

struct DibImage;

// Colour of page pixel (x, y), y counted from the top: blue and green are the
// low bytes of x and y, red holds their high nibbles, so every pixel of a page
// up to 4096 × 4096 is distinct.
void PatternColour(int32_t x, int32_t y, unsigned char* blue, unsigned char* green,
                   unsigned char* red);

// A 24-bit page of width × height pixels filled with PatternColour, stored
// top-down (negative height, as the printer driver writes pages) or bottom-up.
DibImage* MakePatternPage(int32_t width, int32_t height, bool topDown);

// Reads pixel (x, y) of a 24-bit image, y counted from the top whatever the
// row order, as 0x00RRGGBB; −1 outside the image.
int64_t PixelFromTop(DibImage* image, int32_t x, int32_t y);
