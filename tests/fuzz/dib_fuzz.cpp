// Fuzz target for the image record: every input is a bitmap file held in
// memory, pushed through load, describe, single-pixel access and reduce. Any
// read or write outside a block shows up under AddressSanitizer; the layout of
// every loaded image is also checked against its block.
#include "image/dib_image.h"

#include <cstddef>
#include <cstdint>

namespace {

int64_t Rows(int32_t height) { return height < 0 ? -static_cast<int64_t>(height) : height; }

// Stops the run when a loaded image's layout leaves its block.
void CheckLayout(const DibLayout& layout) {
  const unsigned char* end = layout.fileHeader + layout.fileSize;
  if (layout.colourTable > end || layout.pixels > end || layout.pixels < layout.colourTable ||
      layout.stride < 0 || Rows(layout.height) * layout.stride > end - layout.pixels) {
    __builtin_trap();
  }
}

// Reads and writes pixels at the corners, the middle and just outside the
// image. Reads use the image's own bit count, and 24 bits where the image has
// at least that many, as the editor and the bleed check read pages.
void TouchPixels(const DibLayout& layout) {
  const int32_t w = layout.width;
  const int32_t h = static_cast<int32_t>(Rows(layout.height) > INT32_MAX ? INT32_MAX : Rows(layout.height));
  const int32_t xs[] = {-1, 0, w / 2, w - 1, w};
  const int32_t ys[] = {-1, 0, h / 2, h - 1, h};
  for (int32_t y : ys) {
    for (int32_t x : xs) {
      unsigned char b = 0, g = 0, r = 0, a = 0;
      DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, layout.bitCount, x, y,
                  &b, &g, &r, &a);
      if (layout.bitCount == 24 || layout.bitCount == 32) {
        DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, 24, x, y, &b, &g, &r,
                    nullptr);
      }
      DibSetPixel(layout.pixels, &layout, x, y, r, g, b, a);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DibImage* image = DibLoadMemory(data, size);
  if (!image) return 0;
  DibLayout layout;
  if (!DibDescribe(image, &layout)) __builtin_trap();
  CheckLayout(layout);
  TouchPixels(layout);

  const int32_t factors[] = {1, 12, 1 + data[size - 1] % 16};
  for (int32_t factor : factors) {
    DibImage* reduced = DibReduce(image, factor);
    if (!reduced) continue;
    DibLayout small;
    DibDescribe(reduced, &small);
    if (small.bitCount != 24 || small.width != layout.width / factor ||
        small.height != layout.height / factor) {
      __builtin_trap();
    }
    CheckLayout(small);
    TouchPixels(small);
    DibFree(reduced);
  }
  DibFree(image);
  return 0;
}
