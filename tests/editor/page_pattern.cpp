// Test pages whose pixels tell their position.
#include "editor/page_pattern.h"

#include "image/dib_image.h"

void PatternColour(int32_t x, int32_t y, unsigned char* blue, unsigned char* green,
                   unsigned char* red) {
  *blue = static_cast<unsigned char>(x);
  *green = static_cast<unsigned char>(y);
  *red = static_cast<unsigned char>(((x >> 8) & 0x0F) | ((y >> 8) << 4));
}

DibImage* MakePatternPage(int32_t width, int32_t height, bool topDown) {
  DibImage* page = DibCreate(width, topDown ? -height : height, 24);
  if (!page) return nullptr;
  DibLayout layout;
  DibDescribe(page, &layout);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t stored = topDown ? y : height - 1 - y;
    unsigned char* row = layout.pixels + static_cast<int64_t>(stored) * layout.stride;
    for (int32_t x = 0; x < width; ++x) {
      PatternColour(x, y, &row[3 * x], &row[3 * x + 1], &row[3 * x + 2]);
    }
  }
  return page;
}

int64_t PixelFromTop(DibImage* image, int32_t x, int32_t y) {
  DibLayout layout;
  DibDescribe(image, &layout);
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  if (y < 0 || y >= rows) return -1;
  const int32_t stored = layout.height < 0 ? y : rows - 1 - y;
  unsigned char blue, green, red;
  if (!DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, 24, x, stored, &blue,
                   &green, &red, nullptr)) {
    return -1;
  }
  return (red << 16) | (green << 8) | blue;
}
