// Tests of the PNG writer: every file is read back with the tests' own decoder
// (chunk walker, zlib, unfilter) and compared pixel for pixel with the picture
// the test put into the bitmap.
#include "upload/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image/dib_image.h"
#include "png_decoder.h"

namespace {

namespace fs = std::filesystem;

using Rgba = std::vector<uint8_t>;  // top-down picture, channels bytes per pixel

// An image owned by the test, written through its layout.
struct Image {
  DibImage* image;
  DibLayout layout;

  Image(int32_t width, int32_t height, int32_t bits) : image(DibCreate(width, height, bits)) {
    DibDescribe(image, &layout);
  }
  ~Image() { DibFree(image); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Stored row `y` (0 = first row in memory).
  unsigned char* Row(int32_t y) { return layout.pixels + static_cast<size_t>(y) * layout.stride; }
  void SetPalette(int index, uint8_t r, uint8_t g, uint8_t b) {
    unsigned char* entry = layout.colourTable + 4 * index;
    entry[0] = b;
    entry[1] = g;
    entry[2] = r;
    entry[3] = 0;
  }
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PngWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("norvalisk_png_" + std::string(info->name()) + "_" + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // Writes the image and decodes the file; checks the chunk list and header.
  DecodedPng WriteAndDecode(DibImage* image, int colourType) {
    const std::string path = Path("card.png");
    EXPECT_EQ(WriteCardPng(image, path.c_str()), 1);
    DecodedPng png = DecodePng(ReadBytes(path));
    EXPECT_TRUE(png.ok) << png.error;
    EXPECT_EQ(png.chunks.front(), "IHDR");
    EXPECT_EQ(png.chunks.back(), "IEND");
    for (size_t i = 1; i + 1 < png.chunks.size(); ++i) EXPECT_EQ(png.chunks[i], "IDAT") << i;
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, colourType);
    EXPECT_EQ(png.compression, 0);
    EXPECT_EQ(png.filterMethod, 0);
    EXPECT_EQ(png.interlace, 0);
    EXPECT_EQ(png.zlibLevelFlag, 3) << "not written at the highest compression level";
    return png;
  }

  fs::path dir_;
};

// ---- 24 bits ----

TEST_F(PngWriterTest, TwentyFourBitRowsComeOutTopDownAsRgb) {
  Image image(2, 2, 24);
  // Stored bottom row blue, blue; top row red, red.
  for (int x = 0; x < 2; ++x) {
    DibSetPixel(image.layout.pixels, &image.layout, x, 0, 0, 0, 255, 0);
    DibSetPixel(image.layout.pixels, &image.layout, x, 1, 255, 0, 0, 0);
  }
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 2u);
  EXPECT_EQ(png.height, 2u);
  const Rgba expected = {255, 0, 0, 255, 0, 0,   // first row: red, red
                         0, 0, 255, 0, 0, 255};  // second row: blue, blue
  EXPECT_EQ(png.pixels, expected);
}

// A card-like picture (gradients, flat areas and noise) of an odd width, so
// rows carry padding and the encoder picks among its filters.
TEST_F(PngWriterTest, LargerTwentyFourBitImageEqualsItsPicture) {
  const int32_t w = 301;
  const int32_t h = 97;
  Image image(w, h, 24);
  std::mt19937 random(7);
  Rgba expected(static_cast<size_t>(w) * h * 3);
  for (int32_t top = 0; top < h; ++top) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t r, g, b;
      if (x < 100) {
        r = uint8_t(x * 2), g = uint8_t(top * 2), b = uint8_t(x + top);
      } else if (x < 200) {
        r = 250, g = 250, b = 240;
      } else {
        r = uint8_t(random()), g = uint8_t(random()), b = uint8_t(random());
      }
      DibSetPixel(image.layout.pixels, &image.layout, x, h - 1 - top, r, g, b, 0);
      uint8_t* e = &expected[(static_cast<size_t>(top) * w + x) * 3];
      e[0] = r, e[1] = g, e[2] = b;
    }
  }
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, uint32_t(w));
  EXPECT_EQ(png.height, uint32_t(h));
  EXPECT_EQ(png.pixels, expected);
  bool filtered = false;
  for (int filter : png.rowFilters) filtered |= filter != 0;
  EXPECT_TRUE(filtered) << "no row was filtered";
}

// An image larger than one compression piece: the joined pieces decode to the
// picture with the tests' decoder and with libpng.
TEST_F(PngWriterTest, ImageOfSeveralPiecesEqualsItsPicture) {
  const int32_t w = 523;
  const int32_t h = 541;  // 1.13 MB of RGBA rows: two pieces
  Image image(w, h, 32);
  std::mt19937 random(3);
  Rgba expected(static_cast<size_t>(w) * h * 4);
  for (int32_t top = 0; top < h; ++top) {
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t r = uint8_t(x + top), g = uint8_t(x * top / 64), b = uint8_t(random() % 4);
      unsigned char* p = image.Row(h - 1 - top) + 4 * x;
      p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
      uint8_t* e = &expected[(static_cast<size_t>(top) * w + x) * 4];
      e[0] = r, e[1] = g, e[2] = b, e[3] = 255;
    }
  }
  const DecodedPng png = WriteAndDecode(image.image, 6);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.pixels, expected);

  png_image read{};
  read.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&read, Path("card.png").c_str())) << read.message;
  read.format = PNG_FORMAT_RGBA;
  Rgba pixels(PNG_IMAGE_SIZE(read));
  ASSERT_TRUE(png_image_finish_read(&read, nullptr, pixels.data(), 0, nullptr)) << read.message;
  EXPECT_EQ(pixels, expected) << "libpng reads other pixels";
}

// Rows stored top-down (negative height) keep their order.
TEST_F(PngWriterTest, TopDownImageKeepsItsRowOrder) {
  Image image(1, -2, 24);
  DibSetPixel(image.layout.pixels, &image.layout, 0, 0, 10, 20, 30, 0);  // first in memory = top
  DibSetPixel(image.layout.pixels, &image.layout, 0, 1, 40, 50, 60, 0);
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.pixels, (Rgba{10, 20, 30, 40, 50, 60}));
}

// ---- 32 bits ----

TEST_F(PngWriterTest, ThirtyTwoBitPixelsLoseTheirPremultipliedAlpha) {
  struct AlphaCase {
    const char* label;
    uint8_t b, g, r, a;     // stored
    uint8_t outR, outG, outB, outA;
  };
  const AlphaCase cases[] = {
      {"half alpha, red limited to 255", 64, 128, 255, 128, 255, 255, 127, 128},
      {"alpha 0 is white", 10, 20, 30, 0, 255, 255, 255, 0},
      {"opaque unchanged", 1, 2, 3, 255, 3, 2, 1, 255},
      {"quarter alpha", 0, 32, 63, 64, 251, 127, 0, 64},
  };
  Image image(4, 1, 32);
  for (int i = 0; i < 4; ++i) {
    unsigned char* p = image.Row(0) + 4 * i;
    p[0] = cases[i].b, p[1] = cases[i].g, p[2] = cases[i].r, p[3] = cases[i].a;
  }
  const DecodedPng png = WriteAndDecode(image.image, 6);
  ASSERT_TRUE(png.ok);
  ASSERT_EQ(png.pixels.size(), 16u);
  for (int i = 0; i < 4; ++i) {
    const AlphaCase& c = cases[i];
    EXPECT_EQ(Rgba(png.pixels.begin() + 4 * i, png.pixels.begin() + 4 * i + 4),
              (Rgba{c.outR, c.outG, c.outB, c.outA}))
        << c.label;
  }
}

// ---- palette images ----

TEST_F(PngWriterTest, OneBitPixelsTakeTheColourTableHighBitFirst) {
  // Nine pixels wide, so a row takes two bytes and the second holds one pixel.
  Image image(9, 2, 1);
  image.SetPalette(0, 0, 0, 0);
  image.SetPalette(1, 255, 255, 255);
  image.Row(1)[0] = 0b10110000;  // top row: W B W W B B B B | B
  image.Row(1)[1] = 0b00000000;
  image.Row(0)[0] = 0b01111111;  // bottom row: B W W W W W W W | W
  image.Row(0)[1] = 0b10000000;
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  const char* rows[2] = {"WBWWBBBBB", "BWWWWWWWW"};
  Rgba expected;
  for (const char* row : rows) {
    for (const char* p = row; *p; ++p) {
      const uint8_t v = *p == 'W' ? 255 : 0;
      expected.insert(expected.end(), {v, v, v});
    }
  }
  EXPECT_EQ(png.pixels, expected);
}

TEST_F(PngWriterTest, OneBitColourTableIsUsedAsIs) {
  Image image(2, 1, 1);
  image.SetPalette(0, 200, 100, 50);
  image.SetPalette(1, 1, 2, 3);
  image.Row(0)[0] = 0b01000000;
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.pixels, (Rgba{200, 100, 50, 1, 2, 3}));
}

TEST_F(PngWriterTest, EightBitPixelsIndexTheColourTable) {
  Image image(3, 2, 8);
  for (int i = 0; i < 256; ++i) image.SetPalette(i, uint8_t(i), uint8_t(255 - i), uint8_t(i / 2));
  const uint8_t top[3] = {0, 255, 7};
  const uint8_t bottom[3] = {128, 1, 200};
  for (int x = 0; x < 3; ++x) {
    image.Row(1)[x] = top[x];
    image.Row(0)[x] = bottom[x];
  }
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  Rgba expected;
  for (const uint8_t* row : {top, bottom}) {
    for (int x = 0; x < 3; ++x) expected.insert(expected.end(), {row[x], uint8_t(255 - row[x]), uint8_t(row[x] / 2)});
  }
  EXPECT_EQ(png.pixels, expected);
}

TEST_F(PngWriterTest, FourBitPixelsIndexTheColourTableHighNibbleFirst) {
  Image image(3, 1, 4);
  for (int i = 0; i < 16; ++i) image.SetPalette(i, uint8_t(i * 16), uint8_t(i), 0);
  image.Row(0)[0] = 0x2F;
  image.Row(0)[1] = 0x50;
  const DecodedPng png = WriteAndDecode(image.image, 2);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.pixels, (Rgba{32, 2, 0, 240, 15, 0, 80, 5, 0}));
}

// ---- failures ----

TEST_F(PngWriterTest, UnwritablePlaceGivesZeroAndNoFile) {
  Image image(2, 2, 24);
  const std::string path = (dir_ / "missing folder" / "front.png").string();
  EXPECT_EQ(WriteCardPng(image.image, path.c_str()), 0);
  EXPECT_FALSE(fs::exists(path));
  // A folder in the place of the file cannot be written either, and stays.
  const std::string folder = Path("back.png");
  fs::create_directories(folder);
  EXPECT_EQ(WriteCardPng(image.image, folder.c_str()), 0);
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(PngWriterTest, OlderFileIsReplaced) {
  const std::string path = Path("front.png");
  std::ofstream(path, std::ios::binary) << std::string(100000, 'x');
  Image image(1, 1, 24);
  ASSERT_EQ(WriteCardPng(image.image, path.c_str()), 1);
  const DecodedPng png = DecodePng(ReadBytes(path));
  ASSERT_TRUE(png.ok) << png.error;
  EXPECT_EQ(png.pixels, (Rgba{0, 0, 0}));
}

// Images that cannot be converted write nothing and leave an older file alone.
TEST_F(PngWriterTest, UnconvertibleImagesLeaveTheOldFile) {
  const std::string path = Path("front.png");
  std::ofstream(path, std::ios::binary) << "old";
  DibImage* sixteen = DibCreate(4, 4, 24);
  ASSERT_NE(sixteen, nullptr);
  // Turn the header's bit count (offset 28) into 16.
  DibBytes(sixteen)[28] = 16;
  Image empty(0, 5, 24);
  struct Case {
    const char* label;
    DibImage* image;
  };
  const Case cases[] = {{"no image", nullptr}, {"16 bits", sixteen}, {"no columns", empty.image}};
  for (const Case& c : cases) {
    EXPECT_EQ(WriteCardPng(c.image, path.c_str()), 0) << c.label;
    EXPECT_EQ(ReadBytes(path), "old") << c.label;
  }
  DibFree(sixteen);
}

// An error inside libpng (here a width beyond its limit, refused while the
// header is written) comes back as 0 and takes the partial file away.
TEST_F(PngWriterTest, LibpngErrorGivesZeroAndRemovesTheFile) {
  const std::string path = Path("front.png");
  std::ofstream(path, std::ios::binary) << "old";
  const int32_t width = 2000000;
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3, 0);
  unsigned char* table[1] = {row.data()};
  const PngRows rows{table, width, 1, 3};
  EXPECT_EQ(EncodePngFile(rows, path.c_str()), 0);
  EXPECT_FALSE(fs::exists(path));
}

// ---- both sides ----

TEST_F(PngWriterTest, PairWritesBothSidesOrOnlyThoseThatExist) {
  Image front(3, 2, 24);
  Image back(2, 3, 24);
  DibSetPixel(front.layout.pixels, &front.layout, 0, 1, 9, 8, 7, 0);
  DibSetPixel(back.layout.pixels, &back.layout, 1, 0, 1, 2, 3, 0);
  const std::string frontPath = Path("front.png");
  const std::string backPath = Path("back.png");
  int frontResult = -1;
  int backResult = -1;
  WriteCardPngPair(front.image, frontPath.c_str(), back.image, backPath.c_str(), &frontResult,
                   &backResult);
  EXPECT_EQ(frontResult, 1);
  EXPECT_EQ(backResult, 1);
  const DecodedPng f = DecodePng(ReadBytes(frontPath));
  const DecodedPng b = DecodePng(ReadBytes(backPath));
  ASSERT_TRUE(f.ok && b.ok);
  EXPECT_EQ(f.width, 3u);
  EXPECT_EQ(b.width, 2u);
  EXPECT_EQ(Rgba(f.pixels.begin(), f.pixels.begin() + 3), (Rgba{9, 8, 7}));
  EXPECT_EQ(Rgba(b.pixels.end() - 3, b.pixels.end()), (Rgba{1, 2, 3}));

  fs::remove(frontPath);
  fs::remove(backPath);
  WriteCardPngPair(front.image, frontPath.c_str(), nullptr, backPath.c_str(), &frontResult,
                   &backResult);
  EXPECT_EQ(frontResult, 1);
  EXPECT_EQ(backResult, 0);
  EXPECT_TRUE(fs::exists(frontPath));
  EXPECT_FALSE(fs::exists(backPath));
}

// ---- stopping ----

// A flag already set stops at once: 0 for each side given, and no file left
// at its path, an older one included; a side not given keeps its file.
TEST_F(PngWriterTest, SetFlagWritesNothingAndLeavesNoFile) {
  Image front(40, 30, 24);
  Image back(30, 40, 32);
  const std::string frontPath = Path("front.png");
  const std::string backPath = Path("back.png");
  std::atomic<bool> cancel{true};

  std::ofstream(frontPath, std::ios::binary) << "old";
  EXPECT_EQ(WriteCardPng(front.image, frontPath.c_str(), &cancel), 0);
  EXPECT_FALSE(fs::exists(frontPath));

  std::ofstream(frontPath, std::ios::binary) << "old";
  std::ofstream(backPath, std::ios::binary) << "old";
  int frontResult = -1;
  int backResult = -1;
  WriteCardPngPair(front.image, frontPath.c_str(), back.image, backPath.c_str(), &frontResult,
                   &backResult, &cancel);
  EXPECT_EQ(frontResult, 0);
  EXPECT_EQ(backResult, 0);
  EXPECT_FALSE(fs::exists(frontPath));
  EXPECT_FALSE(fs::exists(backPath));

  std::ofstream(backPath, std::ios::binary) << "old";
  WriteCardPngPair(front.image, frontPath.c_str(), nullptr, backPath.c_str(), &frontResult,
                   &backResult, &cancel);
  EXPECT_EQ(frontResult, 0);
  EXPECT_EQ(backResult, 0);
  EXPECT_FALSE(fs::exists(frontPath));
  EXPECT_EQ(ReadBytes(backPath), "old");

  // A clear flag writes as usual.
  cancel = false;
  EXPECT_EQ(WriteCardPng(front.image, frontPath.c_str(), &cancel), 1);
  EXPECT_TRUE(DecodePng(ReadBytes(frontPath)).ok);
}

// Stopping while both sides are being compressed: another thread sets the
// flag once the files have been opened (the compression starts after that);
// the call returns 0 for both and leaves neither file.
TEST_F(PngWriterTest, FlagSetDuringTheWorkStopsBothSides) {
  // Two card-sized sides of noise, whose compression takes a long while.
  Image front(2693, 1672, 24);
  Image back(2693, 1672, 24);
  uint32_t noise = 5;
  for (Image* image : {&front, &back}) {
    for (int32_t y = 0; y < 1672; ++y) {
      unsigned char* row = image->Row(y);
      for (int32_t i = 0; i < 2693 * 3; ++i) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        row[i] = uint8_t(noise);
      }
    }
  }
  const std::string frontPath = Path("front.png");
  const std::string backPath = Path("back.png");
  std::atomic<bool> cancel{false};
  std::atomic<bool> finished{false};
  std::thread stopper([&] {
    while (!finished && !(fs::exists(frontPath) && fs::exists(backPath))) std::this_thread::yield();
    cancel = true;
  });
  int frontResult = -1;
  int backResult = -1;
  WriteCardPngPair(front.image, frontPath.c_str(), back.image, backPath.c_str(), &frontResult,
                   &backResult, &cancel);
  finished = true;
  stopper.join();
  EXPECT_TRUE(cancel) << "the files never appeared";
  EXPECT_EQ(frontResult, 0);
  EXPECT_EQ(backResult, 0);
  EXPECT_FALSE(fs::exists(frontPath));
  EXPECT_FALSE(fs::exists(backPath));
}

}  // namespace
