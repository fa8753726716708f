// Edge scores and warning text of the bleed check.
#include "upload/bleed_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/dib_image.h"

namespace {

// The edge names in the order they appear in the warning.
constexpr const char* kEdgeNames[4] = {"上", "下", "左", "右"};
constexpr char kNameSeparator[] = "・";

// Reads the image as 24 bits per pixel, refusing pixels whose three bytes would
// lie past the end of the block (possible when the header says fewer bits).
struct PixelReader {
  DibLayout layout;
  int64_t pixelBytes;

  bool Read(int32_t x, int32_t y, unsigned char rgb[3]) const {
    const int64_t end = static_cast<int64_t>(y) * layout.stride + 3 * static_cast<int64_t>(x) + 3;
    if (x < 0 || y < 0 || end > pixelBytes) return false;
    return DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, 24, x, y,
                       &rgb[0], &rgb[1], &rgb[2], nullptr) == 1;
  }

  // Sum of the channel differences of the two pixels; 0 when either cannot be read.
  int64_t Difference(int32_t x1, int32_t y1, int32_t x2, int32_t y2) const {
    unsigned char a[3];
    unsigned char b[3];
    if (!Read(x1, y1, a) || !Read(x2, y2, b)) return 0;
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
  }
};

// The mean difference per channel as a percentage of 255, with the program's
// single-precision constants.
float EdgeScore(int64_t sum, int32_t count) {
  return static_cast<float>(sum) * 0.33333334f / static_cast<float>(count) * 0.39215687f;
}

}  // namespace

int BleedDepth(int pixels, float cardMm, float bleedMm) {
  const double share = static_cast<double>(pixels) * bleedMm / (2.0 * bleedMm + cardMm);
  return static_cast<int>(share + 0.5);
}

bool ScoreBleed(DibImage* image, float cardWidthMm, float cardHeightMm, float bleedMm,
                BleedScores* scores) {
  PixelReader reader;
  if (scores == nullptr || !DibDescribe(image, &reader.layout)) return false;
  reader.pixelBytes = (reader.layout.fileHeader + reader.layout.fileSize) - reader.layout.pixels;
  const int32_t w = reader.layout.width;
  const int32_t h = reader.layout.height < 0 ? -reader.layout.height : reader.layout.height;
  *scores = BleedScores{};
  scores->dx = BleedDepth(w, cardWidthMm, bleedMm);
  scores->dy = BleedDepth(h, cardHeightMm, bleedMm);
  const int32_t dx = scores->dx;
  const int32_t dy = scores->dy;

  if (dy < h) {
    int64_t top = 0;
    int64_t bottom = 0;
    for (int32_t x = 0; x < w; ++x) {
      top += reader.Difference(x, h - 1, x, h - 1 - dy);
      bottom += reader.Difference(x, 0, x, dy);
    }
    if (w > 0) {
      scores->top = EdgeScore(top, w);
      scores->bottom = EdgeScore(bottom, w);
    }
  }
  if (dx < w) {
    int64_t left = 0;
    int64_t right = 0;
    for (int32_t y = 0; y < h; ++y) {
      left += reader.Difference(0, y, dx, y);
      right += reader.Difference(w - 1, y, w - 1 - dx, y);
    }
    if (h > 0) {
      scores->left = EdgeScore(left, h);
      scores->right = EdgeScore(right, h);
    }
  }
  return true;
}

int BleedWarningText(const BleedScores& scores, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  const float edges[4] = {scores.top, scores.bottom, scores.left, scores.right};
  char text[256] = "";
  int named = 0;
  for (int i = 0; i < 4; ++i) {
    if (!(edges[i] > kBleedScoreLimit)) continue;
    if (named > 0) std::strcat(text, kNameSeparator);
    std::strcat(text, kEdgeNames[i]);
    ++named;
  }
  if (named == 0) return 0;
  std::snprintf(out, size, "%s%s", text, kBleedMessageTail);
  return named;
}
