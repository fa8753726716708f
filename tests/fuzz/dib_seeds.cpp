// Writes a small seed corpus of sound bitmap files for the image-record fuzz
// target: every bit count, both row orders, a palette smaller than full, a
// larger header, and 16- and 32-bit images with bit-field masks.
#include "image/dib_image.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A new image with every byte after the headers set to a running pattern.
Bytes Created(int32_t width, int32_t height, int32_t bitCount) {
  uint32_t size = 0;
  DibImage* image = DibCreate(width, height, bitCount, &size);
  if (!image) return {};
  const unsigned char* p = DibBytes(image);
  Bytes b(p, p + size);
  DibFree(image);
  for (size_t i = 54; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i * 37);
  return b;
}

// A 40-byte header file of the given size with pixel offset and field values.
Bytes Made(uint32_t size, uint32_t pixelOffset, uint32_t headerSize, int32_t width, int32_t height,
           uint16_t bitCount, uint32_t compression, uint32_t coloursUsed) {
  Bytes b(size, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, size);
  Put32(b, 10, pixelOffset);
  Put32(b, 14, headerSize);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(height));
  b[26] = 1;
  b[28] = static_cast<unsigned char>(bitCount);
  Put32(b, 30, compression);
  Put32(b, 46, coloursUsed);
  for (size_t i = pixelOffset; i < size; ++i) b[i] = static_cast<unsigned char>(i * 11);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dib_seeds <folder>\n");
    return 2;
  }
  const std::vector<Bytes> seeds = {
      Created(13, 7, 24),
      Created(13, -7, 24),
      Created(5, 4, 32),
      Created(9, 2, 1),
      Created(5, 3, 4),
      Created(6, 2, 8),
      Created(0, 3, 24),
      Made(86, 70, 40, 6, 2, 8, 0, 4),      // 8-bit, 4 colours used
      Made(70, 54, 40, 3, 2, 16, 0, 0),     // 16-bit, no masks
      Made(82, 66, 40, 3, 2, 16, 3, 0),     // 16-bit with masks
      Made(98, 66, 40, 3, 2, 32, 3, 0),     // 32-bit with masks
      Made(154, 122, 108, 3, 2, 24, 0, 0),  // 108-byte header
  };
  int n = 0;
  for (const Bytes& seed : seeds) {
    const std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++) + ".bmp";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(seed.data(), 1, seed.size(), f) != seed.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
