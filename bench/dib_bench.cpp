// Loading an A4 page at 720 dpi (5953 × 8419, 24 bits, top-down, as the
// printer driver leaves it) with DibLoadFile, next to one plain read of the
// same file into a fresh buffer of its size; and the editor's display copy,
// DibReduce by 12, next to a plain row-pointer loop that takes the same
// samples. Prints both ratios after checking that the reductions agree.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "editor/page_pattern.h"
#include "image/dib_image.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kPageWidth = 5953;
constexpr int32_t kPageHeight = 8419;
constexpr int32_t kFactor = 12;

// The page on disk and in memory for the whole run.
struct PageSetup {
  fs::path path;
  DibImage* page = nullptr;
  uint32_t size = 0;

  PageSetup() {
    page = MakePatternPage(kPageWidth, kPageHeight, true);
    DibLayout layout;
    DibDescribe(page, &layout);
    size = layout.fileSize;
    std::random_device random;
    path = fs::temp_directory_path() / ("norvalisk_dib_bench_" + std::to_string(random()) + ".bmp");
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file) {
      std::fwrite(DibBytes(page), 1, size, file);
      std::fclose(file);
    }
  }
  ~PageSetup() {
    DibFree(page);
    std::error_code ignored;
    fs::remove(path, ignored);
  }
};

PageSetup& Setup() {
  static PageSetup setup;
  return setup;
}

// The floor of a load: open, allocate the file's size, read it whole, close.
void BM_PlainRead(benchmark::State& state) {
  PageSetup& s = Setup();
  for (auto _ : state) {
    std::FILE* file = std::fopen(s.path.string().c_str(), "rb");
    auto* block = static_cast<unsigned char*>(std::malloc(s.size));
    const size_t got = std::fread(block, 1, s.size, file);
    std::fclose(file);
    benchmark::DoNotOptimize(got);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_DibLoadFile(benchmark::State& state) {
  PageSetup& s = Setup();
  for (auto _ : state) {
    DibImage* page = DibLoadFile(s.path.string().c_str());
    benchmark::DoNotOptimize(page);
    DibFree(page);
  }
}
BENCHMARK(BM_DibLoadFile)->Unit(benchmark::kMillisecond);

// The same samples as DibReduce (the first pixel of every factor × factor
// block), taken through row pointers without any per-pixel checks.
DibImage* RowLoopReduce(DibImage* image) {
  DibLayout source;
  DibDescribe(image, &source);
  DibImage* result = DibCreate(source.width / kFactor, source.height / kFactor, 24);
  DibLayout target;
  DibDescribe(result, &target);
  const int32_t rows = target.height < 0 ? -target.height : target.height;
  for (int32_t i = 0; i < rows; ++i) {
    const unsigned char* from = source.pixels + static_cast<int64_t>(i) * kFactor * source.stride;
    unsigned char* to = target.pixels + static_cast<int64_t>(i) * target.stride;
    for (int32_t j = 0; j < target.width; ++j) {
      to[3 * j] = from[3 * kFactor * j];
      to[3 * j + 1] = from[3 * kFactor * j + 1];
      to[3 * j + 2] = from[3 * kFactor * j + 2];
    }
  }
  return result;
}

void BM_RowLoopReduce(benchmark::State& state) {
  PageSetup& s = Setup();
  for (auto _ : state) {
    DibImage* copy = RowLoopReduce(s.page);
    benchmark::DoNotOptimize(copy);
    DibFree(copy);
  }
}
BENCHMARK(BM_RowLoopReduce)->Unit(benchmark::kMicrosecond);

void BM_DibReduce(benchmark::State& state) {
  PageSetup& s = Setup();
  for (auto _ : state) {
    DibImage* copy = DibReduce(s.page, kFactor);
    benchmark::DoNotOptimize(copy);
    DibFree(copy);
  }
}
BENCHMARK(BM_DibReduce)->Unit(benchmark::kMicrosecond);

// The loaded file equals the page, and both reductions give the same bytes.
bool SameOutput() {
  PageSetup& s = Setup();
  DibImage* loaded = DibLoadFile(s.path.string().c_str());
  bool same = loaded && std::memcmp(DibBytes(loaded), DibBytes(s.page), s.size) == 0;
  DibImage* reduced = DibReduce(s.page, kFactor);
  DibImage* plain = RowLoopReduce(s.page);
  uint32_t reducedSize = 0;
  DibFree(DibCreate(kPageWidth / kFactor, -kPageHeight / kFactor, 24, &reducedSize));
  same = same && reduced && plain &&
         std::memcmp(DibBytes(reduced), DibBytes(plain), reducedSize) == 0;
  DibFree(loaded);
  DibFree(reduced);
  DibFree(plain);
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const PageSetup& s = Setup();
  std::printf("page %d x %d, %u bytes, reduced by %d\n", kPageWidth, kPageHeight, s.size, kFactor);
  const bool same = SameOutput();
  std::printf("page loads unchanged and DibReduce matches the row loop: %s\n", same ? "yes" : "NO");
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double read = reporter.times["BM_PlainRead"];
  const double load = reporter.times["BM_DibLoadFile"];
  const double loop = reporter.times["BM_RowLoopReduce"];
  const double reduce = reporter.times["BM_DibReduce"];
  if (read > 0 && load > 0) {
    std::printf("DibLoadFile / plain read: %.2fx (target at most 1.5x)\n", load / read);
  }
  if (loop > 0 && reduce > 0) {
    std::printf("DibReduce / row-pointer loop: %.2fx (target at most 1.5x)\n", reduce / loop);
  }
  benchmark::Shutdown();
  return same ? 0 : 1;
}
