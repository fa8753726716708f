// Tests of the window-shape runs.
#include "controls/region_runs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kBlue = 0x0000FF;  // key colour: pure blue as 0x00RRGGBB
constexpr uint32_t kInk = 0x332211;

// A bitmap held top-down; scan lines are numbered bottom-up as the platform does.
struct Bitmap {
  int32_t width;
  int32_t height;
  std::vector<uint32_t> pixels;  // row 0 is the top row
  std::vector<int32_t> fetched;  // scan lines asked for, in order
};

bool Fetch(void* context, int32_t scanLine, uint32_t* row) {
  auto* bitmap = static_cast<Bitmap*>(context);
  bitmap->fetched.push_back(scanLine);
  const int32_t topRow = bitmap->height - 1 - scanLine;
  for (int32_t x = 0; x < bitmap->width; ++x) {
    row[x] = bitmap->pixels[topRow * bitmap->width + x];
  }
  return true;
}

std::vector<RegionRect> Runs(Bitmap& bitmap, uint32_t key) {
  std::vector<uint32_t> row(bitmap.width);
  std::vector<RegionRect> out(static_cast<size_t>(bitmap.width) * bitmap.height);
  out.resize(CollectRegionRuns(bitmap.width, bitmap.height, key, Fetch, &bitmap, row.data(), out.data()));
  return out;
}

// ---- AppendRowRuns --------------------------------------------------------
TEST(AppendRowRuns, RowWithoutKeyIsOneFullRectangle) {
  const uint32_t row[] = {kInk, kInk, kInk, kInk, kInk};
  RegionRect out[3];
  ASSERT_EQ(AppendRowRuns(row, 5, kBlue, 7, out), 1u);
  EXPECT_EQ(out[0], (RegionRect{0, 7, 5, 8}));
}

TEST(AppendRowRuns, AlternatingPixelsGiveOneRectanglePerInkPixel) {
  const uint32_t row[] = {kInk, kBlue, kInk, kBlue, kInk, kBlue, kInk};
  RegionRect out[4];
  ASSERT_EQ(AppendRowRuns(row, 7, kBlue, 0, out), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out[i], (RegionRect{2 * i, 0, 2 * i + 1, 1})) << i;
  }
}

TEST(AppendRowRuns, AllKeyAndEmptyRowsGiveNothing) {
  const uint32_t row[] = {kBlue, kBlue, kBlue};
  RegionRect out[2];
  EXPECT_EQ(AppendRowRuns(row, 3, kBlue, 0, out), 0u);
  EXPECT_EQ(AppendRowRuns(row, 0, kBlue, 0, out), 0u);
}

TEST(AppendRowRuns, KeyComparesAllTwentyFourBits) {
  // Nearly blue is not blue: 0x0000FE and 0x0100FF stay in the shape.
  const uint32_t row[] = {0x0000FE, kBlue, 0x0100FF};
  RegionRect out[2];
  ASSERT_EQ(AppendRowRuns(row, 3, kBlue, 0, out), 2u);
  EXPECT_EQ(out[0], (RegionRect{0, 0, 1, 1}));
  EXPECT_EQ(out[1], (RegionRect{2, 0, 3, 1}));
}

// ---- CollectRegionRuns ----------------------------------------------------
TEST(CollectRegionRuns, BottomRowIsNeverPartOfTheShape) {
  Bitmap bitmap{3, 3, {kBlue, kInk, kBlue,   // top
                       kInk,  kInk, kInk,    // middle
                       kInk,  kInk, kInk},   // bottom: never scanned
                {}};
  const std::vector<RegionRect> runs = Runs(bitmap, kBlue);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (RegionRect{1, 0, 2, 1}));
  EXPECT_EQ(runs[1], (RegionRect{0, 1, 3, 2}));
  // Rows are read from the top: scan line h − 1 first, scan line 0 never.
  EXPECT_EQ(bitmap.fetched, (std::vector<int32_t>{2, 1}));
}

TEST(CollectRegionRuns, HeightOneOrLessIsEmpty) {
  Bitmap one{4, 1, {kInk, kInk, kInk, kInk}, {}};
  EXPECT_TRUE(Runs(one, kBlue).empty());
  EXPECT_TRUE(one.fetched.empty());
}

TEST(CollectRegionRuns, UnreadableRowAddsNothing) {
  std::vector<uint32_t> row(2);
  RegionRect out[4];
  auto failing = [](void*, int32_t, uint32_t*) { return false; };
  EXPECT_EQ(CollectRegionRuns(2, 3, kBlue, failing, nullptr, row.data(), out), 0u);
}

// ---- RegionDataCapacity ---------------------------------------------------
TEST(RegionDataCapacity, HeaderPlusOneRectanglePerPixel) {
  EXPECT_EQ(RegionDataCapacity(878, 680), (878u * 680u + 2u) * 16u);
  EXPECT_EQ(RegionDataCapacity(1, 1), 48u);
  EXPECT_EQ(RegionDataCapacity(0, 5), 0u);
  EXPECT_EQ(RegionDataCapacity(5, -1), 0u);
}

}  // namespace
