// Tests of the page maker (tools/make_page.py): its pages load with the
// program's own loader as top-down 24-bit A4 pages at 720 dpi, with the
// design's pixels at the requested place on white.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "image/dib_image.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kPageWidth = 5953;   // 210 mm at 720 dpi, rounded
constexpr int32_t kPageHeight = 8419;  // 297 mm at 720 dpi, rounded
constexpr uint32_t kPageFileSize = 54 + 17860u * kPageHeight;

struct Rgb {
  unsigned char r, g, b;
  bool operator==(const Rgb&) const = default;
};
constexpr Rgb kWhite = {255, 255, 255};

void PrintTo(const Rgb& c, std::ostream* out) {
  *out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

// Page pixels of a length in millimetres, rounded half up as the tool promises.
int32_t MmToPx(double mm) { return static_cast<int32_t>(mm * 720.0 / 25.4 + 0.5); }

// A design of distinct colours: every pixel tells where it came from.
struct Design {
  int width;
  int height;
  std::vector<Rgb> pixels;
  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Design PatternDesign(int width, int height) {
  Design design{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      design.pixels.push_back({static_cast<unsigned char>(x * 7), static_cast<unsigned char>(y * 11),
                               static_cast<unsigned char>((x + y) * 13 + 1)});
    }
  }
  return design;
}

Design SolidDesign(int width, int height, Rgb colour) {
  return Design{width, height, std::vector<Rgb>(static_cast<size_t>(width) * height, colour)};
}

void WritePpm(const fs::path& path, const Design& design) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n# test design\n" << design.width << " " << design.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(design.pixels.data()),
            static_cast<std::streamsize>(design.pixels.size() * 3));
}

// A one-page PDF of `widthPt` × `heightPt` points filled with one colour.
void WriteSolidPdf(const fs::path& path, double widthPt, double heightPt, const char* rgb) {
  char content[128];
  std::snprintf(content, sizeof content, "%s rg 0 0 %.3f %.3f re f\n", rgb, widthPt, heightPt);
  char mediaBox[64];
  std::snprintf(mediaBox, sizeof mediaBox, "[0 0 %.3f %.3f]", widthPt, heightPt);
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + mediaBox + " /Contents 4 0 R >>",
      "<< /Length " + std::to_string(std::string(content).size()) + " >>\nstream\n" + content +
          "endstream",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  std::ofstream(path, std::ios::binary) << pdf;
}

bool HaveCommand(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A loaded page and its layout.
struct Page {
  DibImage* image = nullptr;
  DibLayout layout = {};
  Page() = default;
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  ~Page() { DibFree(image); }

  Rgb At(int32_t x, int32_t y) const {
    unsigned char b = 0, g = 0, r = 0;
    EXPECT_EQ(DibGetPixel(layout.pixels, layout.stride, layout.width, layout.height, 24, x, y, &b,
                          &g, &r, nullptr),
              1)
        << x << ", " << y;
    return {r, g, b};
  }
};

class PageMakerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("norvalisk_page_maker_" + std::to_string(random()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs the page maker; returns its exit status.
  int MakePage(const fs::path& design, const std::string& options, const fs::path& out) {
    const std::string command = std::string("\"") + NORVALISK_PYTHON + "\" \"" +
                                NORVALISK_SOURCE_DIR + "/tools/make_page.py\" \"" +
                                design.string() + "\" \"" + out.string() + "\" " + options +
                                " >/dev/null";
    return std::system(command.c_str());
  }

  // Loads the page and checks what every page must be.
  void LoadPage(const fs::path& path, Page* page) {
    page->image = DibLoadFile(path.string().c_str());
    ASSERT_NE(page->image, nullptr);
    ASSERT_EQ(DibDescribe(page->image, &page->layout), 1);
    EXPECT_EQ(page->layout.bitCount, 24);
    EXPECT_EQ(page->layout.width, kPageWidth);
    EXPECT_EQ(page->layout.height, -kPageHeight) << "rows stored top-down";
    EXPECT_EQ(page->layout.fileSize, kPageFileSize);
    EXPECT_EQ(fs::file_size(path), kPageFileSize);
    const unsigned char* header = page->layout.bitmapHeader;
    const uint32_t pixelsPerMetre = header[24] | header[25] << 8 | header[26] << 16;
    EXPECT_EQ(pixelsPerMetre, 28346u) << "720 dpi";
  }

  // The design sits at (x, y) of the page, pixel for pixel, with white around it.
  void ExpectDesignAt(const Page& page, const Design& design, int32_t x, int32_t y) {
    int mismatches = 0;
    for (int dy = 0; dy < design.height; ++dy) {
      for (int dx = 0; dx < design.width; ++dx) {
        if (page.At(x + dx, y + dy) != design.At(dx, dy) && ++mismatches <= 5) {
          ADD_FAILURE() << "design pixel " << dx << ", " << dy;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    ExpectWhiteFrame(page, x, y, design.width, design.height);
  }

  // Every pixel just outside the rectangle, and the page's corners, are white.
  void ExpectWhiteFrame(const Page& page, int32_t x, int32_t y, int32_t width, int32_t height) {
    for (int32_t i = -1; i <= width; ++i) {
      EXPECT_EQ(page.At(x + i, y - 1), kWhite) << "above, " << i;
      EXPECT_EQ(page.At(x + i, y + height), kWhite) << "below, " << i;
    }
    for (int32_t j = 0; j < height; ++j) {
      EXPECT_EQ(page.At(x - 1, y + j), kWhite) << "left, " << j;
      EXPECT_EQ(page.At(x + width, y + j), kWhite) << "right, " << j;
    }
    for (auto [cx, cy] : {std::pair{0, 0}, {kPageWidth - 1, 0}, {0, kPageHeight - 1},
                          {kPageWidth - 1, kPageHeight - 1}}) {
      EXPECT_EQ(page.At(cx, cy), kWhite) << "corner " << cx << ", " << cy;
    }
  }

  fs::path folder_;
};

// ---- Designs at their own resolution ------------------------------------------------

TEST_F(PageMakerTest, PpmDesignLandsPixelForPixelAtItsPlace) {
  const Design design = PatternDesign(37, 23);  // odd sizes: rows of the design are not aligned
  WritePpm(folder_ / "design.ppm", design);
  ASSERT_EQ(MakePage(folder_ / "design.ppm", "--dpi 720 --x-mm 10 --y-mm 30", folder_ / "page_1.bmp"), 0);
  Page page;
  ASSERT_NO_FATAL_FAILURE(LoadPage(folder_ / "page_1.bmp", &page));
  ExpectDesignAt(page, design, MmToPx(10), MmToPx(30));
}

TEST_F(PageMakerTest, PngDesignTakesItsOwnResolutionAndDefaultPlace) {
  if (!HaveCommand("convert")) {
    GTEST_SKIP() << "ImageMagick is not installed";
  }
  const Design design = PatternDesign(64, 40);
  WritePpm(folder_ / "design.ppm", design);
  const std::string convert = "convert \"" + (folder_ / "design.ppm").string() +
                              "\" -units PixelsPerInch -density 720 \"" +
                              (folder_ / "design.png").string() + "\"";
  ASSERT_EQ(std::system(convert.c_str()), 0);
  ASSERT_EQ(MakePage(folder_ / "design.png", "", folder_ / "page_1.bmp"), 0);
  Page page;
  ASSERT_NO_FATAL_FAILURE(LoadPage(folder_ / "page_1.bmp", &page));
  ExpectDesignAt(page, design, MmToPx(20), MmToPx(20));
}

// ---- Designs scaled to a size in millimetres -------------------------------------------

TEST_F(PageMakerTest, WidthInMillimetresScalesKeepingProportions) {
  if (!HaveCommand("convert")) {
    GTEST_SKIP() << "ImageMagick is not installed";
  }
  const Rgb red = {200, 16, 32};
  WritePpm(folder_ / "design.ppm", SolidDesign(100, 50, red));
  ASSERT_EQ(MakePage(folder_ / "design.ppm", "--width-mm 20 --x-mm 5 --y-mm 7", folder_ / "page_1.bmp"), 0);
  Page page;
  ASSERT_NO_FATAL_FAILURE(LoadPage(folder_ / "page_1.bmp", &page));
  const int32_t width = MmToPx(20);  // 567
  const int32_t height = 284;        // 567 × 50 / 100, rounded
  const int32_t x = MmToPx(5);
  const int32_t y = MmToPx(7);
  for (auto [dx, dy] : {std::pair{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1},
                        {width / 2, height / 2}}) {
    EXPECT_EQ(page.At(x + dx, y + dy), red) << dx << ", " << dy;
  }
  ExpectWhiteFrame(page, x, y, width, height);
}

TEST_F(PageMakerTest, PdfDesignKeepsItsPageSize) {
  if (!HaveCommand("pdftoppm") || !HaveCommand("pdfinfo")) {
    GTEST_SKIP() << "poppler-utils is not installed";
  }
  // A standard card, 91 × 55 mm, in points.
  WriteSolidPdf(folder_ / "card.pdf", 91 / 25.4 * 72, 55 / 25.4 * 72, "0 0.5 1");
  ASSERT_EQ(MakePage(folder_ / "card.pdf", "--x-mm 30 --y-mm 40", folder_ / "page_1.bmp"), 0);
  Page page;
  ASSERT_NO_FATAL_FAILURE(LoadPage(folder_ / "page_1.bmp", &page));
  const int32_t width = MmToPx(91);   // 2580
  const int32_t height = MmToPx(55);  // 1559
  const int32_t x = MmToPx(30);
  const int32_t y = MmToPx(40);
  const Rgb fill = page.At(x + width / 2, y + height / 2);
  EXPECT_EQ(fill.r, 0);
  EXPECT_EQ(fill.b, 255);
  EXPECT_NEAR(fill.g, 128, 1);
  for (auto [dx, dy] : {std::pair{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1}}) {
    EXPECT_EQ(page.At(x + dx, y + dy), fill) << dx << ", " << dy;
  }
  ExpectWhiteFrame(page, x, y, width, height);
}

// ---- Refusals ---------------------------------------------------------------------------------

TEST_F(PageMakerTest, RefusesWithoutLeavingAFile) {
  WritePpm(folder_ / "design.ppm", PatternDesign(720, 720));  // one inch square at 720 dpi
  const struct {
    const char* label;
    const char* design;
    const char* options;
  } cases[] = {
      {"past the right edge", "design.ppm", "--dpi 720 --x-mm 190"},
      {"past the bottom edge", "design.ppm", "--dpi 720 --y-mm 280"},
      {"negative place", "design.ppm", "--dpi 720 --x-mm -1"},
      {"zero size", "design.ppm", "--width-mm 0"},
      {"missing design", "missing.png", ""},
  };
  for (const auto& c : cases) {
    EXPECT_NE(MakePage(folder_ / c.design, std::string(c.options) + " 2>/dev/null", folder_ / "page_1.bmp"), 0)
        << c.label;
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"design.ppm"}) << "no page and no temporary file";
}

TEST_F(PageMakerTest, LeavesOnlyThePageBehind) {
  WritePpm(folder_ / "design.ppm", PatternDesign(8, 8));
  ASSERT_EQ(MakePage(folder_ / "design.ppm", "--dpi 720", folder_ / "page_3.bmp"), 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"design.ppm", "page_3.bmp"}));
}

}  // namespace
