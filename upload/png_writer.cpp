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
#include <vector>

#include "base/byte_buffer.h"
#include "image/dib_image.h"
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

// Where the output rows of a bitmap come from, once its header is checked.
struct DibRowSource {
  DibLayout layout;
  int64_t paletteEntries;
  int32_t height;    // rows in the picture
  int32_t channels;  // 3 for RGB, 4 for RGBA
};

// Checks that the image can be converted and describes where its rows are.
bool DescribeRows(DibImage* image, DibRowSource* source) {
  DibLayout layout;
  if (!DibDescribe(image, &layout)) return false;
  const int32_t bits = layout.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  // PNG has no empty images; libpng would refuse them half-way through the file.
  const int32_t w = layout.width;
  const int32_t h = layout.height < 0 ? -layout.height : layout.height;
  if (w <= 0 || h <= 0) return false;

  // Every stored row must lie inside the block; a validated image always does.
  const int64_t pixelBytes = (layout.fileHeader + layout.fileSize) - layout.pixels;
  const int64_t sourceBytes =
      bits == 1 ? (static_cast<int64_t>(w) + 7) / 8
      : bits == 4 ? (static_cast<int64_t>(w) + 1) / 2
                  : static_cast<int64_t>(w) * (bits / 8);
  if (static_cast<int64_t>(h - 1) * layout.stride + sourceBytes > pixelBytes) return false;
  source->layout = layout;
  source->paletteEntries = bits <= 8 ? (layout.pixels - layout.colourTable) / 4 : 0;
  source->height = h;
  source->channels = bits == 32 ? 4 : 3;
  return true;
}

// Fills top-down output row `row` (a PngRowSource over a DibRowSource).
void MakeRow(const void* context, uint32_t row, unsigned char* out) {
  const auto* source = static_cast<const DibRowSource*>(context);
  const int32_t r = static_cast<int32_t>(row);
  // Rows stored bottom-up (positive height) are read from the end.
  const int32_t stored = source->layout.height > 0 ? source->height - 1 - r : r;
  ConvertRow(source->layout, source->paletteEntries,
             source->layout.pixels + static_cast<int64_t>(stored) * source->layout.stride, out);
}

}  // namespace

bool ConvertPngRows(DibImage* image, PngRows* rows) {
  if (rows == nullptr) return false;
  *rows = PngRows{};
  DibRowSource source;
  if (!DescribeRows(image, &source)) return false;
  const int32_t w = source.layout.width;
  const int32_t h = source.height;
  const size_t outBytes = static_cast<size_t>(w) * static_cast<size_t>(source.channels);

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
  for (int32_t r = 0; r < h; ++r) MakeRow(&source, static_cast<uint32_t>(r), table[r]);
  *rows = PngRows{table, w, h, source.channels};
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
bool WritePngChunks(FILE* file, int32_t width, int32_t height, int32_t channels,
                    const unsigned char* data, size_t length) {
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
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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
  bool given = false;  // false: nothing to write, the path is left alone
  const char* path = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
  const unsigned char* const* rows = nullptr;  // ready rows, or
  const DibRowSource* source = nullptr;        // the bitmap they are made from
  FILE* file = nullptr;
  PngStream stream;
  int result = 0;
};

// Joins the pieces and writes the file; closes it. False leaves the file to delete.
bool FinishSide(PngSide* side) {
  std::vector<unsigned char> zlibStream;
  bool ok = JoinPngStream(side->stream, &zlibStream);
  side->stream = PngStream{};
  ok = ok && WritePngChunks(side->file, side->width, side->height, side->channels,
                            zlibStream.data(), zlibStream.size());
  // A full disk shows only when the last buffered bytes go out.
  ok = ok && std::ferror(side->file) == 0 && std::fflush(side->file) == 0;
  const bool closed = std::fclose(side->file) == 0;
  side->file = nullptr;
  return ok && closed;
}

// Encodes every side (at most two) that has rows: each file is deleted and opened first,
// then the pieces of all of them are compressed on one pool of threads, then
// each file is written. Stopped by `cancel`, every side's path ends empty.
void EncodeSides(PngSide* sides, size_t count, const std::atomic<bool>* cancel) {
  PngStream* streams[2] = {};
  size_t streamCount = 0;
  if (count > 2) count = 2;
  for (size_t i = 0; i < count; ++i) {
    PngSide& side = sides[i];
    side.result = 0;
    if (!side.given || side.path == nullptr) continue;
    DeleteFileAt(side.path);
    if ((side.rows == nullptr && side.source == nullptr) || Cancelled(cancel)) continue;
    side.file = std::fopen(side.path, "wb");
    if (side.file == nullptr) continue;
    const auto width = static_cast<uint32_t>(side.width);
    const auto height = static_cast<uint32_t>(side.height);
    const auto channels = static_cast<uint32_t>(side.channels);
    const bool planned =
        side.rows != nullptr
            ? PlanPngStream(side.rows, width, height, channels, kPngPieceBytes, &side.stream)
            : PlanPngStream(MakeRow, side.source, width, height, channels, kPngPieceBytes,
                            &side.stream);
    if (!planned) {
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
      if (!sides[i].given || sides[i].path == nullptr) continue;
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
  side.given = true;
  side.path = path;
  side.width = rows.width;
  side.height = rows.height;
  side.channels = rows.channels;
  side.rows = rows.rows;
  EncodeSides(&side, 1, cancel);
  return side.result;
}

int WriteCardPng(DibImage* image, const char* path, const std::atomic<bool>* cancel) {
  int result = 0;
  WriteCardPngPair(image, path, nullptr, nullptr, &result, nullptr, cancel);
  return result;
}

// The rows of both sides are made from the bitmaps by the threads that
// compress them, a piece at a time, so the conversion is shared out too.
void WriteCardPngPair(DibImage* front, const char* frontPath, DibImage* back,
                      const char* backPath, int* frontResult, int* backResult,
                      const std::atomic<bool>* cancel) {
  DibImage* images[2] = {front, back};
  const char* paths[2] = {frontPath, backPath};
  DibRowSource sources[2];
  PngSide sides[2];
  for (int i = 0; i < 2; ++i) {
    if (images[i] == nullptr) continue;
    // An image that cannot be converted leaves an older file alone; a stop
    // takes the file away all the same.
    const bool convertible = DescribeRows(images[i], &sources[i]);
    if (!convertible && !Cancelled(cancel)) continue;
    sides[i].given = true;
    sides[i].path = paths[i];
    if (convertible) {
      sides[i].width = sources[i].layout.width;
      sides[i].height = sources[i].height;
      sides[i].channels = sources[i].channels;
      sides[i].source = &sources[i];
    }
  }
  EncodeSides(sides, 2, cancel);
  if (frontResult != nullptr) *frontResult = sides[0].result;
  if (backResult != nullptr) *backResult = sides[1].result;
}
