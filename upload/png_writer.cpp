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

#include "base/byte_buffer.h"
#include "image/dib_image.h"

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

// libpng reports errors by a long jump back into this function, so nothing
// with a destructor lives here and nothing set before setjmp changes after it.
int EncodePngFile(const PngRows& rows, const char* path) {
  if (rows.rows == nullptr || path == nullptr) return 0;
  DeleteFileAt(path);
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return 0;

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(file);
    DeleteFileAt(path);
    return 0;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    DeleteFileAt(path);
    return 0;
  }
  png_init_io(png, file);
  png_set_filter(png, 0, PNG_ALL_FILTERS);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(rows.width),
               static_cast<png_uint_32>(rows.height), 8,
               rows.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);

  // A full disk shows only when the last buffered bytes go out.
  const bool flushed = std::ferror(file) == 0 && std::fflush(file) == 0;
  if (std::fclose(file) != 0 || !flushed) {
    DeleteFileAt(path);
    return 0;
  }
  return 1;
}

int WriteCardPng(DibImage* image, const char* path) {
  PngRows rows;
  if (!ConvertPngRows(image, &rows)) return 0;
  const int written = EncodePngFile(rows, path);
  FreePngRows(&rows);
  return written;
}

void WriteCardPngPair(DibImage* front, const char* frontPath, DibImage* back,
                      const char* backPath, int* frontResult, int* backResult) {
  int frontWritten = 0;
  int backWritten = 0;
  bool backDone = false;
  if (front != nullptr && back != nullptr) {
    try {
      std::thread backThread([&] { backWritten = WriteCardPng(back, backPath); });
      frontWritten = WriteCardPng(front, frontPath);
      backThread.join();
      backDone = true;
    } catch (const std::system_error&) {
      // No second thread to be had: the sides are written one after the other.
    }
  }
  if (!backDone) {
    if (front != nullptr && frontWritten == 0) frontWritten = WriteCardPng(front, frontPath);
    if (back != nullptr) backWritten = WriteCardPng(back, backPath);
  }
  if (frontResult != nullptr) *frontResult = frontWritten;
  if (backResult != nullptr) *backResult = backWritten;
}
