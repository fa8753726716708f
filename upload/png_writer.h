// PNG files of the cut card sides: the bitmap's bottom-up rows turned into
// top-down RGB (or RGBA) rows and encoded by libpng at the highest compression
// with every row filter, with nothing but the IHDR, IDAT and IEND chunks.
#pragma once

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

// Encodes the rows into the file at `path` with libpng: 8 bits per channel,
// all five filters, zlib level 9, no interlace, no ancillary chunks. Any file
// at the path is deleted first. Returns 1 when written; 0 when the file cannot
// be opened or libpng or the file system fails, and then no file is left.
int EncodePngFile(const PngRows& rows, const char* path);

// Writes `image` as a PNG file at `path` (ConvertPngRows, then EncodePngFile).
// Returns 1 when written, 0 otherwise; an image that cannot be converted leaves
// an older file at the path alone.
int WriteCardPng(DibImage* image, const char* path);

// Writes the front and the back at once, each on its own thread (either image
// may be null and is then skipped). Stores each side's WriteCardPng result.
void WriteCardPngPair(DibImage* front, const char* frontPath, DibImage* back,
                      const char* backPath, int* frontResult, int* backResult);
