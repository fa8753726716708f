// Pure rules of the control host and the web view.
#include "webview/host_rules.h"

namespace {
constexpr int64_t kHimetricPerInch = 2540;
}

int32_t PixelsToHimetric(int32_t pixels, int32_t dpi) {
  if (dpi <= 0) {
    return 0;
  }
  return static_cast<int32_t>((int64_t{pixels} * kHimetricPerInch + dpi / 2) / dpi);
}

int32_t HimetricToPixels(int32_t himetric, int32_t dpi) {
  return static_cast<int32_t>((int64_t{himetric} * dpi + kHimetricPerInch / 2) / kHimetricPerInch);
}

int32_t RefreshLevel(intptr_t requested) {
  switch (requested) {
    case 0:
    case 1:
    case 3:
      return static_cast<int32_t>(requested);
    default:
      return 0;
  }
}
