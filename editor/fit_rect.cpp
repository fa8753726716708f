// Fitted image rectangle.
#include "editor/fit_rect.h"

bool FitImageRect(int32_t width, int32_t absHeight, int32_t rect[4]) {
  if (width == 0 || absHeight == 0) {
    return false;
  }
  const int32_t rectWidth = rect[2] - rect[0];
  const int32_t rectHeight = rect[3] - rect[1];
  const float rw = static_cast<float>(rectWidth);
  const float rh = static_cast<float>(rectHeight);
  const float sx = rw / static_cast<float>(width);
  const float sy = rh / static_cast<float>(absHeight);
  if (sx > sy) {
    const int32_t newWidth = static_cast<int32_t>(rw * sy / sx);
    rect[0] += (rectWidth - newWidth) / 2;
    rect[2] = rect[0] + newWidth;
  } else {
    const int32_t newHeight = static_cast<int32_t>(rh * sx / sy);
    rect[1] += (rectHeight - newHeight) / 2;
    rect[3] = rect[1] + newHeight;
  }
  return true;
}
