// Geometry of the card cut editor. Every product and quotient is worked out
// in double precision from the single-precision settings and view scale, and
// only the final result is rounded or truncated.
#include "editor/card_geometry.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

// Truncation toward zero, clamped to the 32-bit range (NaN gives 0).
int32_t TruncClamped(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Integer sums that cannot wrap: pixel coordinates far off the page are
// clamped instead.
int32_t AddClamped(int64_t a, int64_t b) {
  const int64_t sum = a + b;
  if (sum > INT32_MAX) return INT32_MAX;
  if (sum < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(sum);
}

double AspectRatio(const CardGeometry& card) {
  return static_cast<double>(card.cardHeightMm) / static_cast<double>(card.cardWidthMm);
}

}  // namespace

int32_t RoundHalfUp(double v) {
  return TruncClamped(v + 0.5);
}

int32_t PageToView(int32_t page, int32_t origin, float viewScale) {
  return AddClamped(origin, RoundHalfUp(static_cast<double>(page) * viewScale));
}

int32_t ViewToPage(int32_t view, int32_t origin, float viewScale) {
  return RoundHalfUp((static_cast<double>(view) - origin) / static_cast<double>(viewScale));
}

float FitViewScale(int32_t clientWidth, int32_t clientHeight, int32_t pageWidth,
                   int32_t pageAbsHeight) {
  if (pageWidth <= 0 || pageAbsHeight <= 0) return 0.0f;
  const double across = static_cast<double>(clientWidth) / pageWidth;
  const double down = static_cast<double>(clientHeight) / pageAbsHeight;
  return static_cast<float>(down < across ? down : across);
}

int32_t NominalSelectionWidth(const CardGeometry& card, float viewScale) {
  return TruncClamped(static_cast<double>(card.pixelsPerMm) * card.cardWidthMm * viewScale);
}

CardRect DefaultSelection(int32_t clientWidth, const CardGeometry& card, float viewScale) {
  const int32_t width = NominalSelectionWidth(card, viewScale);
  const int32_t height =
      TruncClamped(static_cast<double>(card.pixelsPerMm) * card.cardHeightMm * viewScale);
  CardRect selection;
  selection.left = static_cast<int32_t>((static_cast<int64_t>(clientWidth) - width) / 2);
  selection.right = AddClamped(selection.left, width);
  selection.top = kDefaultSelectionTop;
  selection.bottom = AddClamped(height, kDefaultSelectionTop);
  return selection;
}

int32_t SelectionHandleSize(const CardRect& selection, const CardGeometry& card) {
  const double width = static_cast<double>(selection.right) - selection.left;
  const int32_t size = RoundHalfUp(width * card.bleedMm / static_cast<double>(card.cardWidthMm));
  return size < 2 ? 2 : size;
}

bool InHandleSquare(const CardRect& s, int32_t handleSize, SelectionZone corner, int32_t x,
                    int32_t y, bool edges) {
  const int64_t h = handleSize;
  const bool right = corner == ZoneTopRight || corner == ZoneBottomRight;
  const bool bottom = corner == ZoneBottomLeft || corner == ZoneBottomRight;
  const int64_t left = right ? s.right : s.left - h;
  const int64_t top = bottom ? s.bottom : s.top - h;
  if (edges) return left <= x && x <= left + h && top <= y && y <= top + h;
  return left < x && x < left + h && top < y && y < top + h;
}

SelectionZone HitSelection(const CardRect& s, int32_t handleSize, int32_t x, int32_t y) {
  for (SelectionZone corner : {ZoneTopLeft, ZoneTopRight, ZoneBottomLeft, ZoneBottomRight}) {
    if (InHandleSquare(s, handleSize, corner, x, y, true)) return corner;
  }
  if (s.left < x && x < s.right && s.top < y && y < s.bottom) return ZoneInside;
  return ZoneNone;
}

CardRect MovedSelection(const CardRect& start, int32_t x0, int32_t y0, int32_t x, int32_t y,
                        bool oneAxis) {
  if (oneAxis) {
    if (std::llabs(static_cast<int64_t>(x) - x0) > std::llabs(static_cast<int64_t>(y) - y0)) {
      y = y0;
    } else {
      x = x0;
    }
  }
  const int64_t dx = static_cast<int64_t>(x) - x0;
  const int64_t dy = static_cast<int64_t>(y) - y0;
  return {AddClamped(start.left, dx), AddClamped(start.top, dy), AddClamped(start.right, dx),
          AddClamped(start.bottom, dy)};
}

bool ResizedSelection(const CardRect& start, bool grabRight, bool grabBottom, int32_t dx,
                      const CardGeometry& card, float viewScale, CardRect* out) {
  const int32_t signX = grabRight ? 1 : -1;
  const int32_t signY = grabBottom ? 1 : -1;
  CardRect next;
  next.left = grabRight ? start.left : AddClamped(start.left, dx);
  next.right = grabRight ? AddClamped(start.right, dx) : start.right;
  next.top = grabBottom
                 ? start.top
                 : AddClamped(start.top, TruncClamped(signX * signY * AspectRatio(card) * dx));
  const int64_t width = static_cast<int64_t>(next.right) - next.left;
  next.bottom = AddClamped(
      next.top, TruncClamped(static_cast<double>(width) * card.cardHeightMm / card.cardWidthMm));
  const int64_t nominal = NominalSelectionWidth(card, viewScale);
  if (width < nominal / 2 || width > 2 * nominal) return false;
  *out = next;
  return true;
}

CardRect TrimRectFromSelection(const CardRect& selection, int32_t imageLeft, int32_t imageTop,
                               float viewScale) {
  return {ViewToPage(selection.left, imageLeft, viewScale),
          ViewToPage(selection.top, imageTop, viewScale),
          ViewToPage(selection.right, imageLeft, viewScale),
          ViewToPage(selection.bottom, imageTop, viewScale)};
}

CardRect CutRectFromTrim(const CardRect& trim, const CardGeometry& card) {
  const double width = static_cast<double>(trim.right) - trim.left;
  const int32_t bleed = RoundHalfUp(width * card.bleedMm / static_cast<double>(card.cardWidthMm));
  return {AddClamped(trim.left, -static_cast<int64_t>(bleed)),
          AddClamped(trim.top, -static_cast<int64_t>(bleed)), AddClamped(trim.right, bleed),
          AddClamped(trim.bottom, bleed)};
}

void CutImageSize(const CardGeometry& card, int32_t* width, int32_t* height) {
  const double bleeds = 2.0 * card.bleedMm;
  *width = RoundHalfUp((card.cardWidthMm + bleeds) * card.pixelsPerMm);
  *height = RoundHalfUp((card.cardHeightMm + bleeds) * card.pixelsPerMm);
}

CardRect TrimRectInView(const CardRect& trim, int32_t imageLeft, int32_t imageTop, float viewScale) {
  return {PageToView(trim.left, imageLeft, viewScale), PageToView(trim.top, imageTop, viewScale),
          PageToView(trim.right, imageLeft, viewScale),
          PageToView(trim.bottom, imageTop, viewScale)};
}

bool TrimAreaContains(const CardRect& trim, int32_t imageLeft, int32_t imageTop, float viewScale,
                      int32_t x, int32_t y) {
  const double scale = viewScale;
  return imageLeft + trim.left * scale < x && x < imageLeft + trim.right * scale &&
         imageTop + trim.top * scale < y && y < imageTop + trim.bottom * scale;
}

PreviewMarks PreviewMarksFor(const CardRect& drawn, const CardGeometry& card) {
  const double width = static_cast<double>(drawn.right) - drawn.left;
  PreviewMarks marks;
  marks.bleed = RoundHalfUp(width * card.bleedMm /
                            (static_cast<double>(card.cardWidthMm) + 2.0 * card.bleedMm));
  marks.overrun = 2 * marks.bleed + 7;
  const int32_t c = marks.bleed;
  marks.trim = {drawn.left + c, drawn.top + c, drawn.right - c, drawn.bottom - c};
  marks.inner = {marks.trim.left + c, marks.trim.top + c, marks.trim.right - c,
                 marks.trim.bottom - c};
  return marks;
}
