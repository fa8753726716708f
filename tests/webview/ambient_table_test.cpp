// Tests of the ambient property table of the control host.
#include "webview/ambient_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// ---- FindAmbientMember ----

TEST(AmbientTableTest, StandardPropertiesUseThePlatformIdentifiers) {
  const struct {
    const char16_t* name;
    int32_t dispId;
  } cases[] = {
      {u"BackColor", -701},     {u"Font", -703},           {u"ForeColor", -704},
      {u"LocaleID", -705},      {u"MessageReflect", -706}, {u"UserMode", -709},
      {u"ShowGrabHandles", -711}, {u"ShowHatching", -712}, {u"DisplayAsDefault", -713},
  };
  for (const auto& c : cases) {
    const AmbientMember* member = FindAmbientMember(c.name);
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->dispId, c.dispId);
  }
}

TEST(AmbientTableTest, NamesMatchExactlyAndCaseSensitively) {
  EXPECT_NE(FindAmbientMember(u"ContextMenuAllowed"), nullptr);
  EXPECT_EQ(FindAmbientMember(u"contextmenuallowed"), nullptr);
  EXPECT_EQ(FindAmbientMember(u"BackColo"), nullptr);
  EXPECT_EQ(FindAmbientMember(u"BackColorX"), nullptr);
  EXPECT_EQ(FindAmbientMember(u""), nullptr);
  EXPECT_EQ(FindAmbientMember(static_cast<const char16_t*>(nullptr)), nullptr);
}

TEST(AmbientTableTest, EveryMemberIsFoundByNameAndByIdentifier) {
  std::set<std::string> names;
  std::set<int32_t> ids;
  for (size_t i = 0; i < kAmbientMemberCount; ++i) {
    const AmbientMember& member = kAmbientMembers[i];
    std::u16string wide(member.name, member.name + std::char_traits<char>::length(member.name));
    EXPECT_EQ(FindAmbientMember(wide.c_str()), &member) << member.name;
    EXPECT_EQ(FindAmbientMember(member.dispId), &member) << member.name;
    EXPECT_TRUE(names.insert(member.name).second) << member.name;
    EXPECT_TRUE(ids.insert(member.dispId).second) << member.name;
  }
  EXPECT_EQ(kAmbientMemberCount, 15u);
  EXPECT_EQ(FindAmbientMember(0), nullptr);
  EXPECT_EQ(FindAmbientMember(-702), nullptr);  // DisplayName is not offered
}

TEST(AmbientTableTest, OnlyGrabHandlesAndHatchingAreReadOnly) {
  for (size_t i = 0; i < kAmbientMemberCount; ++i) {
    const AmbientMember& member = kAmbientMembers[i];
    const bool readOnly = member.dispId == kDispIdShowGrabHandles ||
                          member.dispId == kDispIdShowHatching;
    EXPECT_EQ(member.canPut, !readOnly) << member.name;
  }
}

TEST(AmbientTableTest, EachFlagPropertyOwnsOneBit) {
  uint32_t seen = 0;
  for (size_t i = 0; i < kAmbientMemberCount; ++i) {
    const AmbientMember& member = kAmbientMembers[i];
    if (member.kind != AmbientKind::kFlag) {
      continue;
    }
    EXPECT_EQ(member.flag & (member.flag - 1), 0u) << member.name;
    EXPECT_EQ(seen & member.flag, 0u) << member.name;
    seen |= member.flag;
  }
  // Bits 0 to 6 less the host's own "subclassed" bit.
  EXPECT_EQ(seen, 0x6Fu);
}

// ---- AmbientFontHeight ----

TEST(AmbientFontHeightTest, GivesTenThousandthsOfAPoint) {
  const struct {
    int32_t logicalHeight;
    int32_t dpi;
    int64_t height;
  } cases[] = {
      {-11, 96, 82500},   // 8.25 points: the usual default GUI font
      {11, 96, 82500},    // the sign of the height does not matter
      {-13, 120, 78000},
      {-16, 96, 120000},
      {-12, 144, 60000},
      {0, 96, 0},
      {-11, 0, 0},        // no resolution
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AmbientFontHeight(c.logicalHeight, c.dpi), c.height)
        << c.logicalHeight << " at " << c.dpi;
  }
}

}  // namespace
