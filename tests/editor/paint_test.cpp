// Tests of the drawing helpers on a memory canvas under Wine.
#include "editor/paint.h"

#include <gtest/gtest.h>

#include "editor/win_canvas.h"
#include "image/dib_image.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A 24-bit image whose upper half (as seen) is red and lower half blue,
// stored top-down or bottom-up.
DibImage* TwoBandImage(int width, int height, bool topDown) {
  DibImage* image = DibCreate(width, topDown ? -height : height, 24);
  DibLayout layout;
  DibDescribe(image, &layout);
  for (int line = 0; line < height; ++line) {
    const int stored = topDown ? line : height - 1 - line;
    const bool upper = line < height / 2;
    for (int x = 0; x < width; ++x) {
      DibSetPixel(layout.pixels, &layout, x, stored, upper ? 255 : 0, 0, upper ? 0 : 255, 0);
    }
  }
  return image;
}

// ---- PaintImageFit ----------------------------------------------------------
TEST(PaintImageFit, WideImageInSquareFillsTheWidthCentredAndUpright) {
  for (bool topDown : {true, false}) {
    SCOPED_TRACE(topDown ? "top-down image" : "bottom-up image");
    Canvas canvas(200, 200);
    DibImage* image = TwoBandImage(100, 50, topDown);
    RECT rect = {0, 0, 200, 200};
    EXPECT_EQ(PaintImageFit(canvas.dc(), image, &rect), 2.0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 200);
    EXPECT_EQ(rect.bottom, 150);
    EXPECT_EQ(GetStretchBltMode(canvas.dc()), HALFTONE);
    EXPECT_EQ(canvas.At(100, 20), kWhite);   // above the image: untouched
    EXPECT_EQ(canvas.At(100, 70), kRed);     // upper band
    EXPECT_EQ(canvas.At(100, 130), kBlue);   // lower band
    EXPECT_EQ(canvas.At(100, 180), kWhite);  // below the image
    EXPECT_EQ(canvas.At(2, 60), kRed);
    EXPECT_EQ(canvas.At(197, 140), kBlue);
    DibFree(image);
  }
}

TEST(PaintImageFit, NothingToDrawLeavesRectangleAndCanvasAlone) {
  DibImage* noWidth = DibCreate(0, 50, 24);
  DibImage* noHeight = DibCreate(50, 0, 24);
  for (DibImage* image : {static_cast<DibImage*>(nullptr), noWidth, noHeight}) {
    Canvas canvas(64, 64);
    RECT rect = {3, 4, 60, 50};
    EXPECT_EQ(PaintImageFit(canvas.dc(), image, &rect), 0.0);
    EXPECT_EQ(rect.left, 3);
    EXPECT_EQ(rect.top, 4);
    EXPECT_EQ(rect.right, 60);
    EXPECT_EQ(rect.bottom, 50);
    EXPECT_EQ(canvas.At(30, 30), kWhite);
  }
  DibFree(noWidth);
  DibFree(noHeight);
}

TEST(PaintImageFit, ScaleIsDrawnWidthOverImageWidth) {
  Canvas canvas(400, 400);
  DibImage* image = TwoBandImage(1672, 2693, true);  // a portrait card
  RECT rect = {20, 20, 324, 324};
  const double scale = PaintImageFit(canvas.dc(), image, &rect);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.bottom, 324);
  EXPECT_DOUBLE_EQ(scale, static_cast<double>(rect.right - rect.left) / 1672);
  EXPECT_EQ(canvas.At(172, 60), kRed);
  DibFree(image);
}

// ---- PaintFrame -----------------------------------------------------------------
// True when pixel (x, y) lies on the outline of the square 5..10.
bool OnFrame(int x, int y) {
  const bool inX = x >= 5 && x <= 10;
  const bool inY = y >= 5 && y <= 10;
  return (inX && (y == 5 || y == 10)) || (inY && (x == 5 || x == 10));
}

TEST(PaintFrame, CornersInAnyOrderCoverBothCornersInclusive) {
  const int corners[][4] = {{10, 10, 5, 5}, {5, 5, 10, 10}, {10, 5, 5, 10}};
  for (const auto& c : corners) {
    Canvas canvas(16, 16);
    EXPECT_EQ(PaintFrame(canvas.dc(), c[0], c[1], c[2], c[3], 0, 1, PS_SOLID), 1);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(canvas.At(x, y), OnFrame(x, y) ? RGB(0, 0, 0) : kWhite)
            << "corners " << c[0] << "," << c[1] << "," << c[2] << "," << c[3] << " pixel " << x
            << "," << y;
      }
    }
  }
}

}  // namespace
