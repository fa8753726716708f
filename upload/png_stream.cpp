// Row filtering, piece compression and stream joining of the PNG writer.
//
// Why pieces: deflate at level 9 is the slow part of writing a card side,
// and one zlib stream is inherently sequential. Deflate blocks may however
// be cut anywhere: a raw deflate stream that ends with a sync flush (an empty
// stored block) stops on a byte boundary without the final-block bit, so
// another raw stream can follow it directly. Priming each piece's compressor
// with the 32 KB before it (deflateSetDictionary) lets its matches reach back
// exactly as far as one long stream's would, so the file stays within a few
// bytes a piece of a single-threaded encode. The Adler-32 of the whole data
// is combined from the pieces' own with adler32_combine.
//
// The filter choice needs only a row and the row above, both at hand, so each
// piece filters its own rows, plus the few rows before it that its dictionary
// is made of, and the full filtered image never exists at once.
#include "upload/png_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>
#include <thread>
#include <utility>

namespace {

// Compression settings of libpng's writer for filtered image data.
constexpr int kLevel = 9;
constexpr int kMemLevel = 8;
constexpr int kStrategy = Z_FILTERED;
constexpr size_t kWindow = 32768;
constexpr size_t kFeedBytes = 64 * 1024;
constexpr size_t kMaxLineBytes = size_t(1) << 30;

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// A filtered byte read as a signed value, by its distance from zero.
inline unsigned Weight(unsigned char v) { return v < 128 ? v : 256u - v; }

inline unsigned char PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  return static_cast<unsigned char>((pa <= pb && pa <= pc) ? a : pb <= pc ? b : c);
}

// Sums are compared stretch by stretch: a trial stops once it is worse than
// the best so far, which cannot change the choice, since sums only grow.
constexpr size_t kStretch = 256;

// Filters `row` with `type` into out[1..]; stops early once the sum exceeds `limit`.
size_t FilterTrial(int type, const unsigned char* row, const unsigned char* up, size_t n,
                   size_t bpp, size_t limit, unsigned char* out) {
  out[0] = static_cast<unsigned char>(type);
  unsigned char* d = out + 1;
  size_t sum = 0;
  const size_t head = std::min(bpp, n);
  // The first pixel has no left neighbour (taken as 0).
  for (size_t i = 0; i < head; ++i) {
    unsigned char v;
    switch (type) {
      case 1: v = row[i]; break;
      case 2: v = static_cast<unsigned char>(row[i] - up[i]); break;
      case 3: v = static_cast<unsigned char>(row[i] - up[i] / 2); break;
      default: v = static_cast<unsigned char>(row[i] - up[i]); break;  // Paeth of (0, b, 0) is b
    }
    d[i] = v;
    sum += Weight(v);
  }
  for (size_t start = head; start < n; start += kStretch) {
    const size_t end = std::min(n, start + kStretch);
    unsigned stretch = 0;
    switch (type) {
      case 1:
        for (size_t i = start; i < end; ++i) {
          const unsigned char v = static_cast<unsigned char>(row[i] - row[i - bpp]);
          d[i] = v;
          stretch += Weight(v);
        }
        break;
      case 2:
        for (size_t i = start; i < end; ++i) {
          const unsigned char v = static_cast<unsigned char>(row[i] - up[i]);
          d[i] = v;
          stretch += Weight(v);
        }
        break;
      case 3:
        for (size_t i = start; i < end; ++i) {
          const unsigned char v =
              static_cast<unsigned char>(row[i] - ((unsigned(row[i - bpp]) + up[i]) >> 1));
          d[i] = v;
          stretch += Weight(v);
        }
        break;
      default:
        for (size_t i = start; i < end; ++i) {
          const unsigned char v = static_cast<unsigned char>(
              row[i] - PaethPredictor(row[i - bpp], up[i], up[i - bpp]));
          d[i] = v;
          stretch += Weight(v);
        }
        break;
    }
    sum += stretch;
    if (sum > limit) break;
  }
  return sum;
}

// Rows of filtered data (type byte and row) between `first` and `end`, into
// `out`. Rows made by a source come in turns into two buffers: the row being
// filtered and the one above it.
bool FilterRows(const PngStream& stream, uint32_t first, uint32_t end, unsigned char* out,
                unsigned char* scratch, const std::atomic<bool>* cancel) {
  const size_t rowBytes = size_t(stream.width) * stream.channels;
  std::vector<unsigned char> made(stream.rows == nullptr ? 2 * rowBytes : 0);
  std::vector<unsigned char> zeros(first == 0 ? rowBytes : 0);
  unsigned char* slots[2] = {made.data(), made.data() + (made.empty() ? 0 : rowBytes)};
  int nextSlot = 0;
  auto rowAt = [&](uint32_t r) -> const unsigned char* {
    if (stream.rows != nullptr) return stream.rows[r];
    unsigned char* slot = slots[nextSlot];
    nextSlot ^= 1;
    stream.source(stream.context, r, slot);
    return slot;
  };
  const unsigned char* previous = first == 0 ? zeros.data() : rowAt(first - 1);
  for (uint32_t r = first; r < end; ++r) {
    if (Cancelled(cancel)) return false;
    const unsigned char* row = rowAt(r);
    FilterPngRow(row, previous, rowBytes, stream.channels, stream.filters,
                 out + size_t(r - first) * (rowBytes + 1), scratch);
    previous = row;
  }
  return true;
}

// Runs deflate with `flush` until the input is taken and, for a flush, all
// output is out; grows `out` as needed. `written` counts the bytes in `out`.
bool Deflate(z_stream* z, int flush, std::vector<unsigned char>* out, size_t* written) {
  for (;;) {
    if (*written == out->size()) out->resize(out->size() + out->size() / 2 + 4096);
    const size_t room = std::min<size_t>(out->size() - *written, 1u << 30);
    z->next_out = out->data() + *written;
    z->avail_out = static_cast<uInt>(room);
    const int result = deflate(z, flush);
    *written += room - z->avail_out;
    if (result == Z_STREAM_ERROR) return false;
    if (flush == Z_FINISH) {
      if (result == Z_STREAM_END) return true;
    } else if (z->avail_in == 0 && z->avail_out != 0) {
      // With room left over, zlib has taken all input and, for a flush, emitted all output.
      return true;
    }
  }
}

}  // namespace

unsigned PngRowFilters(uint32_t width, uint32_t height) {
  unsigned filters = kPngAllFilters;
  if (height == 1) filters &= ~(kPngFilterUp | kPngFilterAverage | kPngFilterPaeth);
  if (width == 1) filters &= ~(kPngFilterSub | kPngFilterAverage | kPngFilterPaeth);
  return filters == 0 ? kPngFilterNone : filters;
}

int FilterPngRow(const unsigned char* row, const unsigned char* previous, size_t rowBytes,
                 size_t pixelBytes, unsigned filters, unsigned char* out,
                 unsigned char* scratch) {
  const unsigned char* up = previous;
  size_t best = SIZE_MAX;
  int bestType = -1;
  unsigned char* bestRow = nullptr;
  unsigned char* trial = out;
  if ((filters & kPngFilterNone) != 0) {
    size_t sum = 0;
    for (size_t i = 0; i < rowBytes; ++i) sum += Weight(row[i]);
    best = sum;
    bestType = 0;
  }
  const unsigned kBits[4] = {kPngFilterSub, kPngFilterUp, kPngFilterAverage, kPngFilterPaeth};
  for (int type = 1; type <= 4; ++type) {
    if ((filters & kBits[type - 1]) == 0) continue;
    const size_t sum = FilterTrial(type, row, up, rowBytes, pixelBytes, best, trial);
    if (bestType < 0 || sum < best) {
      best = sum;
      bestType = type;
      bestRow = trial;
      trial = trial == out ? scratch : out;
    }
  }
  if (bestType <= 0) {
    out[0] = 0;
    std::copy(row, row + rowBytes, out + 1);
    return 0;
  }
  if (bestRow != out) std::copy(bestRow, bestRow + rowBytes + 1, out);
  return bestType;
}

namespace {

bool Plan(const unsigned char* const* rows, PngRowSource source, const void* context,
          uint32_t width, uint32_t height, uint32_t channels, size_t pieceBytes,
          PngStream* stream) {
  if (stream == nullptr) return false;
  *stream = PngStream{};
  if ((rows == nullptr && source == nullptr) || width == 0 || height == 0 || channels == 0 || channels > 4) return false;
  const size_t lineBytes = size_t(width) * channels + 1;
  // zlib counts a piece's bytes in 32 bits everywhere.
  if (lineBytes > kMaxLineBytes) return false;
  const size_t rowsPerPiece = std::max<size_t>(1, pieceBytes / lineBytes);
  try {
    stream->pieces.reserve((height + rowsPerPiece - 1) / rowsPerPiece);
    for (size_t first = 0; first < height; first += rowsPerPiece) {
      PngPiece piece;
      piece.firstRow = static_cast<uint32_t>(first);
      piece.endRow = static_cast<uint32_t>(std::min<size_t>(height, first + rowsPerPiece));
      stream->pieces.push_back(std::move(piece));
    }
  } catch (const std::bad_alloc&) {
    *stream = PngStream{};
    return false;
  }
  stream->rows = rows;
  stream->source = source;
  stream->context = context;
  stream->width = width;
  stream->height = height;
  stream->channels = channels;
  stream->filters = PngRowFilters(width, height);
  return true;
}

}  // namespace

bool PlanPngStream(const unsigned char* const* rows, uint32_t width, uint32_t height,
                   uint32_t channels, size_t pieceBytes, PngStream* stream) {
  return Plan(rows, nullptr, nullptr, width, height, channels, pieceBytes, stream);
}

bool PlanPngStream(PngRowSource source, const void* context, uint32_t width, uint32_t height,
                   uint32_t channels, size_t pieceBytes, PngStream* stream) {
  return Plan(nullptr, source, context, width, height, channels, pieceBytes, stream);
}

bool CompressPngPiece(PngStream* stream, size_t index, const std::atomic<bool>* cancel) {
  if (stream == nullptr || index >= stream->pieces.size()) return false;
  PngPiece& piece = stream->pieces[index];
  piece.done = false;
  piece.deflated.clear();
  const size_t lineBytes = size_t(stream->width) * stream->channels + 1;
  // The rows before the piece that hold its dictionary.
  const size_t before = size_t(piece.firstRow) * lineBytes;
  const size_t dictionaryBytes = std::min(kWindow, before);
  const uint32_t dictionaryRows =
      static_cast<uint32_t>((dictionaryBytes + lineBytes - 1) / lineBytes);
  const uint32_t first = piece.firstRow - dictionaryRows;
  const size_t dataBytes = size_t(piece.endRow - piece.firstRow) * lineBytes;

  z_stream z{};
  bool started = false;
  bool ok = false;
  try {
    std::vector<unsigned char> filtered(size_t(piece.endRow - first) * lineBytes);
    std::vector<unsigned char> scratch(lineBytes);
    if (!FilterRows(*stream, first, piece.endRow, filtered.data(), scratch.data(), cancel)) {
      return false;
    }
    const unsigned char* data = filtered.data() + size_t(dictionaryRows) * lineBytes;

    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, kMemLevel, kStrategy) != Z_OK) return false;
    started = true;
    if (dictionaryBytes > 0 &&
        deflateSetDictionary(&z, data - dictionaryBytes, static_cast<uInt>(dictionaryBytes)) !=
            Z_OK) {
      deflateEnd(&z);
      return false;
    }
    piece.deflated.resize(deflateBound(&z, static_cast<uLong>(dataBytes)) + 64);
    size_t written = 0;
    uLong adler = adler32(0, nullptr, 0);
    ok = true;
    for (size_t at = 0; ok && at < dataBytes; at += kFeedBytes) {
      if (Cancelled(cancel)) {
        ok = false;
        break;
      }
      const size_t n = std::min(kFeedBytes, dataBytes - at);
      adler = adler32(adler, data + at, static_cast<uInt>(n));
      z.next_in = const_cast<Bytef*>(data + at);
      z.avail_in = static_cast<uInt>(n);
      ok = Deflate(&z, Z_NO_FLUSH, &piece.deflated, &written);
    }
    const bool last = piece.endRow == stream->height;
    if (ok) ok = Deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH, &piece.deflated, &written);
    deflateEnd(&z);
    started = false;
    if (ok) {
      piece.deflated.resize(written);
      piece.deflated.shrink_to_fit();
      piece.adler = static_cast<uint32_t>(adler);
      piece.filteredBytes = dataBytes;
    }
  } catch (const std::bad_alloc&) {
    if (started) deflateEnd(&z);
    ok = false;
  }
  if (!ok) std::vector<unsigned char>().swap(piece.deflated);
  piece.done = ok;
  return ok;
}

void CompressPngStreams(PngStream* const* streams, size_t count, unsigned threads,
                        const std::atomic<bool>* cancel) {
  // Pieces in turns: the first of each stream, then the second of each, ...
  std::vector<std::pair<PngStream*, size_t>> order;
  try {
    size_t most = 0;
    for (size_t s = 0; s < count; ++s) {
      if (streams[s] != nullptr) most = std::max(most, streams[s]->pieces.size());
    }
    for (size_t k = 0; k < most; ++k) {
      for (size_t s = 0; s < count; ++s) {
        if (streams[s] != nullptr && k < streams[s]->pieces.size()) order.emplace_back(streams[s], k);
      }
    }
  } catch (const std::bad_alloc&) {
    // No room for the list: one piece after the other on this thread.
    for (size_t s = 0; s < count; ++s) {
      if (streams[s] == nullptr) continue;
      for (size_t k = 0; k < streams[s]->pieces.size() && !Cancelled(cancel); ++k) {
        CompressPngPiece(streams[s], k, cancel);
      }
    }
    return;
  }

  std::atomic<size_t> next{0};
  auto work = [&] {
    for (;;) {
      if (Cancelled(cancel)) return;
      const size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= order.size()) return;
      CompressPngPiece(order[i].first, order[i].second, cancel);
    }
  };
  if (threads == 0) threads = std::thread::hardware_concurrency();
  threads = static_cast<unsigned>(std::min<size_t>(std::max(threads, 1u), order.size()));
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(threads > 0 ? threads - 1 : 0);
    for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(work);
  } catch (const std::exception&) {
    // Fewer threads than asked for: those started and this one share the work.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
}

bool JoinPngStream(const PngStream& stream, std::vector<unsigned char>* zlibStream) {
  if (zlibStream == nullptr) return false;
  zlibStream->clear();
  size_t total = 6;
  size_t dataBytes = 0;
  for (const PngPiece& piece : stream.pieces) {
    if (!piece.done) return false;
    total += piece.deflated.size();
    dataBytes += piece.filteredBytes;
  }
  if (stream.pieces.empty()) return false;

  // The header declares the window libpng declares: 32 KB, or for data of at
  // most 16 KB the smallest window that still covers all of it.
  unsigned info = 7;
  if (dataBytes <= 16384) {
    size_t half = size_t(1) << (info + 7);
    while (info > 0 && dataBytes <= half) {
      half >>= 1;
      --info;
    }
  }
  const unsigned cmf = (info << 4) | Z_DEFLATED;
  unsigned flg = 3u << 6;  // FLEVEL 3: maximum compression
  flg += 31 - ((cmf << 8) + flg) % 31;

  uLong adler = adler32(0, nullptr, 0);
  for (const PngPiece& piece : stream.pieces) {
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.filteredBytes));
  }
  try {
    zlibStream->reserve(total);
    zlibStream->push_back(static_cast<unsigned char>(cmf));
    zlibStream->push_back(static_cast<unsigned char>(flg));
    for (const PngPiece& piece : stream.pieces) {
      zlibStream->insert(zlibStream->end(), piece.deflated.begin(), piece.deflated.end());
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
      zlibStream->push_back(static_cast<unsigned char>(adler >> shift));
    }
  } catch (const std::bad_alloc&) {
    std::vector<unsigned char>().swap(*zlibStream);
    return false;
  }
  return true;
}
