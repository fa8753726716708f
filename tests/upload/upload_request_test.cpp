// Tests of the upload's card data: the title cut, the eight text fields and
// their bytes in the multipart body, and dialog centring.
#include "upload/upload_request.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "net/multipart.h"

namespace {

// ---- CutCardTitle ----

TEST(CutCardTitleTest, KeepsAtMost47BytesWithoutSplittingACharacter) {
  const std::string sixty(60, 'a');
  const std::string kanji = "名";  // two bytes in Shift-JIS: 0x96 0xBC
  ASSERT_EQ(kanji.size(), 2u);
  struct Case {
    const char* label;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"short", "my card", "my card"},
      {"exactly 47", std::string(47, 'b'), std::string(47, 'b')},
      {"60 single bytes: the first 47", sixty, sixty.substr(0, 47)},
      {"46 bytes then a kanji: it would end at 48 and is dropped", std::string(46, 'c') + kanji + "d",
       std::string(46, 'c')},
      {"45 bytes then a kanji ends at 47", std::string(45, 'c') + kanji + "d",
       std::string(45, 'c') + kanji},
      {"30 kanji: 23 whole ones", [] { std::string s; for (int i = 0; i < 30; ++i) s += "名"; return s; }(),
       [] { std::string s; for (int i = 0; i < 23; ++i) s += "名"; return s; }()},
      {"trail byte 0x5C is not a backslash", "表" + std::string(50, 'e'),
       "表" + std::string(45, 'e')},
  };
  for (const Case& c : cases) {
    char out[64];
    std::memset(out, 'z', sizeof out);
    CutCardTitle(c.in.c_str(), out);
    EXPECT_EQ(std::string(out), c.out) << c.label;
  }
}

TEST(CutCardTitleTest, NullIsEmpty) {
  char out[64] = "x";
  CutCardTitle(nullptr, out);
  EXPECT_STREQ(out, "");
}

// ---- FormatUploadFields ----

TEST(FormatUploadFieldsTest, EightFieldsInRequestOrder) {
  const UploadCardData card{"名刺", 91.0f, 55.0f, 2.0f, "user_1", "pass1"};
  UploadField fields[kUploadTextFieldCount];
  FormatUploadFields(card, fields);
  const char* expected[kUploadTextFieldCount][2] = {
      {"application", "norvalisk"}, {"mode", "upload"}, {"title", "名刺"}, {"width", "91.00"},
      {"height", "55.00"}, {"nuritashi", "2.00"}, {"id", "user_1"}, {"pwd", "pass1"}};
  for (int i = 0; i < kUploadTextFieldCount; ++i) {
    EXPECT_STREQ(fields[i].name, expected[i][0]) << i;
    EXPECT_STREQ(fields[i].value, expected[i][1]) << i;
  }
}

TEST(FormatUploadFieldsTest, SizesUseTwoDecimals) {
  struct Case {
    float width, height, bleed;
    const char* w;
    const char* h;
    const char* b;
  };
  const Case cases[] = {
      {55.0f, 91.0f, 2.0f, "55.00", "91.00", "2.00"},
      {89.0f, 51.0f, 2.0f, "89.00", "51.00", "2.00"},
      {85.5f, 49.25f, 0.3f, "85.50", "49.25", "0.30"},
  };
  for (const Case& c : cases) {
    UploadField fields[kUploadTextFieldCount];
    FormatUploadFields(UploadCardData{"", c.width, c.height, c.bleed, "", ""}, fields);
    EXPECT_STREQ(fields[3].value, c.w);
    EXPECT_STREQ(fields[4].value, c.h);
    EXPECT_STREQ(fields[5].value, c.b);
  }
}

// ---- AddUploadTextParts ----

TEST(AddUploadTextPartsTest, BodyHoldsTheEightFieldsAsTextParts) {
  MultipartRequest* request = MultipartNewRecord();
  ASSERT_NE(request, nullptr);
  const UploadCardData card{"", 91.0f, 55.0f, 2.0f, "abcd", "wxyz"};
  EXPECT_EQ(AddUploadTextParts(request, card), 1);
  const std::string body(reinterpret_cast<const char*>(request->body), request->bodyLength);
  std::string expected;
  const char* fields[][2] = {{"application", "norvalisk"}, {"mode", "upload"}, {"title", ""},
                             {"width", "91.00"}, {"height", "55.00"}, {"nuritashi", "2.00"},
                             {"id", "abcd"}, {"pwd", "wxyz"}};
  for (const auto& field : fields) {
    expected += std::string("---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"") +
                field[0] + "\"\r\n\r\n" + field[1] + "\r\n";
  }
  EXPECT_EQ(body, expected);
  MultipartFreeRecord(request);
}

TEST(AddUploadTextPartsTest, NullRequestAddsNothing) {
  EXPECT_EQ(AddUploadTextParts(nullptr, UploadCardData{"", 1, 1, 1, "", ""}), 0);
}

// ---- CentredEdge and CardPngPath ----

TEST(CentredEdgeTest, HalvesTheDifferenceTowardZero) {
  EXPECT_EQ(CentredEdge(100, 880, 382), 100 + 249);
  EXPECT_EQ(CentredEdge(0, 301, 100), 100);
  // A dialog larger than its owner: (100 − 301) / 2 = −100, truncated toward zero.
  EXPECT_EQ(CentredEdge(50, 100, 301), -50);
}

TEST(CardPngPathTest, JoinsFolderAndNameOrRefuses) {
  char out[32];
  EXPECT_TRUE(CardPngPath("C:\\prog", kFrontPngName, out, sizeof out));
  EXPECT_STREQ(out, "C:\\prog\\front.png");
  const std::string longFolder(40, 'f');
  EXPECT_FALSE(CardPngPath(longFolder.c_str(), kBackPngName, out, sizeof out));
  EXPECT_STREQ(out, "");
  // An unknown program folder gives no path, never one at the drive's root.
  std::snprintf(out, sizeof out, "stale");
  EXPECT_FALSE(CardPngPath("", kFrontPngName, out, sizeof out));
  EXPECT_STREQ(out, "");
}

}  // namespace
