// Tests of the cut resampler against the plain per-pixel rule.
#include "editor/card_resample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/cut_reference.h"
#include "editor/page_pattern.h"
#include "image/dib_image.h"

namespace {

// Frees an image at the end of a scope.
struct ImageOwner {
  DibImage* image;
  ~ImageOwner() { DibFree(image); }
};

bool SameBytes(DibImage* a, DibImage* b) {
  DibLayout la, lb;
  DibDescribe(a, &la);
  DibDescribe(b, &lb);
  return la.fileSize == lb.fileSize && std::memcmp(DibBytes(a), DibBytes(b), la.fileSize) == 0;
}

constexpr int64_t kWhitePixel = 0xFFFFFF;

int64_t PageColour(int32_t x, int32_t y) {
  unsigned char blue, green, red;
  PatternColour(x, y, &blue, &green, &red);
  return (red << 16) | (green << 8) | blue;
}

// ---- against the per-pixel reference ---------------------------------------
struct CutCase {
  const char* label;
  CardRect cut;
  int32_t width, height;
};

// Page of 700 × 500 pixels; cuts of card proportions and odd ones.
const CutCase kCutCases[] = {
    {"inside, downsampling", {100, 80, 380, 254}, 269, 167},
    {"inside, upsampling", {200, 100, 300, 162}, 269, 167},
    {"inside, step exactly one", {10, 20, 279, 187}, 269, 167},
    {"crossing the left and top edges", {-40, -30, 229, 137}, 269, 167},
    {"crossing the right and bottom edges", {560, 400, 829, 567}, 269, 167},
    {"larger than the page", {-100, -100, 800, 460}, 300, 186},
    {"entirely off the page", {900, 900, 1169, 1067}, 269, 167},
    {"portrait", {300, 50, 467, 319}, 167, 269},
    {"one pixel", {350, 250, 351, 251}, 1, 1},
    {"step rounding at halves", {0, 0, 269, 167}, 538, 334},
    {"full card size from a page corner", {-56, -56, 644, 379}, 2693, 1672},
};

class ResampleCutTest : public ::testing::TestWithParam<CutCase> {
 protected:
  static void SetUpTestSuite() {
    topDown_ = MakePatternPage(700, 500, true);
    bottomUp_ = MakePatternPage(700, 500, false);
  }
  static void TearDownTestSuite() {
    DibFree(topDown_);
    DibFree(bottomUp_);
  }
  static inline DibImage* topDown_ = nullptr;
  static inline DibImage* bottomUp_ = nullptr;
};

TEST_P(ResampleCutTest, BitIdenticalToPerPixelReferenceInBothRowOrders) {
  const CutCase& c = GetParam();
  for (DibImage* page : {topDown_, bottomUp_}) {
    ImageOwner fast{ResampleCut(page, c.cut, c.width, c.height)};
    ImageOwner reference{ReferenceCut(page, c.cut, c.width, c.height)};
    ASSERT_NE(fast.image, nullptr);
    ASSERT_NE(reference.image, nullptr);
    EXPECT_TRUE(SameBytes(fast.image, reference.image))
        << c.label << (page == topDown_ ? " (top-down page)" : " (bottom-up page)");
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ResampleCutTest, ::testing::ValuesIn(kCutCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- the rule itself -----------------------------------------------------------
TEST(ResampleCut, OutputIsUprightAndStoredBottomUp) {
  for (bool topDown : {true, false}) {
    ImageOwner page{MakePatternPage(40, 30, topDown)};
    ImageOwner card{ResampleCut(page.image, {5, 4, 25, 16}, 20, 12)};
    ASSERT_NE(card.image, nullptr);
    DibLayout layout;
    DibDescribe(card.image, &layout);
    EXPECT_EQ(layout.width, 20);
    EXPECT_EQ(layout.height, 12);  // positive: bottom-up
    EXPECT_EQ(layout.bitCount, 24);
    // Step 1: output (j, i) from the top is page (5 + j, 4 + i) from the top.
    for (int32_t i = 0; i < 12; ++i) {
      for (int32_t j = 0; j < 20; ++j) {
        ASSERT_EQ(PixelFromTop(card.image, j, i), PageColour(5 + j, 4 + i))
            << j << "," << i << (topDown ? " top-down" : " bottom-up");
      }
    }
  }
}

TEST(ResampleCut, WhiteOutsideThePage) {
  ImageOwner page{MakePatternPage(40, 30, true)};
  // Step 1, the cut starting 3 pixels left of and 2 above the page, ending past it.
  ImageOwner card{ResampleCut(page.image, {-3, -2, 47, 34}, 50, 36)};
  ASSERT_NE(card.image, nullptr);
  EXPECT_EQ(PixelFromTop(card.image, 0, 0), kWhitePixel);
  EXPECT_EQ(PixelFromTop(card.image, 2, 10), kWhitePixel);   // column −1
  EXPECT_EQ(PixelFromTop(card.image, 10, 1), kWhitePixel);   // row −1
  EXPECT_EQ(PixelFromTop(card.image, 3, 2), PageColour(0, 0));
  EXPECT_EQ(PixelFromTop(card.image, 42, 31), PageColour(39, 29));
  EXPECT_EQ(PixelFromTop(card.image, 43, 20), kWhitePixel);  // column 40
  EXPECT_EQ(PixelFromTop(card.image, 20, 32), kWhitePixel);  // row 30
}

TEST(ResampleCut, StepTakesNearestPixelRoundingHalvesUp) {
  ImageOwner page{MakePatternPage(40, 30, true)};
  // Step 0.5: columns 0, 0.5, 1, 1.5 … read 0, 1, 1, 2 … (halves round up).
  ImageOwner card{ResampleCut(page.image, {10, 10, 20, 16}, 20, 12)};
  ASSERT_NE(card.image, nullptr);
  const int32_t expected[] = {0, 1, 1, 2, 2, 3};
  for (int32_t j = 0; j < 6; ++j) {
    EXPECT_EQ(PixelFromTop(card.image, j, 0), PageColour(10 + expected[j], 10)) << j;
    EXPECT_EQ(PixelFromTop(card.image, 0, j), PageColour(10, 10 + expected[j])) << j;
  }
  // Step 2: every second pixel.
  ImageOwner coarse{ResampleCut(page.image, {0, 0, 20, 12}, 10, 6)};
  EXPECT_EQ(PixelFromTop(coarse.image, 3, 2), PageColour(6, 4));
}

TEST(ResampleCut, WithoutAPageEverythingIsWhite) {
  ImageOwner card{ResampleCut(nullptr, {0, 0, 10, 6}, 10, 6)};
  ASSERT_NE(card.image, nullptr);
  EXPECT_EQ(PixelFromTop(card.image, 0, 0), kWhitePixel);
  EXPECT_EQ(PixelFromTop(card.image, 9, 5), kWhitePixel);
}

TEST(ResampleCut, SizeWithoutPixelsGivesNoImage) {
  ImageOwner page{MakePatternPage(10, 10, true)};
  EXPECT_EQ(ResampleCut(page.image, {0, 0, 10, 10}, 0, 10), nullptr);
  EXPECT_EQ(ResampleCut(page.image, {0, 0, 10, 10}, 10, 0), nullptr);
}

TEST(ResampleCut, NarrowerPageFormatNeverReadsPastTheBlock) {
  // An 8-bit page read as 24 bits: samples whose three bytes would pass the
  // end of the block count as off the page.
  ImageOwner page{DibCreate(10, 10, 8)};
  DibLayout layout;
  DibDescribe(page.image, &layout);
  std::memset(layout.pixels, 0x11, static_cast<size_t>(layout.stride) * 10);
  // Bottom-up: the top line is the last stored row, whose 12 bytes end the block.
  ImageOwner card{ResampleCut(page.image, {0, 0, 10, 10}, 10, 10)};
  ASSERT_NE(card.image, nullptr);
  EXPECT_EQ(PixelFromTop(card.image, 0, 5), 0x111111);
  EXPECT_EQ(PixelFromTop(card.image, 9, 0), kWhitePixel);  // 9 × 3 + 3 bytes into the last row
  EXPECT_EQ(PixelFromTop(card.image, 3, 0), 0x111111);     // 12 bytes: still inside
}

}  // namespace
