// Tests of the multipart body builder: the exact bytes of every kind of part.
#include "net/multipart.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The body built so far, as bytes.
std::string Body(const MultipartRequest* request) {
  return std::string(reinterpret_cast<const char*>(request->body), request->bodyLength);
}

class MultipartTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(request_, nullptr); }
  void TearDown() override { MultipartFreeRecord(request_); }

  MultipartRequest* request_ = MultipartNewRecord();
};

// ---- MultipartNewRecord ----

TEST_F(MultipartTest, NewRecordHasBoundaryAndNothingElse) {
  EXPECT_STREQ(request_->boundary, "-7d836b1a4d0b3c");
  EXPECT_EQ(request_->internet, nullptr);
  EXPECT_EQ(request_->connection, nullptr);
  EXPECT_EQ(request_->request, nullptr);
  EXPECT_EQ(request_->body, nullptr);
  EXPECT_EQ(request_->bodyLength, 0u);
  EXPECT_EQ(request_->failed, 0);
}

// ---- MultipartAddPart and MultipartAddClosing ----

struct PartCase {
  const char* label;
  const char* name;
  std::string value;
  const char* fileName;
  const char* contentType;
  std::string expected;
};

const PartCase kPartCases[] = {
    {"text field", "application", "norvalisk", nullptr, nullptr,
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"application\"\r\n"
     "\r\n"
     "norvalisk\r\n"},
    {"empty value: four lines, the last CR LF alone", "title", "", nullptr, nullptr,
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"title\"\r\n"
     "\r\n"
     "\r\n"},
    {"file part", "front", std::string("\x89PNG\r\n\x1a\n", 8), "front.png", "image/png",
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"front\"; filename=\"front.png\"\r\n"
     "Content-Type: image/png\r\n"
     "\r\n"
     "\x89PNG\r\n\x1a\n\r\n"},
    {"file name with empty type is a text field", "back", "x", "back.png", "",
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"back\"\r\n"
     "\r\n"
     "x\r\n"},
    {"file name with null type is a text field", "back", "x", "back.png", nullptr,
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"back\"\r\n"
     "\r\n"
     "x\r\n"},
    {"type without file name is a text field", "back", "x", "", "image/png",
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"back\"\r\n"
     "\r\n"
     "x\r\n"},
    {"NUL, CR LF and a delimiter-like line copied unchanged", "title",
     std::string("a\0b\r\n---7d836b1a4d0b3c\r\nz", 25), nullptr, nullptr,
     std::string("---7d836b1a4d0b3c\r\n"
                 "Content-Disposition: form-data; name=\"title\"\r\n"
                 "\r\n"
                 "a\0b\r\n---7d836b1a4d0b3c\r\nz\r\n",
                 94)},
    {"Shift-JIS title bytes", "title", "名刺", nullptr, nullptr,
     "---7d836b1a4d0b3c\r\n"
     "Content-Disposition: form-data; name=\"title\"\r\n"
     "\r\n"
     "\x96\xBC\x8E\x68\r\n"},
};

TEST_F(MultipartTest, BuildsEachKindOfPart) {
  for (const PartCase& c : kPartCases) {
    SCOPED_TRACE(c.label);
    MultipartRequest* request = MultipartNewRecord();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(MultipartAddPart(request, c.name, c.value.data(),
                               static_cast<uint32_t>(c.value.size()), c.fileName, c.contentType),
              1);
    EXPECT_EQ(Body(request), c.expected);
    MultipartFreeRecord(request);
  }
}

TEST_F(MultipartTest, EmptyBodyIsTheClosingDelimiterAlone) {
  ASSERT_EQ(MultipartAddClosing(request_), 1);
  EXPECT_EQ(Body(request_), "---7d836b1a4d0b3c--\r\n");
  EXPECT_EQ(request_->bodyLength, 21u);
}

TEST_F(MultipartTest, PartsFollowEachOtherWithoutPreamble) {
  ASSERT_EQ(MultipartAddPart(request_, "mode", "upload", 6, nullptr, nullptr), 1);
  ASSERT_EQ(MultipartAddPart(request_, "width", "91.00", 5, nullptr, nullptr), 1);
  ASSERT_EQ(MultipartAddClosing(request_), 1);
  EXPECT_EQ(Body(request_),
            "---7d836b1a4d0b3c\r\n"
            "Content-Disposition: form-data; name=\"mode\"\r\n"
            "\r\n"
            "upload\r\n"
            "---7d836b1a4d0b3c\r\n"
            "Content-Disposition: form-data; name=\"width\"\r\n"
            "\r\n"
            "91.00\r\n"
            "---7d836b1a4d0b3c--\r\n");
}

TEST_F(MultipartTest, LengthCountsOnlyBytesInUse) {
  ASSERT_EQ(MultipartAddPart(request_, "id", "abcd", 4, nullptr, nullptr), 1);
  // delimiter 19 + disposition 41 + CR LF twice 4 + value 4 + CR LF 2
  EXPECT_EQ(request_->bodyLength, 70u);
  EXPECT_GE(BufferSize(request_->body), 70u);
}

TEST(MultipartNullTest, NullRequestIsRefused) {
  EXPECT_EQ(MultipartAddPart(nullptr, "a", "b", 1, nullptr, nullptr), 0);
  EXPECT_EQ(MultipartAddClosing(nullptr), 0);
}

// ---- A body that cannot grow fails the whole request ----

TEST_F(MultipartTest, BodyThatCannotGrowFailsTheRequest) {
  ASSERT_EQ(MultipartAddPart(request_, "mode", "upload", 6, nullptr, nullptr), 1);
  // A value this long does not fit the 32-bit body length; it is never read.
  const char tiny[1] = {'x'};
  EXPECT_EQ(MultipartAddPart(request_, "front", tiny, 0xFFFFFFF0u, "front.png", "image/png"), 0);
  EXPECT_EQ(request_->failed, 1);
  EXPECT_EQ(request_->body, nullptr);
  EXPECT_EQ(request_->bodyLength, 0u);
  // Nothing is added afterwards, not even the closing delimiter.
  EXPECT_EQ(MultipartAddPart(request_, "back", "y", 1, nullptr, nullptr), 0);
  EXPECT_EQ(MultipartAddClosing(request_), 0);
  EXPECT_EQ(request_->body, nullptr);
}

TEST_F(MultipartTest, HeaderThatDoesNotFitFailsTheRequest) {
  const std::string longName(1100, 'n');
  EXPECT_EQ(MultipartAddPart(request_, longName.c_str(), "v", 1, nullptr, nullptr), 0);
  EXPECT_EQ(request_->failed, 1);
  EXPECT_EQ(request_->body, nullptr);
}

TEST_F(MultipartTest, MissingValueBytesFailTheRequest) {
  EXPECT_EQ(MultipartAddPart(request_, "front", nullptr, 10, "front.png", "image/png"), 0);
  EXPECT_EQ(request_->failed, 1);
}

TEST_F(MultipartTest, NullValueOfLengthZeroIsAnEmptyField) {
  ASSERT_EQ(MultipartAddPart(request_, "title", nullptr, 0, nullptr, nullptr), 1);
  EXPECT_EQ(Body(request_),
            "---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\n\r\n");
}

}  // namespace
