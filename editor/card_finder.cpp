// Finding the card on a page by its trim marks or by its design area.
//
// A 720-dpi A4 page is 50 million pixels, too many to look at one by one in
// the time a page load may take. Both searches therefore start from every
// eighth line of the page and only then look closely where that points:
//
// Marks. On the sampled lines, thin dark runs are the cuts of vertical
// strokes; runs at the same place on consecutive sampled lines link into
// vertical segments. Two segments side by side with paper between them are a
// pair (the trim and bleed strokes of a corner); two pairs at the same height
// with the same gap, as far apart as a card of that gap is wide, are the
// candidates for the top corners. One column left of the left pair, read down
// from where the pairs end, shows the two horizontal strokes of the top left
// corner and so the top edge; the bottom edge follows from each card size the
// width fits. Each candidate box is then measured at full resolution: all 16
// strokes of the four corners, the centre of each across its width averaged
// along it, the outer end of each on the page, and every edge measured twice
// (once per corner) to agree within a pixel.
//
// Design area. The sampled lines, read every eighth pixel, give a coarse map
// of non-white pixels; its connected pieces large enough to be a card are
// measured at full resolution edge by edge (the half-contrast crossing on
// many lines across the edge), and the straight ones whose size is a card
// with an even bleed give the trim box.
#include "editor/card_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "image/dib_image.h"

namespace {

constexpr int32_t kSampleStep = 8;   // lines (and columns) between samples
constexpr int kInkSum = 3 * 160;     // channel sum below which a pixel is ink
constexpr int kNoiseSum = 3 * 16;    // darkness below this counts as paper
constexpr int32_t kMaxStroke = 24;   // widest stroke of a trim mark, pixels
constexpr int32_t kMinGap = 16;      // narrowest and widest gap of a mark pair
constexpr int32_t kMaxGap = 400;
constexpr int32_t kMinSegmentSamples = 3;
constexpr double kEdgeAgreement = 1.0;  // pixels between two measures of an edge

inline int Sum(const unsigned char* p) { return p[0] + p[1] + p[2]; }

inline const unsigned char* Line(const PageView& page, int32_t y) {
  return page.top + static_cast<int64_t>(y) * page.stride;
}

inline int SumAt(const PageView& page, int32_t x, int32_t y) {
  return Sum(Line(page, y) + 3 * static_cast<int64_t>(x));
}

// The pixel boundary nearest to a line at `position` (pixel k spans k … k+1),
// halves going to the smaller coordinate.
int32_t RoundBoundary(double position) {
  return static_cast<int32_t>(std::ceil(position - 0.5 - 1e-6));
}

// Trim width and height in millimetres of a card size in an orientation.
struct CardMm {
  double width;
  double height;
};

CardMm TrimMm(int32_t sizeIndex, int32_t orientation) {
  float width = 0.0f;
  float height = 0.0f;
  CardSizeFor(sizeIndex, orientation, &width, &height);
  return {width, height};
}

// A dark run [x0, x1) on a sampled line.
struct Run {
  int32_t x0;
  int32_t x1;
};

// Thin dark runs linked down the sampled lines.
struct Segment {
  int32_t lastCentre2;  // doubled centre of the latest run
  double centre2Sum;
  int32_t count;
  int32_t first;  // sampled line indices
  int32_t last;
  double Centre() const { return centre2Sum / count / 2.0; }
};

// Two vertical segments with paper between them: a candidate for the trim
// and bleed strokes of a corner.
struct Pair {
  double xa;  // left stroke centre
  double xb;  // right stroke centre
  double gap;
  int32_t top;     // first line of the pair, pixels
  int32_t bottom;  // last sampled line of the pair, pixels
};

// The samples of one page.
struct Samples {
  std::vector<std::vector<Run>> runs;  // dark runs of each sampled line
  std::vector<unsigned char> ink;      // coarse map: non-white at (8i, 8j)
  int32_t gridWidth = 0;
  int32_t gridHeight = 0;
};

void SampleLine(const PageView& page, int32_t y, std::vector<Run>* runs, unsigned char* ink) {
  const unsigned char* p = Line(page, y);
  int32_t start = -1;
  for (int32_t x = 0; x < page.width; ++x, p += 3) {
    const bool dark = Sum(p) < kInkSum;
    if (dark && start < 0) {
      start = x;
    } else if (!dark && start >= 0) {
      runs->push_back({start, x});
      start = -1;
    }
  }
  if (start >= 0) runs->push_back({start, page.width});
  if (ink) {
    const unsigned char* q = Line(page, y);
    for (int32_t x = 0, i = 0; x < page.width; x += kSampleStep, ++i, q += 3 * kSampleStep) {
      ink[i] = std::min(q[0], std::min(q[1], q[2])) < 240;
    }
  }
}

Samples SamplePage(const PageView& page, bool withInk) {
  Samples s;
  s.gridHeight = (page.height + kSampleStep - 1) / kSampleStep;
  s.gridWidth = (page.width + kSampleStep - 1) / kSampleStep;
  s.runs.resize(s.gridHeight);
  if (withInk) s.ink.assign(static_cast<size_t>(s.gridWidth) * s.gridHeight, 0);
  for (int32_t j = 0; j < s.gridHeight; ++j) {
    SampleLine(page, j * kSampleStep, &s.runs[j],
               withInk ? &s.ink[static_cast<size_t>(j) * s.gridWidth] : nullptr);
  }
  return s;
}

// Links the thin runs of the sampled lines into vertical segments: every
// segment, short ones included, and for each run of each sampled line the
// segment it belongs to (−1 for runs too wide to be a stroke).
std::vector<Segment> VerticalSegments(const Samples& s,
                                      std::vector<std::vector<int32_t>>* runSegments) {
  std::vector<Segment> all;
  std::vector<int32_t> active;  // segment ids continued on the latest line, by x
  std::vector<int32_t> next;
  runSegments->resize(s.runs.size());
  for (int32_t j = 0; j < static_cast<int32_t>(s.runs.size()); ++j) {
    next.clear();
    std::vector<int32_t>& ids = (*runSegments)[j];
    ids.assign(s.runs[j].size(), -1);
    size_t a = 0;
    for (size_t r = 0; r < s.runs[j].size(); ++r) {
      const Run& run = s.runs[j][r];
      if (run.x1 - run.x0 > kMaxStroke) continue;
      const int32_t c2 = run.x0 + run.x1;
      while (a < active.size() && all[active[a]].lastCentre2 < c2 - 4) ++a;
      int32_t id;
      if (a < active.size() && all[active[a]].lastCentre2 <= c2 + 4) {
        id = active[a++];
        Segment& seg = all[id];
        seg.lastCentre2 = c2;
        seg.centre2Sum += c2;
        ++seg.count;
        seg.last = j;
      } else {
        id = static_cast<int32_t>(all.size());
        all.push_back({c2, static_cast<double>(c2), 1, j, j});
      }
      ids[r] = id;
      next.push_back(id);
    }
    active.swap(next);
  }
  return all;
}

// Pairs of segments side by side with nothing dark between them on every
// sampled line they share: on each of those lines the two are neighbouring
// runs.
std::vector<Pair> MarkPairs(const Samples& s) {
  std::vector<std::vector<int32_t>> runSegments;
  const std::vector<Segment> segments = VerticalSegments(s, &runSegments);
  std::unordered_map<uint64_t, int32_t> together;
  for (size_t j = 0; j < s.runs.size(); ++j) {
    const std::vector<int32_t>& ids = runSegments[j];
    for (size_t r = 0; r + 1 < ids.size(); ++r) {
      const int32_t a = ids[r];
      const int32_t b = ids[r + 1];
      if (a < 0 || b < 0 || segments[a].count < kMinSegmentSamples ||
          segments[b].count < kMinSegmentSamples) {
        continue;
      }
      const double gap = segments[b].Centre() - segments[a].Centre();
      if (gap < kMinGap || gap > kMaxGap) continue;
      ++together[(static_cast<uint64_t>(a) << 32) | static_cast<uint32_t>(b)];
    }
  }
  std::vector<Pair> pairs;
  for (const auto& [key, lines] : together) {
    const Segment& a = segments[key >> 32];
    const Segment& b = segments[key & 0xFFFFFFFFu];
    const int32_t shared = std::min(a.last, b.last) - std::max(a.first, b.first) + 1;
    if (shared < kMinSegmentSamples || lines != shared) continue;
    // Each stroke runs at least one gap beyond the bleed line.
    const double gap = b.Centre() - a.Centre();
    const double shortest = gap - 2 * kSampleStep;
    if ((a.last - a.first) * kSampleStep < shortest || (b.last - b.first) * kSampleStep < shortest) {
      continue;
    }
    pairs.push_back({a.Centre(), b.Centre(), gap, std::min(a.first, b.first) * kSampleStep,
                     std::max(a.last, b.last) * kSampleStep});
  }
  return pairs;
}

// Centres of the thin dark runs down column x between lines y0 and y1.
std::vector<double> ColumnStrokes(const PageView& page, int32_t x, int32_t y0, int32_t y1) {
  std::vector<double> centres;
  if (x < 0 || x >= page.width) return centres;
  y0 = std::max(y0, 0);
  y1 = std::min(y1, page.height);
  int32_t start = -1;
  for (int32_t y = y0; y < y1; ++y) {
    const bool dark = SumAt(page, x, y) < kInkSum;
    if (dark && start < 0) {
      start = y;
    } else if (!dark && start >= 0) {
      if (y - start <= kMaxStroke && start > y0) centres.push_back((start + y) / 2.0);
      start = -1;
    }
  }
  return centres;
}

// One stroke measured at full resolution.
struct Stroke {
  double position;  // centre across the stroke, page coordinates
  bool ok;
};

// Measures the stroke near `approx` across its width, along positions
// from … to − 1 of its length (lines for a vertical stroke, columns for a
// horizontal one), and follows it outward (towards `outward`, −1 or +1) to
// its end, which must lie on the page.
Stroke MeasureStroke(const PageView& page, bool vertical, double approx, int32_t from, int32_t to,
                     int32_t halfWindow, int outward) {
  Stroke none = {0.0, false};
  const int32_t across = vertical ? page.width : page.height;
  const int32_t along = vertical ? page.height : page.width;
  const int32_t centre = static_cast<int32_t>(std::floor(approx));
  const int32_t w0 = centre - halfWindow;
  const int32_t w1 = centre + halfWindow + 1;
  if (w0 < 0 || w1 > across || from < 0 || to > along || to - from < 4) return none;
  const int32_t width = w1 - w0;
  std::vector<int> sums(static_cast<size_t>(width));
  double total = 0.0;
  double least = 1e30;
  double most = -1e30;
  int32_t valid = 0;
  for (int32_t t = from; t < to; ++t) {
    int bg = 0;
    for (int32_t k = 0; k < width; ++k) {
      sums[k] = vertical ? SumAt(page, w0 + k, t) : SumAt(page, t, w0 + k);
      bg = std::max(bg, sums[k]);
    }
    // Exactly one dark run, thin, not touching the window's ends.
    int32_t runs = 0;
    int32_t runStart = -1;
    bool thin = true;
    for (int32_t k = 0; k <= width; ++k) {
      const bool dark = k < width && sums[k] < kInkSum;
      if (dark && runStart < 0) {
        runStart = k;
        ++runs;
      } else if (!dark && runStart >= 0) {
        if (k - runStart > kMaxStroke || runStart == 0 || k == width) thin = false;
        runStart = -1;
      }
    }
    if (runs != 1 || !thin) continue;
    double weight = 0.0;
    double moment = 0.0;
    for (int32_t k = 0; k < width; ++k) {
      const int d = bg - sums[k];
      if (d <= kNoiseSum) continue;
      weight += d;
      moment += d * (w0 + k + 0.5);
    }
    if (!(weight > 0.0)) continue;  // ink hardly darker than the paper beside it
    const double c = moment / weight;
    total += c;
    least = std::min(least, c);
    most = std::max(most, c);
    ++valid;
  }
  if (valid * 10 < (to - from) * 9) return none;
  const double position = total / valid;
  if (most - position > 1.0 || position - least > 1.0) return none;
  // Follow the stroke to its outer end: it must end in paper on the page.
  const int32_t line = static_cast<int32_t>(std::floor(position));
  int32_t t = outward < 0 ? from - 1 : to;
  for (;; t += outward) {
    if (t < 0 || t >= along) return none;
    bool dark = false;
    for (int32_t k = line - 1; k <= line + 1 && !dark; ++k) {
      if (k < 0 || k >= across) continue;
      dark = (vertical ? SumAt(page, k, t) : SumAt(page, t, k)) < kInkSum;
    }
    if (!dark) break;
  }
  return {position, true};
}

// The approximate lines of a candidate box and its mark gap.
struct BoxGuess {
  double left, top, right, bottom, gap;
};

bool Agree(double a, double b) { return std::fabs(a - b) <= kEdgeAgreement; }

// Measures all marks of a guessed box; fills *result when they make a card.
bool VerifyMarks(const PageView& page, const BoxGuess& guess, CardFindResult* result) {
  const double g = guess.gap;
  const int32_t gi = static_cast<int32_t>(std::lround(g));
  const int32_t margin = std::max<int32_t>(2, gi / 8);
  const int32_t half = std::min<int32_t>(kMaxStroke, gi / 2 - 1);
  // Vertical strokes: x lines, measured above the top bleed line and below
  // the bottom one.
  const double xs[4] = {guess.left - g, guess.left, guess.right, guess.right + g};
  const double ys[4] = {guess.top - g, guess.top, guess.bottom, guess.bottom + g};
  const int32_t topEnd = static_cast<int32_t>(std::lround(ys[0]));
  const int32_t bottomEnd = static_cast<int32_t>(std::lround(ys[3]));
  const int32_t leftEnd = static_cast<int32_t>(std::lround(xs[0]));
  const int32_t rightEnd = static_cast<int32_t>(std::lround(xs[3]));
  double vTop[4];
  double vBottom[4];
  double hLeft[4];
  double hRight[4];
  for (int i = 0; i < 4; ++i) {
    const Stroke up =
        MeasureStroke(page, true, xs[i], topEnd - gi + margin, topEnd - margin, half, -1);
    const Stroke down =
        MeasureStroke(page, true, xs[i], bottomEnd + margin, bottomEnd + gi - margin, half, +1);
    const Stroke left =
        MeasureStroke(page, false, ys[i], leftEnd - gi + margin, leftEnd - margin, half, -1);
    const Stroke right =
        MeasureStroke(page, false, ys[i], rightEnd + margin, rightEnd + gi - margin, half, +1);
    if (!up.ok || !down.ok || !left.ok || !right.ok) return false;
    vTop[i] = up.position;
    vBottom[i] = down.position;
    hLeft[i] = left.position;
    hRight[i] = right.position;
  }
  for (int i = 0; i < 4; ++i) {
    if (!Agree(vTop[i], vBottom[i]) || !Agree(hLeft[i], hRight[i])) return false;
  }
  double lines[2][4];
  for (int i = 0; i < 4; ++i) {
    lines[0][i] = (vTop[i] + vBottom[i]) / 2.0;
    lines[1][i] = (hLeft[i] + hRight[i]) / 2.0;
  }
  const double gaps[4] = {lines[0][1] - lines[0][0], lines[0][3] - lines[0][2],
                          lines[1][1] - lines[1][0], lines[1][3] - lines[1][2]};
  const double meanGap = (gaps[0] + gaps[1] + gaps[2] + gaps[3]) / 4.0;
  for (double each : gaps) {
    if (std::fabs(each - meanGap) > 1.5) return false;
  }
  CardRect trim = {RoundBoundary(lines[0][1]), RoundBoundary(lines[1][1]),
                   RoundBoundary(lines[0][2]), RoundBoundary(lines[1][2])};
  const int32_t w = trim.right - trim.left;
  const int32_t h = trim.bottom - trim.top;
  int32_t sizeIndex = 0;
  int32_t orientation = 0;
  if (w <= 0 || h <= 0 || !MatchCardProportions(w, h, &sizeIndex, &orientation)) return false;
  // The bleed line lies 3 mm outside at the card's own scale.
  const double expectedGap = w * kMarkBleedMm / TrimMm(sizeIndex, orientation).width;
  if (std::fabs(meanGap - expectedGap) > std::max(2.0, 0.08 * expectedGap)) return false;
  *result = {CardFoundByMarks, trim, sizeIndex, orientation, 0.0f};
  return true;
}

// Widths of the card sizes in units of the mark gap (3 mm), either orientation.
bool WidthFitsGap(double width, double gap) {
  for (const CardSize& size : CardSizeTable) {
    for (float mm : {size.widthMm, size.heightMm}) {
      const double expected = gap * mm / kMarkBleedMm;
      if (std::fabs(width - expected) <= 0.08 * expected + 2.0) return true;
    }
  }
  return false;
}

// Edges of a design area, measured at full resolution.
struct Edge {
  double position;
  bool ok;
};

// Where a line across the edge at `line` changes from paper to design: the
// half-contrast crossing, reading from `from` in direction `dir` (±1) for at
// most `span` pixels. Vertical edges read along a page line, horizontal ones
// down a column.
bool CrossingOnLine(const PageView& page, bool verticalEdge, int32_t line, int32_t from, int dir,
                    int32_t span, double* at) {
  const int32_t limit = verticalEdge ? page.width : page.height;
  auto value = [&](int32_t t) {
    return verticalEdge ? SumAt(page, t, line) : SumAt(page, line, t);
  };
  if (from < 0 || from >= limit || value(from) < 3 * 250) return false;
  int32_t t = from;
  int32_t first = -1;
  for (int32_t n = 0; n < span; ++n, t += dir) {
    if (t < 0 || t >= limit) return false;
    if (value(t) < 3 * 250) {
      first = t;
      break;
    }
  }
  if (first < 0) return false;
  const int32_t probe = first + 3 * dir;
  if (probe < 0 || probe >= limit) return false;
  const int inside = value(probe);
  if (765 - inside < 45) return false;
  const double halfLevel = (765.0 + inside) / 2.0;
  int32_t cross = first;
  while (value(cross) > halfLevel) {
    cross += dir;
    if (cross == probe + dir) return false;
  }
  const double before = value(cross - dir);
  const double now = value(cross);
  const double frac = before > now ? (before - halfLevel) / (before - now) : 0.5;
  // Pixel centres lie at t + 0.5; the crossing lies between the centres of
  // cross − dir and cross.
  const double centreBefore = (cross - dir) + 0.5;
  *at = centreBefore + dir * frac;
  return true;
}

Edge MeasureDesignEdge(const PageView& page, bool verticalEdge, int32_t approx, int dir,
                       int32_t lineFrom, int32_t lineTo) {
  std::vector<double> found;
  int32_t tried = 0;
  for (int32_t line = lineFrom; line < lineTo; line += 4) {
    ++tried;
    double at = 0.0;
    if (CrossingOnLine(page, verticalEdge, line, approx - dir * 12, dir, 24, &at)) {
      found.push_back(at);
    }
  }
  if (tried == 0 || static_cast<int32_t>(found.size()) * 2 < tried) return {0.0, false};
  std::vector<double> sorted = found;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  int32_t near = 0;
  double sum = 0.0;
  for (double each : found) {
    if (std::fabs(each - median) <= 1.0) {
      ++near;
      sum += each;
    }
  }
  if (near * 10 < static_cast<int32_t>(found.size()) * 8) return {0.0, false};
  return {sum / near, true};
}

struct Piece {
  int32_t x0, y0, x1, y1;  // grid cells, inclusive
  int64_t cells;
};

std::vector<Piece> InkPieces(const Samples& s) {
  std::vector<Piece> pieces;
  std::vector<unsigned char> left = s.ink;  // cleared as pieces take the cells
  std::vector<int32_t> stack;
  for (int32_t j = 0; j < s.gridHeight; ++j) {
    for (int32_t i = 0; i < s.gridWidth; ++i) {
      const size_t at = static_cast<size_t>(j) * s.gridWidth + i;
      if (!left[at]) continue;
      Piece piece = {i, j, i, j, 0};
      left[at] = 0;
      stack.push_back(static_cast<int32_t>(at));
      while (!stack.empty()) {
        const int32_t cell = stack.back();
        stack.pop_back();
        const int32_t ci = cell % s.gridWidth;
        const int32_t cj = cell / s.gridWidth;
        ++piece.cells;
        piece.x0 = std::min(piece.x0, ci);
        piece.x1 = std::max(piece.x1, ci);
        piece.y0 = std::min(piece.y0, cj);
        piece.y1 = std::max(piece.y1, cj);
        const int32_t near[4][2] = {{ci - 1, cj}, {ci + 1, cj}, {ci, cj - 1}, {ci, cj + 1}};
        for (const auto& n : near) {
          if (n[0] < 0 || n[1] < 0 || n[0] >= s.gridWidth || n[1] >= s.gridHeight) continue;
          const size_t next = static_cast<size_t>(n[1]) * s.gridWidth + n[0];
          if (left[next]) {
            left[next] = 0;
            stack.push_back(static_cast<int32_t>(next));
          }
        }
      }
      pieces.push_back(piece);
    }
  }
  return pieces;
}

// The card size and bleed that explain an outer area of outerW × outerH mm.
bool MatchOuterArea(double outerW, double outerH, int32_t preferred, int32_t* sizeIndex,
                    int32_t* orientation, double* bleed) {
  constexpr double kSlack = 0.2;  // millimetres
  bool found = false;
  bool foundPreferred = false;
  for (int32_t i = 0; i < kCardSizeCount; ++i) {
    for (int32_t o = 0; o < 2; ++o) {
      const auto [w, h] = TrimMm(i, o);
      const double bw = (outerW - w) / 2.0;
      const double bh = (outerH - h) / 2.0;
      if (bw < -kSlack || bh < -kSlack || bw > 5.0 + kSlack || bh > 5.0 + kSlack) continue;
      if (std::fabs(bw - bh) > kSlack) continue;
      const double b = std::max(0.0, (bw + bh) / 2.0);
      const bool isPreferred = i == preferred;
      const bool better = !found || (isPreferred && !foundPreferred) ||
                          (isPreferred == foundPreferred && b < *bleed);
      if (better) {
        found = true;
        foundPreferred = isPreferred;
        *sizeIndex = i;
        *orientation = o;
        *bleed = b;
      }
    }
  }
  return found;
}

}  // namespace

bool PageViewFromDib(DibImage* page, PageView* view) {
  DibLayout layout;
  if (!view || !DibDescribe(page, &layout)) return false;
  const int64_t rows = layout.height < 0 ? -static_cast<int64_t>(layout.height) : layout.height;
  if (layout.width <= 0 || rows <= 0 || layout.stride <= 0 || rows > INT32_MAX) return false;
  const int64_t pixelBytes = (layout.fileHeader + layout.fileSize) - layout.pixels;
  if ((rows - 1) * layout.stride + 3 * static_cast<int64_t>(layout.width) > pixelBytes) {
    return false;
  }
  view->width = layout.width;
  view->height = static_cast<int32_t>(rows);
  if (layout.height < 0) {
    view->top = layout.pixels;
    view->stride = layout.stride;
  } else {
    view->top = layout.pixels + (rows - 1) * layout.stride;
    view->stride = -static_cast<int64_t>(layout.stride);
  }
  return true;
}

bool MatchCardProportions(double width, double height, int32_t* sizeIndex, int32_t* orientation) {
  if (!(width > 0.0) || !(height > 0.0)) return false;
  const double ratio = width / height;
  double best = kCardRatioTolerance;
  bool found = false;
  for (int32_t i = 0; i < kCardSizeCount; ++i) {
    for (int32_t o = 0; o < 2; ++o) {
      const auto [w, h] = TrimMm(i, o);
      const double off = std::fabs(ratio / (w / h) - 1.0);
      if (off <= best) {
        best = off;
        found = true;
        *sizeIndex = i;
        *orientation = o;
      }
    }
  }
  return found;
}

namespace {

bool UsablePage(const PageView& page) { return page.top && page.width > 0 && page.height > 0; }

bool MarksFromSamples(const PageView& page, const Samples& samples, CardFindResult* result) {
  std::vector<Pair> pairs = MarkPairs(samples);
  // Candidates for the top corners: pairs ending on the same sampled line
  // give or take two, with the same gap, a card's width apart.
  std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
    return a.bottom != b.bottom ? a.bottom < b.bottom : a.xa < b.xa;
  });
  for (size_t i = 0; i < pairs.size(); ++i) {
    const Pair& left = pairs[i];
    const auto from = std::lower_bound(
        pairs.begin(), pairs.end(), left.bottom - 2 * kSampleStep,
        [](const Pair& p, int32_t bottom) { return p.bottom < bottom; });
    for (auto it = from; it != pairs.end() && it->bottom <= left.bottom + 2 * kSampleStep; ++it) {
      const Pair& right = *it;
      if (std::fabs(right.gap - left.gap) > 2.0 + 0.04 * left.gap) continue;
      const double gap = (left.gap + right.gap) / 2.0;
      const double width = right.xa - left.xb;
      if (width < 10.0 * gap || !WidthFitsGap(width, gap)) continue;
      // The two horizontal strokes left of the top left corner.
      const int32_t probe = static_cast<int32_t>(std::lround(left.xa - gap / 2.0));
      // The pairs end at the bleed line or, where the bleed stroke runs on
      // to meet the trim stroke, at the trim line.
      const int32_t end = std::max(left.bottom, right.bottom);
      const int32_t y0 = end - static_cast<int32_t>(gap) - 2 * kSampleStep - kMaxStroke;
      const int32_t y1 = end + static_cast<int32_t>(gap) + 2 * kSampleStep + kMaxStroke;
      const std::vector<double> strokes = ColumnStrokes(page, probe, y0, y1);
      for (size_t a = 0; a < strokes.size(); ++a) {
        for (size_t b = a + 1; b < strokes.size(); ++b) {
          if (std::fabs(strokes[b] - strokes[a] - gap) > 3.0 + 0.04 * gap) continue;
          const double top = strokes[b];
          // The bottom edge for every card shape this width can be.
          for (int32_t s = 0; s < kCardSizeCount; ++s) {
            for (int32_t o = 0; o < 2; ++o) {
              const auto [w, h] = TrimMm(s, o);
              if (std::fabs(width * kMarkBleedMm / w - gap) > 0.08 * gap + 2.0) continue;
              const BoxGuess guess = {left.xb, top, right.xa, top + width * h / w, gap};
              if (VerifyMarks(page, guess, result)) return true;
            }
          }
        }
      }
    }
  }
  return false;
}

bool DesignFromSamples(const PageView& page, const Samples& samples, float pixelsPerMm,
                       int32_t preferredSizeIndex, CardFindResult* result) {
  std::vector<Piece> pieces = InkPieces(samples);
  std::sort(pieces.begin(), pieces.end(),
            [](const Piece& a, const Piece& b) { return a.cells > b.cells; });
  const double smallest = 45.0 * pixelsPerMm;  // shorter side of the smallest card, with slack
  for (const Piece& piece : pieces) {
    const int32_t x0 = piece.x0 * kSampleStep;
    const int32_t y0 = piece.y0 * kSampleStep;
    const int32_t x1 = piece.x1 * kSampleStep;
    const int32_t y1 = piece.y1 * kSampleStep;
    if (x1 - x0 < smallest || y1 - y0 < smallest) continue;
    // A piece reaching the page's edge may be cut off.
    if (piece.x0 == 0 || piece.y0 == 0 || piece.x1 >= samples.gridWidth - 1 ||
        piece.y1 >= samples.gridHeight - 1) {
      continue;
    }
    const int32_t insetY = (y1 - y0) / 10;
    const int32_t insetX = (x1 - x0) / 10;
    const Edge left = MeasureDesignEdge(page, true, x0, +1, y0 + insetY, y1 - insetY);
    const Edge right = MeasureDesignEdge(page, true, x1, -1, y0 + insetY, y1 - insetY);
    const Edge top = MeasureDesignEdge(page, false, y0, +1, x0 + insetX, x1 - insetX);
    const Edge bottom = MeasureDesignEdge(page, false, y1, -1, x0 + insetX, x1 - insetX);
    if (!left.ok || !right.ok || !top.ok || !bottom.ok) continue;
    const double outerW = right.position - left.position;
    const double outerH = bottom.position - top.position;
    int32_t sizeIndex = 0;
    int32_t orientation = 0;
    double bleed = 0.0;
    if (!MatchOuterArea(outerW / pixelsPerMm, outerH / pixelsPerMm, preferredSizeIndex,
                        &sizeIndex, &orientation, &bleed)) {
      continue;
    }
    const auto [wMm, hMm] = TrimMm(sizeIndex, orientation);
    const int32_t trimW = static_cast<int32_t>(std::lround(wMm * pixelsPerMm));
    const int32_t trimH = static_cast<int32_t>(std::lround(hMm * pixelsPerMm));
    const int32_t l = RoundBoundary(left.position + (outerW - trimW) / 2.0);
    const int32_t t = RoundBoundary(top.position + (outerH - trimH) / 2.0);
    *result = {CardFoundByDesignArea, {l, t, l + trimW, t + trimH}, sizeIndex, orientation,
               static_cast<float>(bleed)};
    return true;
  }
  return false;
}

}  // namespace

bool FindCardByMarks(const PageView& page, CardFindResult* result) {
  if (!result) return false;
  *result = {};
  if (!UsablePage(page)) return false;
  if (MarksFromSamples(page, SamplePage(page, false), result)) return true;
  *result = {};
  return false;
}

bool FindCardByDesignArea(const PageView& page, float pixelsPerMm, int32_t preferredSizeIndex,
                          CardFindResult* result) {
  if (!result) return false;
  *result = {};
  if (!UsablePage(page) || !(pixelsPerMm > 0.0f)) return false;
  return DesignFromSamples(page, SamplePage(page, true), pixelsPerMm, preferredSizeIndex, result);
}

bool FindCard(const PageView& page, float pixelsPerMm, int32_t preferredSizeIndex,
              CardFindResult* result) {
  if (!result) return false;
  *result = {};
  if (!UsablePage(page)) return false;
  const Samples samples = SamplePage(page, pixelsPerMm > 0.0f);
  if (MarksFromSamples(page, samples, result)) return true;
  *result = {};
  if (pixelsPerMm > 0.0f &&
      DesignFromSamples(page, samples, pixelsPerMm, preferredSizeIndex, result)) {
    return true;
  }
  *result = {};
  return false;
}
