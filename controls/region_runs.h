// Turns the pixels of a bitmap into the horizontal runs of a window shape:
// one rectangle per run of pixels that differ from a key colour, row by row.
#pragma once

#include <cstddef>
#include <cstdint>

// A rectangle in the layout of the platform's RECT: four 32-bit edges.
struct RegionRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;

  friend bool operator==(const RegionRect&, const RegionRect&) = default;
};

// Appends to `out` one rectangle (start, y, end, y + 1) per run of pixels in
// `row` (width 32-bit pixels 0x00RRGGBB) that are not `key`. Returns how many
// rectangles were appended; `out` needs room for (width + 1) / 2 of them.
std::size_t AppendRowRuns(const uint32_t* row, int32_t width, uint32_t key, int32_t y,
                          RegionRect* out);

// Reads scan line `scanLine` (0 is the bottom row) of the bitmap into `row`;
// returns false when it cannot.
using FetchScanLine = bool (*)(void* context, int32_t scanLine, uint32_t* row);

// Collects the runs of rows 0 to height − 2, counted from the top; the bottom
// row of the bitmap is never part of the shape. `rowBuffer` holds one row,
// `out` room for width × height rectangles. A row that cannot be read adds
// nothing. Returns the number of rectangles.
std::size_t CollectRegionRuns(int32_t width, int32_t height, uint32_t key, FetchScanLine fetch,
                              void* context, uint32_t* rowBuffer, RegionRect* out);

// Size in bytes of region data with room for width × height rectangles after
// its 32-byte header ((width × height + 2) × 16), or 0 when the bitmap is
// empty or the size would overflow.
std::size_t RegionDataCapacity(int32_t width, int32_t height);
