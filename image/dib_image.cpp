// The image record: building, loading, checking, describing, sampling and
// reducing bitmap blocks. Header fields are read and written byte by byte in
// little-endian order, so nothing depends on the alignment of the block.
#include "image/dib_image.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#endif

namespace {

// Byte offsets of the header fields within the block.
constexpr size_t kFileTypeAt = 0;
constexpr size_t kFileSizeAt = 2;
constexpr size_t kPixelOffsetAt = 10;
constexpr size_t kHeaderSizeAt = 14;
constexpr size_t kWidthAt = 18;
constexpr size_t kHeightAt = 22;
constexpr size_t kPlanesAt = 26;
constexpr size_t kBitCountAt = 28;
constexpr size_t kCompressionAt = 30;
constexpr size_t kImageSizeAt = 34;
constexpr size_t kXResolutionAt = 38;
constexpr size_t kYResolutionAt = 42;
constexpr size_t kColoursUsedAt = 46;
constexpr size_t kColoursImportantAt = 50;

constexpr size_t kHeadersSize = kDibFileHeaderSize + kDibInfoHeaderSize;
constexpr uint16_t kFileType = 0x4D42;          // "BM"
constexpr uint32_t kPixelsPerMetre = 2834;       // 72 dots per inch
constexpr uint32_t kBitFieldsCompression = 3;
constexpr uint32_t kBitFieldMasksSize = 12;      // red, green and blue masks

uint16_t ReadU16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t ReadI32(const unsigned char* p) {
  return static_cast<int32_t>(ReadU32(p));
}

void WriteU16(unsigned char* p, uint16_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

void WriteU32(unsigned char* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Bytes per stored row (row bytes rounded up to a multiple of 4) for a
// non-negative width; -1 for a bit count that has no row layout.
int64_t StrideFor(int64_t width, uint32_t bitCount) {
  int64_t rowBytes;
  switch (bitCount) {
    case 1: rowBytes = (width + 7) / 8; break;
    case 4: rowBytes = (width + 1) / 2; break;
    case 8: rowBytes = width; break;
    case 16: rowBytes = 2 * width; break;
    case 24: rowBytes = 3 * width; break;
    case 32: rowBytes = 4 * width; break;
    default: return -1;
  }
  return (rowBytes + 3) / 4 * 4;
}

int64_t AbsHeight(int32_t height) {
  return height < 0 ? -static_cast<int64_t>(height) : height;
}

// Where the colour table and the first pixel row of a block start, as offsets
// from the block start; taken from the headers alone, so they may lie outside
// a malformed block.
struct DibOffsets {
  uint64_t colourTable;
  uint64_t colourTableEnd;
  uint64_t pixels;
};

// The colour table follows the information header; its entry count is the
// colours-used field, or the full palette of a 1-, 4- or 8-bit image when that
// field is 0. The pixels start at the pixel-offset field but never inside the
// colour table. A 16- or 32-bit image with bit-field masks after a 40-byte
// header keeps its three masks between the table and the pixels; the file's
// pixel offset already counts them, so they only raise the lower bound.
DibOffsets ComputeOffsets(const unsigned char* block) {
  const uint32_t headerSize = ReadU32(block + kHeaderSizeAt);
  const uint32_t bitCount = ReadU16(block + kBitCountAt);
  const uint32_t coloursUsed = ReadU32(block + kColoursUsedAt);
  uint64_t colourCount = coloursUsed;
  if (colourCount == 0) {
    colourCount = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
  }
  DibOffsets offsets;
  offsets.colourTable = uint64_t{kDibFileHeaderSize} + headerSize;
  offsets.colourTableEnd = offsets.colourTable + 4 * colourCount;
  uint64_t firstPixelAfter = offsets.colourTableEnd;
  if (ReadU32(block + kCompressionAt) == kBitFieldsCompression &&
      (bitCount == 16 || bitCount == 32) && headerSize == kDibInfoHeaderSize) {
    firstPixelAfter += kBitFieldMasksSize;
  }
  offsets.pixels = std::max<uint64_t>(ReadU32(block + kPixelOffsetAt), firstPixelAfter);
  return offsets;
}

const unsigned char* AsBytes(const DibImage* image) {
  return reinterpret_cast<const unsigned char*>(image);
}

// The only platform-dependent piece: a file opened for reading while others
// may read it but not write it. On Windows a file that another process holds
// open for writing cannot be opened this way.
#ifdef _WIN32
using FileHandle = HANDLE;

FileHandle OpenSharedRead(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// File length in bytes, or -1 when unknown.
int64_t FileLength(FileHandle file) {
  LARGE_INTEGER length;
  return GetFileSizeEx(file, &length) ? length.QuadPart : -1;
}

// Reads up to `count` bytes; returns how many arrived.
size_t ReadBytes(FileHandle file, unsigned char* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file, buffer + done, chunk, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

void CloseFile(FileHandle file) { CloseHandle(file); }
#else
using FileHandle = std::FILE*;

FileHandle OpenSharedRead(const char* path) { return std::fopen(path, "rb"); }

int64_t FileLength(FileHandle file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return length;
}

size_t ReadBytes(FileHandle file, unsigned char* buffer, size_t count) {
  return std::fread(buffer, 1, count, file);
}

void CloseFile(FileHandle file) { std::fclose(file); }
#endif

// Reads the file header, then a block of exactly the size it states, starting
// again from the first byte. Null when the file is shorter than that size.
unsigned char* ReadFileBlock(FileHandle file, uint32_t* outSize) {
  const int64_t length = FileLength(file);
  unsigned char fileHeader[kDibFileHeaderSize];
  if (ReadBytes(file, fileHeader, sizeof fileHeader) != sizeof fileHeader) return nullptr;
  const uint32_t fileSize = ReadU32(fileHeader + kFileSizeAt);
  if (fileSize < kHeadersSize || (length >= 0 && fileSize > length)) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(fileSize));
  if (!block) return nullptr;
  std::memcpy(block, fileHeader, sizeof fileHeader);
  const size_t rest = fileSize - sizeof fileHeader;
  if (ReadBytes(file, block + sizeof fileHeader, rest) != rest) {
    std::free(block);
    return nullptr;
  }
  *outSize = fileSize;
  return block;
}

}  // namespace

unsigned char* DibBytes(DibImage* image) {
  return reinterpret_cast<unsigned char*>(image);
}

const unsigned char* DibBytes(const DibImage* image) {
  return AsBytes(image);
}

DibImage* DibCreate(int32_t width, int32_t height, int32_t bitCount, uint32_t* outSize) {
  uint32_t paletteEntries;
  switch (bitCount) {
    case 1: paletteEntries = 2; break;
    case 4: paletteEntries = 16; break;
    case 8: paletteEntries = 256; break;
    case 24:
    case 32: paletteEntries = 0; break;
    default: return nullptr;
  }
  // A negative width has no rows and |INT32_MIN| no 32-bit value.
  if (width < 0 || height == INT32_MIN) return nullptr;
  const int64_t stride = StrideFor(width, static_cast<uint32_t>(bitCount));
  if (stride > INT32_MAX) return nullptr;
  const uint64_t imageSize = static_cast<uint64_t>(AbsHeight(height)) * static_cast<uint64_t>(stride);
  const uint64_t pixelOffset = kHeadersSize + 4 * paletteEntries;
  const uint64_t blockSize = imageSize + pixelOffset;
  if (blockSize > UINT32_MAX) return nullptr;

  auto* block = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(blockSize), 1));
  if (!block) return nullptr;
  WriteU16(block + kFileTypeAt, kFileType);
  WriteU32(block + kFileSizeAt, static_cast<uint32_t>(blockSize));
  WriteU32(block + kPixelOffsetAt, static_cast<uint32_t>(pixelOffset));
  WriteU32(block + kHeaderSizeAt, kDibInfoHeaderSize);
  WriteU32(block + kWidthAt, static_cast<uint32_t>(width));
  WriteU32(block + kHeightAt, static_cast<uint32_t>(height));
  WriteU16(block + kPlanesAt, 1);
  WriteU16(block + kBitCountAt, static_cast<uint16_t>(bitCount));
  WriteU32(block + kCompressionAt, 0);
  WriteU32(block + kImageSizeAt, static_cast<uint32_t>(imageSize));
  WriteU32(block + kXResolutionAt, kPixelsPerMetre);
  WriteU32(block + kYResolutionAt, kPixelsPerMetre);
  WriteU32(block + kColoursUsedAt, 0);
  WriteU32(block + kColoursImportantAt, paletteEntries);
  if (outSize) *outSize = static_cast<uint32_t>(blockSize);
  return reinterpret_cast<DibImage*>(block);
}

int DibFree(DibImage* image) {
  std::free(image);
  return 1;
}

bool DibValidate(const unsigned char* block, size_t size) {
  if (!block || size < kHeadersSize || size > UINT32_MAX) return false;
  if (ReadU32(block + kFileSizeAt) != size) return false;
  const uint32_t headerSize = ReadU32(block + kHeaderSizeAt);
  if (headerSize < kDibInfoHeaderSize || uint64_t{kDibFileHeaderSize} + headerSize > size) {
    return false;
  }
  const int32_t width = ReadI32(block + kWidthAt);
  const int32_t height = ReadI32(block + kHeightAt);
  if (width < 0 || height == INT32_MIN) return false;
  const int64_t stride = StrideFor(width, ReadU16(block + kBitCountAt));
  if (stride < 0 || stride > INT32_MAX) return false;
  const DibOffsets offsets = ComputeOffsets(block);
  if (offsets.colourTableEnd > size || offsets.pixels > size) return false;
  // |height| < 2^31 and stride < 2^31, so the product cannot wrap.
  const uint64_t pixelBytes = static_cast<uint64_t>(AbsHeight(height)) * static_cast<uint64_t>(stride);
  return pixelBytes <= size - offsets.pixels;
}

DibImage* DibLoadMemory(const unsigned char* data, size_t size) {
  if (!data || size < kDibFileHeaderSize) return nullptr;
  const uint32_t fileSize = ReadU32(data + kFileSizeAt);
  if (fileSize > size || !DibValidate(data, fileSize)) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(fileSize));
  if (!block) return nullptr;
  std::memcpy(block, data, fileSize);
  return reinterpret_cast<DibImage*>(block);
}

DibImage* DibLoadFile(const char* path) {
  if (!path) return nullptr;
  FileHandle file = OpenSharedRead(path);
  if (!file) return nullptr;
  uint32_t size = 0;
  unsigned char* block = ReadFileBlock(file, &size);
  CloseFile(file);
  if (!block) return nullptr;
  if (!DibValidate(block, size)) {
    std::free(block);
    return nullptr;
  }
  return reinterpret_cast<DibImage*>(block);
}

int DibDescribe(DibImage* image, DibLayout* layout) {
  if (!image || !layout) return 0;
  *layout = DibLayout{};
  unsigned char* block = DibBytes(image);
  const uint32_t bitCount = ReadU16(block + kBitCountAt);
  const int32_t width = ReadI32(block + kWidthAt);
  const int64_t stride = width < 0 ? -1 : StrideFor(width, bitCount);
  const DibOffsets offsets = ComputeOffsets(block);
  layout->bitCount = static_cast<int32_t>(bitCount);
  layout->width = width;
  layout->height = ReadI32(block + kHeightAt);
  layout->stride = stride < 0 || stride > INT32_MAX ? 0 : static_cast<int32_t>(stride);
  layout->fileSize = ReadU32(block + kFileSizeAt);
  layout->fileHeader = block;
  layout->bitmapHeader = block + kDibFileHeaderSize;
  layout->colourTable = block + offsets.colourTable;
  layout->pixels = block + offsets.pixels;
  return 1;
}

int DibSetPixel(unsigned char* pixels, const DibLayout* layout, int32_t x, int32_t y,
                unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) {
  if (!pixels || !layout) return 0;
  if (x < 0 || x >= layout->width || y < 0 || y >= AbsHeight(layout->height)) return 0;
  const int64_t row = static_cast<int64_t>(y) * layout->stride;
  if (layout->bitCount == 24) {
    unsigned char* pixel = pixels + row + 3 * static_cast<int64_t>(x);
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
    return 1;
  }
  if (layout->bitCount == 32) {
    unsigned char* pixel = pixels + row + 4 * static_cast<int64_t>(x);
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
    pixel[3] = alpha;
    return 1;
  }
  return 0;
}

int DibGetPixel(const unsigned char* pixels, int32_t stride, int32_t width, int32_t height,
                int32_t bitCount, int32_t x, int32_t y, unsigned char* blue,
                unsigned char* green, unsigned char* red, unsigned char* alpha) {
  if (!pixels || x < 0 || x >= width || y < 0 || y >= AbsHeight(height)) return 0;
  const int64_t row = static_cast<int64_t>(y) * stride;
  const unsigned char* pixel;
  if (bitCount == 24) {
    pixel = pixels + row + 3 * static_cast<int64_t>(x);
  } else if (bitCount == 32) {
    pixel = pixels + row + 4 * static_cast<int64_t>(x);
    if (alpha) *alpha = pixel[3];
  } else {
    return 0;
  }
  if (blue) *blue = pixel[0];
  if (green) *green = pixel[1];
  if (red) *red = pixel[2];
  return 1;
}

// Pages are sampled as 24 bits per pixel whatever their header says. For an
// image of fewer bits per pixel the three bytes of a sample near the end of
// the last row would lie past the block; such a sample counts as unreadable.
DibImage* DibReduce(DibImage* image, int32_t factor) {
  DibLayout source;
  if (factor < 1 || !DibDescribe(image, &source)) return nullptr;
  DibImage* result = DibCreate(source.width / factor, source.height / factor, 24);
  if (!result) return nullptr;
  DibLayout target;
  DibDescribe(result, &target);
  const int64_t pixelBytes = (source.fileHeader + source.fileSize) - source.pixels;
  // A result without columns has nothing to sample, however many rows it has.
  const int64_t rows = target.width > 0 ? AbsHeight(target.height) : 0;
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < target.width; ++j) {
      const int32_t x = j * factor;
      const int32_t y = i * factor;
      // White unless the sample is read; a failed read leaves the bytes alone.
      unsigned char blue = 255, green = 255, red = 255;
      const int64_t sampleEnd = static_cast<int64_t>(y) * source.stride + 3 * static_cast<int64_t>(x) + 3;
      if (sampleEnd <= pixelBytes) {
        DibGetPixel(source.pixels, source.stride, source.width, source.height, 24, x, y, &blue,
                    &green, &red, nullptr);
      }
      DibSetPixel(target.pixels, &target, j, i, red, green, blue, 0);
    }
  }
  return result;
}
