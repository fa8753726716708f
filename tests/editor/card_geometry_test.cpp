// Tests of the card cut editor's geometry.
#include "editor/card_geometry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/card_rect_print.h"

namespace {


CardGeometry Card(int sizeIndex, int orientation) {
  CardGeometry card = {0, 0, kCardBleedMm, 28.346457f};
  EXPECT_TRUE(CardSizeFor(sizeIndex, orientation, &card.cardWidthMm, &card.cardHeightMm));
  return card;
}

// The selection before any page: 普通名刺 at 1/12 in a 409-pixel client.
constexpr CardRect kDefaultLandscape = {97, 50, 311, 179};

// ---- card sizes and cut image sizes ----------------------------------------
struct CutSizeCase {
  int sizeIndex;
  int orientation;
  float widthMm, heightMm;
  int32_t width, height;
};

const CutSizeCase kCutSizes[] = {
    {0, kLandscape, 91.0f, 55.0f, 2693, 1672}, {0, kPortrait, 55.0f, 91.0f, 1672, 2693},
    {1, kLandscape, 89.0f, 51.0f, 2636, 1559}, {1, kPortrait, 51.0f, 89.0f, 1559, 2636},
    {2, kLandscape, 85.0f, 49.0f, 2523, 1502}, {2, kPortrait, 49.0f, 85.0f, 1502, 2523},
};

TEST(CutImageSize, AllSizesInBothOrientations) {
  for (const CutSizeCase& c : kCutSizes) {
    SCOPED_TRACE("size " + std::to_string(c.sizeIndex) + " orientation " + std::to_string(c.orientation));
    const CardGeometry card = Card(c.sizeIndex, c.orientation);
    EXPECT_EQ(card.cardWidthMm, c.widthMm);
    EXPECT_EQ(card.cardHeightMm, c.heightMm);
    int32_t width = 0, height = 0;
    CutImageSize(card, &width, &height);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
  }
}

TEST(CardSizeFor, RowOutsideTheTableLeavesTheOutputsAlone) {
  float width = 1.0f, height = 2.0f;
  EXPECT_FALSE(CardSizeFor(-1, kLandscape, &width, &height));
  EXPECT_FALSE(CardSizeFor(kCardSizeCount, kLandscape, &width, &height));
  EXPECT_EQ(width, 1.0f);
  EXPECT_EQ(height, 2.0f);
}

TEST(CardSizeFor, ResolutionIsTheSingleOf720DotsPerInch) {
  const float pixelsPerMm = 28.346457f;
  uint32_t bits;
  std::memcpy(&bits, &pixelsPerMm, sizeof bits);
  EXPECT_EQ(bits, 0x41E2C58Bu);
}

// ---- rounding and conversions ----------------------------------------------
TEST(RoundHalfUp, AddsAHalfAndTruncatesTowardZero) {
  const struct {
    double v;
    int32_t rounded;
  } cases[] = {{2.5, 3}, {2.4999, 2}, {0.0, 0}, {-0.4, 0}, {-0.5, 0}, {-1.6, -1}, {-2.6, -2},
               {1e12, INT32_MAX}, {-1e12, INT32_MIN}};
  for (const auto& c : cases) {
    EXPECT_EQ(RoundHalfUp(c.v), c.rounded) << c.v;
  }
}

TEST(ViewPageConversion, RoundsFromTheImageOrigin) {
  const float scale = kInitialViewScale;
  EXPECT_EQ(ViewToPage(97, 0, scale), 1164);
  EXPECT_EQ(ViewToPage(311, 0, scale), 3732);
  EXPECT_EQ(ViewToPage(50, 10, scale), 480);
  EXPECT_EQ(PageToView(1164, 0, scale), 97);
  EXPECT_EQ(PageToView(1170, 5, scale), 5 + 98);  // 97.5 rounds up
  EXPECT_EQ(PageToView(1169, 5, scale), 5 + 97);
}

TEST(FitViewScale, TakesTheSmallerRatioAndTheWidthOnEquality) {
  EXPECT_FLOAT_EQ(FitViewScale(409, 561, 5953, 8419), 561.0f / 8419.0f);
  EXPECT_FLOAT_EQ(FitViewScale(409, 561, 8419, 5953), 409.0f / 8419.0f);
  EXPECT_EQ(FitViewScale(400, 200, 800, 400), 0.5f);
  EXPECT_EQ(FitViewScale(409, 561, 0, 100), 0.0f);
  EXPECT_EQ(FitViewScale(409, 561, 100, 0), 0.0f);
}

// ---- default selection -----------------------------------------------------
TEST(DefaultSelection, BeforeAnyPageIn409PixelClient) {
  const CardGeometry landscape = Card(0, kLandscape);
  const CardRect selection = DefaultSelection(409, landscape, kInitialViewScale);
  EXPECT_EQ(selection, kDefaultLandscape);
  EXPECT_EQ(SelectionHandleSize(selection, landscape), 5);

  const CardGeometry portrait = Card(0, kPortrait);
  EXPECT_EQ(DefaultSelection(409, portrait, kInitialViewScale), (CardRect{140, 50, 269, 264}));
}

TEST(DefaultSelection, NotClampedToTheClient) {
  // A page shown at a larger scale makes a selection wider than the client.
  EXPECT_EQ(DefaultSelection(409, Card(0, kLandscape), 0.5f), (CardRect{-440, 50, 849, 829}));
}

TEST(SelectionHandleSize, BleedAtViewScaleButAtLeastTwo) {
  const CardGeometry card = Card(0, kLandscape);
  EXPECT_EQ(SelectionHandleSize({0, 0, 428, 100}, card), 9);   // 9.41
  EXPECT_EQ(SelectionHandleSize({0, 0, 114, 100}, card), 3);   // 2.505
  EXPECT_EQ(SelectionHandleSize({0, 0, 50, 100}, card), 2);    // 1.10
  EXPECT_EQ(SelectionHandleSize({10, 0, 10, 100}, card), 2);
}

// ---- mouse zones ------------------------------------------------------------
TEST(HitSelection, HandlesBeforeInteriorAndEdgesBetweenThemMiss) {
  const CardRect s = kDefaultLandscape;
  const struct {
    const char* label;
    int32_t x, y;
    SelectionZone zone;
  } cases[] = {
      {"top-left corner pixel", 97, 50, ZoneTopLeft},
      {"outer end of top-left handle", 92, 45, ZoneTopLeft},
      {"beyond top-left handle", 91, 45, ZoneNone},
      {"top-right corner pixel", 311, 50, ZoneTopRight},
      {"top-right handle", 316, 45, ZoneTopRight},
      {"bottom-left corner pixel", 97, 179, ZoneBottomLeft},
      {"bottom-left handle", 92, 184, ZoneBottomLeft},
      {"bottom-right corner pixel", 311, 179, ZoneBottomRight},
      {"bottom-right handle", 316, 184, ZoneBottomRight},
      {"beyond bottom-right handle", 317, 184, ZoneNone},
      {"top edge between handles", 200, 50, ZoneNone},
      {"left edge between handles", 97, 100, ZoneNone},
      {"just inside", 98, 51, ZoneInside},
      {"centre", 200, 100, ZoneInside},
      {"outside", 20, 300, ZoneNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HitSelection(s, 5, c.x, c.y), c.zone) << c.label;
  }
}

TEST(HitSelection, OverlappingHandlesReportTheFirstInOrder) {
  // Without height the top and bottom squares share a row; without width the
  // left and right squares share a column.
  const CardRect flat = {10, 10, 20, 10};
  EXPECT_EQ(HitSelection(flat, 5, 8, 10), ZoneTopLeft);
  EXPECT_EQ(HitSelection(flat, 5, 8, 12), ZoneBottomLeft);
  EXPECT_EQ(HitSelection(flat, 5, 22, 10), ZoneTopRight);
  const CardRect thin = {10, 10, 10, 20};
  EXPECT_EQ(HitSelection(thin, 5, 10, 8), ZoneTopLeft);
  EXPECT_EQ(HitSelection(thin, 5, 10, 22), ZoneBottomLeft);
  EXPECT_EQ(HitSelection(thin, 5, 12, 22), ZoneBottomRight);
}

TEST(InHandleSquare, OpenSquaresLeaveOutTheirBorders) {
  const CardRect s = kDefaultLandscape;
  EXPECT_TRUE(InHandleSquare(s, 5, ZoneBottomRight, 311, 179, true));
  EXPECT_FALSE(InHandleSquare(s, 5, ZoneBottomRight, 311, 179, false));
  EXPECT_TRUE(InHandleSquare(s, 5, ZoneBottomRight, 312, 180, false));
  EXPECT_FALSE(InHandleSquare(s, 5, ZoneBottomRight, 316, 180, false));
  EXPECT_TRUE(InHandleSquare(s, 5, ZoneBottomLeft, 96, 183, false));
  EXPECT_FALSE(InHandleSquare(s, 5, ZoneBottomLeft, 92, 183, false));
}

// ---- move ---------------------------------------------------------------------
TEST(MovedSelection, FollowsTheMouseAndOneAxisWithShift) {
  const CardRect s = kDefaultLandscape;
  const struct {
    const char* label;
    int32_t x, y;
    bool oneAxis;
    CardRect moved;
  } cases[] = {
      {"free move", 130, 90, false, {127, 80, 341, 209}},
      {"free move up-left", 90, 40, false, {87, 30, 301, 159}},
      {"shift, wider than tall: horizontal", 140, 90, true, {137, 50, 351, 179}},
      {"shift, taller than wide: vertical", 110, 130, true, {97, 120, 311, 249}},
      {"shift, equal distances: vertical", 120, 80, true, {97, 70, 311, 199}},
      {"shift, equal distances other way: vertical", 80, 40, true, {97, 30, 311, 159}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MovedSelection(s, 100, 60, c.x, c.y, c.oneAxis), c.moved) << c.label;
  }
}

// ---- resize -------------------------------------------------------------------
TEST(ResizedSelection, CornerFollowsTheHorizontalMovementOnly) {
  const CardGeometry card = Card(0, kLandscape);
  const struct {
    const char* label;
    bool right, bottom;
    int32_t dx;
    CardRect resized;
  } cases[] = {
      {"bottom-right wider", true, true, 20, {97, 50, 331, 191}},
      {"bottom-left wider", false, true, -20, {77, 50, 311, 191}},
      {"top-left wider: bottom stays", false, false, -20, {77, 38, 311, 179}},
      {"top-right wider: bottom stays", true, false, 20, {97, 38, 331, 179}},
      {"top-left narrower truncates", false, false, 10, {107, 56, 311, 179}},
      {"bottom-right narrower truncates", true, true, -10, {97, 50, 301, 173}},
      {"vertical movement only: unchanged", true, true, 0, kDefaultLandscape},
  };
  for (const auto& c : cases) {
    CardRect out = {};
    ASSERT_TRUE(ResizedSelection(kDefaultLandscape, c.right, c.bottom, c.dx, card,
                                 kInitialViewScale, &out))
        << c.label;
    EXPECT_EQ(out, c.resized) << c.label;
  }
}

TEST(ResizedSelection, WidthStaysWithinHalfToTwiceTheCard) {
  // The card is 214 pixels wide at 1/12: widths 107 to 428 are taken.
  const CardGeometry card = Card(0, kLandscape);
  const struct {
    int32_t dx;
    bool taken;
  } cases[] = {{214, true}, {215, false}, {-107, true}, {-108, false}, {400, false}, {-300, false}};
  for (const auto& c : cases) {
    const CardRect untouched = {1, 2, 3, 4};
    CardRect out = untouched;
    EXPECT_EQ(ResizedSelection(kDefaultLandscape, true, true, c.dx, card, kInitialViewScale, &out),
              c.taken)
        << c.dx;
    if (!c.taken) {
      EXPECT_EQ(out, untouched) << c.dx;
    }
  }
  CardRect widest = {};
  ASSERT_TRUE(ResizedSelection(kDefaultLandscape, true, true, 214, card, kInitialViewScale, &widest));
  EXPECT_EQ(widest, (CardRect{97, 50, 525, 308}));  // 428 × 55/91 = 258.68
}

TEST(ResizedSelection, PortraitHeightFollowsTheTallerProportion) {
  const CardGeometry card = Card(0, kPortrait);
  CardRect out = {};
  ASSERT_TRUE(ResizedSelection({140, 50, 269, 264}, true, true, 11, card, kInitialViewScale, &out));
  EXPECT_EQ(out, (CardRect{140, 50, 280, 281}));  // 140 × 91/55 = 231.6
}

// ---- cut rectangles -----------------------------------------------------------
TEST(CutRectangles, TrimFromTheSelectionAndBleedAtTheSameScale) {
  const CardGeometry card = Card(0, kLandscape);
  const CardRect trim = TrimRectFromSelection(kDefaultLandscape, 0, 10, kInitialViewScale);
  EXPECT_EQ(trim, (CardRect{1164, 480, 3732, 2028}));
  // 2568 × 2 / 91 = 56.4
  EXPECT_EQ(CutRectFromTrim(trim, card), (CardRect{1108, 424, 3788, 2084}));
  EXPECT_EQ(TrimRectInView(trim, 0, 10, kInitialViewScale), kDefaultLandscape);
}

TEST(CutRectangles, SelectionLeftOfTheImageGivesNegativePageCoordinates) {
  const CardRect trim = TrimRectFromSelection({5, 50, 219, 179}, 20, 0, kInitialViewScale);
  // −15 × 12 = −179.99999 with the float scale; adding 0.5 and truncating gives −179.
  EXPECT_EQ(trim, (CardRect{-179, 600, 2388, 2148}));
  EXPECT_EQ(CutRectFromTrim(trim, Card(0, kLandscape)), (CardRect{-235, 544, 2444, 2204}));
}

TEST(TrimAreaContains, StrictlyInsideTheUnroundedArea) {
  const CardRect trim = {1164, 480, 3732, 2028};  // 97, 40, 311, 169 at 1/12
  const float scale = kInitialViewScale;
  EXPECT_TRUE(TrimAreaContains(trim, 0, 10, scale, 200, 100));
  EXPECT_TRUE(TrimAreaContains(trim, 0, 10, scale, 98, 51));
  EXPECT_FALSE(TrimAreaContains(trim, 0, 10, scale, 97, 100));   // 1164/12 is 97.0000
  EXPECT_FALSE(TrimAreaContains(trim, 0, 10, scale, 200, 50));
  // The float scale puts the right and bottom edges a hair past 311 and 179.
  EXPECT_TRUE(TrimAreaContains(trim, 0, 10, scale, 311, 179));
  EXPECT_FALSE(TrimAreaContains(trim, 0, 10, scale, 312, 100));
  EXPECT_FALSE(TrimAreaContains(trim, 0, 10, scale, 200, 180));
}

// ---- preview marks -------------------------------------------------------------
TEST(PreviewMarksFor, BleedAtPreviewScaleAndTheOverrun) {
  // A landscape 普通名刺 image drawn across a 304-pixel-wide area.
  const PreviewMarks marks = PreviewMarksFor({20, 86, 324, 275}, Card(0, kLandscape));
  EXPECT_EQ(marks.bleed, 6);  // 304 × 2 / 95 = 6.4
  EXPECT_EQ(marks.overrun, 19);
  EXPECT_EQ(marks.trim, (CardRect{26, 92, 318, 269}));
  EXPECT_EQ(marks.inner, (CardRect{32, 98, 312, 263}));
}

}  // namespace
