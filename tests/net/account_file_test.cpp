// Tests of the account settings file: its exact bytes, the line reader and the line parser.
#include "net/account_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "net/account.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    static int made = 0;
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("norvalisk_account_" + std::to_string(random()) + "_" + std::to_string(++made));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void SetAccount(const char* id, const char* password, int remember) {
  std::strcpy(UserId, id);
  std::strcpy(UserPassword, password);
  RememberLogin = remember;
}

// Every test starts and ends with the account state at its start-up defaults.
class AccountFileTest : public ::testing::Test {
 protected:
  void SetUp() override { SetAccount("", "", 0); }
  void TearDown() override { SetAccount("", "", 0); }

  TempFolder folder_;
  std::string path_ = folder_.File("Norvalisk.env");
};

// The whole file as the program writes it, line by line. Lines 1 to 3 are 60 characters.
const char kRule[] = "; ----------------------------------------------------------";
const char kTitle[] = ";     Norvalisk Ver1.x Environmet file                      ";

std::string ExpectedFile(const std::string& id, const std::string& password,
                         const std::string& cookie) {
  return std::string(kRule) + "\r\n" + kTitle + "\r\n" + kRule + "\r\n" +
         "USER_ID      = " + id + "\r\n" +
         "USER_PWD     = " + password + "\r\n" +
         "COOKIE       = " + cookie + "\r\n" +
         ";\r\n";
}

TEST(AccountFileDataTest, ReferenceHeaderLinesAreSixtyCharacters) {
  EXPECT_EQ(std::strlen(kRule), 60u);
  EXPECT_EQ(std::strlen(kTitle), 60u);
}

// ---- WriteAccountFile ----

TEST_F(AccountFileTest, WritesExactBytes) {
  SetAccount("abc", "secret", 1);
  ASSERT_EQ(WriteAccountFile(path_.c_str()), 1);
  EXPECT_EQ(ReadBytes(path_), ExpectedFile("abc", "secret", "1"));
}

TEST_F(AccountFileTest, KeyLinesHaveEqualsInColumn14AndValueInColumn16) {
  SetAccount("id", "pw", 0);
  ASSERT_EQ(WriteAccountFile(path_.c_str()), 1);
  std::string bytes = ReadBytes(path_);
  const char* values[] = {"id", "pw", "0"};
  size_t start = 0;
  int keyLine = 0;
  for (int lineNumber = 1; lineNumber <= 7; ++lineNumber) {
    size_t end = bytes.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "line " << lineNumber;
    std::string line = bytes.substr(start, end - start);
    if (lineNumber >= 4 && lineNumber <= 6) {
      ASSERT_GE(line.size(), 15u);
      EXPECT_EQ(line[13], '=') << line;
      EXPECT_EQ(line[14], ' ') << line;
      EXPECT_EQ(line.substr(15), values[keyLine++]) << line;
    }
    start = end + 2;
  }
  EXPECT_EQ(start, bytes.size()) << "nothing follows the seventh line";
}

TEST_F(AccountFileTest, EmptyIdAndPasswordEndAfterEqualsAndBlank) {
  ASSERT_EQ(WriteAccountFile(path_.c_str()), 1);
  std::string bytes = ReadBytes(path_);
  EXPECT_NE(bytes.find("\r\nUSER_ID      = \r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\r\nUSER_PWD     = \r\n"), std::string::npos);

  SetAccount("stale", "stale", 1);
  ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_STREQ(UserId, "");
  EXPECT_STREQ(UserPassword, "");
  EXPECT_EQ(RememberLogin, 0);
}

TEST_F(AccountFileTest, ReplacesLongerExistingFile) {
  WriteBytes(path_, std::string(2000, 'z'));
  SetAccount("a", "b", 0);
  ASSERT_EQ(WriteAccountFile(path_.c_str()), 1);
  EXPECT_EQ(ReadBytes(path_), ExpectedFile("a", "b", "0"));
}

TEST_F(AccountFileTest, FileThatCannotBeCreatedGivesZero) {
  SetAccount("abc", "pw", 1);
  std::string inMissingFolder = folder_.File("missing") + "/Norvalisk.env";
  EXPECT_EQ(WriteAccountFile(inMissingFolder.c_str()), 0);
  EXPECT_FALSE(fs::exists(inMissingFolder));

  std::string folderItself = folder_.File("sub");
  fs::create_directory(folderItself);
  EXPECT_EQ(WriteAccountFile(folderItself.c_str()), 0);
  EXPECT_TRUE(fs::is_directory(folderItself));
}

// ---- Round trip ----

TEST_F(AccountFileTest, RoundTripKeepsValues) {
  struct Case {
    const char* label;
    const char* id;
    const char* password;
    int remember;
  };
  const Case cases[] = {
      {"plain", "abc", "secret", 1},
      {"empty", "", "", 0},
      {"31 bytes each", "0123456789012345678901234567890", "abcdefghijklmnopqrstuvwxyz01234", 1},
      // 表 is 0x95 0x5C: its trail byte is a backslash.
      {"Shift-JIS with 0x5C trail", "\x95\x5C\x8E\xA6", "p\x83\x5Cw", 0},
      {"blanks inside and at the ends", " a b ", "pw  ", 1},
      {"negative flag", "u", "p", -5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetAccount(c.id, c.password, c.remember);
    ASSERT_EQ(WriteAccountFile(path_.c_str()), 1);
    SetAccount("x", "y", 7);
    ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
    EXPECT_STREQ(UserId, c.id);
    EXPECT_STREQ(UserPassword, c.password);
    EXPECT_EQ(RememberLogin, c.remember);
  }
}

// ---- ReadAccountFile ----

TEST_F(AccountFileTest, MissingFileGivesZeroAndKeepsState) {
  SetAccount("kept", "kept too", 1);
  EXPECT_EQ(ReadAccountFile(folder_.File("absent.env").c_str()), 0);
  EXPECT_STREQ(UserId, "kept");
  EXPECT_STREQ(UserPassword, "kept too");
  EXPECT_EQ(RememberLogin, 1);
}

TEST_F(AccountFileTest, LfOnlyFileReadsLikeCrLf) {
  WriteBytes(path_,
             "; comment\n"
             "USER_ID      = abc\n"
             "USER_PWD     = pw\n"
             "COOKIE       = 1\n"
             ";\n");
  ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_STREQ(UserId, "abc");
  EXPECT_STREQ(UserPassword, "pw");
  EXPECT_EQ(RememberLogin, 1);
}

TEST_F(AccountFileTest, LastValueWinsAndOtherLinesAreIgnored) {
  WriteBytes(path_,
             "USER_ID      = first\r\n"
             "\r\n"
             ";USER_ID      = commented\r\n"
             "USER_ID = spaced wrong\r\n"
             "OTHER        = 1\r\n"
             "COOKIE       = 1\r\n"
             "\r\n\r\n"
             "USER_ID      = second\r\n"
             "COOKIE       = x\r\n"
             "USER_PWD     = pw");  // no line end at the end of the file
  ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_STREQ(UserId, "second");
  EXPECT_STREQ(UserPassword, "pw");
  EXPECT_EQ(RememberLogin, 0);
}

TEST_F(AccountFileTest, SingleBlankAfterKeyIsIgnored) {
  SetAccount("before", "", 0);
  WriteBytes(path_, "USER_ID = abc\r\n");
  ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_STREQ(UserId, "before");
}

TEST_F(AccountFileTest, OverlongValueIsCut) {
  WriteBytes(path_, "USER_ID      = " + std::string(600, 'i') + "\r\n" +
                        "USER_PWD     = " + std::string(40, 'p') + "\r\n");
  ASSERT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_EQ(std::string(UserId), std::string(31, 'i'));
  EXPECT_EQ(std::string(UserPassword), std::string(31, 'p'));
}

TEST_F(AccountFileTest, EmptyFileReadsNothing) {
  SetAccount("kept", "", 1);
  WriteBytes(path_, "");
  EXPECT_EQ(ReadAccountFile(path_.c_str()), 1);
  EXPECT_STREQ(UserId, "kept");
  EXPECT_EQ(RememberLogin, 1);
}

// ---- ReadTextLine and WriteTextLine ----

// Reads every line of the file with the given capacity.
std::vector<std::string> ReadAllLines(const std::string& path, int capacity) {
  ScopedTextFile file(OpenTextFile(path.c_str()));
  EXPECT_TRUE(file);
  std::vector<std::string> lines;
  if (!file) return lines;
  std::vector<char> buffer(static_cast<size_t>(capacity) + 8, '#');
  for (;;) {
    int length = ReadTextLine(file.get(), buffer.data(), capacity);
    EXPECT_EQ(std::strlen(buffer.data()), static_cast<size_t>(length)) << "terminated at its length";
    if (length == 0) break;
    lines.emplace_back(buffer.data());
    EXPECT_LT(lines.size(), 100u);
    if (lines.size() >= 100) break;
  }
  return lines;
}

TEST(AccountTextLineTest, SplitsLineAt499Characters) {
  TempFolder folder;
  std::string path = folder.File("long.txt");
  // 499 'a', then the 500th character 'X', then 100 'b': 600 characters in one line.
  WriteBytes(path, std::string(499, 'a') + "X" + std::string(100, 'b') + "\r\nnext\r\n");
  auto lines = ReadAllLines(path, 500);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(499, 'a'));
  EXPECT_EQ(lines[1], std::string(100, 'b'));
  EXPECT_EQ(lines[2], "next");
}

TEST(AccountTextLineTest, LineEndsAndBlankLines) {
  struct Case {
    const char* label;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"empty file", "", {}},
      {"only line ends", "\r\n\n\r\r\n", {}},
      {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
      {"LF only", "one\ntwo\n", {"one", "two"}},
      {"CR only", "one\rtwo\r", {"one", "two"}},
      {"no final line end", "one\r\ntwo", {"one", "two"}},
      {"blank lines between", "\r\n\r\none\r\n\r\n\r\ntwo", {"one", "two"}},
      {"NUL ends a line", std::string("one\0two\0\0three", 14), {"one", "two", "three"}},
      {"blanks are text", "  \r\n x \r\n", {"  ", " x "}},
      // 0x95 0x5C is 表; the reader passes bytes through untouched.
      {"Shift-JIS bytes", "\x95\x5C\x8E\xA6\r\n", {"\x95\x5C\x8E\xA6"}},
  };
  TempFolder folder;
  std::string path = folder.File("lines.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteBytes(path, c.bytes);
    EXPECT_EQ(ReadAllLines(path, 500), c.lines);
  }
}

TEST(AccountTextLineTest, SmallCapacityDropsOneByteAtEachCut) {
  TempFolder folder;
  std::string path = folder.File("small.txt");
  WriteBytes(path, "abcdefghij\r\nxy\r\n");
  // Capacity 4 holds three characters; the fourth byte of each piece is dropped.
  std::vector<std::string> expected = {"abc", "efg", "ij", "xy"};
  EXPECT_EQ(ReadAllLines(path, 4), expected);
}

TEST(AccountTextLineTest, WriteTextLineAppendsCrLfAndCountsBytes) {
  TempFolder folder;
  std::string path = folder.File("out.txt");
  {
    ScopedTextFile file(CreateTextFile(path.c_str()));
    ASSERT_TRUE(file);
    EXPECT_EQ(WriteTextLine(file.get(), "abc"), 5);
    EXPECT_EQ(WriteTextLine(file.get(), ""), 2);
    EXPECT_EQ(WriteTextLine(file.get(), "\x95\x5C"), 4);
  }
  EXPECT_EQ(ReadBytes(path), "abc\r\n\r\n\x95\x5C\r\n");
}

TEST(AccountTextLineTest, OpenTextFileFailsForMissingFile) {
  TempFolder folder;
  ScopedTextFile file(OpenTextFile(folder.File("absent.txt").c_str()));
  EXPECT_FALSE(file);
}

// ---- ApplyAccountLine ----

TEST(AccountLineTest, KeysAndValues) {
  struct Case {
    const char* label;
    const char* line;
    int matched;
    const char* id;
    const char* password;
    int remember;
  };
  // The state before each line is id "old", password "old", flag 5.
  const Case cases[] = {
      {"id as written", "USER_ID      = abc", 1, "abc", "old", 5},
      {"password as written", "USER_PWD     = pw", 1, "old", "pw", 5},
      {"cookie as written", "COOKIE       = 1", 1, "old", "old", 1},
      {"cookie not a number", "COOKIE       = x", 1, "old", "old", 0},
      {"columns 13 to 15 not examined", "USER_ID     xyzabc", 1, "abc", "old", 5},
      {"value keeps its blanks", "USER_PWD     =  a b ", 1, "old", " a b ", 5},
      {"key line of 15 characters", "USER_ID      = ", 1, "", "old", 5},
      {"key line of 14 characters", "USER_ID      =", 1, "", "old", 5},
      {"key line of 12 characters", "USER_ID     ", 1, "", "old", 5},
      {"short cookie line", "COOKIE      ", 1, "old", "old", 0},
      {"single blank after key", "USER_ID = abc", 0, "old", "old", 5},
      {"key too short", "USER_ID", 0, "old", "old", 5},
      {"lower case key", "user_id      = abc", 0, "old", "old", 5},
      {"comment", ";USER_ID      = abc", 0, "old", "old", 5},
      {"comment rule", "; ----------------------------------------------------------", 0, "old",
       "old", 5},
      {"unknown key", "USER_NAME    = abc", 0, "old", "old", 5},
      {"key prefix only", "USER_        = abc", 0, "old", "old", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char id[kAccountTextSize] = "old";
    char password[kAccountTextSize] = "old";
    int remember = 5;
    EXPECT_EQ(ApplyAccountLine(c.line, id, password, &remember), c.matched);
    EXPECT_STREQ(id, c.id);
    EXPECT_STREQ(password, c.password);
    EXPECT_EQ(remember, c.remember);
  }
}

// ---- CopyAccountText ----

TEST(AccountTextTest, CutsAt31BytesWithoutSplittingDoubleByteCharacters) {
  struct Case {
    const char* label;
    std::string value;
    std::string expected;
  };
  const std::string a29(29, 'a');
  const std::string a30(30, 'a');
  const Case cases[] = {
      {"empty", "", ""},
      {"31 bytes fit", std::string(31, 'a'), std::string(31, 'a')},
      {"32 bytes cut", std::string(32, 'a'), std::string(31, 'a')},
      // 0x95 0x5C is 表: a cut between its bytes would leave a lone lead byte.
      {"double byte ends at byte 31", a29 + "\x95\x5C", a29 + "\x95\x5C"},
      {"double byte would end at byte 32", a30 + "\x95\x5C", a30},
      {"double byte straddles the cut, more follows", a30 + "\x95\x5C" + "zz", a30},
      {"sixteen double bytes", std::string(32, '\x82'), std::string(30, '\x82')},
      {"lead byte 0xE0 range", a30 + "\xE0\x40", a30},
      {"lead byte 0xFC", a30 + "\xFC\x40", a30},
      {"half-width katakana are single bytes", std::string(32, '\xB1'), std::string(31, '\xB1')},
      {"0xA0 is a single byte", std::string(32, '\xA0'), std::string(31, '\xA0')},
      {"0x80 is a single byte", std::string(32, '\x80'), std::string(31, '\x80')},
      {"lead byte without trail byte", "ab\x95", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char dest[kAccountTextSize + 8];
    std::memset(dest, '#', sizeof dest);
    CopyAccountText(dest, c.value.c_str());
    EXPECT_EQ(std::string(dest), c.expected);
    EXPECT_EQ(dest[kAccountTextSize], '#') << "nothing written past the buffer";
  }
}

// ---- ParseCookieValue ----

TEST(AccountCookieTest, ParsesDecimal) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"1", 1},
      {"0", 0},
      {"x", 0},
      {"", 0},
      {"+1", 1},
      {"-1", -1},
      {"  1", 1},
      {"\t1", 1},
      {"007", 7},
      {"1x", 1},
      {"12 3", 12},
      {"1 ", 1},
      {"+", 0},
      {"-", 0},
      {"+ 1", 0},
      {"--1", 0},
      {"x1", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"-99999999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(ParseCookieValue(c.text), c.expected);
  }
}

}  // namespace
