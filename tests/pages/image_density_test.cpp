// Tests of reading an image file's own resolution: each format with and
// without a density, units, byte orders, and malformed headers.
#include "pages/image_density.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Be32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
}
void Be16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v >> 8));
  b.push_back(static_cast<unsigned char>(v));
}
void Le32(Bytes& b, uint32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(static_cast<unsigned char>(v >> s));
}
void Le16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Text(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// A PNG signature, IHDR, optional pHYs before or after IDAT, IEND (CRCs not checked).
Bytes Png(bool phys, uint32_t ppm, unsigned unit, bool afterIdat = false) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Be32(b, 13); Text(b, "IHDR"); Be32(b, 1); Be32(b, 1); Text(b, std::string("\x08\x02\0\0\0", 5)); Be32(b, 0);
  auto physChunk = [&] {
    Be32(b, 9); Text(b, "pHYs"); Be32(b, ppm); Be32(b, ppm); b.push_back(static_cast<unsigned char>(unit)); Be32(b, 0);
  };
  if (phys && !afterIdat) physChunk();
  Be32(b, 2); Text(b, "IDAT"); b.push_back(0); b.push_back(0); Be32(b, 0);
  if (phys && afterIdat) physChunk();
  Be32(b, 0); Text(b, "IEND"); Be32(b, 0);
  return b;
}

// A TIFF structure with XResolution = YResolution = num/den and ResolutionUnit.
Bytes Tiff(bool little, uint32_t num, uint32_t den, int unit) {
  Bytes b;
  auto u16 = [&](uint32_t v) { little ? Le16(b, v) : Be16(b, v); };
  auto u32 = [&](uint32_t v) { little ? Le32(b, v) : Be32(b, v); };
  Text(b, little ? "II" : "MM");
  u16(42);
  u32(8);
  const int entries = unit >= 0 ? 3 : 2;
  u16(entries);
  const uint32_t rational = 8 + 2 + 12 * entries + 4;
  u16(282); u16(5); u32(1); u32(rational);
  u16(283); u16(5); u32(1); u32(rational + 8);
  if (unit >= 0) { u16(296); u16(3); u32(1); u16(unit); u16(0); }
  u32(0);
  u32(num); u32(den); u32(num); u32(den);
  return b;
}

// A JPEG with a JFIF segment (unit, density) and optionally an Exif segment.
Bytes Jpeg(unsigned unit, uint32_t density, const Bytes* exif) {
  Bytes b = {0xFF, 0xD8};
  b.push_back(0xFF); b.push_back(0xE0); Be16(b, 16);
  Text(b, std::string("JFIF\0", 5)); b.push_back(1); b.push_back(1);
  b.push_back(static_cast<unsigned char>(unit)); Be16(b, density); Be16(b, density); b.push_back(0); b.push_back(0);
  if (exif) {
    b.push_back(0xFF); b.push_back(0xE1); Be16(b, static_cast<uint32_t>(exif->size() + 8));
    Text(b, std::string("Exif\0\0", 6));
    b.insert(b.end(), exif->begin(), exif->end());
  }
  b.push_back(0xFF); b.push_back(0xDA); Be16(b, 2);
  b.push_back(0xFF); b.push_back(0xD9);
  return b;
}

Bytes Bmp(int32_t ppm) {
  Bytes b;
  Text(b, "BM"); Le32(b, 58); Le32(b, 0); Le32(b, 54);
  Le32(b, 40); Le32(b, 1); Le32(b, 1); Le16(b, 1); Le16(b, 24); Le32(b, 0); Le32(b, 4);
  Le32(b, static_cast<uint32_t>(ppm)); Le32(b, static_cast<uint32_t>(ppm)); Le32(b, 0); Le32(b, 0);
  Le32(b, 0);
  return b;
}

TEST(ReadImageDensity, FormatsUnitsAndMissingFields) {
  const Bytes exif350 = Tiff(false, 350, 1, 2);
  const struct {
    const char* what;
    Bytes data;
    bool found;
    double dpi;
  } cases[] = {
      {"PNG pHYs 13780 per metre", Png(true, 13780, 1), true, 350.012},
      {"PNG pHYs 2835 per metre", Png(true, 2835, 1), true, 72.009},
      {"PNG pHYs without unit (aspect only)", Png(true, 13780, 0), false, 0},
      {"PNG without pHYs", Png(false, 0, 0), false, 0},
      {"PNG pHYs after the image data", Png(true, 13780, 1, true), false, 0},
      {"PNG pHYs of zero", Png(true, 0, 1), false, 0},
      {"JPEG JFIF 96 dpi", Jpeg(1, 96, nullptr), true, 96},
      {"JPEG JFIF 138 per cm", Jpeg(2, 138, nullptr), true, 350.52},
      {"JPEG JFIF without unit", Jpeg(0, 1, nullptr), false, 0},
      {"JPEG JFIF without unit, Exif 350 dpi", Jpeg(0, 1, &exif350), true, 350},
      {"TIFF little-endian 350 dpi", Tiff(true, 350, 1, 2), true, 350},
      {"TIFF big-endian 700/2 dpi", Tiff(false, 700, 2, 2), true, 350},
      {"TIFF 100 per cm", Tiff(true, 100, 1, 3), true, 254},
      {"TIFF without ResolutionUnit (inches)", Tiff(true, 300, 1, -1), true, 300},
      {"TIFF ResolutionUnit none", Tiff(true, 300, 1, 1), false, 0},
      {"TIFF zero denominator", Tiff(true, 300, 0, 2), false, 0},
      {"BMP 13780 per metre", Bmp(13780), true, 350.012},
      {"BMP 0 per metre", Bmp(0), false, 0},
      {"GIF", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, false, 0},
      {"empty", Bytes{}, false, 0},
  };
  for (const auto& c : cases) {
    double x = -1, y = -1;
    EXPECT_EQ(ReadImageDensity(c.data.data(), c.data.size(), &x, &y), c.found) << c.what;
    if (c.found) {
      EXPECT_NEAR(x, c.dpi, 0.001) << c.what;
      EXPECT_NEAR(y, c.dpi, 0.001) << c.what;
    }
  }
}

TEST(ReadImageDensity, TruncatedHeadersReadNothingOutside) {
  for (Bytes full : {Png(true, 13780, 1), Tiff(true, 350, 1, 2), Jpeg(1, 96, nullptr), Bmp(13780)}) {
    for (size_t size = 0; size + 1 < full.size(); ++size) {
      // An exactly sized copy, so that the sanitizer sees any read past its end.
      Bytes cut(full.begin(), full.begin() + static_cast<long>(size));
      double x, y;
      ReadImageDensity(cut.data(), cut.size(), &x, &y);
    }
  }
  // A PNG chunk length running past the end.
  Bytes png = Png(true, 13780, 1);
  png[8 + 25 + 3] = 0xFF;  // pHYs length's low byte
  double x, y;
  EXPECT_FALSE(ReadImageDensity(png.data(), png.size(), &x, &y));
}

}  // namespace
