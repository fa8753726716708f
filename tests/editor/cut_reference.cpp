// A plain per-pixel cut: for each output pixel, the step times its index,
// plus 0.5, truncated; one range-tested read, one range-tested write.
#include "editor/cut_reference.h"

#include "image/dib_image.h"

DibImage* ReferenceCut(DibImage* page, const CardRect& cutRect, int32_t width, int32_t height) {
  DibImage* card = DibCreate(width, height, 24);
  if (!card) return nullptr;
  DibLayout out;
  DibDescribe(card, &out);
  DibLayout in;
  DibDescribe(page, &in);
  const int32_t rows = in.height < 0 ? -in.height : in.height;
  const float step = static_cast<float>(cutRect.right - cutRect.left) / static_cast<float>(width);
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      const int32_t sx = cutRect.left + static_cast<int32_t>(static_cast<double>(j) * step + 0.5);
      const int32_t sy = cutRect.top + static_cast<int32_t>(static_cast<double>(i) * step + 0.5);
      unsigned char blue = 255, green = 255, red = 255;
      if (sx >= 0 && sx < in.width && sy >= 0 && sy < rows) {
        // Line sy from the top of the page, whatever the row order.
        const int32_t stored = in.height < 0 ? sy : rows - 1 - sy;
        DibGetPixel(in.pixels, in.stride, in.width, in.height, 24, sx, stored, &blue, &green, &red,
                    nullptr);
      }
      DibSetPixel(out.pixels, &out, j, height - 1 - i, red, green, blue, 0);
    }
  }
  return card;
}
