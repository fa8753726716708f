// Tests of opening design files under Wine: real files decoded by WIC and
// written as page files. A table of card-sized designs (every size and
// orientation, no bleed, 2 mm and 3 mm, resolution fields 72, 96, 350 dpi or
// none) lands at the card's physical size with its trim box known; a sheet
// with trim marks lands at its own resolution; a 720-dpi design is copied
// pixel for pixel; and the refusals (too large, damaged, not an image,
// five pages) show their message and write nothing.
#include "pages/design_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "app/open_design.h"
#include "app/program_values.h"
#include "image/dib_image.h"
#include "support/win_test_util.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct ImageHolder {
  DibImage* image;
  explicit ImageHolder(DibImage* i) : image(i) {}
  ~ImageHolder() { DibFree(image); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
};

struct Rgb {
  unsigned char r, g, b;
};

// An RGB picture, rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  Bytes rgb;
  void Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(width, x1); ++x) {
        unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
  }
};

Picture Blank(int width, int height, Rgb c) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.resize(size_t(width) * height * 3);
  p.Fill(0, 0, width, height, c);
  return p;
}

// Writes an 8-bit RGB PNG, with a pHYs chunk of `ppm` pixels per metre when not 0.
bool WritePng(const std::string& path, const Picture& picture, unsigned ppm) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (ppm) png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < picture.height; ++y) {
    png_write_row(png, const_cast<unsigned char*>(&picture.rgb[size_t(y) * picture.width * 3]));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// Pixels per metre of a resolution field in dpi.
unsigned PerMetre(double dpi) { return unsigned(dpi / 0.0254 + 0.5); }

// The page's pixel (x, y from the top) as RGB.
Rgb PagePixel(DibImage* page, int x, int y) {
  DibLayout layout;
  DibDescribe(page, &layout);
  const unsigned char* p = layout.pixels + size_t(y) * layout.stride + 3 * size_t(x);
  return {p[2], p[1], p[0]};
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

std::string Describe(Rgb c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

constexpr Rgb kWhite = {255, 255, 255};
constexpr Rgb kBleedColour = {230, 120, 20};  // the design's bleed band
constexpr Rgb kCardColour = {20, 60, 160};    // inside the trim line

// The table: a card design of a size, orientation and bleed, its pixels at
// 300 dpi, and a resolution field that does not say so.
struct CardCase {
  int size;
  int orientation;
  int bleed;
  double field;  // 0: no pHYs chunk
};

class DesignFileTest : public ::testing::Test {
 protected:
  void SetUp() override { prefix_ = folder_.File("page_"); }
  std::string PagePath(int n) const { return prefix_ + std::to_string(n) + ".bmp"; }
  void RemovePages() {
    for (int n = 1; n <= 5; ++n) DeleteFileA(PagePath(n).c_str());
  }
  TempFolder folder_;
  std::string prefix_;
};

TEST_F(DesignFileTest, CardSizedDesignsLandAtTheCardsSizeWithTheirTrimBox) {
  std::vector<CardCase> cases;
  const double fields[] = {72, 96, 350, 0};
  int n = 0;
  for (int size = 0; size < 3; ++size)
    for (int orientation = 0; orientation < 2; ++orientation)
      for (int bleed : {0, 2, 3}) cases.push_back({size, orientation, bleed, fields[n++ % 4]});

  for (const CardCase& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + " orientation " + std::to_string(c.orientation) +
                 " bleed " + std::to_string(c.bleed) + " field " + std::to_string(int(c.field)));
    float wMm = 0, hMm = 0;
    CardSizeFor(c.size, c.orientation, &wMm, &hMm);
    const double dpi = 300;
    auto px = [&](double mm) { return int(std::floor(mm * dpi / 25.4 + 0.5)); };
    const int width = px(wMm + 2 * c.bleed), height = px(hMm + 2 * c.bleed), band = px(c.bleed);
    Picture design = Blank(width, height, kBleedColour);
    design.Fill(band, band, width - band, height - band, kCardColour);
    const std::string file = folder_.File("card.png");
    ASSERT_TRUE(WritePng(file, design, c.field ? PerMetre(c.field) : 0));

    RemovePages();
    DesignImportResult result;
    ASSERT_EQ(ImportDesignFile(file.c_str(), prefix_.c_str(), &result), DesignImported);
    EXPECT_EQ(result.pageIndex, 0);
    ASSERT_TRUE(result.placement.isCard);
    // ３号名刺 with 3 mm of bleed is 91 × 55 mm outside, as 普通名刺 without:
    // the smaller bleed is taken, and the trim box follows.
    const bool tie = c.size == 2 && c.bleed == 3;
    const int wantSize = tie ? 0 : c.size;
    const int wantBleed = tie ? 0 : c.bleed;
    EXPECT_EQ(result.placement.card.sizeIndex, wantSize);
    EXPECT_EQ(result.placement.card.orientation, c.orientation);
    EXPECT_EQ(result.placement.card.bleedMm, wantBleed);

    ImageHolder page(DibLoadFile(PagePath(1).c_str()));
    ASSERT_NE(page.image, nullptr);
    DibLayout layout;
    DibDescribe(page.image, &layout);
    EXPECT_EQ(layout.bitCount, 24);
    EXPECT_EQ(layout.width, 5953);
    EXPECT_EQ(layout.height, -8419);
    EXPECT_FALSE(FileExists(PagePath(1) + ".tmp"));

    // The outer size is the card's at 720 dpi, centred.
    const int outerW = PagePixelsForMm(wMm + 2.0 * c.bleed), outerH = PagePixelsForMm(hMm + 2.0 * c.bleed);
    const DesignPlacement& p = result.placement;
    EXPECT_EQ(p.width, outerW);
    EXPECT_EQ(p.height, outerH);
    EXPECT_EQ(p.x, (5953 - outerW) / 2);
    EXPECT_EQ(p.y, (8419 - outerH) / 2);
    const int bleedPx = PagePixelsForMm(wantBleed);
    EXPECT_EQ(p.trim.left, p.x + bleedPx);
    EXPECT_EQ(p.trim.top, p.y + bleedPx);
    EXPECT_EQ(p.trim.right, p.x + outerW - bleedPx);
    EXPECT_EQ(p.trim.bottom, p.y + outerH - bleedPx);

    // White just outside the design, the design's colours inside it.
    const int midX = (p.trim.left + p.trim.right) / 2, midY = (p.trim.top + p.trim.bottom) / 2;
    for (auto [x, y] : {std::pair{p.x - 1, midY}, {p.x + outerW, midY}, {midX, p.y - 1}, {midX, p.y + outerH}}) {
      EXPECT_TRUE(Near(PagePixel(page.image, x, y), kWhite, 0)) << x << "," << y;
    }
    EXPECT_TRUE(Near(PagePixel(page.image, midX, midY), kCardColour, 2));
    // The design's own trim line lands on the page's: card colour 4 pixels
    // inside, bleed colour 4 pixels outside.
    const int inset = PagePixelsForMm(c.bleed);
    const int trimLeft = p.x + inset, trimTop = p.y + inset;
    EXPECT_TRUE(Near(PagePixel(page.image, trimLeft + 4, midY), kCardColour, 40))
        << Describe(PagePixel(page.image, trimLeft + 4, midY));
    EXPECT_TRUE(Near(PagePixel(page.image, midX, trimTop + 4), kCardColour, 40));
    if (c.bleed > 0) {
      EXPECT_TRUE(Near(PagePixel(page.image, trimLeft - 4, midY), kBleedColour, 40))
          << Describe(PagePixel(page.image, trimLeft - 4, midY));
      EXPECT_TRUE(Near(PagePixel(page.image, midX, trimTop - 4), kBleedColour, 40));
    }
  }
}

TEST_F(DesignFileTest, ASheetWithTrimMarksLandsAtItsOwnResolution) {
  // 120 × 85 mm at 350 dpi: not a card's proportions.
  Picture sheet = Blank(1654, 1171, kWhite);
  sheet.Fill(200, 200, 1454, 958, kCardColour);
  sheet.Fill(100, 199, 180, 201, {0, 0, 0});  // a trim mark's stroke
  const std::string file = folder_.File("sheet.png");
  ASSERT_TRUE(WritePng(file, sheet, PerMetre(350)));
  DesignImportResult result;
  ASSERT_EQ(ImportDesignFile(file.c_str(), prefix_.c_str(), &result), DesignImported);
  EXPECT_FALSE(result.placement.isCard);
  const double dpi = PerMetre(350) * 0.0254;
  EXPECT_EQ(result.placement.width, int(1654 * 720 / dpi + 0.5));
  EXPECT_EQ(result.placement.height, int(1171 * 720 / dpi + 0.5));
  EXPECT_EQ(result.placement.x, (5953 - result.placement.width) / 2);

  // Without a resolution field: 350 dpi as well.
  ASSERT_TRUE(WritePng(file, sheet, 0));
  DesignImportResult plain;
  ASSERT_EQ(ImportDesignFile(file.c_str(), prefix_.c_str(), &plain), DesignImported);
  EXPECT_EQ(plain.pageIndex, 1);
  EXPECT_EQ(plain.placement.width, int(1654 * 720 / 350.0 + 0.5));
}

TEST_F(DesignFileTest, A720DpiDesignIsCopiedPixelForPixel) {
  Picture design = Blank(123, 77, kWhite);
  uint32_t seed = 7;
  for (auto& b : design.rgb) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(seed >> 24);
  }
  const std::string file = folder_.File("fine.png");
  ASSERT_TRUE(WritePng(file, design, PerMetre(720)));
  DesignImportResult result;
  ASSERT_EQ(ImportDesignFile(file.c_str(), prefix_.c_str(), &result), DesignImported);
  ASSERT_FALSE(result.placement.isCard);
  ASSERT_EQ(result.placement.width, 123);
  ImageHolder page(DibLoadFile(PagePath(1).c_str()));
  ASSERT_NE(page.image, nullptr);
  for (int y = 0; y < 77; ++y)
    for (int x = 0; x < 123; ++x) {
      const unsigned char* want = &design.rgb[(size_t(y) * 123 + x) * 3];
      const Rgb got = PagePixel(page.image, result.placement.x + x, result.placement.y + y);
      ASSERT_TRUE(got.r == want[0] && got.g == want[1] && got.b == want[2]) << x << "," << y;
    }
}

// Opens `path` through the program's command path and returns the message
// shown and the page index.
std::string OpenAnswering(const std::string& path, int* page) {
  auto answer = std::async(std::launch::async, [] {
    std::string caption;
    std::string text = AnswerMessageBox(&caption);
    return caption + "|" + text;
  });
  *page = OpenDesignFile(nullptr, path.c_str());
  return answer.get();
}

TEST_F(DesignFileTest, RefusalsShowTheirMessageAndWriteNothing) {
  InitCardJob(&Job, folder_.path().c_str());
  ASSERT_EQ(std::string(Job.pagePrefix), prefix_);
  // 3000 × 3000 pixels at 72 dpi: over a metre wide.
  const std::string large = folder_.File("poster.png");
  ASSERT_TRUE(WritePng(large, Blank(3000, 3000, kCardColour), PerMetre(72)));
  int page = 0;
  std::string shown = OpenAnswering(large, &page);
  EXPECT_EQ(page, -1);
  EXPECT_EQ(shown, std::string(kDesignOpenCaption) +
                       "|「poster.png」のデザイン（1058 × 1058 mm）はA4のページ（210 × 297 mm）より"
                       "大きいため開けません。\n解像度や大きさを確かめてください。");
  EXPECT_FALSE(FileExists(PagePath(1)));

  // A PNG cut short, and a text file.
  Bytes png;
  {
    const std::string good = folder_.File("good.png");
    ASSERT_TRUE(WritePng(good, Blank(50, 40, kCardColour), 0));
    const std::string bytes = ReadFileBytes(good);
    WriteFileBytes(folder_.File("broken.png"), bytes.substr(0, 60));
  }
  shown = OpenAnswering(folder_.File("broken.png"), &page);
  EXPECT_EQ(page, -1);
  EXPECT_NE(shown.find("読み込めませんでした"), std::string::npos) << shown;
  WriteFileBytes(folder_.File("notes.png"), "These are notes, not an image.\n");
  shown = OpenAnswering(folder_.File("notes.png"), &page);
  EXPECT_EQ(page, -1);
  EXPECT_NE(shown.find("開けない形式"), std::string::npos) << shown;
  shown = OpenAnswering(folder_.File("missing.png"), &page);
  EXPECT_NE(shown.find("読み込めませんでした"), std::string::npos) << shown;
  EXPECT_FALSE(FileExists(PagePath(1)));

  // A good card is taken and its trim box recorded for its page.
  Picture card = Blank(1075, 650, kCardColour);  // 91 × 55 mm at 300 dpi
  ASSERT_TRUE(WritePng(folder_.File("card.png"), card, 0));
  EXPECT_EQ(OpenDesignFile(nullptr, folder_.File("card.png").c_str()), 0);
  EXPECT_EQ(Job.pageCards[0].source, PageCardImported);
  EXPECT_EQ(Job.pageCards[0].trim.right - Job.pageCards[0].trim.left, PagePixelsForMm(91));

  // Five pages present: refused.
  for (int n = 2; n <= 5; ++n) WriteFileBytes(PagePath(n), "BM");
  shown = OpenAnswering(folder_.File("card.png"), &page);
  EXPECT_EQ(page, -1);
  EXPECT_EQ(shown, std::string(kDesignOpenCaption) +
                       "|ページはすでに5枚あります。これ以上デザインを開けません。");
  EXPECT_EQ(ReadFileBytes(PagePath(5)), "BM");
}

}  // namespace
