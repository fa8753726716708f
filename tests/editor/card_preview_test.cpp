// Tests of the card preview: its painting on a memory canvas and the window.
#include "editor/card_preview.h"

#include <gtest/gtest.h>

#include "job/card_job.h"
#include "editor/fit_rect.h"
#include "editor/win_canvas.h"
#include "image/dib_image.h"
#include "support/win_test_util.h"

namespace {

constexpr COLORREF kDark = RGB(160, 160, 160);
constexpr COLORREF kLight = RGB(170, 170, 170);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kCardColour = RGB(250, 240, 200);
constexpr int kSize = 344;  // client area of a preview placed with 346 × 346 pixels

CardGeometry Card(float widthMm, float heightMm) {
  return {widthMm, heightMm, 2.0f, 28.346457f};
}

DibImage* PlainImage(int width, int height) {
  DibImage* image = DibCreate(width, height, 24);
  DibLayout layout;
  DibDescribe(image, &layout);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      DibSetPixel(layout.pixels, &layout, x, y, GetRValue(kCardColour), GetGValue(kCardColour),
                  GetBValue(kCardColour), 0);
    }
  }
  return image;
}

// Where a cut of width × height is drawn inside the 20-pixel margin.
CardRect DrawnRect(int width, int height) {
  int32_t rect[4] = {20, 20, kSize - 20, kSize - 20};
  FitImageRect(width, height, rect);
  return {rect[0], rect[1], rect[2], rect[3]};
}

// ---- checkerboard -------------------------------------------------------------
TEST(PaintCardPreview, EmptySideShowsOnlyTheCheckerboard) {
  Canvas canvas(kSize, kSize, RGB(255, 255, 255));
  PaintCardPreview(canvas.dc(), {0, 0, kSize, kSize}, nullptr, Card(91, 55));
  // Cells of 43 × 43 pixels, the darker grey at the top-left.
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 8; ++column) {
      EXPECT_EQ(canvas.At(column * 43 + 21, row * 43 + 21), (row + column) % 2 ? kLight : kDark)
          << "cell " << column << "," << row;
    }
  }
  for (int i = 0; i < kSize; ++i) {
    const COLORREF diagonal = canvas.At(i, i);
    EXPECT_TRUE(diagonal == kDark || diagonal == kLight) << i;
  }
}

// ---- card image and marks -------------------------------------------------------
TEST(PaintCardPreview, LandscapeCardFullWidthWithTrimAndSafetyMarks) {
  Canvas canvas(kSize, kSize, RGB(255, 255, 255));
  DibImage* image = PlainImage(2693, 1672);
  const CardGeometry card = Card(91, 55);
  PaintCardPreview(canvas.dc(), {0, 0, kSize, kSize}, image, card);
  const CardRect drawn = DrawnRect(2693, 1672);
  ASSERT_EQ(drawn.left, 20);
  ASSERT_EQ(drawn.right, kSize - 20);
  const PreviewMarks marks = PreviewMarksFor(drawn, card);
  EXPECT_EQ(marks.bleed, 6);  // 304 × 2 / 95 = 6.4
  const CardRect& t = marks.trim;
  const int f = marks.overrun;

  // The card fills the drawn area between the marks.
  EXPECT_EQ(canvas.At((drawn.left + drawn.right) / 2, (drawn.top + drawn.bottom) / 2), kCardColour);
  EXPECT_EQ(canvas.At(drawn.left + 2, drawn.top + 2), kCardColour);
  // Above and below the card, the checkerboard.
  const COLORREF above = canvas.At(170, drawn.top - 30);
  EXPECT_TRUE(above == kDark || above == kLight);

  // Solid trim lines, running f pixels past the corners (the end point excluded).
  for (int x : {t.left - f, t.left - 1, t.left + 10, t.right, t.right + f - 1}) {
    EXPECT_EQ(canvas.At(x, t.top), kBlack) << "top line at x " << x;
    EXPECT_EQ(canvas.At(x, t.bottom), kBlack) << "bottom line at x " << x;
  }
  for (int y : {t.top - f, t.top + 10, t.bottom + f - 1}) {
    EXPECT_EQ(canvas.At(t.left, y), kBlack) << "left line at y " << y;
    EXPECT_EQ(canvas.At(t.right, y), kBlack) << "right line at y " << y;
  }
  EXPECT_NE(canvas.At(t.left - f - 1, t.top), kBlack);
  EXPECT_NE(canvas.At(t.left, t.bottom + f), kBlack);
  EXPECT_NE(canvas.At(t.left + 10, t.top + 1), kBlack);

  // Dotted safety marks: some but not all pixels along each run from a corner of inner.
  const CardRect& n = marks.inner;
  struct Run {
    int x, y, dx, dy;
  } runs[] = {{n.left, n.top, -1, 0},  {n.left, n.top, 0, -1},  {n.right, n.top, 1, 0},
              {n.right, n.top, 0, -1}, {n.left, n.bottom, -1, 0}, {n.left, n.bottom, 0, 1},
              {n.right, n.bottom, 1, 0}, {n.right, n.bottom, 0, 1}};
  for (const Run& run : runs) {
    int black = 0;
    for (int k = 0; k < f; ++k) {
      black += canvas.At(run.x + k * run.dx, run.y + k * run.dy) == kBlack;
    }
    EXPECT_GT(black, 1) << "run from " << run.x << "," << run.y;
    EXPECT_LT(black, f) << "run from " << run.x << "," << run.y;
    // Nothing beyond the run's length.
    EXPECT_NE(canvas.At(run.x + (f + 1) * run.dx, run.y + (f + 1) * run.dy), kBlack);
  }
  // Inside the safety margin the card is unmarked.
  EXPECT_EQ(canvas.At(n.left + 3, n.top + 3), kCardColour);
  DibFree(image);
}

TEST(PaintCardPreview, PortraitCardFullHeightCentredAcross) {
  Canvas canvas(kSize, kSize, RGB(255, 255, 255));
  DibImage* image = PlainImage(1672, 2693);
  PaintCardPreview(canvas.dc(), {0, 0, kSize, kSize}, image, Card(55, 91));
  const CardRect drawn = DrawnRect(1672, 2693);
  EXPECT_EQ(drawn.top, 20);
  EXPECT_EQ(drawn.bottom, kSize - 20);
  EXPECT_EQ(canvas.At(kSize / 2, 25), kCardColour);
  EXPECT_NE(canvas.At(drawn.left - 30, kSize / 2), kCardColour);
  const PreviewMarks marks = PreviewMarksFor(drawn, Card(55, 91));
  EXPECT_EQ(canvas.At(marks.trim.left, kSize / 2), kBlack);
  EXPECT_EQ(canvas.At(marks.trim.right, kSize / 2), kBlack);
  DibFree(image);
}

// ---- the window -----------------------------------------------------------------------
TEST(CardPreviewWindow, KeepsItsSideAsPropertyAndHasA344PixelClient) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "CardPreviewTestParent";
  RegisterClassA(&windowClass);
  HWND parent = CreateWindowExA(0, windowClass.lpszClassName, "parent", WS_POPUP | WS_VISIBLE, 0, 0,
                                400, 400, nullptr, nullptr, windowClass.hInstance, nullptr);
  CardSide side = {-1, {}, {}, nullptr};
  CardJob job;
  InitCardJob(&job, "C:\\prog");
  const CardPreviewLinks links = {&side, &job};
  HWND preview = CreateDialogParamA(GetModuleHandleA(nullptr), "CARDDLG", parent, CardPreviewProc,
                                    reinterpret_cast<LPARAM>(&links));
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(GetPropA(preview, kCardPreviewProp), &side);
  MoveWindow(preview, 10, 10, 346, 346, TRUE);
  RECT client;
  GetClientRect(preview, &client);
  EXPECT_EQ(client.right, kSize);
  EXPECT_EQ(client.bottom, kSize);
  UpdateWindow(preview);
  PumpMessages();
  DestroyWindow(preview);
  ShowWindow(parent, SW_HIDE);
}

}  // namespace
