// The default cut (普通名刺, landscape: 2693 × 1672 pixels) from an A4 page at
// 720 dpi, as the editor view places it, by the table-driven resampler and by
// the plain per-pixel reference, next to one memcpy of the card image's size.
// Prints how much faster the resampler is than the reference and how it
// compares with the memcpy, after checking that both give the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "editor/card_geometry.h"
#include "editor/card_resample.h"
#include "editor/cut_reference.h"
#include "editor/fit_rect.h"
#include "editor/page_pattern.h"
#include "image/dib_image.h"
#include "ratio_reporter.h"

namespace {

constexpr int32_t kPageWidth = 5953;   // A4 at 720 dpi
constexpr int32_t kPageHeight = 8419;
constexpr int32_t kClientWidth = 409;  // the editor view's client area
constexpr int32_t kClientHeight = 561;

// The page and the cut the editor view makes of it with its default selection.
struct CutSetup {
  DibImage* page = nullptr;
  CardRect cutRect = {};
  int32_t width = 0;
  int32_t height = 0;
  uint32_t blockSize = 0;

  CutSetup() {
    page = MakePatternPage(kPageWidth, kPageHeight, true);
    const CardGeometry card = {91.0f, 55.0f, 2.0f, 28.346457f};
    const float scale = FitViewScale(kClientWidth, kClientHeight, kPageWidth, kPageHeight);
    int32_t image[4] = {0, 0, kClientWidth, kClientHeight};
    FitImageRect(kPageWidth / 12, kPageHeight / 12, image);
    const CardRect selection = DefaultSelection(kClientWidth, card, scale);
    cutRect = CutRectFromTrim(TrimRectFromSelection(selection, image[0], image[1], scale), card);
    CutImageSize(card, &width, &height);
    DibImage* probe = DibCreate(width, height, 24, &blockSize);
    DibFree(probe);
  }
  ~CutSetup() { DibFree(page); }
};

CutSetup& Setup() {
  static CutSetup setup;
  return setup;
}

void BM_ResampleCut(benchmark::State& state) {
  CutSetup& s = Setup();
  for (auto _ : state) {
    DibImage* card = ResampleCut(s.page, s.cutRect, s.width, s.height);
    benchmark::DoNotOptimize(card);
    DibFree(card);
  }
}
BENCHMARK(BM_ResampleCut)->Unit(benchmark::kMillisecond);

void BM_ReferenceCut(benchmark::State& state) {
  CutSetup& s = Setup();
  for (auto _ : state) {
    DibImage* card = ReferenceCut(s.page, s.cutRect, s.width, s.height);
    benchmark::DoNotOptimize(card);
    DibFree(card);
  }
}
BENCHMARK(BM_ReferenceCut)->Unit(benchmark::kMillisecond);

void BM_MemcpyCardImage(benchmark::State& state) {
  CutSetup& s = Setup();
  std::vector<unsigned char> from(s.blockSize, 1);
  std::vector<unsigned char> to(s.blockSize);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyCardImage)->Unit(benchmark::kMillisecond);

bool SameOutput() {
  CutSetup& s = Setup();
  DibImage* fast = ResampleCut(s.page, s.cutRect, s.width, s.height);
  DibImage* reference = ReferenceCut(s.page, s.cutRect, s.width, s.height);
  const bool same = fast && reference && std::memcmp(DibBytes(fast), DibBytes(reference), s.blockSize) == 0;
  DibFree(fast);
  DibFree(reference);
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const CutSetup& s = Setup();
  std::printf("page %d x %d, cut (%d, %d, %d, %d) into %d x %d (%u bytes)\n", kPageWidth,
              kPageHeight, s.cutRect.left, s.cutRect.top, s.cutRect.right, s.cutRect.bottom,
              s.width, s.height, s.blockSize);
  const bool same = SameOutput();
  std::printf("same output bytes as the reference: %s\n", same ? "yes" : "NO");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double fast = reporter.times["BM_ResampleCut"];
  const double reference = reporter.times["BM_ReferenceCut"];
  const double copy = reporter.times["BM_MemcpyCardImage"];
  if (fast > 0 && reference > 0 && copy > 0) {
    std::printf("reference / resampler: %.2fx (target at least 4x)\n", reference / fast);
    std::printf("resampler / one memcpy of the card image: %.2fx\n", fast / copy);
  }
  benchmark::Shutdown();
  return same ? 0 : 1;
}
