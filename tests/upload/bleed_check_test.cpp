// Tests of the bleed check: band depths, edge scores and the warning text.
#include "upload/bleed_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "image/dib_image.h"

namespace {

constexpr char kTail[] =
    "　のフチで塗り足しができていない可能性があります。\nこのままアップロードを続けますか？";

// An image owned by the test.
struct Image {
  DibImage* image;
  DibLayout layout;

  Image(int32_t width, int32_t height, int32_t bits = 24) : image(DibCreate(width, height, bits)) {
    DibDescribe(image, &layout);
  }
  ~Image() { DibFree(image); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  void Fill(unsigned char r, unsigned char g, unsigned char b) {
    for (int32_t y = 0; y < layout.height; ++y) {
      for (int32_t x = 0; x < layout.width; ++x) Set(x, y, r, g, b);
    }
  }
  // Stored row y (row 0 is the bottom of the picture).
  void Set(int32_t x, int32_t y, unsigned char r, unsigned char g, unsigned char b) {
    ASSERT_EQ(DibSetPixel(layout.pixels, &layout, x, y, r, g, b, 0), 1);
  }
};

BleedScores Score(Image& image, float w = 91.0f, float h = 55.0f, float b = 2.0f) {
  BleedScores scores{-1, -1, -1, -1, -1, -1};
  EXPECT_TRUE(ScoreBleed(image.image, w, h, b, &scores));
  return scores;
}

std::string Warning(const BleedScores& scores, int* named = nullptr) {
  char text[512];
  std::memset(text, 'x', sizeof text);
  const int count = BleedWarningText(scores, text, sizeof text);
  if (named != nullptr) *named = count;
  return text;
}

// ---- BleedDepth ----

struct DepthCase {
  const char* label;
  int pixels;
  float cardMm;
  int depth;
};

TEST(BleedDepthTest, IsTheBleedShareOfTheAxisRounded) {
  const DepthCase cases[] = {
      {"default card, landscape width", 2693, 91.0f, 57},
      {"default card, landscape height", 1672, 55.0f, 57},
      {"default card, portrait width", 1672, 55.0f, 57},
      {"default card, portrait height", 2693, 91.0f, 57},
      {"3go card width", 2523, 85.0f, 57},
      {"rounds up at .5: 95 * 2 / 95 = 2", 95, 91.0f, 2},
      {"a tiny image", 10, 91.0f, 0},
      {"empty axis", 0, 55.0f, 0},
  };
  for (const DepthCase& c : cases) EXPECT_EQ(BleedDepth(c.pixels, c.cardMm, 2.0f), c.depth) << c.label;
}

TEST(BleedDepthTest, DefaultCardGives57OnBothAxesInBothOrientations) {
  Image landscape(2693, 1672);
  const BleedScores l = Score(landscape, 91.0f, 55.0f);
  EXPECT_EQ(l.dx, 57);
  EXPECT_EQ(l.dy, 57);
  Image portrait(1672, 2693);
  const BleedScores p = Score(portrait, 55.0f, 91.0f);
  EXPECT_EQ(p.dx, 57);
  EXPECT_EQ(p.dy, 57);
}

// ---- ScoreBleed ----

TEST(ScoreBleedTest, UniformCardScoresZeroAndAsksNothing) {
  Image card(2693, 1672);
  card.Fill(200, 30, 90);
  const BleedScores scores = Score(card);
  EXPECT_EQ(scores.top, 0.0f);
  EXPECT_EQ(scores.bottom, 0.0f);
  EXPECT_EQ(scores.left, 0.0f);
  EXPECT_EQ(scores.right, 0.0f);
  int named = -1;
  EXPECT_EQ(Warning(scores, &named), "");
  EXPECT_EQ(named, 0);
}

// A white card with a black rectangle whose sides lie on the trim line. Each
// edge compares white with black except over the corner stretches, where both
// pixels lie outside the rectangle: the top and bottom score (w − 2dx) / w and
// the sides (h − 2dy) / h of 100. (All four at exactly 100 cannot be: pixel
// (0, h−1−dy) is the top edge's inner pixel and the left edge's outer one.)
TEST(ScoreBleedTest, DesignStoppingAtTheTrimLineNamesEveryEdge) {
  const int32_t w = 2693;
  const int32_t h = 1672;
  Image card(w, h);
  card.Fill(255, 255, 255);
  const int dx = 57;
  const int dy = 57;
  for (int32_t y = dy; y <= h - 1 - dy; ++y) {
    for (int32_t x = dx; x <= w - 1 - dx; ++x) card.Set(x, y, 0, 0, 0);
  }
  const BleedScores scores = Score(card);
  ASSERT_EQ(scores.dx, dx);
  ASSERT_EQ(scores.dy, dy);
  const float across = 100.0f * (w - 2 * dx) / w;
  const float down = 100.0f * (h - 2 * dy) / h;
  EXPECT_NEAR(scores.top, across, 1e-3f);
  EXPECT_NEAR(scores.bottom, across, 1e-3f);
  EXPECT_NEAR(scores.left, down, 1e-3f);
  EXPECT_NEAR(scores.right, down, 1e-3f);
  int named = 0;
  EXPECT_EQ(Warning(scores, &named), std::string("上・下・左・右") + kTail);
  EXPECT_EQ(named, 4);
}

// Where every outer pixel is white and every inner one black, an edge scores
// 100: a black frame line along the trim line of one axis and white elsewhere.
TEST(ScoreBleedTest, FullContrastAcrossTheBandScores100) {
  const int32_t w = 2693;
  const int32_t h = 1672;
  Image across(w, h);
  across.Fill(255, 255, 255);
  for (int32_t x = 0; x < w; ++x) {
    across.Set(x, 57, 0, 0, 0);
    across.Set(x, h - 1 - 57, 0, 0, 0);
  }
  const BleedScores a = Score(across);
  EXPECT_NEAR(a.top, 100.0f, 1e-3f);
  EXPECT_NEAR(a.bottom, 100.0f, 1e-3f);
  Image down(w, h);
  down.Fill(255, 255, 255);
  for (int32_t y = 0; y < h; ++y) {
    down.Set(57, y, 0, 0, 0);
    down.Set(w - 1 - 57, y, 0, 0, 0);
  }
  const BleedScores d = Score(down);
  EXPECT_NEAR(d.left, 100.0f, 1e-3f);
  EXPECT_NEAR(d.right, 100.0f, 1e-3f);
}

// Each edge compares its own outer and inner pixels: a change on one edge's
// band names that edge alone.
TEST(ScoreBleedTest, EachEdgeReadsItsOwnPairOfPixels) {
  struct EdgeCase {
    const char* name;
    float BleedScores::*score;
  };
  const EdgeCase edges[] = {{"上", &BleedScores::top},
                            {"下", &BleedScores::bottom},
                            {"左", &BleedScores::left},
                            {"右", &BleedScores::right}};
  const int32_t w = 300;
  const int32_t h = 200;
  for (const EdgeCase& edge : edges) {
    Image card(w, h);
    card.Fill(255, 255, 255);
    const int dx = BleedDepth(w, 91.0f, 2.0f);
    const int dy = BleedDepth(h, 55.0f, 2.0f);
    // Darken only the trim-line pixels of one edge.
    if (edge.score == &BleedScores::top) {
      for (int32_t x = 0; x < w; ++x) card.Set(x, h - 1 - dy, 0, 0, 0);
    } else if (edge.score == &BleedScores::bottom) {
      for (int32_t x = 0; x < w; ++x) card.Set(x, dy, 0, 0, 0);
    } else if (edge.score == &BleedScores::left) {
      for (int32_t y = 0; y < h; ++y) card.Set(dx, y, 0, 0, 0);
    } else {
      for (int32_t y = 0; y < h; ++y) card.Set(w - 1 - dx, y, 0, 0, 0);
    }
    const BleedScores scores = Score(card);
    EXPECT_NEAR(scores.*edge.score, 100.0f, 1e-3f) << edge.name;
    int named = 0;
    EXPECT_EQ(Warning(scores, &named), std::string(edge.name) + kTail) << edge.name;
    EXPECT_EQ(named, 1) << edge.name;
  }
}

// The score is the mean channel difference in percent of 255: one channel
// changing by 255 on every pixel of an edge gives a third of 100.
TEST(ScoreBleedTest, ScoreIsTheMeanChannelDifferenceInPercent) {
  Image card(300, 200);
  card.Fill(0, 0, 0);
  const int dy = BleedDepth(200, 55.0f, 2.0f);
  for (int32_t x = 0; x < 300; ++x) card.Set(x, 199, 255, 0, 0);  // top row: red
  for (int32_t x = 0; x < 150; ++x) card.Set(x, dy, 0, 0, 51);     // half the inner bottom pixels
  const BleedScores scores = Score(card);
  EXPECT_NEAR(scores.top, 100.0f / 3.0f, 1e-3f);
  EXPECT_NEAR(scores.bottom, 51.0f / 3.0f / 2.0f / 2.55f, 1e-4f);
  EXPECT_EQ(scores.left, 0.0f);
  EXPECT_EQ(scores.right, 0.0f);
}

// 50 of 100 pixels differing by 153 in one channel: 7650 × 0.33333334 / 100 ×
// 0.39215687 comes to exactly 10.0 in single precision, which does not flag.
TEST(ScoreBleedTest, ExactlyTenIsNotNamed) {
  Image card(100, 80);
  card.Fill(0, 0, 0);
  for (int32_t x = 0; x < 50; ++x) card.Set(x, 79, 0, 0, 153);
  const BleedScores scores = Score(card);
  ASSERT_EQ(scores.top, 10.0f);
  int named = -1;
  EXPECT_EQ(Warning(scores, &named), "");
  EXPECT_EQ(named, 0);

  // One step more on a single pixel is above the limit.
  card.Set(50, 79, 0, 0, 3);
  const BleedScores above = Score(card);
  ASSERT_GT(above.top, 10.0f);
  EXPECT_EQ(Warning(above), std::string("上") + kTail);
}

// An axis no longer than its band depth has no trim-line pixel inside the
// image; its edges count as bled instead of reading outside the image. With
// real card sizes the depth is below half the axis, so this takes an empty
// axis or a card size of 0 (depth = half the axis, rounded up).
TEST(ScoreBleedTest, ImageNoLargerThanTheBandDepthCountsAsBled) {
  struct SmallCase {
    const char* label;
    int32_t width, height;
    float widthMm, heightMm;
    bool horizontalSkipped, verticalSkipped;
  };
  const SmallCase cases[] = {
      {"empty image", 0, 0, 91.0f, 55.0f, true, true},
      {"no columns", 0, 7, 91.0f, 55.0f, true, false},
      {"no rows", 7, 0, 91.0f, 55.0f, false, true},
      {"one pixel, card of size 0", 1, 1, 0.0f, 0.0f, true, true},
      {"one column, card width 0", 1, 40, 0.0f, 55.0f, true, false},
  };
  for (const SmallCase& c : cases) {
    Image card(c.width, c.height);
    // Stripes, so that any comparison that did happen would score.
    for (int32_t y = 0; y < c.height; ++y) {
      for (int32_t x = 0; x < c.width; ++x) {
        const unsigned char v = ((x + y) % 2) ? 255 : 0;
        card.Set(x, y, v, v, v);
      }
    }
    const BleedScores scores = Score(card, c.widthMm, c.heightMm, 2.0f);
    EXPECT_EQ(scores.dx >= c.width, c.horizontalSkipped) << c.label;
    EXPECT_EQ(scores.dy >= c.height, c.verticalSkipped) << c.label;
    if (c.horizontalSkipped) {
      EXPECT_EQ(scores.left, 0.0f) << c.label;
      EXPECT_EQ(scores.right, 0.0f) << c.label;
    }
    if (c.verticalSkipped) {
      EXPECT_EQ(scores.top, 0.0f) << c.label;
      EXPECT_EQ(scores.bottom, 0.0f) << c.label;
    }
    if (c.horizontalSkipped && c.verticalSkipped) {
      EXPECT_EQ(Warning(scores), "") << c.label;
    }
  }
}

// The image is read as 24 bits whatever its header says; reads that would
// leave the block are skipped instead of running past it.
TEST(ScoreBleedTest, NarrowBitCountsAreReadWithinTheBlock) {
  Image card(64, 64, 8);
  BleedScores scores;
  EXPECT_TRUE(ScoreBleed(card.image, 91.0f, 55.0f, 2.0f, &scores));
  EXPECT_EQ(scores.top, 0.0f);
}

TEST(ScoreBleedTest, NoImageGivesNoScores) {
  BleedScores scores;
  EXPECT_FALSE(ScoreBleed(nullptr, 91.0f, 55.0f, 2.0f, &scores));
}

// ---- BleedWarningText ----

TEST(BleedWarningTextTest, NamesFlaggedEdgesInOrderWithTheSeparator) {
  struct TextCase {
    BleedScores scores;
    const char* names;
  };
  const TextCase cases[] = {
      {{50, 0, 11, 0, 57, 57}, "上・左"},
      {{0, 10.5f, 0, 99, 57, 57}, "下・右"},
      {{10.0f, 10.0f, 10.0f, 10.0001f, 57, 57}, "右"},
      {{100, 100, 100, 100, 57, 57}, "上・下・左・右"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(Warning(c.scores), std::string(c.names) + kTail);
}

TEST(BleedWarningTextTest, NotANumberNeverFlags) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Warning(BleedScores{nan, nan, nan, nan, 0, 0}), "");
}

TEST(BleedWarningTextTest, TextIsShiftJis) {
  // "上" is 0x8F 0xE3 and the full-width space of the tail 0x81 0x40 in code page 932.
  const std::string text = Warning(BleedScores{50, 0, 0, 0, 57, 57});
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 0x8F);
  EXPECT_EQ(static_cast<unsigned char>(text[1]), 0xE3);
  EXPECT_EQ(static_cast<unsigned char>(text[2]), 0x81);
  EXPECT_EQ(static_cast<unsigned char>(text[3]), 0x40);
  EXPECT_NE(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
