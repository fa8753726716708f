// Resolution fields of PNG, JPEG, TIFF and BMP files. Every read is bounds
// checked against the buffer; a malformed file simply records nothing.
#include "pages/image_density.h"

#include <cstring>

namespace {

constexpr double kCmPerInch = 2.54;
constexpr double kMetresPerInch = 0.0254;

uint32_t Be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t Be16(const unsigned char* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t Le32(const unsigned char* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

bool Store(double x, double y, double* xDpi, double* yDpi) {
  if (!(x > 0.0) || !(y > 0.0)) return false;
  *xDpi = x;
  *yDpi = y;
  return true;
}

// PNG: the pHYs chunk before the first IDAT; unit 1 is the metre.
bool PngDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi) {
  size_t pos = 8;
  while (pos + 12 <= size) {
    const uint32_t length = Be32(data + pos);
    const unsigned char* type = data + pos + 4;
    if (length > size - pos - 12) return false;
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return false;
    if (std::memcmp(type, "pHYs", 4) == 0 && length == 9) {
      const unsigned char* body = data + pos + 8;
      if (body[8] != 1) return false;
      return Store(Be32(body) * kMetresPerInch, Be32(body + 4) * kMetresPerInch, xDpi, yDpi);
    }
    pos += 12 + static_cast<size_t>(length);
  }
  return false;
}

// A TIFF structure (a TIFF file, or the Exif block of a JPEG): XResolution,
// YResolution and ResolutionUnit of the first image directory.
bool TiffDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi) {
  if (size < 8) return false;
  const bool little = data[0] == 'I' && data[1] == 'I';
  if (!little && !(data[0] == 'M' && data[1] == 'M')) return false;
  auto u16 = [&](size_t at) -> uint32_t {
    return little ? static_cast<uint32_t>(data[at] | (data[at + 1] << 8)) : Be16(data + at);
  };
  auto u32 = [&](size_t at) -> uint32_t { return little ? Le32(data + at) : Be32(data + at); };
  if (u16(2) != 42) return false;
  const size_t directory = u32(4);
  if (directory > size - 2 || size < 2) return false;
  const uint32_t entries = u16(directory);
  if (entries > (size - directory - 2) / 12) return false;
  double x = 0.0;
  double y = 0.0;
  uint32_t unit = 2;  // inches unless stated otherwise
  for (uint32_t n = 0; n < entries; ++n) {
    const size_t entry = directory + 2 + 12 * static_cast<size_t>(n);
    const uint32_t tag = u16(entry);
    const uint32_t type = u16(entry + 2);
    if (tag == 296 && type == 3) {
      unit = u16(entry + 8);
    } else if ((tag == 282 || tag == 283) && type == 5) {
      const size_t at = u32(entry + 8);
      if (at > size || size - at < 8) continue;
      const uint32_t denominator = u32(at + 4);
      if (denominator == 0) continue;
      (tag == 282 ? x : y) = static_cast<double>(u32(at)) / denominator;
    }
  }
  if (unit == 3) {
    x *= kCmPerInch;
    y *= kCmPerInch;
  } else if (unit != 2) {
    return false;
  }
  return Store(x, y, xDpi, yDpi);
}

// JPEG: a JFIF density with a unit wins; otherwise the Exif resolution.
bool JpegDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi) {
  size_t pos = 2;
  bool exifFound = false;
  double exifX = 0.0;
  double exifY = 0.0;
  while (pos + 4 <= size && data[pos] == 0xFF) {
    const unsigned char marker = data[pos + 1];
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xFF) {
      pos += marker == 0xFF ? 1 : 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // image data: no more headers
    const size_t length = Be16(data + pos + 2);
    if (length < 2 || length > size - pos - 2) break;
    const unsigned char* body = data + pos + 4;
    const size_t bodySize = length - 2;
    if (marker == 0xE0 && bodySize >= 12 && std::memcmp(body, "JFIF\0", 5) == 0) {
      const unsigned unit = body[7];
      const double x = Be16(body + 8);
      const double y = Be16(body + 10);
      if (unit == 1) return Store(x, y, xDpi, yDpi);
      if (unit == 2) return Store(x * kCmPerInch, y * kCmPerInch, xDpi, yDpi);
    } else if (marker == 0xE1 && bodySize > 6 && std::memcmp(body, "Exif\0\0", 6) == 0) {
      exifFound = TiffDensity(body + 6, bodySize - 6, &exifX, &exifY);
    }
    pos += 2 + length;
  }
  return exifFound && Store(exifX, exifY, xDpi, yDpi);
}

// BMP: pixels per metre in the information header; 0 means none.
bool BmpDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi) {
  if (size < 54 || Le32(data + 14) < 40) return false;
  const int32_t x = static_cast<int32_t>(Le32(data + 38));
  const int32_t y = static_cast<int32_t>(Le32(data + 42));
  if (x <= 0 || y <= 0) return false;
  return Store(x * kMetresPerInch, y * kMetresPerInch, xDpi, yDpi);
}

}  // namespace

bool ReadImageDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi) {
  if (!data || !xDpi || !yDpi) return false;
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return PngDensity(data, size, xDpi, yDpi);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    return JpegDensity(data, size, xDpi, yDpi);
  }
  if (size >= 4 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
                    (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42))) {
    return TiffDensity(data, size, xDpi, yDpi);
  }
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return BmpDensity(data, size, xDpi, yDpi);
  return false;
}
