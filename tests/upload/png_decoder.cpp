// The tests' own PNG reader.
#include "png_decoder.h"

#include <zlib.h>

#include <cstdlib>

namespace {

uint32_t Be32(const std::string& b, size_t at) {
  return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
         (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

DecodedPng Fail(DecodedPng png, const std::string& why) {
  png.ok = false;
  png.error = why;
  return png;
}

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  if (pb <= pc) return uint8_t(b);
  return uint8_t(c);
}

}  // namespace

DecodedPng DecodePng(const std::string& bytes) {
  DecodedPng png;
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 8 || bytes.compare(0, 8, kSignature, 8) != 0) return Fail(png, "no signature");
  std::string idat;
  size_t at = 8;
  bool ended = false;
  while (at < bytes.size()) {
    if (ended) return Fail(png, "bytes after IEND");
    if (bytes.size() - at < 12) return Fail(png, "truncated chunk");
    const uint32_t length = Be32(bytes, at);
    if (bytes.size() - at - 12 < length) return Fail(png, "chunk longer than the file");
    const std::string type = bytes.substr(at + 4, 4);
    const std::string data = bytes.substr(at + 8, length);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
    if (crc != Be32(bytes, at + 8 + length)) return Fail(png, "bad CRC in " + type);
    png.chunks.push_back(type);
    if (type == "IHDR") {
      if (length != 13) return Fail(png, "bad IHDR");
      png.width = Be32(data, 0);
      png.height = Be32(data, 4);
      png.bitDepth = uint8_t(data[8]);
      png.colourType = uint8_t(data[9]);
      png.compression = uint8_t(data[10]);
      png.filterMethod = uint8_t(data[11]);
      png.interlace = uint8_t(data[12]);
    } else if (type == "IDAT") {
      idat += data;
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  if (!ended) return Fail(png, "no IEND");
  if (png.bitDepth != 8 || png.channels() == 0 || png.interlace != 0)
    return Fail(png, "unsupported format");
  if (idat.size() >= 2) png.zlibLevelFlag = uint8_t(idat[1]) >> 6;

  const size_t rowBytes = size_t(png.width) * png.channels();
  std::vector<uint8_t> raw((rowBytes + 1) * png.height + 1);
  uLongf rawLength = raw.size();
  if (uncompress(raw.data(), &rawLength, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK)
    return Fail(png, "inflate failed");
  if (rawLength != (rowBytes + 1) * png.height) return Fail(png, "wrong amount of image data");

  const int bpp = png.channels();
  png.pixels.assign(rowBytes * png.height, 0);
  for (uint32_t r = 0; r < png.height; ++r) {
    const uint8_t* in = raw.data() + r * (rowBytes + 1);
    const int filter = in[0];
    png.rowFilters.push_back(filter);
    uint8_t* out = png.pixels.data() + r * rowBytes;
    const uint8_t* up = r > 0 ? out - rowBytes : nullptr;
    for (size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= size_t(bpp) ? out[i - bpp] : 0;
      const int b = up ? up[i] : 0;
      const int c = (up && i >= size_t(bpp)) ? up[i - bpp] : 0;
      const int x = in[1 + i];
      switch (filter) {
        case 0: out[i] = uint8_t(x); break;
        case 1: out[i] = uint8_t(x + a); break;
        case 2: out[i] = uint8_t(x + b); break;
        case 3: out[i] = uint8_t(x + (a + b) / 2); break;
        case 4: out[i] = uint8_t(x + Paeth(a, b, c)); break;
        default: return Fail(png, "bad filter type");
      }
    }
  }
  png.ok = true;
  return png;
}
