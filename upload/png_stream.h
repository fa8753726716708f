// The image data of a PNG file made on several threads at once: the rows are
// filtered exactly as libpng's writer filters them and compressed in pieces
// of whole rows, each an independent raw deflate stream at zlib level 9 primed
// with the 32 KB of filtered data before it, then joined into one zlib stream
// whose Adler-32 covers all the filtered data. Pure memory work, no files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// Row filter bits, numbered as png_set_filter numbers them.
constexpr unsigned kPngFilterNone = 0x08;
constexpr unsigned kPngFilterSub = 0x10;
constexpr unsigned kPngFilterUp = 0x20;
constexpr unsigned kPngFilterAverage = 0x40;
constexpr unsigned kPngFilterPaeth = 0x80;
constexpr unsigned kPngAllFilters = 0xF8;

// Filtered bytes of a piece, before rounding to whole rows.
constexpr size_t kPngPieceBytes = 1024 * 1024;

// The filters libpng tries on an image of this size when given all five: a
// one-row image loses those that look at the row above, a one-pixel-wide image
// those that look at the pixel to the left.
unsigned PngRowFilters(uint32_t width, uint32_t height);

// Filters one row of `rowBytes` bytes with libpng's choice among `filters`:
// the filter whose bytes, read as signed values, have the least sum of
// absolute values; on a tie the earlier of None, Sub, Up, Average, Paeth.
// `previous` is the row above; for the top row, a row of zeros.
// Writes the filter type byte and the filtered bytes to `out` (rowBytes + 1
// bytes); `scratch` holds rowBytes + 1 bytes. Returns the filter type (0-4).
int FilterPngRow(const unsigned char* row, const unsigned char* previous, size_t rowBytes,
                 size_t pixelBytes, unsigned filters, unsigned char* out, unsigned char* scratch);

// One piece of an image's compressed data: rows [firstRow, endRow).
struct PngPiece {
  uint32_t firstRow = 0;
  uint32_t endRow = 0;
  std::vector<unsigned char> deflated;  // raw deflate data, ending on a byte boundary
  uint32_t adler = 1;                   // Adler-32 of the piece's filtered bytes
  size_t filteredBytes = 0;
  bool done = false;
};

// Makes top-down row `row` of an image: fills `out` with width × channels
// bytes. Called from several threads at once, for distinct rows or the same.
using PngRowSource = void (*)(const void* context, uint32_t row, unsigned char* out);

// An image's rows and the pieces its compressed data is made of.
struct PngStream {
  const unsigned char* const* rows = nullptr;  // top-down rows, width × channels bytes each,
  PngRowSource source = nullptr;               // or, when null, each piece makes the rows
  const void* context = nullptr;               // it needs with the source
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  unsigned filters = 0;
  std::vector<PngPiece> pieces;
};

// Splits the image into pieces of whole rows of about `pieceBytes` filtered
// bytes each (at least one row a piece). False for an empty image, no rows,
// 0 or more than 4 channels, a row of 1 GB or more, or no memory.
bool PlanPngStream(const unsigned char* const* rows, uint32_t width, uint32_t height,
                   uint32_t channels, size_t pieceBytes, PngStream* stream);

// The same for rows made on demand by `source`, so that the rows are made on
// the threads that compress them and the whole image never exists twice.
bool PlanPngStream(PngRowSource source, const void* context, uint32_t width, uint32_t height,
                   uint32_t channels, size_t pieceBytes, PngStream* stream);

// Filters and compresses piece `index`. Distinct pieces of a stream may be
// compressed at the same time on different threads. Stops with false when
// `cancel` (may be null) becomes true, checked between rows and between
// stretches of at most 64 KB of compression, or when memory runs out.
bool CompressPngPiece(PngStream* stream, size_t index, const std::atomic<bool>* cancel);

// Compresses every piece of `count` streams on a pool of `threads` threads,
// the calling one included (0: std::thread::hardware_concurrency). The pieces
// of all the streams share the pool, taken in turn from each stream, so that
// the threads stay busy until the last piece of any stream is done. Fewer
// threads are used when no more can be started. When `cancel` becomes true no
// further piece is started. Each piece records whether it was done.
void CompressPngStreams(PngStream* const* streams, size_t count, unsigned threads,
                        const std::atomic<bool>* cancel);

// The whole zlib stream: the header (32 KB window, or the smaller window
// libpng declares for small images; maximum compression), the pieces in order,
// and the Adler-32 of all filtered data combined from the pieces'. False when
// a piece was not done or memory runs out.
bool JoinPngStream(const PngStream& stream, std::vector<unsigned char>* zlibStream);
