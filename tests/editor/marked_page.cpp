// Pages drawn from known geometry for the card finder.
#include "editor/marked_page.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "image/dib_image.h"

namespace {

// Line y from the top of the page, whatever the row order.
unsigned char* LineFromTop(const DibLayout& layout, int32_t y) {
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  const int32_t stored = layout.height < 0 ? y : rows - 1 - y;
  return layout.pixels + static_cast<int64_t>(stored) * layout.stride;
}

// One stroke of `width` centred on a line: along [from, to] (either order),
// across centred on `line` as the finder's rule has it (first pixel at
// line − width / 2), with square ends half a width long.
void Stroke(DibImage* page, bool vertical, int32_t line, int32_t from, int32_t to, int32_t width,
            const Turn& turn) {
  const int32_t a = std::min(from, to) - width / 2;
  const int32_t b = std::max(from, to) + (width - width / 2);
  const int32_t c0 = line - width / 2;
  const int32_t c1 = c0 + width;
  const Rgb black = {0, 0, 0};
  if (vertical) {
    FillArea(page, c0, a, c1, b, black, turn);
  } else {
    FillArea(page, a, c0, b, c1, black, turn);
  }
}

}  // namespace

DibImage* MakeWhitePage(int32_t width, int32_t height, bool topDown) {
  DibImage* page = DibCreate(width, topDown ? -height : height, 24);
  if (!page) return nullptr;
  DibLayout layout;
  DibDescribe(page, &layout);
  std::memset(layout.pixels, 255, static_cast<size_t>(layout.stride) * height);
  return page;
}

void FillArea(DibImage* page, double x0, double y0, double x1, double y1, Rgb colour,
              const Turn& turn) {
  DibLayout layout;
  DibDescribe(page, &layout);
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  const double angle = turn.degrees * 3.14159265358979323846 / 180.0;
  const double cs = std::cos(angle);
  const double sn = std::sin(angle);
  // Bounds of the turned area on the page.
  double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
  const double corners[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
  for (const auto& c : corners) {
    const double dx = c[0] - turn.cx;
    const double dy = c[1] - turn.cy;
    const double px = turn.cx + cs * dx - sn * dy;
    const double py = turn.cy + sn * dx + cs * dy;
    minX = std::min(minX, px);
    maxX = std::max(maxX, px);
    minY = std::min(minY, py);
    maxY = std::max(maxY, py);
  }
  const int32_t ya = std::max<int32_t>(0, static_cast<int32_t>(std::floor(minY)) - 1);
  const int32_t yb = std::min<int32_t>(rows, static_cast<int32_t>(std::ceil(maxY)) + 1);
  const int32_t xa = std::max<int32_t>(0, static_cast<int32_t>(std::floor(minX)) - 1);
  const int32_t xb = std::min<int32_t>(layout.width, static_cast<int32_t>(std::ceil(maxX)) + 1);
  for (int32_t y = ya; y < yb; ++y) {
    unsigned char* line = LineFromTop(layout, y);
    for (int32_t x = xa; x < xb; ++x) {
      // The pixel centre taken back into the unturned drawing.
      const double dx = x + 0.5 - turn.cx;
      const double dy = y + 0.5 - turn.cy;
      const double lx = turn.cx + cs * dx + sn * dy;
      const double ly = turn.cy - sn * dx + cs * dy;
      if (lx < x0 || lx >= x1 || ly < y0 || ly >= y1) continue;
      line[3 * x] = colour.b;
      line[3 * x + 1] = colour.g;
      line[3 * x + 2] = colour.r;
    }
  }
}

void DrawTrimMarks(DibImage* page, const CardRect& trim, int32_t gap, const MarkStyle& style,
                   const Turn& turn) {
  const int32_t w = style.strokeWidth;
  const int32_t reach = gap + style.arm;
  // Each corner: its trim corner and the directions away from the card.
  const int32_t corners[4][4] = {{trim.left, trim.top, -1, -1},
                                 {trim.right, trim.top, +1, -1},
                                 {trim.left, trim.bottom, -1, +1},
                                 {trim.right, trim.bottom, +1, +1}};
  for (const auto& c : corners) {
    const int32_t cx = c[0], cy = c[1], dx = c[2], dy = c[3];
    // Strokes along the trim lines start at the bleed line; the bleed
    // strokes start at the trim line when joined, at the bleed corner else.
    Stroke(page, true, cx, cy + dy * gap, cy + dy * reach, w, turn);
    Stroke(page, false, cy, cx + dx * gap, cx + dx * reach, w, turn);
    const int32_t bleedFromY = style.joined ? cy : cy + dy * gap;
    const int32_t bleedFromX = style.joined ? cx : cx + dx * gap;
    Stroke(page, true, cx + dx * gap, bleedFromY, cy + dy * reach, w, turn);
    Stroke(page, false, cy + dy * gap, bleedFromX, cx + dx * reach, w, turn);
  }
  if (style.centreMarks) {
    const int32_t midX = (trim.left + trim.right) / 2;
    const int32_t midY = (trim.top + trim.bottom) / 2;
    const int32_t half = style.arm / 2;
    for (int32_t dy : {-1, +1}) {
      const int32_t edge = dy < 0 ? trim.top : trim.bottom;
      Stroke(page, true, midX, edge + dy * gap, edge + dy * reach, w, turn);
      Stroke(page, false, edge + dy * (gap + half), midX - half, midX + half, w, turn);
    }
    for (int32_t dx : {-1, +1}) {
      const int32_t edge = dx < 0 ? trim.left : trim.right;
      Stroke(page, false, midY, edge + dx * gap, edge + dx * reach, w, turn);
      Stroke(page, true, edge + dx * (gap + half), midY - half, midY + half, w, turn);
    }
  }
}

void DrawDesign(DibImage* page, const CardRect& area, Rgb background, uint32_t seed,
                const Turn& turn) {
  FillArea(page, area.left, area.top, area.right, area.bottom, background, turn);
  std::mt19937 random(seed);
  const int32_t w = area.right - area.left;
  const int32_t h = area.bottom - area.top;
  // A band from the left edge to the right one.
  const int32_t bandTop = area.top + h / 5 + static_cast<int32_t>(random() % (h / 5));
  FillArea(page, area.left, bandTop, area.right, bandTop + h / 6,
           Rgb{static_cast<unsigned char>(background.r / 2), 40, 160}, turn);
  // "Text" well inside.
  for (int i = 0; i < 12; ++i) {
    const int32_t x = area.left + w / 6 + static_cast<int32_t>(random() % (w / 2));
    const int32_t y = area.top + h / 2 + static_cast<int32_t>(random() % (h / 4));
    FillArea(page, x, y, x + 20 + static_cast<int32_t>(random() % 200), y + 50, Rgb{20, 20, 20},
             turn);
  }
}

void DrawTextBlocks(DibImage* page, const CardRect& area, uint32_t seed) {
  std::mt19937 random(seed);
  for (int32_t y = area.top; y + 70 < area.bottom; y += 110) {
    for (int32_t x = area.left; x + 60 < area.right;) {
      const int32_t letter = 30 + static_cast<int32_t>(random() % 40);
      // A letter: two stems and a bar, like "H", or a block.
      if (random() % 2) {
        FillArea(page, x, y, x + 8, y + 70, Rgb{0, 0, 0});
        FillArea(page, x + letter - 8, y, x + letter, y + 70, Rgb{0, 0, 0});
        FillArea(page, x, y + 30, x + letter, y + 38, Rgb{0, 0, 0});
      } else {
        FillArea(page, x, y, x + letter, y + 70, Rgb{30, 30, 30});
      }
      x += letter + 12 + static_cast<int32_t>(random() % 3 == 0 ? 40 : 0);
    }
  }
}

void SoftenPage(DibImage* page) {
  DibLayout layout;
  DibDescribe(page, &layout);
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  const int32_t w = layout.width;
  std::vector<unsigned char> line(static_cast<size_t>(w) * 3);
  for (int32_t y = 0; y < rows; ++y) {
    unsigned char* p = LineFromTop(layout, y);
    std::memcpy(line.data(), p, line.size());
    for (int32_t x = 1; x + 1 < w; ++x) {
      for (int k = 0; k < 3; ++k) {
        p[3 * x + k] = static_cast<unsigned char>(
            (line[3 * (x - 1) + k] + 2 * line[3 * x + k] + line[3 * (x + 1) + k] + 2) / 4);
      }
    }
  }
  std::vector<unsigned char> above(static_cast<size_t>(w) * 3);
  std::memcpy(above.data(), LineFromTop(layout, 0), above.size());
  for (int32_t y = 1; y + 1 < rows; ++y) {
    unsigned char* p = LineFromTop(layout, y);
    const unsigned char* below = LineFromTop(layout, y + 1);
    std::memcpy(line.data(), p, line.size());
    for (size_t i = 0; i < line.size(); ++i) {
      p[i] = static_cast<unsigned char>((above[i] + 2 * line[i] + below[i] + 2) / 4);
    }
    above.swap(line);
  }
}

DibImage* ResampledPage(DibImage* page, double scale) {
  DibLayout from;
  DibDescribe(page, &from);
  const int32_t sw = from.width;
  const int32_t sh = from.height < 0 ? -from.height : from.height;
  const int32_t w = static_cast<int32_t>(std::lround(sw * scale));
  const int32_t h = static_cast<int32_t>(std::lround(sh * scale));
  DibImage* out = MakeWhitePage(w, h, true);
  if (!out) return nullptr;
  DibLayout to;
  DibDescribe(out, &to);
  // Source columns and weights, the same for every line.
  std::vector<int32_t> xa(w), xb(w);
  std::vector<double> fx(w);
  for (int32_t x = 0; x < w; ++x) {
    const double u = (x + 0.5) / scale - 0.5;
    const int32_t x0 = static_cast<int32_t>(std::floor(u));
    fx[x] = u - x0;
    xa[x] = std::clamp(x0, 0, sw - 1);
    xb[x] = std::clamp(x0 + 1, 0, sw - 1);
  }
  for (int32_t y = 0; y < h; ++y) {
    const double v = (y + 0.5) / scale - 0.5;
    const int32_t y0 = static_cast<int32_t>(std::floor(v));
    const double fy = v - y0;
    const unsigned char* above = LineFromTop(from, std::clamp(y0, 0, sh - 1));
    const unsigned char* below = LineFromTop(from, std::clamp(y0 + 1, 0, sh - 1));
    unsigned char* line = LineFromTop(to, y);
    for (int32_t x = 0; x < w; ++x) {
      for (int k = 0; k < 3; ++k) {
        const double top = (1 - fx[x]) * above[3 * xa[x] + k] + fx[x] * above[3 * xb[x] + k];
        const double bottom = (1 - fx[x]) * below[3 * xa[x] + k] + fx[x] * below[3 * xb[x] + k];
        line[3 * x + k] = static_cast<unsigned char>(std::lround((1 - fy) * top + fy * bottom));
      }
    }
  }
  return out;
}

CardRect TrimBox(int32_t left, int32_t top, float widthMm, float heightMm, float pixelsPerMm) {
  const int32_t w = static_cast<int32_t>(std::lround(static_cast<double>(widthMm) * pixelsPerMm));
  const int32_t h = static_cast<int32_t>(std::lround(static_cast<double>(heightMm) * pixelsPerMm));
  return {left, top, left + w, top + h};
}

CardRect Grown(const CardRect& box, int32_t by) {
  return {box.left - by, box.top - by, box.right + by, box.bottom + by};
}
