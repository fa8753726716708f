// Tests of the safe-area check: which edges of a cut card have content less
// than 3 mm inside the trim line, and the warning text.
#include "upload/safe_area_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "image/dib_image.h"

namespace {

// The default cut: 普通名刺 landscape with 2 mm bleed, 2693 × 1672 pixels,
// stored bottom-up as the cut makes it. The trim line lies 57 pixels inside
// every edge, the safe band is 85 pixels (3 mm) deep, 1 mm is 28 pixels.
constexpr int32_t kWidth = 2693;
constexpr int32_t kHeight = 1672;
constexpr int32_t kTrim = 57;
constexpr int32_t kMm = 28;

struct Rgb {
  unsigned char r, g, b;
};

// A cut card image owned by the test, drawn in lines from the top.
struct Card {
  DibImage* image;
  DibLayout layout;

  explicit Card(Rgb background = {255, 255, 255}) : image(DibCreate(kWidth, kHeight, 24)) {
    DibDescribe(image, &layout);
    Fill(0, 0, kWidth, kHeight, background);
  }
  ~Card() { DibFree(image); }
  Card(const Card&) = delete;
  Card& operator=(const Card&) = delete;

  unsigned char* At(int32_t x, int32_t y) {
    return layout.pixels + static_cast<int64_t>(kHeight - 1 - y) * layout.stride + 3 * x;
  }
  void Set(int32_t x, int32_t y, Rgb c) {
    unsigned char* p = At(x, y);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  void Fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c) {
    for (int32_t y = std::max(0, y0); y < std::min(kHeight, y1); ++y) {
      for (int32_t x = std::max(0, x0); x < std::min(kWidth, x1); ++x) Set(x, y, c);
    }
  }
  // Every pixel from a function of its place.
  void Paint(const std::function<Rgb(int32_t, int32_t)>& colour) {
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) Set(x, y, colour(x, y));
    }
  }
  // A line of "text" from (x, y): letters 60 pixels high (about 6 points)
  // with strokes 8 pixels wide, `length` pixels long, across or down.
  void Text(int32_t x, int32_t y, int32_t length, bool down = false) {
    const Rgb ink = {20, 20, 30};
    for (int32_t t = 0; t + 40 <= length; t += 52) {
      if (!down) {
        Fill(x + t, y, x + t + 8, y + 60, ink);
        Fill(x + t + 32, y, x + t + 40, y + 60, ink);
        Fill(x + t, y + 26, x + t + 40, y + 34, ink);
      } else {
        Fill(x, y + t, x + 60, y + t + 8, ink);
        Fill(x, y + t + 32, x + 60, y + t + 40, ink);
        Fill(x + 26, y + t, x + 34, y + t + 40, ink);
      }
    }
  }
  uint32_t Check() { return CheckSafeArea(image, 91.0f, 55.0f, 2.0f); }
};

std::string Names(uint32_t edges) {
  std::string s;
  if (edges & kSafeAreaTop) s += "top ";
  if (edges & kSafeAreaBottom) s += "bottom ";
  if (edges & kSafeAreaLeft) s += "left ";
  if (edges & kSafeAreaRight) s += "right ";
  return s.empty() ? "none" : s;
}

// ---------------------------------------------------------------------------
// SafeAreaGeometryFor

TEST(SafeAreaGeometryFor, TakesTheBleedAndTheBandAtTheCardsScale) {
  const SafeAreaGeometry g = SafeAreaGeometryFor(kWidth, kHeight, 91.0f, 55.0f, 2.0f);
  EXPECT_EQ(g.bleedX, kTrim);
  EXPECT_EQ(g.bleedY, kTrim);
  EXPECT_EQ(g.safeX, 85);
  EXPECT_EQ(g.safeY, 85);
  EXPECT_EQ(g.minContentPixels, 40);  // 0.05 mm² at 28.35 pixels per mm
  EXPECT_EQ(g.trimSlack, 3);          // 0.1 mm
  const SafeAreaGeometry portrait = SafeAreaGeometryFor(kHeight, kWidth, 55.0f, 91.0f, 2.0f);
  EXPECT_EQ(portrait.bleedX, kTrim);
  EXPECT_EQ(portrait.safeY, 85);
}

// ---------------------------------------------------------------------------
// CheckSafeArea

// Text 1 mm inside one edge names that edge and only that edge.
TEST(CheckSafeArea, TextOneMillimetreInsideNamesThatEdgeOnly) {
  const int32_t in = kTrim + kMm;  // 1 mm inside the trim line
  struct Case {
    const char* what;
    std::function<void(Card&)> draw;
    uint32_t edges;
  } cases[] = {
      {"left", [&](Card& c) { c.Text(in, 700, 900); }, kSafeAreaLeft},
      {"right", [&](Card& c) { c.Text(kWidth - in - 60, 500, 700, true); }, kSafeAreaRight},
      {"top", [&](Card& c) { c.Text(900, in, 900); }, kSafeAreaTop},
      {"bottom", [&](Card& c) { c.Text(900, kHeight - in - 60, 900); }, kSafeAreaBottom},
      {"top left corner", [&](Card& c) { c.Text(in, in, 300); }, kSafeAreaTop | kSafeAreaLeft},
      {"left, 2.5 mm inside", [&](Card& c) { c.Text(kTrim + 71, 700, 900); }, kSafeAreaLeft},
      {"left, on a coloured card with noise",
       [&](Card& c) {
         std::mt19937 random(3);
         c.Paint([&](int32_t, int32_t) {
           const int n = static_cast<int>(random() % 17) - 8;
           return Rgb{static_cast<unsigned char>(200 + n), static_cast<unsigned char>(230 + n),
                      static_cast<unsigned char>(240 + n)};
         });
         c.Text(in, 600, 600);
       },
       kSafeAreaLeft},
  };
  for (const auto& c : cases) {
    Card card;
    c.draw(card);
    EXPECT_EQ(Names(card.Check()), Names(c.edges)) << c.what;
  }
}

// What must not warn: content 3 mm or more inside, and every kind of
// background that runs out into the bleed.
TEST(CheckSafeArea, BackgroundsAndContentWellInsideDoNotWarn) {
  struct Case {
    const char* what;
    std::function<void(Card&)> draw;
  } cases[] = {
      {"uniform white card", [](Card&) {}},
      {"uniform dark card", [](Card& c) { c.Fill(0, 0, kWidth, kHeight, {20, 40, 90}); }},
      {"text 4 mm inside every edge",
       [](Card& c) {
         const int32_t in = kTrim + 4 * kMm + 2;
         c.Text(in, 600, 800);
         c.Text(kWidth - in - 60, 500, 600, true);
         c.Text(900, in, 800);
         c.Text(900, kHeight - in - 60, 800);
       }},
      {"text exactly 3 mm inside the left edge", [](Card& c) { c.Text(kTrim + 85, 700, 900); }},
      {"photo through the bleed",
       [](Card& c) {
         std::mt19937 random(11);
         c.Paint([&](int32_t x, int32_t y) {
           const double u = x / 300.0, v = y / 240.0;
           const int n = static_cast<int>(random() % 13) - 6;
           const double r = 128 + 90 * std::sin(u) * std::cos(v * 0.7);
           const double g = 120 + 80 * std::sin(u * 0.5 + v);
           const double b = 110 + 100 * std::cos(u * 0.8 - v * 0.6);
           return Rgb{static_cast<unsigned char>(r + n), static_cast<unsigned char>(g + n),
                      static_cast<unsigned char>(b + n)};
         });
       }},
      {"two colours, boundary straight across the top and bottom edges",
       [](Card& c) { c.Fill(1300, 0, kWidth, kHeight, {200, 30, 40}); }},
      {"two colours, soft slanted boundary across the left and top edges",
       [](Card& c) {
         c.Paint([](int32_t x, int32_t y) {
           // Coverage of the red side by a line at 30° through (600, 0).
           const double d = (x + 0.5 - 600.0) * 0.866 - (y + 0.5) * 0.5;
           const double t = std::min(1.0, std::max(0.0, d + 0.5));
           return Rgb{static_cast<unsigned char>(255 - t * 55),
                      static_cast<unsigned char>(255 - t * 225),
                      static_cast<unsigned char>(255 - t * 215)};
         });
       }},
      {"a band across the card",
       [](Card& c) { c.Fill(0, 400, kWidth, 640, {0, 120, 60}); }},
      {"a band along the top ending 1 mm inside the trim",
       [](Card& c) { c.Fill(0, 0, kWidth, kTrim + kMm, {0, 120, 60}); }},
      {"a logo running out into the bleed",
       [](Card& c) { c.Fill(-10, 700, kTrim + 150, 900, {240, 120, 0}); }},
      {"a background without bleed (the bleed check's case)",
       [](Card& c) { c.Fill(kTrim, kTrim, kWidth - kTrim, kHeight - kTrim, {30, 60, 160}); }},
      {"a background without bleed, cut two pixels too large",
       [](Card& c) {
         c.Fill(kTrim + 2, kTrim + 2, kWidth - kTrim - 2, kHeight - kTrim - 2, {30, 60, 160});
       }},
  };
  for (const auto& c : cases) {
    Card card;
    c.draw(card);
    EXPECT_EQ(Names(card.Check()), "none") << c.what;
  }
}

// Text on a photo that runs into the bleed still warns on its edge.
TEST(CheckSafeArea, TextOnAPhotoWarns) {
  Card card;
  card.Paint([](int32_t x, int32_t y) {
    return Rgb{static_cast<unsigned char>(160 + 60 * std::sin(x / 200.0)),
               static_cast<unsigned char>(200 + 40 * std::cos(y / 150.0)), 230};
  });
  card.Text(kWidth - kTrim - kMm - 60, 400, 600, true);
  EXPECT_EQ(Names(card.Check()), Names(kSafeAreaRight));
}

TEST(CheckSafeArea, NothingToCheckWithoutAnImage) {
  EXPECT_EQ(CheckSafeArea(nullptr, 91.0f, 55.0f, 2.0f), 0u);
  DibImage* tiny = DibCreate(100, 60, 24);
  EXPECT_EQ(CheckSafeArea(tiny, 91.0f, 55.0f, 2.0f), 0u);  // too small for its bands
  DibFree(tiny);
}

// ---------------------------------------------------------------------------
// SafeAreaWarningText

TEST(SafeAreaWarningText, NamesTheEdgesInOrder) {
  const std::string tail = kSafeAreaMessageTail;
  struct Case {
    uint32_t edges;
    int named;
    std::string text;
  } cases[] = {
      {0, 0, ""},
      {kSafeAreaLeft, 1, "左" + tail},
      {kSafeAreaTop | kSafeAreaLeft, 2, "上・左" + tail},
      {kSafeAreaRight | kSafeAreaBottom, 2, "下・右" + tail},
      {kSafeAreaTop | kSafeAreaBottom | kSafeAreaLeft | kSafeAreaRight, 4, "上・下・左・右" + tail},
  };
  for (const Case& c : cases) {
    char out[512] = "junk";
    EXPECT_EQ(SafeAreaWarningText(c.edges, out, sizeof out), c.named);
    EXPECT_EQ(std::string(out), c.text);
  }
  // A short buffer is cut between characters, never overrun: "上" (2 bytes),
  // the ideographic space (2) and "の" (2) fit in 8 bytes with the null,
  // the next double-byte character does not.
  char shortOut[8];
  EXPECT_EQ(SafeAreaWarningText(kSafeAreaTop, shortOut, sizeof shortOut), 1);
  EXPECT_EQ(std::string(shortOut), std::string("上　の"));
  EXPECT_EQ(SafeAreaWarningText(kSafeAreaTop, nullptr, 0), 0);
}

}  // namespace
