// Safe-area check of a cut card image and its warning text.
//
// Only a ring of the image is looked at: the bleed around the trim box and
// the safe bands inside it. One flood fill marks the background, starting
// from every bleed pixel; a second pass splits what is left in the bands into
// connected pieces and keeps the pieces that count as content (see the rule
// in the header).
#include "upload/safe_area_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/dib_image.h"
#include "upload/bleed_check.h"

namespace {

constexpr const char* kEdgeNames[4] = {"上", "下", "左", "右"};
constexpr char kNameSeparator[] = "・";

// Pixel states in the ring.
enum : unsigned char {
  kOutside = 0,     // inside the inner area, not looked at
  kRing = 1,        // in a safe band, not yet known
  kBackground = 2,  // continuous with the bleed
  kVisited = 3,     // in a piece already counted
};

inline const unsigned char* PixelAt(const SideImageView& image, int32_t x, int32_t y) {
  return image.top + static_cast<int64_t>(y) * image.stride + 3 * static_cast<int64_t>(x);
}

// True when no channel of the two pixels differs by more than the step.
inline bool Continues(const unsigned char* a, const unsigned char* b) {
  return std::abs(a[0] - b[0]) <= kSafeAreaStep && std::abs(a[1] - b[1]) <= kSafeAreaStep &&
         std::abs(a[2] - b[2]) <= kSafeAreaStep;
}

}  // namespace

SafeAreaGeometry SafeAreaGeometryFor(int32_t width, int32_t height, float cardWidthMm,
                                     float cardHeightMm, float bleedMm) {
  SafeAreaGeometry g = {};
  const double fullW = static_cast<double>(cardWidthMm) + 2.0 * bleedMm;
  const double fullH = static_cast<double>(cardHeightMm) + 2.0 * bleedMm;
  if (width <= 0 || height <= 0 || !(fullW > 0.0) || !(fullH > 0.0)) return g;
  const double perMmX = width / fullW;
  const double perMmY = height / fullH;
  g.bleedX = BleedDepth(width, cardWidthMm, bleedMm);
  g.bleedY = BleedDepth(height, cardHeightMm, bleedMm);
  g.safeX = static_cast<int32_t>(kSafeAreaMm * perMmX + 0.5);
  g.safeY = static_cast<int32_t>(kSafeAreaMm * perMmY + 0.5);
  g.minContentPixels =
      std::max<int32_t>(1, static_cast<int32_t>(kSafeAreaMinContentMm2 * perMmX * perMmY + 0.5));
  g.trimSlack = static_cast<int32_t>(kSafeAreaTrimSlackMm * std::min(perMmX, perMmY) + 0.5);
  return g;
}

uint32_t CheckSafeAreaPixels(const SideImageView& image, const SafeAreaGeometry& geometry) {
  const int32_t w = image.width;
  const int32_t h = image.height;
  const int32_t bx = geometry.bleedX;
  const int32_t by = geometry.bleedY;
  const int32_t sx = geometry.safeX;
  const int32_t sy = geometry.safeY;
  const int32_t slack = std::max<int32_t>(0, geometry.trimSlack);
  if (!image.top || w <= 0 || h <= 0 || bx < 0 || by < 0 || sx <= 0 || sy <= 0) return 0;
  if (w - 2 * bx <= 2 * sx || h - 2 * by <= 2 * sy) return 0;
  // The trim box [tx0, tx1) × [ty0, ty1) and the inner area left alone.
  const int32_t tx0 = bx, tx1 = w - bx, ty0 = by, ty1 = h - by;
  const int32_t ix0 = tx0 + sx, ix1 = tx1 - sx, iy0 = ty0 + sy, iy1 = ty1 - sy;

  std::vector<unsigned char> state(static_cast<size_t>(w) * h, kOutside);
  std::vector<int32_t> stack;
  auto at = [w](int32_t x, int32_t y) { return static_cast<size_t>(y) * w + x; };
  for (int32_t y = 0; y < h; ++y) {
    const bool rowInTrim = y >= ty0 && y < ty1;
    const bool rowInner = y >= iy0 && y < iy1;
    for (int32_t x = 0; x < w; ++x) {
      if (!rowInTrim || x < tx0 || x >= tx1) {
        state[at(x, y)] = kBackground;
        // Only bleed pixels next to the trim box can spread into it.
        const bool nextToTrim = (x >= tx0 - 1 && x <= tx1 && y >= ty0 - 1 && y <= ty1);
        if (nextToTrim) stack.push_back(static_cast<int32_t>(at(x, y)));
      } else if (!rowInner || x < ix0 || x >= ix1) {
        state[at(x, y)] = kRing;
      }
    }
  }
  // Background spreads through smooth steps.
  while (!stack.empty()) {
    const int32_t index = stack.back();
    stack.pop_back();
    const int32_t x = index % w;
    const int32_t y = index / w;
    const unsigned char* from = PixelAt(image, x, y);
    const int32_t near[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    for (const auto& n : near) {
      if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
      const size_t next = at(n[0], n[1]);
      if (state[next] != kRing || !Continues(from, PixelAt(image, n[0], n[1]))) continue;
      state[next] = kBackground;
      stack.push_back(static_cast<int32_t>(next));
    }
  }
  // What is left splits into pieces; each names the bands it lies in.
  uint32_t edges = 0;
  for (int32_t y = ty0; y < ty1; ++y) {
    for (int32_t x = tx0; x < tx1; ++x) {
      if (state[at(x, y)] != kRing) continue;
      int32_t count = 0;
      bool touchesTrim = false;
      uint32_t bands = 0;
      state[at(x, y)] = kVisited;
      stack.push_back(static_cast<int32_t>(at(x, y)));
      while (!stack.empty()) {
        const int32_t index = stack.back();
        stack.pop_back();
        const int32_t px = index % w;
        const int32_t py = index / w;
        ++count;
        if (px <= tx0 + slack || px >= tx1 - 1 - slack || py <= ty0 + slack ||
            py >= ty1 - 1 - slack) {
          touchesTrim = true;
        }
        if (py < iy0) bands |= kSafeAreaTop;
        if (py >= iy1) bands |= kSafeAreaBottom;
        if (px < ix0) bands |= kSafeAreaLeft;
        if (px >= ix1) bands |= kSafeAreaRight;
        for (int32_t dy = -1; dy <= 1; ++dy) {
          for (int32_t dx = -1; dx <= 1; ++dx) {
            const int32_t nx = px + dx;
            const int32_t ny = py + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            const size_t next = at(nx, ny);
            if (state[next] != kRing) continue;
            state[next] = kVisited;
            stack.push_back(static_cast<int32_t>(next));
          }
        }
      }
      if (count >= geometry.minContentPixels && !touchesTrim) edges |= bands;
    }
  }
  return edges;
}

uint32_t CheckSafeArea(DibImage* image, float cardWidthMm, float cardHeightMm, float bleedMm) {
  DibLayout layout;
  if (!DibDescribe(image, &layout)) return 0;
  const int64_t rows = layout.height < 0 ? -static_cast<int64_t>(layout.height) : layout.height;
  if (layout.width <= 0 || rows <= 0 || rows > INT32_MAX || layout.stride <= 0) return 0;
  // Read as 24 bits per pixel; an image whose block cannot hold that is left alone.
  const int64_t pixelBytes = (layout.fileHeader + layout.fileSize) - layout.pixels;
  if ((rows - 1) * layout.stride + 3 * static_cast<int64_t>(layout.width) > pixelBytes) return 0;
  SideImageView view;
  view.width = layout.width;
  view.height = static_cast<int32_t>(rows);
  if (layout.height < 0) {
    view.top = layout.pixels;
    view.stride = layout.stride;
  } else {
    view.top = layout.pixels + (rows - 1) * layout.stride;
    view.stride = -static_cast<int64_t>(layout.stride);
  }
  return CheckSafeAreaPixels(
      view, SafeAreaGeometryFor(view.width, view.height, cardWidthMm, cardHeightMm, bleedMm));
}

int SafeAreaWarningText(uint32_t edges, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  const uint32_t flags[4] = {kSafeAreaTop, kSafeAreaBottom, kSafeAreaLeft, kSafeAreaRight};
  char names[64] = "";
  int named = 0;
  for (int i = 0; i < 4; ++i) {
    if (!(edges & flags[i])) continue;
    if (named > 0) std::strcat(names, kNameSeparator);
    std::strcat(names, kEdgeNames[i]);
    ++named;
  }
  if (named == 0) return 0;
  char text[512];
  std::snprintf(text, sizeof text, "%s%s", names, kSafeAreaMessageTail);
  // Copy whole characters only: a Shift-JIS lead byte never ends the text.
  size_t used = 0;
  for (size_t i = 0; text[i] != '\0';) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t bytes = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
    if (used + bytes >= size) break;
    std::memcpy(out + used, text + i, bytes);
    used += bytes;
    i += bytes;
  }
  out[used] = '\0';
  return named;
}
