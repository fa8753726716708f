// Importing a card design into a page: a 91 × 55 mm card with a 2 mm bleed
// drawn at 350 dpi (1309 × 813 pixels), matched as a card, resampled with
// Lanczos-3 to 2693 × 1672 and placed on a white A4 page at 720 dpi (the
// whole page block built, 150 MB). Also the resampling alone, and the white
// page alone, so that the parts can be told apart. The goal is at most 1 s
// for the whole import (decoding and writing the file are not included).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "pages/design_import.h"
#include "image/dib_image.h"

namespace {

struct Design {
  int32_t width = 1309;
  int32_t height = 813;
  std::vector<unsigned char> bgr;
  Design() {
    bgr.resize(static_cast<size_t>(width) * height * 3);
    uint32_t seed = 1;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        unsigned char* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
        seed = seed * 1664525u + 1013904223u;
        // A gradient with some noise and hard-edged blocks, like a photo with text.
        p[0] = static_cast<unsigned char>((x * 255) / width);
        p[1] = static_cast<unsigned char>(((x / 40 + y / 40) % 2) ? 30 : 220);
        p[2] = static_cast<unsigned char>((seed >> 24) & 0x3F);
      }
  }
};

const Design& TheDesign() {
  static Design design;
  return design;
}

void BM_ImportCardDesign(benchmark::State& state) {
  const Design& d = TheDesign();
  for (auto _ : state) {
    DesignPlacement placement;
    if (PlaceDesign(d.width, d.height, 350, 350, &placement) != PlacementOk || !placement.isCard) {
      state.SkipWithError("not placed as a card");
      break;
    }
    DibImage* page = BuildDesignPage(d.bgr.data(), d.width, d.height, placement);
    benchmark::DoNotOptimize(page);
    DibFree(page);
  }
}
BENCHMARK(BM_ImportCardDesign)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResampleOnly(benchmark::State& state) {
  const Design& d = TheDesign();
  std::vector<unsigned char> out(static_cast<size_t>(2693) * 1672 * 3);
  for (auto _ : state) {
    ResampleLanczos3(d.bgr.data(), d.width, d.height, static_cast<size_t>(d.width) * 3, out.data(),
                     2693, 1672, 2693 * 3);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ResampleOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WhitePageOnly(benchmark::State& state) {
  std::vector<unsigned char> pixel(3, 0);
  DesignPlacement placement;
  PlaceDesign(1, 1, 720, 720, &placement);
  for (auto _ : state) {
    DibImage* page = BuildDesignPage(pixel.data(), 1, 1, placement);
    benchmark::DoNotOptimize(page);
    DibFree(page);
  }
}
BENCHMARK(BM_WhitePageOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
