// Conversion of bitmap rows to PNG rows and their encoding with libpng.
#include "upload/png_writer.h"

#include <png.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "net/byte_buffer.h"
#include "pages/dib_image.h"
#include "upload/png_stream.h"

namespace {

// Deletes the file at `path`; a folder of that name is left alone.
void DeleteFileAt(const char* path) {
#ifdef _WIN32
  _unlink(path);
#else
  unlink(path);
#endif
}

// Colour of palette entry `index`, or black when the table has no such entry.
void PaletteColour(const DibLayout& layout, int64_t entries, unsigned index, unsigned char* out) {
  if (static_cast<int64_t>(index) >= entries) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  const unsigned char* entry = layout.colourTable + 4 * static_cast<size_t>(index);
  out[0] = entry[2];
  out[1] = entry[1];
  out[2] = entry[0];
}

// Undoes premultiplied alpha for one colour channel.
unsigned char Unpremultiply(unsigned char colour, unsigned char alpha) {
  if (alpha == 0) return 255;
  const unsigned value = colour * 255u / alpha;
  return static_cast<unsigned char>(value > 255 ? 255 : value);
}

// Fills one top-down output row from one stored row.
void ConvertRow(const DibLayout& layout, int64_t paletteEntries, const unsigned char* source,
                unsigned char* out) {
  const int32_t w = layout.width;
  switch (layout.bitCount) {
    case 1:
      for (int32_t x = 0; x < w; ++x) {
        const unsigned bit = (source[x / 8] >> (7 - x % 8)) & 1u;
        PaletteColour(layout, paletteEntries, bit, out + 3 * static_cast<size_t>(x));
      }
      break;
    case 4:
      for (int32_t x = 0; x < w; ++x) {
        const unsigned byte = source[x / 2];
        const unsigned index = x % 2 == 0 ? byte >> 4 : byte & 0x0Fu;
        PaletteColour(layout, paletteEntries, index, out + 3 * static_cast<size_t>(x));
      }
      break;
    case 8:
      for (int32_t x = 0; x < w; ++x) {
        PaletteColour(layout, paletteEntries, source[x], out + 3 * static_cast<size_t>(x));
      }
      break;
    case 24:
      for (int32_t x = 0; x < w; ++x) {
        const unsigned char* pixel = source + 3 * static_cast<size_t>(x);
        unsigned char* target = out + 3 * static_cast<size_t>(x);
        target[0] = pixel[2];
        target[1] = pixel[1];
        target[2] = pixel[0];
      }
      break;
    case 32:
      for (int32_t x = 0; x < w; ++x) {
        const unsigned char* pixel = source + 4 * static_cast<size_t>(x);
        unsigned char* target = out + 4 * static_cast<size_t>(x);
        const unsigned char alpha = pixel[3];
        target[0] = Unpremultiply(pixel[2], alpha);
        target[1] = Unpremultiply(pixel[1], alpha);
        target[2] = Unpremultiply(pixel[0], alpha);
        target[3] = alpha;
      }
      break;
    default:
      break;
  }
}

}  // namespace

bool ConvertPngRows(DibImage* image, PngRows* rows) {
  if (rows == nullptr) return false;
  *rows = PngRows{};
  DibLayout layout;
  if (!DibDescribe(image, &layout)) return false;
  const int32_t bits = layout.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  // PNG has no empty images; libpng would refuse them half-way through the file.
  const int32_t w = layout.width;
  const int32_t h = layout.height < 0 ? -layout.height : layout.height;
  if (w <= 0 || h <= 0) return false;
  const int32_t channels = bits == 32 ? 4 : 3;
  const size_t outBytes = static_cast<size_t>(w) * static_cast<size_t>(channels);

  // Every stored row must lie inside the block; a validated image always does.
  const int64_t pixelBytes = (layout.fileHeader + layout.fileSize) - layout.pixels;
  const int64_t sourceBytes =
      bits == 1 ? (static_cast<int64_t>(w) + 7) / 8
      : bits == 4 ? (static_cast<int64_t>(w) + 1) / 2
                  : static_cast<int64_t>(w) * (bits / 8);
  if (static_cast<int64_t>(h - 1) * layout.stride + sourceBytes > pixelBytes) return false;
  const int64_t paletteEntries =
      bits <= 8 ? (layout.pixels - layout.colourTable) / 4 : 0;

  auto** table = reinterpret_cast<unsigned char**>(BufferAlloc(sizeof(unsigned char*) * h));
  if (table == nullptr) return false;
  for (int32_t r = 0; r < h; ++r) {
    table[r] = BufferAlloc(outBytes);
    if (table[r] == nullptr) {
      for (int32_t i = 0; i < r; ++i) BufferFree(table[i]);
      BufferFree(table);
      return false;
    }
  }
  const bool bottomUp = layout.height > 0;
  for (int32_t r = 0; r < h; ++r) {
    const int32_t stored = bottomUp ? h - 1 - r : r;
    ConvertRow(layout, paletteEntries, layout.pixels + static_cast<int64_t>(stored) * layout.stride,
               table[r]);
  }
  *rows = PngRows{table, w, h, channels};
  return true;
}

void FreePngRows(PngRows* rows) {
  if (rows == nullptr || rows->rows == nullptr) return;
  for (int32_t r = 0; r < rows->height; ++r) BufferFree(rows->rows[r]);
  BufferFree(rows->rows);
  *rows = PngRows{};
}

namespace {

// Size of the IDAT chunks the compressed data is cut into.
constexpr size_t kIdatBytes = 64 * 1024;

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Writes the signature, IHDR, the zlib stream as IDAT chunks and IEND to the
// open file with libpng. libpng reports errors by a long jump back into this
// function, so nothing with a destructor lives here and nothing set before
// setjmp changes after it.
bool WritePngChunks(FILE* file, const PngRows& rows, const unsigned char* data, size_t length) {
  static const png_byte kIdat[5] = "IDAT";
  static const png_byte kIend[5] = "IEND";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width),
               static_cast<png_uint_32>(rows.height), 8,
               rows.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (size_t at = 0; at < length; at += kIdatBytes) {
    png_write_chunk(png, kIdat, data + at, length - at < kIdatBytes ? length - at : kIdatBytes);
  }
  png_write_chunk(png, kIend, nullptr, 0);
  png_destroy_write_struct(&png, &info);
  return true;
}

// One file being written: its rows, its path and how far it has come.
struct PngSide {
  const PngRows* rows = nullptr;  // null: nothing to write, the path is left alone
  const char* path = nullptr;
  FILE* file = nullptr;
  PngStream stream;
  int result = 0;
};

// Joins the pieces and writes the file; closes it. False leaves the file to delete.
bool FinishSide(PngSide* side) {
  std::vector<unsigned char> zlibStream;
  bool ok = JoinPngStream(side->stream, &zlibStream);
  side->stream = PngStream{};
  ok = ok && WritePngChunks(side->file, *side->rows, zlibStream.data(), zlibStream.size());
  // A full disk shows only when the last buffered bytes go out.
  ok = ok && std::ferror(side->file) == 0 && std::fflush(side->file) == 0;
  const bool closed = std::fclose(side->file) == 0;
  side->file = nullptr;
  return ok && closed;
}

// Encodes every side that has rows: each file is deleted and opened first,
// then the pieces of all of them are compressed on one pool of threads, then
// each file is written. Stopped by `cancel`, every side's path ends empty.
void EncodeSides(PngSide* sides, size_t count, const std::atomic<bool>* cancel) {
  PngStream* streams[2] = {};
  size_t streamCount = 0;
  for (size_t i = 0; i < count; ++i) {
    PngSide& side = sides[i];
    side.result = 0;
    if (side.rows == nullptr || side.path == nullptr) continue;
    DeleteFileAt(side.path);
    if (side.rows->rows == nullptr || Cancelled(cancel)) continue;
    side.file = std::fopen(side.path, "wb");
    if (side.file == nullptr) continue;
    if (!PlanPngStream(side.rows->rows, static_cast<uint32_t>(side.rows->width),
                       static_cast<uint32_t>(side.rows->height),
                       static_cast<uint32_t>(side.rows->channels), kPngPieceBytes,
                       &side.stream)) {
      std::fclose(side.file);
      side.file = nullptr;
      DeleteFileAt(side.path);
      continue;
    }
    streams[streamCount++] = &side.stream;
  }
  CompressPngStreams(streams, streamCount, 0, cancel);
  for (size_t i = 0; i < count; ++i) {
    PngSide& side = sides[i];
    if (side.file == nullptr) continue;
    if (Cancelled(cancel)) {
      std::fclose(side.file);
      side.file = nullptr;
    } else {
      side.result = FinishSide(&side) ? 1 : 0;
    }
    if (side.result == 0) DeleteFileAt(side.path);
  }
  // A stop seen at the very end still takes every file away.
  if (Cancelled(cancel)) {
    for (size_t i = 0; i < count; ++i) {
      if (sides[i].path == nullptr || sides[i].rows == nullptr) continue;
      sides[i].result = 0;
      DeleteFileAt(sides[i].path);
    }
  }
}

}  // namespace

int EncodePngFile(const PngRows& rows, const char* path, const std::atomic<bool>* cancel) {
  if (path == nullptr) return 0;
  if (rows.rows == nullptr) return 0;
  PngSide side;
  side.rows = &rows;
  side.path = path;
  EncodeSides(&side, 1, cancel);
  return side.result;
}

int WriteCardPng(DibImage* image, const char* path, const std::atomic<bool>* cancel) {
  int result = 0;
  WriteCardPngPair(image, path, nullptr, nullptr, &result, nullptr, cancel);
  return result;
}

void WriteCardPngPair(DibImage* front, const char* frontPath, DibImage* back,
                      const char* backPath, int* frontResult, int* backResult,
                      const std::atomic<bool>* cancel) {
  DibImage* images[2] = {front, back};
  const char* paths[2] = {frontPath, backPath};
  PngRows rows[2] = {};
  bool converted[2] = {false, false};
  bool bothDone = false;
  if (front != nullptr && back != nullptr && !Cancelled(cancel)) {
    try {
      std::thread backThread([&] { converted[1] = ConvertPngRows(back, &rows[1]); });
      converted[0] = ConvertPngRows(front, &rows[0]);
      backThread.join();
      bothDone = true;
    } catch (const std::system_error&) {
      // No second thread to be had: the sides are converted one after the other.
    }
  }
  for (int i = 0; i < 2 && !bothDone; ++i) {
    if (images[i] != nullptr && !Cancelled(cancel) && !converted[i]) {
      converted[i] = ConvertPngRows(images[i], &rows[i]);
    }
  }

  PngSide sides[2];
  for (int i = 0; i < 2; ++i) {
    if (images[i] == nullptr) continue;
    // An image that cannot be converted leaves an older file alone; one that
    // was not converted because of a stop does not.
    if (converted[i] || Cancelled(cancel)) {
      sides[i].rows = &rows[i];
      sides[i].path = paths[i];
    }
  }
  EncodeSides(sides, 2, cancel);
  for (int i = 0; i < 2; ++i) FreePngRows(&rows[i]);
  if (frontResult != nullptr) *frontResult = sides[0].result;
  if (backResult != nullptr) *backResult = sides[1].result;
}
