// Tests of the pure rules of the control host and the web view.
#include "webview/host_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// ---- PixelsToHimetric / HimetricToPixels ----

struct UnitCase {
  int32_t pixels;
  int32_t dpi;
  int32_t himetric;
};

TEST(HimetricTest, ConvertsPixelsRoundingToNearest) {
  const UnitCase cases[] = {
      {360, 96, 9525},   // the web view's width in the main window
      {135, 96, 3572},   // its height: 3571.875 rounds up
      {0, 96, 0},
      {1, 96, 26},       // 26.458
      {500, 96, 13229},  // 13229.17
      {100, 120, 2117},  // 2116.67
      {300, 144, 5292},  // 5291.67
  };
  for (const UnitCase& c : cases) {
    EXPECT_EQ(PixelsToHimetric(c.pixels, c.dpi), c.himetric) << c.pixels << " px at " << c.dpi;
  }
}

TEST(HimetricTest, ConvertsBackRoundingToNearest) {
  EXPECT_EQ(HimetricToPixels(9525, 96), 360);
  EXPECT_EQ(HimetricToPixels(3572, 96), 135);  // 135.02
  EXPECT_EQ(HimetricToPixels(1270, 96), 48);   // exactly half an inch
  EXPECT_EQ(HimetricToPixels(13, 96), 0);      // 0.49
  EXPECT_EQ(HimetricToPixels(14, 96), 1);      // 0.53
}

TEST(HimetricTest, PixelsSurviveTheRoundTrip) {
  for (int32_t dpi : {72, 96, 120, 144, 192}) {
    for (int32_t pixels = 0; pixels <= 4000; ++pixels) {
      ASSERT_EQ(HimetricToPixels(PixelsToHimetric(pixels, dpi), dpi), pixels)
          << pixels << " px at " << dpi;
    }
  }
}

TEST(HimetricTest, NoResolutionGivesZero) { EXPECT_EQ(PixelsToHimetric(360, 0), 0); }

// ---- ClassifyHostName ----

struct NameCase {
  const char* label;
  std::u16string name;
  HostNameKind kind;
};

TEST(ClassifyHostNameTest, SortsWindowTexts) {
  const NameCase cases[] = {
      {"empty", u"", HostNameKind::kNone},
      {"prefix upper case", u"MSHTML:<b>x</b>", HostNameKind::kHtml},
      {"prefix lower case", u"mshtml:<p>card</p>", HostNameKind::kHtml},
      {"prefix mixed case, nothing after", u"MsHtMl:", HostNameKind::kHtml},
      {"semicolon is not the colon", u"MSHTML;<p>", HostNameKind::kProgId},
      {"prefix cut short", u"MSHTM", HostNameKind::kProgId},
      {"prefix not at the start", u" MSHTML:<p>", HostNameKind::kProgId},
      {"class identifier", u"{8856F961-340A-11D0-A96B-00C04FD705A2}", HostNameKind::kClassId},
      {"programmatic identifier", u"Shell.Explorer.2", HostNameKind::kProgId},
      {"URL", u"http://127.0.0.1:8750/admin/norvalisk/help_page.php?page=info",
       HostNameKind::kProgId},
      {"254 characters", std::u16string(254, u'a'), HostNameKind::kProgId},
      {"255 characters", std::u16string(255, u'a'), HostNameKind::kUrl},
      {"255 characters in braces", u"{" + std::u16string(254, u'0'), HostNameKind::kUrl},
      {"long HTML", u"MSHTML:" + std::u16string(400, u'x'), HostNameKind::kHtml},
      {"Japanese text", u"表示", HostNameKind::kProgId},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(ClassifyHostName(c.name.c_str()), c.kind) << c.label;
  }
}

TEST(ClassifyHostNameTest, NullIsNoControl) {
  EXPECT_EQ(ClassifyHostName(static_cast<const char16_t*>(nullptr)), HostNameKind::kNone);
}

TEST(ClassifyHostNameTest, WorksOnWideCharactersOfAnySize) {
  EXPECT_EQ(ClassifyHostName(L"mshtml:<i>"), HostNameKind::kHtml);
  EXPECT_EQ(ClassifyHostName(U"{0}"), HostNameKind::kClassId);
}

// ---- RefreshLevel ----

TEST(RefreshLevelTest, KeepsTheThreeLevelsAndMakesTheRestNormal) {
  const struct {
    intptr_t requested;
    int32_t level;
  } cases[] = {
      {0, 0}, {1, 1}, {2, 0}, {3, 3}, {4, 0}, {7, 0}, {-1, 0}, {INTPTR_MAX, 0}, {INTPTR_MIN, 0},
      {intptr_t{1} << 32 | 1, 0},  // a wide value whose low half is a level
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RefreshLevel(c.requested), c.level) << c.requested;
  }
}

}  // namespace
