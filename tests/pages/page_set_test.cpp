// Tests of the page set: counting consecutive page files through a probe that
// says which files can be opened, and the page selection commands.
#include "pages/page_set.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

// A folder as the probe sees it: the page numbers whose files can be opened,
// and every path it was asked about, in order.
struct FakeFolder {
  std::set<int> openable;
  std::vector<std::string> probed;
};

constexpr char kPrefix[] = "C:\\cards\\page_";

std::string PagePath(int page) { return std::string(kPrefix) + std::to_string(page) + ".bmp"; }

bool Probe(const char* path, void* context) {
  auto* folder = static_cast<FakeFolder*>(context);
  folder->probed.emplace_back(path);
  for (int page : folder->openable) {
    if (PagePath(page) == path) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> Paths(std::initializer_list<int> pages) {
  std::vector<std::string> paths;
  for (int page : pages) {
    paths.push_back(PagePath(page));
  }
  return paths;
}

// ---- RecountPages -------------------------------------------------------------

struct RecountCase {
  const char* label;
  std::set<int> openable;
  int32_t countBefore;
  int32_t countAfter;
  bool selectFirst;
  std::vector<std::string> probed;
};

void PrintTo(const RecountCase& c, std::ostream* out) { *out << c.label; }

class RecountTest : public ::testing::TestWithParam<RecountCase> {};

TEST_P(RecountTest, CountsConsecutivePagesFromTheLastCount) {
  const RecountCase& c = GetParam();
  FakeFolder folder{c.openable, {}};
  const PageRecount result = RecountPages(kPrefix, c.countBefore, Probe, &folder);
  EXPECT_EQ(result.newCount, c.countAfter);
  EXPECT_EQ(result.selectFirst, c.selectFirst);
  EXPECT_EQ(folder.probed, c.probed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecountTest,
    ::testing::Values(
        RecountCase{"NoFiles", {}, 0, 0, false, Paths({1})},
        RecountCase{"GapStopsTheCount", {1, 2, 4}, 0, 2, true, Paths({1, 2, 3})},
        RecountCase{"FirstFindSelectsPage1", {1, 2, 3}, 0, 3, true, Paths({1, 2, 3, 4})},
        RecountCase{"AllFive", {1, 2, 3, 4, 5}, 0, 5, true, Paths({1, 2, 3, 4, 5})},
        RecountCase{"Page1Missing", {2, 3}, 0, 0, false, Paths({1})},
        RecountCase{"GrowsWithoutReselecting", {1, 2, 3, 4}, 2, 4, false, Paths({3, 4, 5})},
        RecountCase{"CountedPagesAreNotLookedAtAgain", {}, 2, 2, false, Paths({3})},
        RecountCase{"FullCountOpensNothing", {1, 2, 3, 4, 5}, 5, 5, false, {}},
        RecountCase{"CountAboveFiveOpensNothing", {1, 2, 3, 4, 5}, 7, 5, false, {}},
        RecountCase{"NegativeCountStartsAtPage1", {1}, -3, 1, true, Paths({1, 2})}),
    [](const ::testing::TestParamInfo<RecountCase>& info) { return info.param.label; });

TEST(RecountPages, ReportsTheCountItStartedFrom) {
  FakeFolder folder{{1, 2, 3, 4}, {}};
  const PageRecount result = RecountPages(kPrefix, 2, Probe, &folder);
  EXPECT_EQ(result.oldCount, 2);
  EXPECT_EQ(result.newCount, 4);
}

TEST(RecountPages, PagesArrivingOneAfterAnotherSelectPage1Once) {
  FakeFolder folder;
  int32_t count = 0;
  std::vector<bool> selections;
  for (int page = 1; page <= 6; ++page) {
    folder.openable.insert(page);
    const PageRecount result = RecountPages(kPrefix, count, Probe, &folder);
    selections.push_back(result.selectFirst);
    count = result.newCount;
  }
  EXPECT_EQ(count, 5);
  EXPECT_EQ(selections, (std::vector<bool>{true, false, false, false, false, false}));
}

TEST(RecountPages, PathsThatCannotBeBuiltAreNeverProbed) {
  const std::string tooLong(258, 'x');
  for (const char* prefix : {"", tooLong.c_str()}) {
    FakeFolder folder{{1}, {}};
    const PageRecount result = RecountPages(prefix, 0, Probe, &folder);
    EXPECT_EQ(result.newCount, 0) << "prefix length " << std::string(prefix).size();
    EXPECT_TRUE(folder.probed.empty());
  }
}

TEST(RecountPages, PrefixIsUsedAsItStands) {
  // "表" is 0x95 0x5C in Shift-JIS: its trail byte is a backslash.
  FakeFolder folder;
  RecountPages("D:\\表\\p_", 0, Probe, &folder);
  ASSERT_EQ(folder.probed.size(), 1u);
  EXPECT_EQ(folder.probed[0], "D:\\表\\p_1.bmp");
}

// ---- PageIndexOfCommand ---------------------------------------------------------

TEST(PageIndexOfCommand, MapsThePageCommandsOnly) {
  const struct {
    int command;
    int32_t index;
  } cases[] = {
      {IDC_PAGE1 - 1, -1}, {IDC_PAGE1, 0}, {IDC_PAGE2, 1},     {IDC_PAGE3, 2},
      {IDC_PAGE4, 3},      {IDC_PAGE5, 4}, {IDC_PAGE5 + 1, -1}, {IDC_SHOW_PAGE, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PageIndexOfCommand(c.command), c.index) << c.command;
  }
}

}  // namespace
