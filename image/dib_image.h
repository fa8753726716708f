// The image record: a picture held in one heap block laid out byte for byte
// as a Windows bitmap (BMP) file, and the operations on it.
#pragma once

#include <cstddef>
#include <cstdint>

// One image block: the file header, the bitmap information header, the colour
// table and the pixel rows, packed back to back, little-endian. Never
// dereferenced as a struct; reach the bytes through DibBytes or DibDescribe.
struct DibImage;

// Where the parts of a DibImage lie, filled by DibDescribe; points into the
// image and is valid only while that image lives.
struct DibLayout {
  int32_t bitCount;
  int32_t width;
  int32_t height;  // sign kept: positive means rows are stored bottom-up
  int32_t stride;  // bytes per stored row, a multiple of 4
  uint32_t fileSize;
  unsigned char* fileHeader;
  unsigned char* bitmapHeader;
  unsigned char* colourTable;
  unsigned char* pixels;  // first stored row
};

// Size of the file header and of the information header this record uses.
inline constexpr uint32_t kDibFileHeaderSize = 14;
inline constexpr uint32_t kDibInfoHeaderSize = 40;

// A new black image of width × height pixels at 1, 4, 8, 24 or 32 bits per
// pixel; stores the block size in *outSize when given. Null for any other bit
// count, a negative width, a height of INT32_MIN, a block that would not fit
// the 32-bit size fields, or a failed allocation.
DibImage* DibCreate(int32_t width, int32_t height, int32_t bitCount, uint32_t* outSize = nullptr);

// Releases an image; null is allowed. Always 1.
int DibFree(DibImage* image);

// Reads a bitmap file into a new image. Null when the file cannot be opened
// (missing, or held open for writing elsewhere) or fails DibValidate.
DibImage* DibLoadFile(const char* path);

// Same as DibLoadFile for a file already held in memory: copies as many bytes
// as its size field states. Null when the data is too short or malformed.
DibImage* DibLoadMemory(const unsigned char* data, size_t size);

// True when `block` of `size` bytes is a bitmap that DibDescribe and the pixel
// calls can use without leaving the block: size field equal to `size`, an
// information header of at least 40 bytes, 1, 4, 8, 16, 24 or 32 bits per
// pixel, a non-negative width, and colour table and every pixel row inside the
// block.
bool DibValidate(const unsigned char* block, size_t size);

// Fills *layout from the image's headers. 0 when either pointer is null.
int DibDescribe(DibImage* image, DibLayout* layout);

// Writes pixel (x, y) of a 24- or 32-bit image, y counting stored rows. 1 when
// written; 0 outside the image or for other bit counts.
int DibSetPixel(unsigned char* pixels, const DibLayout* layout, int32_t x, int32_t y,
                unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha);

// Reads pixel (x, y) as 24 or 32 bits, y counting stored rows; null outputs are
// skipped and alpha is written for 32 bits only. 1 when read; 0, with the
// outputs untouched, outside the image or for other bit counts.
int DibGetPixel(const unsigned char* pixels, int32_t stride, int32_t width, int32_t height,
                int32_t bitCount, int32_t x, int32_t y, unsigned char* blue,
                unsigned char* green, unsigned char* red, unsigned char* alpha);

// A new 24-bit image 1/factor the size, each pixel sampled from the first pixel
// of its factor × factor block (white where the sample cannot be read). Null
// for a null image, a factor below 1 or a failed creation.
DibImage* DibReduce(DibImage* image, int32_t factor);

// The bytes of an image block.
unsigned char* DibBytes(DibImage* image);
const unsigned char* DibBytes(const DibImage* image);
