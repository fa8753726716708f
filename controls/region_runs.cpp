// Row runs of a window shape.
#include "controls/region_runs.h"

#include <limits>

std::size_t AppendRowRuns(const uint32_t* row, int32_t width, uint32_t key, int32_t y,
                          RegionRect* out) {
  std::size_t count = 0;
  for (int32_t j = 0; j < width;) {
    if (row[j] == key) {
      ++j;
      continue;
    }
    const int32_t start = j;
    while (j < width && row[j] != key) {
      ++j;
    }
    out[count++] = RegionRect{start, y, j, y + 1};
  }
  return count;
}

std::size_t CollectRegionRuns(int32_t width, int32_t height, uint32_t key, FetchScanLine fetch,
                              void* context, uint32_t* rowBuffer, RegionRect* out) {
  std::size_t count = 0;
  for (int32_t y = 0; y < height - 1; ++y) {
    if (fetch(context, height - 1 - y, rowBuffer)) {
      count += AppendRowRuns(rowBuffer, width, key, y, out + count);
    }
  }
  return count;
}

std::size_t RegionDataCapacity(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) {
    return 0;
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixels > std::numeric_limits<std::size_t>::max() / 16 - 2) {
    return 0;
  }
  return (pixels + 2) * 16;
}
