// Tests of the fitted-image geometry.
#include "editor/fit_rect.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct FitCase {
  const char* label;
  int32_t width;
  int32_t absHeight;
  std::array<int32_t, 4> rect;
  std::array<int32_t, 4> fitted;
};

// ---- FitImageRect ---------------------------------------------------------
const FitCase kFitCases[] = {
    {"wide image in a square: moved down by 50", 100, 50, {0, 0, 200, 200}, {0, 50, 200, 150}},
    {"tall image in a square: moved right", 50, 100, {0, 0, 200, 200}, {50, 0, 150, 200}},
    {"same proportions keep the rectangle", 40, 20, {10, 20, 90, 60}, {10, 20, 90, 60}},
    {"odd remainder rounds the offset down", 100, 50, {0, 0, 101, 101}, {0, 25, 101, 75}},
    {"offset rectangle", 2693, 1672, {512, 104, 858, 450}, {512, 170, 858, 384}},
    {"portrait card", 1672, 2693, {0, 0, 346, 346}, {66, 0, 280, 346}},
};

class FitImageRectTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitImageRectTest, CentresWithProportionsKept) {
  const FitCase& c = GetParam();
  std::array<int32_t, 4> rect = c.rect;
  ASSERT_TRUE(FitImageRect(c.width, c.absHeight, rect.data()));
  EXPECT_EQ(rect, c.fitted);
}

INSTANTIATE_TEST_SUITE_P(Table, FitImageRectTest, ::testing::ValuesIn(kFitCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(FitImageRect, ImageWithoutPixelsLeavesRectangleAlone) {
  std::array<int32_t, 4> rect = {1, 2, 3, 4};
  EXPECT_FALSE(FitImageRect(0, 50, rect.data()));
  EXPECT_FALSE(FitImageRect(50, 0, rect.data()));
  EXPECT_EQ(rect, (std::array<int32_t, 4>{1, 2, 3, 4}));
}

}  // namespace
