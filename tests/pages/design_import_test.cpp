// Tests of bringing a design in: card proportions (every size, orientation
// and bleed at several resolutions and roundings, the equal-size ties, near
// misses), placement on the page, flattening over white, the Lanczos-3
// resampler against a direct two-dimensional reference, and the page block.
#include "pages/design_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/dib_image.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct ImageHolder {
  DibImage* image;
  explicit ImageHolder(DibImage* i) : image(i) {}
  ~ImageHolder() { DibFree(image); }
};

// Pixels of a design at `dpi`, rounded as an exporter would (`round` true) or
// cut down (false).
int32_t DesignPixels(double mm, double dpi, bool round) {
  const double exact = mm * dpi / 25.4;
  return static_cast<int32_t>(round ? std::floor(exact + 0.5) : std::floor(exact));
}

// ---------------------------------------------------------------- MatchDesignProportions

TEST(MatchDesignProportions, EverySizeOrientationAndBleedAtCommonResolutions) {
  for (double dpi : {300.0, 350.0, 400.0, 600.0, 1200.0}) {
    for (bool round : {true, false}) {
      for (int32_t size = 0; size < kCardSizeCount; ++size) {
        for (int32_t orientation : {kLandscape, kPortrait}) {
          for (int32_t bleed = 0; bleed <= kMaxDesignBleedMm; ++bleed) {
            float w = 0, h = 0;
            CardSizeFor(size, orientation, &w, &h);
            const int32_t pw = DesignPixels(w + 2.0 * bleed, dpi, round);
            const int32_t ph = DesignPixels(h + 2.0 * bleed, dpi, round);
            CardProportions found = {-1, -1, -1};
            ASSERT_TRUE(MatchDesignProportions(pw, ph, &found))
                << "size " << size << " orientation " << orientation << " bleed " << bleed << " at "
                << dpi << " dpi: " << pw << " x " << ph;
            // ３号名刺 with 3, 4 or 5 mm of bleed has the outer size of 普通名刺
            // with 0, 1 or 2 mm: the smaller bleed is taken.
            CardProportions want = {size, orientation, bleed};
            if (size == 2 && bleed >= 3) want = {0, orientation, bleed - 3};
            EXPECT_EQ(found.sizeIndex, want.sizeIndex) << pw << " x " << ph << " at " << dpi;
            EXPECT_EQ(found.orientation, want.orientation) << pw << " x " << ph;
            EXPECT_EQ(found.bleedMm, want.bleedMm) << pw << " x " << ph << " at " << dpi;
          }
        }
      }
    }
  }
}

TEST(MatchDesignProportions, RefusesOtherProportions) {
  const struct {
    int32_t width, height;
    const char* what;
  } cases[] = {
      {1000, 1000, "square"},
      {2480, 3508, "A4 sheet at 300 dpi"},
      {1668, 1171, "card with 15 mm of trim-mark margin at 350 dpi (121 x 85 mm)"},
      // 91 × 55 mm at 350 dpi is 1254 × 758; 0.3 % wider is no card.
      {1258, 758, "0.3 % wider than 普通名刺"},
      // Between 普通名刺 with 1 mm (93 × 57) and 欧米名刺 with 5 mm (99 × 61).
      {2000, 1230, "between two candidates"},
      {0, 10, "no pixels"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(MatchDesignProportions(c.width, c.height, nullptr)) << c.what;
  }
}

TEST(MatchDesignProportions, ToleranceIsTheImagesOwnRounding) {
  // 91 × 55 mm at 1200 dpi is 4299 × 2598: two pixels off across is more
  // than rounding there, one pixel is not.
  EXPECT_TRUE(MatchDesignProportions(4300, 2598, nullptr));
  EXPECT_FALSE(MatchDesignProportions(4302, 2598, nullptr));
}

// ---------------------------------------------------------------- PlaceDesign

TEST(PlaceDesign, CardProportionsGiveThePhysicalCardAndItsTrimBox) {
  const struct {
    int32_t width, height;
    double dpi;
    int32_t size, orientation, bleed;
    int32_t pageWidth, pageHeight, bleedPixels;
  } cases[] = {
      {1254, 758, 72, 0, kLandscape, 0, 2580, 1559, 0},      // 91 × 55 at 350, field 72
      {1309, 813, 350, 0, kLandscape, 2, 2693, 1672, 57},    // 95 × 59
      {758, 1254, 96, 0, kPortrait, 0, 1559, 2580, 0},
      {1254 + 82, 758 + 82, 0, 0, kLandscape, 3, 2750, 1729, 85},  // 97 × 61 (field none)
      {1226, 703, 350, 1, kLandscape, 0, 2523, 1446, 0},     // 89 × 51
      {703, 1226, 350, 1, kPortrait, 0, 1446, 2523, 0},
      {1171, 675, 350, 2, kLandscape, 0, 2409, 1389, 0},     // 85 × 49
  };
  for (const auto& c : cases) {
    DesignPlacement p;
    ASSERT_EQ(PlaceDesign(c.width, c.height, c.dpi, c.dpi, &p), PlacementOk) << c.width;
    ASSERT_TRUE(p.isCard) << c.width << " x " << c.height;
    EXPECT_EQ(p.card.sizeIndex, c.size);
    EXPECT_EQ(p.card.orientation, c.orientation);
    EXPECT_EQ(p.card.bleedMm, c.bleed);
    EXPECT_EQ(p.width, c.pageWidth);
    EXPECT_EQ(p.height, c.pageHeight);
    EXPECT_EQ(p.x, (kImportPageWidth - c.pageWidth) / 2);
    EXPECT_EQ(p.y, (kImportPageHeight - c.pageHeight) / 2);
    EXPECT_EQ(p.trim.left, p.x + c.bleedPixels);
    EXPECT_EQ(p.trim.top, p.y + c.bleedPixels);
    EXPECT_EQ(p.trim.right, p.x + c.pageWidth - c.bleedPixels);
    EXPECT_EQ(p.trim.bottom, p.y + c.pageHeight - c.bleedPixels);
  }
}

TEST(PlaceDesign, OtherImagesAtTheirOwnResolution) {
  DesignPlacement p;
  // A sheet of 121 × 85 mm at 350 dpi: 1668 × 1171 pixels, 3431 × 2409 on the page.
  ASSERT_EQ(PlaceDesign(1668, 1171, 350, 350, &p), PlacementOk);
  EXPECT_FALSE(p.isCard);
  EXPECT_EQ(p.width, 3431);
  EXPECT_EQ(p.height, 2409);
  EXPECT_EQ(p.x, (kImportPageWidth - 3431) / 2);
  EXPECT_EQ(p.y, (kImportPageHeight - 2409) / 2);
  // At 720 dpi the size is kept.
  ASSERT_EQ(PlaceDesign(1000, 1000, 720, 720, &p), PlacementOk);
  EXPECT_EQ(p.width, 1000);
  EXPECT_EQ(p.height, 1000);
  // Different resolutions across and down.
  ASSERT_EQ(PlaceDesign(1000, 1000, 360, 180, &p), PlacementOk);
  EXPECT_EQ(p.width, 2000);
  EXPECT_EQ(p.height, 4000);
  // None recorded (0): 350 dpi.
  ASSERT_EQ(PlaceDesign(700, 700, 0, 0, &p), PlacementOk);
  EXPECT_EQ(p.width, 1440);
}

TEST(PlaceDesign, RefusesWhatDoesNotFit) {
  DesignPlacement p;
  EXPECT_EQ(PlaceDesign(5954, 100, 720, 720, &p), PlacementTooLarge);
  EXPECT_EQ(PlaceDesign(100, 8420, 720, 720, &p), PlacementTooLarge);
  EXPECT_EQ(PlaceDesign(1000, 1000, 72, 72, &p), PlacementTooLarge);  // 254 mm
  EXPECT_EQ(PlaceDesign(5953, 8419, 720, 720, &p), PlacementOk);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  EXPECT_EQ(PlaceDesign(0, 8419, 720, 720, &p), PlacementEmpty);
}

// ---------------------------------------------------------------- FlattenOnWhite

TEST(FlattenOnWhite, LaysStraightAlphaOverWhite) {
  const unsigned char bgra[] = {
      10, 20, 30, 255,   // opaque: kept
      10, 20, 30, 0,     // transparent: white
      0, 0, 0, 128,      // half black: 127
      200, 100, 0, 51,   // 20 % of (200, 100, 0) over white
  };
  unsigned char out[12];
  FlattenOnWhite(bgra, 4, 1, 16, out);
  const unsigned char want[] = {10, 20, 30, 255, 255, 255, 127, 127, 127, 244, 224, 204};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], want[i]) << i;
}

// ---------------------------------------------------------------- ResampleLanczos3

double Kernel(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double pi = 3.14159265358979323846;
  return 3 * std::sin(pi * x) * std::sin(pi * x / 3) / (pi * pi * x * x);
}

// One output pixel computed directly over the 2-D neighbourhood.
double ReferencePixel(const Bytes& src, int sw, int sh, int dw, int dh, int x, int y, int c) {
  const double sx = double(dw) / sw, sy = double(dh) / sh;
  const double wx = sx < 1 ? 1 / sx : 1, wy = sy < 1 ? 1 / sy : 1;
  const double cx = (x + 0.5) / sx - 0.5, cy = (y + 0.5) / sy - 0.5;
  double total = 0, norm = 0;
  for (int j = int(std::floor(cy - 3 * wy)); j <= int(std::ceil(cy + 3 * wy)); ++j) {
    for (int i = int(std::floor(cx - 3 * wx)); i <= int(std::ceil(cx + 3 * wx)); ++i) {
      const double w = Kernel((i - cx) / wx) * Kernel((j - cy) / wy);
      const int ci = std::min(std::max(i, 0), sw - 1), cj = std::min(std::max(j, 0), sh - 1);
      total += w * src[(size_t(cj) * sw + ci) * 3 + c];
      norm += w;
    }
  }
  return total / norm;
}

TEST(ResampleLanczos3, MatchesTheDirectFilterUpAndDown) {
  const int sw = 37, sh = 23;
  Bytes src(size_t(sw) * sh * 3);
  uint32_t seed = 12345;
  for (auto& b : src) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<unsigned char>(seed >> 24);
  }
  const struct { int dw, dh; } sizes[] = {{80, 47}, {13, 9}, {37, 50}, {74, 11}};
  for (const auto& s : sizes) {
    Bytes dst(size_t(s.dw) * s.dh * 3 + 5, 0xAB);
    ASSERT_TRUE(ResampleLanczos3(src.data(), sw, sh, sw * 3, dst.data(), s.dw, s.dh, s.dw * 3));
    for (int y = 0; y < s.dh; ++y) {
      for (int x = 0; x < s.dw; ++x) {
        for (int c = 0; c < 3; ++c) {
          const double want = std::min(255.0, std::max(0.0, ReferencePixel(src, sw, sh, s.dw, s.dh, x, y, c)));
          ASSERT_NEAR(dst[(size_t(y) * s.dw + x) * 3 + c], want, 1.0)
              << s.dw << "x" << s.dh << " at " << x << "," << y << " channel " << c;
        }
      }
    }
    EXPECT_EQ(dst[size_t(s.dw) * s.dh * 3], 0xAB) << "wrote past the end";
  }
}

TEST(ResampleLanczos3, KeepsUniformColourAndRespectsStrides) {
  const int sw = 10, sh = 6, srcStride = 32, dw = 25, dh = 15, dstStride = 80;
  Bytes src(size_t(srcStride) * sh, 0);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) {
      src[y * srcStride + 3 * x] = 40;
      src[y * srcStride + 3 * x + 1] = 200;
      src[y * srcStride + 3 * x + 2] = 255;
    }
  Bytes dst(size_t(dstStride) * dh, 7);
  ASSERT_TRUE(ResampleLanczos3(src.data(), sw, sh, srcStride, dst.data(), dw, dh, dstStride));
  for (int y = 0; y < dh; ++y) {
    for (int x = 0; x < dw; ++x) {
      EXPECT_EQ(dst[y * dstStride + 3 * x], 40);
      EXPECT_EQ(dst[y * dstStride + 3 * x + 1], 200);
      EXPECT_EQ(dst[y * dstStride + 3 * x + 2], 255);
    }
    for (int x = dw * 3; x < dstStride; ++x) ASSERT_EQ(dst[y * dstStride + x], 7) << "padding touched";
  }
  EXPECT_FALSE(ResampleLanczos3(src.data(), 0, sh, srcStride, dst.data(), dw, dh, dstStride));
}

// ---------------------------------------------------------------- BuildDesignPage

TEST(BuildDesignPage, WhiteTopDownA4WithTheDesignInPlace) {
  const int w = 4, h = 3;
  Bytes design(size_t(w) * h * 3);
  for (size_t i = 0; i < design.size(); ++i) design[i] = static_cast<unsigned char>(i * 7);
  DesignPlacement p;
  ASSERT_EQ(PlaceDesign(w, h, 720, 720, &p), PlacementOk);
  ImageHolder page(BuildDesignPage(design.data(), w, h, p));
  ASSERT_NE(page.image, nullptr);
  DibLayout layout;
  DibDescribe(page.image, &layout);
  EXPECT_EQ(layout.bitCount, 24);
  EXPECT_EQ(layout.width, kImportPageWidth);
  EXPECT_EQ(layout.height, -kImportPageHeight);
  const unsigned char* header = DibBytes(page.image);
  EXPECT_EQ(header[38] | (header[39] << 8), 28346);
  EXPECT_EQ(header[42] | (header[43] << 8), 28346);
  // Copied 1:1, rows from the top.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(layout.pixels[size_t(p.y + y) * layout.stride + 3 * (p.x + x) + c],
                  design[(size_t(y) * w + x) * 3 + c]);
  // White around it, at the page corners and next to the design.
  for (auto [x, y] : {std::pair{0, 0}, {kImportPageWidth - 1, kImportPageHeight - 1}, {p.x - 1, p.y},
                      {p.x + w, p.y + h - 1}, {p.x, p.y + h}}) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(layout.pixels[size_t(y) * layout.stride + 3 * x + c], 255);
  }
}

TEST(BuildDesignPage, ResamplesACardToItsTrimBox) {
  // A 91 × 55 card at 350 dpi: red, with a 2 mm wide blue band inside every edge.
  const int w = 1254, h = 758, band = 28;
  Bytes design(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool edge = x < band || y < band || x >= w - band || y >= h - band;
      unsigned char* px = &design[(size_t(y) * w + x) * 3];
      px[0] = edge ? 255 : 0;
      px[1] = 0;
      px[2] = edge ? 0 : 255;
    }
  DesignPlacement p;
  ASSERT_EQ(PlaceDesign(w, h, 72, 72, &p), PlacementOk);
  ASSERT_TRUE(p.isCard);
  ImageHolder page(BuildDesignPage(design.data(), w, h, p));
  ASSERT_NE(page.image, nullptr);
  DibLayout layout;
  DibDescribe(page.image, &layout);
  auto at = [&](int x, int y) { return &layout.pixels[size_t(y) * layout.stride + 3 * x]; };
  // Inside the trim box at each edge: blue; one pixel outside: white; the middle red.
  const CardRect& t = p.trim;
  for (auto [x, y] : {std::pair{t.left, t.top + 500}, {t.right - 1, t.top + 500}, {t.left + 900, t.top},
                      {t.left + 900, t.bottom - 1}}) {
    EXPECT_GE(at(x, y)[0], 200) << x << "," << y;
    EXPECT_LE(at(x, y)[2], 60) << x << "," << y;
  }
  for (auto [x, y] : {std::pair{t.left - 1, t.top + 500}, {t.right, t.top + 500}, {t.left + 900, t.top - 1},
                      {t.left + 900, t.bottom}}) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(at(x, y)[c], 255) << x << "," << y;
  }
  EXPECT_EQ(at((t.left + t.right) / 2, (t.top + t.bottom) / 2)[2], 255);
  EXPECT_EQ(at((t.left + t.right) / 2, (t.top + t.bottom) / 2)[0], 0);
}

}  // namespace
