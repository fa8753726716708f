// PNG files of the cut card sides: the bitmap's bottom-up rows turned into
// top-down RGB (or RGBA) rows, filtered as libpng filters them with every row
// filter, compressed at zlib level 9 in pieces on all processors at once, and
// written by libpng with nothing but the IHDR, IDAT and IEND chunks.
//
// Stopping: the writing functions take an optional flag (null: never stop)
// that another thread sets to true to stop the conversion, for instance when
// the user cancels the upload. The flag is looked at between rows and between
// stretches of at most 64 KB of compression, so a call ends soon after it is
// set; one that has seen it set returns 0 for every side it was given and
// leaves no file at their paths, not even an older one.
#pragma once

#include <atomic>
#include <cstdint>

struct DibImage;

// Top-down output rows of an image, each a zero-filled ByteBuffer block.
struct PngRows {
  unsigned char** rows;  // `height` row pointers, also a ByteBuffer block
  int32_t width;
  int32_t height;
  int32_t channels;  // 3 for RGB, 4 for RGBA (32-bit input)
};

// Converts the pixels of a 1-, 4-, 8-, 24- or 32-bit image into output rows.
// Palette images go through their colour table (4-bit high nibble first; an
// index past the table gives black); 24 bits become RGB; 32 bits become RGBA
// with premultiplied colour undone (alpha 0 gives white). Rows stored top-down
// (negative height) are taken in that order. False, holding nothing, for a
// null image, another bit count, a width or height beyond what PNG allows, or
// a failed allocation.
bool ConvertPngRows(DibImage* image, PngRows* rows);

// Releases the rows and the row table.
void FreePngRows(PngRows* rows);

// Encodes the rows into the file at `path`: 8 bits per channel, all five
// filters chosen as libpng chooses them, zlib level 9, no interlace, no
// ancillary chunks; the pieces of the compressed data are made on a pool of
// std::thread::hardware_concurrency threads. Any file at the path is deleted
// first. Returns 1 when written; 0 when the file cannot be opened, libpng,
// zlib or the file system fails, memory runs out or `cancel` is set, and then
// no file is left.
int EncodePngFile(const PngRows& rows, const char* path,
                  const std::atomic<bool>* cancel = nullptr);

// Writes `image` as a PNG file at `path`, as EncodePngFile writes its rows.
// Returns 1 when written, 0 otherwise; an image that cannot be converted leaves
// an older file at the path alone, a stopped conversion leaves no file.
int WriteCardPng(DibImage* image, const char* path, const std::atomic<bool>* cancel = nullptr);

// Writes the front and the back at once (either image may be null and is then
// skipped): the pieces of both share one pool of threads, each piece making
// its own rows from the bitmap, filtering and compressing them, so that a
// quick side does not leave a processor idle while the other is compressed.
// Stores each side's result as WriteCardPng gives it; `cancel` stops both.
void WriteCardPngPair(DibImage* front, const char* frontPath, DibImage* back,
                      const char* backPath, int* frontResult, int* backResult,
                      const std::atomic<bool>* cancel = nullptr);
