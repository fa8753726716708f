// Tests of the image record: block layout of new images, describing loaded
// files, single-pixel access, reduction, and loading of good and malformed
// bitmap files from disk and from memory.
#include "image/dib_image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}

// Owns an image for the length of a test.
struct ImageHolder {
  DibImage* image;
  explicit ImageHolder(DibImage* i) : image(i) {}
  ~ImageHolder() { DibFree(image); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
};

// Copy of a whole image block, its size taken from the file-size field.
Bytes BlockOf(DibImage* image) {
  const unsigned char* p = DibBytes(image);
  return Bytes(p, p + Get32(p + 2));
}

// Header fields of a hand-made bitmap file; everything else in it is zero.
struct BmpParams {
  uint32_t size;
  uint32_t pixelOffset;
  int32_t width;
  int32_t height;
  uint16_t bitCount;
  uint32_t headerSize = 40;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
};

Bytes MakeBmp(const BmpParams& s) {
  Bytes b(s.size, 0);
  Put16(b, 0, 0x4D42);
  Put32(b, 2, s.size);
  Put32(b, 10, s.pixelOffset);
  Put32(b, 14, s.headerSize);
  Put32(b, 18, static_cast<uint32_t>(s.width));
  Put32(b, 22, static_cast<uint32_t>(s.height));
  Put16(b, 26, 1);
  Put16(b, 28, s.bitCount);
  Put32(b, 30, s.compression);
  Put32(b, 46, s.coloursUsed);
  return b;
}

// Temporary folder per test, removed afterwards.
class DibFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("norvalisk_dib_" + std::string(info->name()) + "_" + std::to_string(random()) + "_" +
            std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out.good()) << path;
    return path.string();
  }
  fs::path dir_;
};

// ---------------------------------------------------------------------------
// DibCreate

struct CreateCase {
  int32_t width, height, bitCount;
  int32_t stride;
  uint32_t imageSize, paletteEntries, pixelOffset, blockSize;
};

TEST(DibCreate, WritesHeadersAndZeroesTheRest) {
  const CreateCase cases[] = {
      {1, 1, 24, 4, 4, 0, 54, 58},
      {9, 2, 1, 4, 8, 2, 62, 70},
      {10, -3, 24, 32, 96, 0, 54, 150},
      {0, 5, 24, 0, 0, 0, 54, 54},
      {5, 3, 4, 4, 12, 16, 118, 130},
      {3, 2, 8, 4, 8, 256, 1078, 1086},
      {3, -2, 32, 12, 24, 0, 54, 78},
      {17, 1, 1, 4, 4, 2, 62, 66},
  };
  for (const CreateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bitCount);
    uint32_t size = 0xDEADBEEF;
    ImageHolder holder(DibCreate(c.width, c.height, c.bitCount, &size));
    ASSERT_NE(holder.image, nullptr);
    EXPECT_EQ(size, c.blockSize);
    const unsigned char* b = DibBytes(holder.image);
    EXPECT_EQ(Get16(b + 0), 0x4D42);
    EXPECT_EQ(Get32(b + 2), c.blockSize);
    EXPECT_EQ(Get16(b + 6), 0);
    EXPECT_EQ(Get16(b + 8), 0);
    EXPECT_EQ(Get32(b + 10), c.pixelOffset);
    EXPECT_EQ(Get32(b + 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Get32(b + 18)), c.width);
    EXPECT_EQ(static_cast<int32_t>(Get32(b + 22)), c.height);
    EXPECT_EQ(Get16(b + 26), 1);
    EXPECT_EQ(Get16(b + 28), c.bitCount);
    EXPECT_EQ(Get32(b + 30), 0u);
    EXPECT_EQ(Get32(b + 34), c.imageSize);
    EXPECT_EQ(Get32(b + 38), 2834u);
    EXPECT_EQ(Get32(b + 42), 2834u);
    EXPECT_EQ(Get32(b + 46), 0u);
    EXPECT_EQ(Get32(b + 50), c.paletteEntries);
    for (uint32_t i = 54; i < c.blockSize; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;

    DibLayout layout;
    ASSERT_EQ(DibDescribe(holder.image, &layout), 1);
    EXPECT_EQ(layout.stride, c.stride);
    EXPECT_EQ(layout.pixels, b + c.pixelOffset);
    EXPECT_EQ(layout.pixels + static_cast<int64_t>(c.imageSize), b + c.blockSize);
  }
}

TEST(DibCreate, OutSizeIsOptional) {
  ImageHolder holder(DibCreate(4, 4, 32));
  ASSERT_NE(holder.image, nullptr);
  EXPECT_EQ(Get32(DibBytes(holder.image) + 2), 54u + 64u);
}

TEST(DibCreate, RefusesWhatHasNoBlock) {
  struct Case {
    const char* label;
    int32_t width, height, bitCount;
  } const cases[] = {
      {"16 bits", 10, 10, 16},
      {"0 bits", 10, 10, 0},
      {"2 bits", 10, 10, 2},
      {"48 bits", 10, 10, 48},
      {"-24 bits", 10, 10, -24},
      {"negative width", -1, 10, 24},
      {"height INT32_MIN", 1, INT32_MIN, 24},
      {"row wider than 2 GiB", 0x40000000, 0, 32},
      {"block over 4 GiB", 0x7FFFFFFF, 0x7FFFFFFF, 24},
      {"block just over 4 GiB", 1024, 0x00155556, 24},
  };
  for (const auto& c : cases) {
    uint32_t size = 0;
    DibImage* image = DibCreate(c.width, c.height, c.bitCount, &size);
    EXPECT_EQ(image, nullptr) << c.label;
    DibFree(image);
  }
}

// ---------------------------------------------------------------------------
// DibFree

TEST(DibFree, AcceptsNullAndImages) {
  EXPECT_EQ(DibFree(nullptr), 1);
  EXPECT_EQ(DibFree(DibCreate(2, 2, 24)), 1);
}

// ---------------------------------------------------------------------------
// DibDescribe

TEST(DibDescribe, RefusesNullArguments) {
  ImageHolder holder(DibCreate(1, 1, 24));
  DibLayout layout;
  EXPECT_EQ(DibDescribe(nullptr, &layout), 0);
  EXPECT_EQ(DibDescribe(holder.image, nullptr), 0);
}

TEST(DibDescribe, FillsFieldsOfANewImage) {
  ImageHolder holder(DibCreate(7, -5, 24));
  DibLayout layout;
  ASSERT_EQ(DibDescribe(holder.image, &layout), 1);
  unsigned char* b = DibBytes(holder.image);
  EXPECT_EQ(layout.bitCount, 24);
  EXPECT_EQ(layout.width, 7);
  EXPECT_EQ(layout.height, -5);
  EXPECT_EQ(layout.stride, 24);
  EXPECT_EQ(layout.fileSize, 54u + 120u);
  EXPECT_EQ(layout.fileHeader, b);
  EXPECT_EQ(layout.bitmapHeader, b + 14);
  EXPECT_EQ(layout.colourTable, b + 54);
  EXPECT_EQ(layout.pixels, b + 54);
}

// Colour count and pixel pointer of loaded files: the pixels begin at the
// pixel offset, but never before the end of the colour table (and of the
// bit-field masks where a 40-byte header is followed by them).
TEST(DibDescribe, PlacesColourTableAndPixels) {
  struct Case {
    const char* label;
    BmpParams params;
    uint32_t colourTable, pixels;
  } const cases[] = {
      {"8-bit, colours used 0, offset inside the palette", {1094, 54, 6, 2, 8}, 54, 1078},
      {"8-bit, colours used 0, offset past the palette", {1216, 1200, 6, 2, 8}, 54, 1200},
      {"8-bit, 4 colours used", {86, 54, 6, 2, 8, 40, 0, 4}, 54, 70},
      {"1-bit, colours used 0", {70, 54, 9, 2, 1}, 54, 62},
      {"4-bit, colours used 0", {126, 54, 5, 2, 4}, 54, 118},
      {"24-bit with 3 colours used", {90, 54, 3, 2, 24, 40, 0, 3}, 54, 66},
      {"24-bit with a 108-byte header", {138, 122, 2, 2, 24, 108}, 122, 122},
      {"32-bit masks after the header, offset counts them", {98, 66, 2, 2, 32, 40, 3}, 54, 66},
      {"32-bit masks after the header, offset ignores them", {98, 54, 2, 2, 32, 40, 3}, 54, 66},
      {"16-bit masks after the header", {82, 66, 3, 2, 16, 40, 3}, 54, 66},
      {"32-bit masks after 2 colours", {106, 54, 2, 2, 32, 40, 3, 2}, 54, 74},
      {"32-bit masks inside a 108-byte header", {154, 122, 2, 2, 32, 108, 3}, 122, 122},
      {"24-bit with compression 3 has no masks", {70, 54, 2, 2, 24, 40, 3}, 54, 54},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes file = MakeBmp(c.params);
    ImageHolder holder(DibLoadMemory(file.data(), file.size()));
    ASSERT_NE(holder.image, nullptr);
    DibLayout layout;
    ASSERT_EQ(DibDescribe(holder.image, &layout), 1);
    unsigned char* b = DibBytes(holder.image);
    EXPECT_EQ(layout.bitCount, c.params.bitCount);
    EXPECT_EQ(layout.width, c.params.width);
    EXPECT_EQ(layout.height, c.params.height);
    EXPECT_EQ(layout.fileSize, c.params.size);
    EXPECT_EQ(layout.colourTable, b + c.colourTable);
    EXPECT_EQ(layout.pixels, b + c.pixels);
  }
}

TEST(DibDescribe, StrideByBitCount) {
  struct Case {
    uint16_t bitCount;
    int32_t width, stride;
  } const cases[] = {
      {1, 1, 4}, {1, 32, 4}, {1, 33, 8}, {4, 8, 4}, {4, 9, 8}, {8, 4, 4}, {8, 5, 8},
      {16, 2, 4}, {16, 3, 8}, {24, 4, 12}, {24, 5, 16}, {32, 3, 12},
  };
  for (const auto& c : cases) {
    const Bytes file = MakeBmp({static_cast<uint32_t>(1078 + c.stride), 54, c.width, 1, c.bitCount});
    ImageHolder holder(DibLoadMemory(file.data(), file.size()));
    ASSERT_NE(holder.image, nullptr) << c.bitCount << " bits, width " << c.width;
    DibLayout layout;
    DibDescribe(holder.image, &layout);
    EXPECT_EQ(layout.stride, c.stride) << c.bitCount << " bits, width " << c.width;
  }
}

// ---------------------------------------------------------------------------
// DibSetPixel and DibGetPixel

TEST(DibPixel, WritesAndReadsBytesInMemoryRowOrder) {
  for (int32_t height : {3, -3}) {
    SCOPED_TRACE(height);
    ImageHolder holder(DibCreate(5, height, 24));
    DibLayout l;
    DibDescribe(holder.image, &l);
    ASSERT_EQ(DibSetPixel(l.pixels, &l, 4, 2, 0x11, 0x22, 0x33, 0x44), 1);
    const unsigned char* p = l.pixels + 2 * l.stride + 3 * 4;
    EXPECT_EQ(p[0], 0x33);  // blue
    EXPECT_EQ(p[1], 0x22);  // green
    EXPECT_EQ(p[2], 0x11);  // red
    unsigned char b = 0, g = 0, r = 0, a = 0xAA;
    ASSERT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, 24, 4, 2, &b, &g, &r, &a), 1);
    EXPECT_EQ(b, 0x33);
    EXPECT_EQ(g, 0x22);
    EXPECT_EQ(r, 0x11);
    EXPECT_EQ(a, 0xAA) << "24-bit read leaves alpha alone";
  }
}

TEST(DibPixel, ThirtyTwoBitsCarryAlpha) {
  ImageHolder holder(DibCreate(3, 2, 32));
  DibLayout l;
  DibDescribe(holder.image, &l);
  ASSERT_EQ(DibSetPixel(l.pixels, &l, 2, 1, 1, 2, 3, 4), 1);
  const unsigned char* p = l.pixels + l.stride + 8;
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 1);
  EXPECT_EQ(p[3], 4);
  unsigned char b = 0, g = 0, r = 0, a = 0;
  ASSERT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, 32, 2, 1, &b, &g, &r, &a), 1);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(g, 2);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(a, 4);
  // Null outputs are skipped.
  EXPECT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, 32, 2, 1, nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, 32, 2, 1, nullptr, &g, nullptr, nullptr), 1);
  EXPECT_EQ(g, 2);
}

TEST(DibPixel, OutsideTheImageFailsAndTouchesNothing) {
  struct Case {
    int32_t x, y;
  } const cases[] = {{-1, 0}, {5, 0}, {0, -1}, {0, 3}, {5, 3}, {INT32_MIN, 0}, {0, INT32_MIN},
                     {INT32_MAX, 0}, {0, INT32_MAX}};
  for (int32_t height : {3, -3}) {
    ImageHolder holder(DibCreate(5, height, 24));
    DibLayout l;
    DibDescribe(holder.image, &l);
    const Bytes before = BlockOf(holder.image);
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "height " << height << " at " << c.x << "," << c.y);
      EXPECT_EQ(DibSetPixel(l.pixels, &l, c.x, c.y, 9, 9, 9, 9), 0);
      unsigned char b = 0xAA, g = 0xBB, r = 0xCC, a = 0xDD;
      EXPECT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, 24, c.x, c.y, &b, &g, &r, &a), 0);
      EXPECT_EQ(b, 0xAA);
      EXPECT_EQ(g, 0xBB);
      EXPECT_EQ(r, 0xCC);
      EXPECT_EQ(a, 0xDD);
    }
    EXPECT_EQ(BlockOf(holder.image), before);
  }
}

TEST(DibPixel, OtherBitCountsAndNullsFail) {
  ImageHolder holder(DibCreate(4, 4, 8));
  DibLayout l;
  DibDescribe(holder.image, &l);
  const Bytes before = BlockOf(holder.image);
  EXPECT_EQ(DibSetPixel(l.pixels, &l, 1, 1, 1, 2, 3, 4), 0);
  EXPECT_EQ(DibSetPixel(nullptr, &l, 1, 1, 1, 2, 3, 4), 0);
  EXPECT_EQ(DibSetPixel(l.pixels, nullptr, 1, 1, 1, 2, 3, 4), 0);
  EXPECT_EQ(BlockOf(holder.image), before);
  for (int32_t bits : {1, 4, 8, 16, 0}) {
    unsigned char b = 0xAA;
    EXPECT_EQ(DibGetPixel(l.pixels, l.stride, l.width, l.height, bits, 1, 1, &b, nullptr, nullptr, nullptr), 0) << bits;
    EXPECT_EQ(b, 0xAA) << bits;
  }
  unsigned char b = 0xAA;
  EXPECT_EQ(DibGetPixel(nullptr, 12, 4, 4, 24, 0, 0, &b, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(b, 0xAA);
}

TEST(DibPixel, HeightInt32MinIsAValidRowCount) {
  const unsigned char row[4] = {7, 8, 9, 0};
  unsigned char b = 0, g = 0, r = 0;
  EXPECT_EQ(DibGetPixel(row, 4, 1, INT32_MIN, 24, 0, 0, &b, &g, &r, nullptr), 1);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(g, 8);
  EXPECT_EQ(r, 9);
}

// ---------------------------------------------------------------------------
// DibReduce

// Fills a 24- or 32-bit image with a pattern that differs at every pixel.
void FillPattern(DibImage* image) {
  DibLayout l;
  DibDescribe(image, &l);
  const int32_t rows = l.height < 0 ? -l.height : l.height;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < l.width; ++x) {
      DibSetPixel(l.pixels, &l, x, y, static_cast<unsigned char>(x * 7 + y * 13),
                  static_cast<unsigned char>(y), static_cast<unsigned char>(x), 0x5A);
    }
  }
}

// The source is sampled as 24 bits per pixel whatever its bit count, so a
// 32-bit source yields the bytes at 3 × column of its rows.
TEST(DibReduce, SamplesFirstPixelOfEachBlock) {
  struct Case {
    int32_t width, height, bitCount, factor, newWidth, newHeight;
  } const cases[] = {
      {100, 50, 24, 12, 8, 4},
      {100, -50, 24, 12, 8, -4},
      {100, 50, 32, 12, 8, 4},
      {13, 7, 24, 1, 13, 7},
      {13, -7, 24, 3, 4, -2},
      {200, 150, 24, 7, 28, 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bitCount << " by " << c.factor);
    ImageHolder source(DibCreate(c.width, c.height, c.bitCount));
    FillPattern(source.image);
    ImageHolder result(DibReduce(source.image, c.factor));
    ASSERT_NE(result.image, nullptr);
    DibLayout s, r;
    DibDescribe(source.image, &s);
    DibDescribe(result.image, &r);
    EXPECT_EQ(r.bitCount, 24);
    EXPECT_EQ(r.width, c.newWidth);
    EXPECT_EQ(r.height, c.newHeight);
    const int32_t rows = c.newHeight < 0 ? -c.newHeight : c.newHeight;
    for (int32_t i = 0; i < rows; ++i) {
      for (int32_t j = 0; j < c.newWidth; ++j) {
        unsigned char sb, sg, sr, rb, rg, rr;
        ASSERT_EQ(DibGetPixel(s.pixels, s.stride, s.width, s.height, 24, j * c.factor, i * c.factor,
                              &sb, &sg, &sr, nullptr), 1);
        ASSERT_EQ(DibGetPixel(r.pixels, r.stride, r.width, r.height, 24, j, i, &rb, &rg, &rr, nullptr), 1);
        ASSERT_EQ(rb, sb) << j << "," << i;
        ASSERT_EQ(rg, sg) << j << "," << i;
        ASSERT_EQ(rr, sr) << j << "," << i;
      }
    }
  }
}

TEST(DibReduce, NarrowerThanTheFactorGivesAnEmptyWidth) {
  ImageHolder source(DibCreate(11, 24, 24));
  ImageHolder result(DibReduce(source.image, 12));
  ASSERT_NE(result.image, nullptr);
  DibLayout r;
  DibDescribe(result.image, &r);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(r.stride, 0);
  EXPECT_EQ(r.fileSize, 54u);
}

TEST(DibReduce, RefusesBadArguments) {
  ImageHolder source(DibCreate(24, 24, 24));
  EXPECT_EQ(DibReduce(source.image, 0), nullptr);
  EXPECT_EQ(DibReduce(source.image, -12), nullptr);
  EXPECT_EQ(DibReduce(nullptr, 12), nullptr);
}

// An 8-bit image is sampled as 24-bit bytes; samples whose three bytes would
// run past the end of the block come out white instead.
TEST(DibReduce, SamplesOfNarrowPixelsStayInsideTheBlock) {
  ImageHolder source(DibCreate(6, 2, 8));  // stride 8: 16 pixel bytes end the block
  DibLayout s;
  DibDescribe(source.image, &s);
  for (int i = 0; i < 16; ++i) s.pixels[i] = static_cast<unsigned char>(0x10 + i);
  ImageHolder result(DibReduce(source.image, 1));
  ASSERT_NE(result.image, nullptr);
  DibLayout r;
  DibDescribe(result.image, &r);
  ASSERT_EQ(r.width, 6);
  ASSERT_EQ(r.height, 2);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      const int at = y * 8 + 3 * x;
      const bool inside = at + 3 <= 16;
      unsigned char b, g, red;
      ASSERT_EQ(DibGetPixel(r.pixels, r.stride, r.width, r.height, 24, x, y, &b, &g, &red, nullptr), 1);
      SCOPED_TRACE(testing::Message() << x << "," << y);
      EXPECT_EQ(b, inside ? 0x10 + at : 255);
      EXPECT_EQ(g, inside ? 0x11 + at : 255);
      EXPECT_EQ(red, inside ? 0x12 + at : 255);
    }
  }
}

// ---------------------------------------------------------------------------
// DibLoadFile, DibLoadMemory and DibValidate

// A 7 × 5 24-bit file with a pixel pattern: 174 bytes, pixels 54 to 173.
Bytes GoodFile() {
  ImageHolder holder(DibCreate(7, 5, 24));
  FillPattern(holder.image);
  return BlockOf(holder.image);
}

TEST_F(DibFileTest, LoadsAFileByteForByte) {
  const Bytes file = GoodFile();
  ImageHolder loaded(DibLoadFile(Write("good.bmp", file).c_str()));
  ASSERT_NE(loaded.image, nullptr);
  EXPECT_EQ(BlockOf(loaded.image), file);
}

TEST_F(DibFileTest, IgnoresBytesPastTheSizeField) {
  Bytes file = GoodFile();
  const Bytes block = file;
  file.insert(file.end(), {1, 2, 3, 4, 5});
  ImageHolder loaded(DibLoadFile(Write("long.bmp", file).c_str()));
  ASSERT_NE(loaded.image, nullptr);
  EXPECT_EQ(BlockOf(loaded.image), block);
  ImageHolder fromMemory(DibLoadMemory(file.data(), file.size()));
  ASSERT_NE(fromMemory.image, nullptr);
  EXPECT_EQ(BlockOf(fromMemory.image), block);
}

TEST_F(DibFileTest, MissingOrUnreadableFilesLoadAsNull) {
  EXPECT_EQ(DibLoadFile(nullptr), nullptr);
  EXPECT_EQ(DibLoadFile((dir_ / "absent.bmp").string().c_str()), nullptr);
  EXPECT_EQ(DibLoadFile(dir_.string().c_str()), nullptr) << "a folder";
  EXPECT_EQ(DibLoadFile(Write("empty.bmp", {}).c_str()), nullptr);
  EXPECT_EQ(DibLoadMemory(nullptr, 100), nullptr);
}

// Files that must still load, including ones a careless check would refuse.
TEST_F(DibFileTest, LoadsUnusualButSoundFiles) {
  struct Case {
    const char* label;
    Bytes file;
  };
  Bytes otherSignature = GoodFile();
  otherSignature[0] = 'X';
  const Case cases[] = {
      {"no pixels: width 0", MakeBmp({54, 54, 0, 5, 24})},
      {"no pixels: height 0", MakeBmp({54, 54, 5, 0, 24})},
      {"rows stored top-down", MakeBmp({70, 54, 2, -2, 24})},
      {"32-bit with masks after the header", MakeBmp({98, 66, 2, 2, 32, 40, 3})},
      {"16 bits per pixel", MakeBmp({62, 54, 1, 2, 16})},
      {"1-bit with a full palette", MakeBmp({70, 62, 9, 2, 1})},
      {"signature is not examined", otherSignature},
      {"huge width with no rows", MakeBmp({54, 54, 0x7FFFFFFF / 4, 0, 32})},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_TRUE(DibValidate(c.file.data(), c.file.size()));
    ImageHolder fromFile(DibLoadFile(Write("sound" + std::to_string(n++) + ".bmp", c.file).c_str()));
    ASSERT_NE(fromFile.image, nullptr);
    EXPECT_EQ(BlockOf(fromFile.image), c.file);
    ImageHolder fromMemory(DibLoadMemory(c.file.data(), c.file.size()));
    ASSERT_NE(fromMemory.image, nullptr);
    EXPECT_EQ(BlockOf(fromMemory.image), c.file);
  }
}

// Every malformed file loads as null, from disk and from memory, and never
// makes a read outside the bytes it holds.
TEST_F(DibFileTest, MalformedFilesLoadAsNull) {
  struct Case {
    const char* label;
    void (*spoil)(Bytes&);
  };
  // Field offsets: 2 size, 10 pixel offset, 14 header size, 18 width,
  // 22 height, 28 bit count, 30 compression, 46 colours used.
  const Case cases[] = {
      {"file one byte shorter than its size field", [](Bytes& b) { b.pop_back(); }},
      {"only the file header", [](Bytes& b) { b.resize(14); }},
      {"shorter than the file header", [](Bytes& b) { b.resize(10); }},
      {"size field 0", [](Bytes& b) { Put32(b, 2, 0); }},
      {"size field 14", [](Bytes& b) { Put32(b, 2, 14); }},
      {"size field one less than the headers", [](Bytes& b) { Put32(b, 2, 53); }},
      {"size field one more than the file", [](Bytes& b) { Put32(b, 2, static_cast<uint32_t>(b.size() + 1)); }},
      {"size field 0xFFFFFFFF", [](Bytes& b) { Put32(b, 2, 0xFFFFFFFF); }},
      {"size field cuts the last row", [](Bytes& b) { Put32(b, 2, static_cast<uint32_t>(b.size() - 1)); }},
      {"header size 0", [](Bytes& b) { Put32(b, 14, 0); }},
      {"header size 12 (core header)", [](Bytes& b) { Put32(b, 14, 12); }},
      {"header size 39", [](Bytes& b) { Put32(b, 14, 39); }},
      {"header size past the block", [](Bytes& b) { Put32(b, 14, 200); }},
      {"header size wraps 32 bits", [](Bytes& b) { Put32(b, 14, 0xFFFFFFF8); }},
      {"bit count 0", [](Bytes& b) { Put16(b, 28, 0); }},
      {"bit count 2", [](Bytes& b) { Put16(b, 28, 2); }},
      {"bit count 48", [](Bytes& b) { Put16(b, 28, 48); }},
      {"bit count 0xFFFF", [](Bytes& b) { Put16(b, 28, 0xFFFF); }},
      {"negative width", [](Bytes& b) { Put32(b, 18, static_cast<uint32_t>(-7)); }},
      {"width -1", [](Bytes& b) { Put32(b, 18, 0xFFFFFFFF); }},
      {"height INT32_MIN", [](Bytes& b) { Put32(b, 22, 0x80000000); }},
      {"one row more than the block holds", [](Bytes& b) { Put32(b, 22, 6); }},
      {"one row more, stored top-down", [](Bytes& b) { Put32(b, 22, static_cast<uint32_t>(-6)); }},
      {"width needs a longer row", [](Bytes& b) { Put32(b, 18, 9); }},
      {"32 bits per pixel needs longer rows", [](Bytes& b) { Put16(b, 28, 32); }},
      {"row wider than 2 GiB", [](Bytes& b) { Put32(b, 18, 0x7FFFFFFF); Put16(b, 28, 32); }},
      {"rows × stride wraps 32 bits",
       [](Bytes& b) { Put32(b, 18, 0x20000000); Put32(b, 22, 3); }},  // 3 × 0x60000000
      {"rows × stride wraps 32 bits to a small size",
       [](Bytes& b) { Put32(b, 18, 1024); Put32(b, 22, 0x00155556); }},  // 2^32 + 2048
      {"rows × stride wraps 32 bits to 16 bytes",
       [](Bytes& b) { Put32(b, 18, 0x15555556); Put32(b, 22, 4); }},  // 4 × 0x40000004
      {"pixel offset past the block", [](Bytes& b) { Put32(b, 10, static_cast<uint32_t>(b.size() + 1)); }},
      {"pixel offset 0xFFFFFFFF", [](Bytes& b) { Put32(b, 10, 0xFFFFFFFF); }},
      {"pixel offset leaves no room for the rows", [](Bytes& b) { Put32(b, 10, 58); }},
      {"colour table past the block", [](Bytes& b) { Put32(b, 46, 100); }},
      {"colour count × 4 wraps 32 bits to 0", [](Bytes& b) { Put32(b, 46, 0x40000000); }},
      {"colour count 0xFFFFFFFF", [](Bytes& b) { Put32(b, 46, 0xFFFFFFFF); }},
      {"8 bits without room for the palette", [](Bytes& b) { Put16(b, 28, 8); Put32(b, 18, 24); }},
      {"bit-field masks push the rows past the block",
       [](Bytes& b) { Put16(b, 28, 32); Put32(b, 18, 6); Put32(b, 22, 5); Put32(b, 30, 3); }},
  };
  // Sanity: the unspoilt file and the 32-bit variant without masks are sound.
  {
    Bytes b = GoodFile();
    ASSERT_TRUE(DibValidate(b.data(), b.size()));
    Put16(b, 28, 32);
    Put32(b, 18, 6);
    ASSERT_TRUE(DibValidate(b.data(), b.size()));
  }
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Bytes file = GoodFile();
    c.spoil(file);
    // The exact bytes, with nothing to spare behind them.
    const std::vector<unsigned char> exact(file);
    EXPECT_FALSE(DibValidate(exact.data(), exact.size()));
    DibImage* fromMemory = DibLoadMemory(exact.data(), exact.size());
    EXPECT_EQ(fromMemory, nullptr);
    DibFree(fromMemory);
    DibImage* fromFile = DibLoadFile(Write("bad" + std::to_string(n++) + ".bmp", file).c_str());
    EXPECT_EQ(fromFile, nullptr);
    DibFree(fromFile);
  }
}

TEST(DibValidate, RefusesNullAndTinyBlocks) {
  const Bytes file = GoodFile();
  EXPECT_FALSE(DibValidate(nullptr, file.size()));
  EXPECT_FALSE(DibValidate(file.data(), 0));
  EXPECT_FALSE(DibValidate(file.data(), 53));
  EXPECT_FALSE(DibValidate(file.data(), file.size() - 1)) << "size field must match the block";
  EXPECT_TRUE(DibValidate(file.data(), file.size()));
}

#ifdef _WIN32
// Files are opened for shared reading only: a file someone is still writing
// cannot be loaded, while other readers do not get in the way.
TEST_F(DibFileTest, FileHeldOpenForWritingIsRefused) {
  const std::string path = Write("busy.bmp", GoodFile());
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DibLoadFile(path.c_str()), nullptr);
  CloseHandle(writer);

  HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ImageHolder loaded(DibLoadFile(path.c_str()));
  EXPECT_NE(loaded.image, nullptr);
  CloseHandle(reader);
}
#endif

}  // namespace
