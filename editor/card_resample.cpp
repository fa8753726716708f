// Resampling the cut area of a page into a card image.
//
// The cut is nearest neighbour with one step for both axes: output column j
// reads page column cutRect.left + round(j × step), output line i reads page
// line cutRect.top + round(i × step), where step is held as a float and
// round adds 0.5 and truncates. Samples off the page are white.
//
// A per-pixel version of that rule spends its time in the coordinate
// arithmetic and the range tests of every single read and write. Here the
// column arithmetic is done once: a table holds, for every output column,
// the byte offset of its source pixel within a page row, or −1 when the
// column lies off the page. Each output line then finds its source row once
// (or white when the row is off the page) and copies three bytes per pixel
// through the table. Lines that sample the same page row as the line before
// are copied whole.
//
// Pages are read as 24 bits per pixel whatever their header says, as
// everywhere in the program. For a page of fewer bits per pixel the three
// bytes of a sample near the end of the last rows could lie past the block;
// such samples count as off the page.
#include "editor/card_resample.h"

#include <cstring>
#include <vector>

#include "editor/card_geometry.h"
#include "image/dib_image.h"

namespace {

constexpr unsigned char kWhite = 255;

// Page row at `line` lines from the top, in storage order; −1 off the page.
int64_t StoredRow(const DibLayout& page, int64_t line) {
  const int64_t rows = page.height < 0 ? -static_cast<int64_t>(page.height) : page.height;
  if (line < 0 || line >= rows) return -1;
  return page.height < 0 ? line : rows - 1 - line;
}

// round(index × step) as the program rounds, in full precision.
int64_t StepOffset(int32_t index, float step) {
  return RoundHalfUp(static_cast<double>(index) * static_cast<double>(step));
}

}  // namespace

DibImage* ResampleCut(DibImage* page, const CardRect& cutRect, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return nullptr;
  DibImage* card = DibCreate(width, height, 24);
  if (!card) return nullptr;
  DibLayout out;
  DibDescribe(card, &out);

  DibLayout source = {};
  const bool havePage = page && DibDescribe(page, &source) && source.width > 0;
  // Bytes from the first pixel row to the end of the block.
  const int64_t pixelBytes = havePage ? (source.fileHeader + source.fileSize) - source.pixels : 0;

  const float step = static_cast<float>(static_cast<int64_t>(cutRect.right) - cutRect.left) /
                     static_cast<float>(width);

  // Byte offset of each output column's source pixel within a page row.
  std::vector<int64_t> columns(static_cast<size_t>(width));
  int64_t lastColumnByte = -1;
  for (int32_t j = 0; j < width; ++j) {
    const int64_t sx = cutRect.left + StepOffset(j, step);
    columns[j] = havePage && sx >= 0 && sx < source.width ? 3 * sx : -1;
    if (columns[j] > lastColumnByte) lastColumnByte = columns[j];
  }

  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const unsigned char* previousSource = nullptr;
  unsigned char* previousOut = nullptr;
  for (int32_t i = 0; i < height; ++i) {
    unsigned char* target = out.pixels + static_cast<int64_t>(height - 1 - i) * out.stride;
    const int64_t stored = havePage ? StoredRow(source, cutRect.top + StepOffset(i, step)) : -1;
    if (stored < 0 || lastColumnByte < 0) {
      std::memset(target, kWhite, rowBytes);
      previousSource = nullptr;
      continue;
    }
    const int64_t rowStart = stored * source.stride;
    const unsigned char* row = source.pixels + rowStart;
    if (row == previousSource) {
      std::memcpy(target, previousOut, rowBytes);
      continue;
    }
    unsigned char* pixel = target;
    if (rowStart + lastColumnByte + 3 <= pixelBytes) {
      for (int32_t j = 0; j < width; ++j, pixel += 3) {
        const int64_t at = columns[j];
        if (at >= 0) {
          pixel[0] = row[at];
          pixel[1] = row[at + 1];
          pixel[2] = row[at + 2];
        } else {
          pixel[0] = pixel[1] = pixel[2] = kWhite;
        }
      }
    } else {
      for (int32_t j = 0; j < width; ++j, pixel += 3) {
        const int64_t at = columns[j];
        if (at >= 0 && rowStart + at + 3 <= pixelBytes) {
          pixel[0] = row[at];
          pixel[1] = row[at + 1];
          pixel[2] = row[at + 2];
        } else {
          pixel[0] = pixel[1] = pixel[2] = kWhite;
        }
      }
    }
    previousSource = row;
    previousOut = target;
  }
  return card;
}
