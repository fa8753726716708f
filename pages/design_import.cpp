// Card matching, placement, flattening, Lanczos-3 resampling and the page of
// an imported design.
//
// The resampler is separable: a horizontal pass from the 8-bit source into a
// float buffer of dstWidth × srcHeight, then a vertical pass into the 8-bit
// destination. Each output coordinate has its own list of source taps and
// normalised weights, computed once per axis; a shrinking axis widens the
// kernel by the shrink factor so that every source pixel contributes.
#include "pages/design_import.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "image/dib_image.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kPi = 3.14159265358979323846;
constexpr int kLanczosLobes = 3;

double Lanczos3(double x) {
  if (x < 0) x = -x;
  if (x < 1e-9) return 1.0;
  if (x >= kLanczosLobes) return 0.0;
  const double px = kPi * x;
  return kLanczosLobes * std::sin(px) * std::sin(px / kLanczosLobes) / (px * px);
}

// The taps of one axis: for output i, `count` source indexes from first[i]
// on (clamped into the source) with their weights.
struct AxisTaps {
  int32_t count = 0;
  std::vector<int32_t> index;  // outputs × count
  std::vector<float> weight;   // outputs × count
};

AxisTaps MakeTaps(int32_t srcSize, int32_t dstSize) {
  AxisTaps taps;
  const double scale = static_cast<double>(dstSize) / srcSize;
  const double widen = scale < 1.0 ? 1.0 / scale : 1.0;
  const double support = kLanczosLobes * widen;
  taps.count = static_cast<int32_t>(std::ceil(support)) * 2 + 1;
  taps.index.resize(static_cast<size_t>(dstSize) * taps.count);
  taps.weight.resize(static_cast<size_t>(dstSize) * taps.count);
  std::vector<double> raw(taps.count);
  for (int32_t i = 0; i < dstSize; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int32_t first = static_cast<int32_t>(std::floor(centre - support)) + 1;
    double sum = 0.0;
    for (int32_t k = 0; k < taps.count; ++k) {
      raw[k] = Lanczos3((first + k - centre) / widen);
      sum += raw[k];
    }
    for (int32_t k = 0; k < taps.count; ++k) {
      const int32_t source = std::clamp(first + k, 0, srcSize - 1);
      taps.index[static_cast<size_t>(i) * taps.count + k] = source;
      taps.weight[static_cast<size_t>(i) * taps.count + k] = static_cast<float>(raw[k] / sum);
    }
  }
  return taps;
}

unsigned char ToByte(float v) {
  const float r = v + 0.5f;
  if (r <= 0.0f) return 0;
  if (r >= 255.0f) return 255;
  return static_cast<unsigned char>(r);
}

// |a / b − 1| for two proportions.
double RelativeGap(double a, double b) {
  return std::fabs(a / b - 1.0);
}

}  // namespace

bool MatchDesignProportions(int32_t width, int32_t height, CardProportions* out) {
  if (width <= 0 || height <= 0) return false;
  const double proportion = static_cast<double>(width) / height;
  const double tolerance = std::min(1.0 / width + 1.0 / height, kCardProportionCap);
  bool found = false;
  double bestGap = 0.0;
  CardProportions best = {};
  // Sizes in table order and bleeds upwards, so that on equal proportions the
  // first found (the smaller bleed) stays.
  for (int32_t bleed = 0; bleed <= kMaxDesignBleedMm; ++bleed) {
    for (int32_t size = 0; size < kCardSizeCount; ++size) {
      for (int32_t orientation = kLandscape; orientation <= kPortrait; ++orientation) {
        float w = 0.0f;
        float h = 0.0f;
        CardSizeFor(size, orientation, &w, &h);
        const double candidate = (w + 2.0 * bleed) / (h + 2.0 * bleed);
        const double gap = RelativeGap(proportion, candidate);
        if (gap <= tolerance && (!found || gap < bestGap - 1e-12)) {
          found = true;
          bestGap = gap;
          best = {size, orientation, bleed};
        }
      }
    }
  }
  if (found && out) *out = best;
  return found;
}

int32_t PagePixelsForMm(double mm) {
  return static_cast<int32_t>(mm * kImportPageDpi / kMmPerInch + 0.5);
}

PlacementResult PlaceDesign(int32_t width, int32_t height, double xDpi, double yDpi,
                            DesignPlacement* out) {
  *out = DesignPlacement{};
  if (width <= 0 || height <= 0) return PlacementEmpty;
  CardProportions card;
  if (MatchDesignProportions(width, height, &card)) {
    float w = 0.0f;
    float h = 0.0f;
    CardSizeFor(card.sizeIndex, card.orientation, &w, &h);
    out->isCard = true;
    out->card = card;
    out->width = PagePixelsForMm(w + 2.0 * card.bleedMm);
    out->height = PagePixelsForMm(h + 2.0 * card.bleedMm);
  } else {
    if (!(xDpi > 0.0)) xDpi = kDefaultDesignDpi;
    if (!(yDpi > 0.0)) yDpi = kDefaultDesignDpi;
    const double pageWidth = width * kImportPageDpi / xDpi;
    const double pageHeight = height * kImportPageDpi / yDpi;
    if (pageWidth > kImportPageWidth + 0.5 || pageHeight > kImportPageHeight + 0.5) {
      return PlacementTooLarge;
    }
    out->width = std::max<int32_t>(1, static_cast<int32_t>(pageWidth + 0.5));
    out->height = std::max<int32_t>(1, static_cast<int32_t>(pageHeight + 0.5));
  }
  if (out->width > kImportPageWidth || out->height > kImportPageHeight) return PlacementTooLarge;
  out->x = (kImportPageWidth - out->width) / 2;
  out->y = (kImportPageHeight - out->height) / 2;
  if (out->isCard) {
    const int32_t bleed = PagePixelsForMm(out->card.bleedMm);
    out->trim = {out->x + bleed, out->y + bleed, out->x + out->width - bleed,
                 out->y + out->height - bleed};
  }
  return PlacementOk;
}

void FlattenOnWhite(const unsigned char* bgra, int32_t width, int32_t height, int32_t stride,
                    unsigned char* dst) {
  for (int32_t y = 0; y < height; ++y) {
    const unsigned char* in = bgra + static_cast<size_t>(y) * stride;
    unsigned char* row = dst + static_cast<size_t>(y) * width * 3;
    for (int32_t x = 0; x < width; ++x) {
      const unsigned alpha = in[4 * x + 3];
      for (int c = 0; c < 3; ++c) {
        // colour × alpha + white × (1 − alpha), rounded
        const unsigned v = in[4 * x + c] * alpha + 255u * (255u - alpha);
        row[3 * x + c] = static_cast<unsigned char>((v + 127) / 255);
      }
    }
  }
}

bool ResampleLanczos3(const unsigned char* src, int32_t srcWidth, int32_t srcHeight,
                      size_t srcStride, unsigned char* dst, int32_t dstWidth, int32_t dstHeight,
                      size_t dstStride) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
  try {
    const AxisTaps across = MakeTaps(srcWidth, dstWidth);
    const AxisTaps down = MakeTaps(srcHeight, dstHeight);
    const size_t rowFloats = static_cast<size_t>(dstWidth) * 3;
    std::vector<float> middle(rowFloats * srcHeight);
    // Horizontal pass: every source row to dstWidth pixels.
    for (int32_t y = 0; y < srcHeight; ++y) {
      const unsigned char* in = src + static_cast<size_t>(y) * srcStride;
      float* out = &middle[rowFloats * y];
      for (int32_t i = 0; i < dstWidth; ++i) {
        const int32_t* index = &across.index[static_cast<size_t>(i) * across.count];
        const float* weight = &across.weight[static_cast<size_t>(i) * across.count];
        float b = 0.0f, g = 0.0f, r = 0.0f;
        for (int32_t k = 0; k < across.count; ++k) {
          const unsigned char* p = in + 3 * static_cast<size_t>(index[k]);
          b += weight[k] * p[0];
          g += weight[k] * p[1];
          r += weight[k] * p[2];
        }
        out[3 * i] = b;
        out[3 * i + 1] = g;
        out[3 * i + 2] = r;
      }
    }
    // Vertical pass: whole rows at a time.
    std::vector<float> sum(rowFloats);
    for (int32_t j = 0; j < dstHeight; ++j) {
      std::fill(sum.begin(), sum.end(), 0.0f);
      const int32_t* index = &down.index[static_cast<size_t>(j) * down.count];
      const float* weight = &down.weight[static_cast<size_t>(j) * down.count];
      for (int32_t k = 0; k < down.count; ++k) {
        if (weight[k] == 0.0f) continue;
        const float* in = &middle[rowFloats * index[k]];
        const float w = weight[k];
        for (size_t n = 0; n < rowFloats; ++n) sum[n] += w * in[n];
      }
      unsigned char* out = dst + static_cast<size_t>(j) * dstStride;
      for (size_t n = 0; n < rowFloats; ++n) out[n] = ToByte(sum[n]);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

DibImage* BuildDesignPage(const unsigned char* bgr, int32_t width, int32_t height,
                          const DesignPlacement& placement) {
  if (width <= 0 || height <= 0 || placement.width <= 0 || placement.height <= 0 ||
      placement.x < 0 || placement.y < 0 || placement.x + placement.width > kImportPageWidth ||
      placement.y + placement.height > kImportPageHeight) {
    return nullptr;
  }
  DibImage* page = DibCreate(kImportPageWidth, -kImportPageHeight, 24);
  if (!page) return nullptr;
  DibLayout layout;
  DibDescribe(page, &layout);
  // 720 dpi in pixels per metre, as the driver writes it.
  const uint32_t perMetre = static_cast<uint32_t>(kImportPageDpi / 0.0254 + 0.5);
  for (int offset : {38, 42}) {
    for (int b = 0; b < 4; ++b) layout.fileHeader[offset + b] = (perMetre >> (8 * b)) & 0xFF;
  }
  std::memset(layout.pixels, 0xFF, static_cast<size_t>(layout.stride) * kImportPageHeight);
  unsigned char* origin =
      layout.pixels + static_cast<size_t>(placement.y) * layout.stride + 3 * static_cast<size_t>(placement.x);
  const size_t srcStride = static_cast<size_t>(width) * 3;
  if (placement.width == width && placement.height == height) {
    for (int32_t y = 0; y < height; ++y) {
      std::memcpy(origin + static_cast<size_t>(y) * layout.stride, bgr + y * srcStride, srcStride);
    }
  } else if (!ResampleLanczos3(bgr, width, height, srcStride, origin, placement.width,
                               placement.height, layout.stride)) {
    DibFree(page);
    return nullptr;
  }
  return page;
}
