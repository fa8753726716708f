// Tests of the command-line tokenizer.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ArgCase {
  const char* label;
  const char* commandLine;
  int index;
  int result;            // returned value
  const char* expected;  // token copied out, or null when nothing is copied
};

// ---- CommandLineArg -------------------------------------------------------
const ArgCase kArgCases[] = {
    {"empty line", "", 0, 0, nullptr},
    {"only blanks", "   ", 0, 0, nullptr},
    {"program only", "Norvalisk.exe", 0, 0, nullptr},
    {"unquoted program, first of two", "C:\\N\\Norvalisk.exe one two", 0, 3, "one"},
    {"second of two", "prog one two", 1, 3, "two"},
    {"missing third counts two", "prog one two", 2, 2, nullptr},
    {"quoted path with a space", "\"C:\\a b\\N.exe\" \"C:\\some dir\\p_\"", 0, 14, "C:\\some dir\\p_"},
    {"runs of blanks", "prog    one   two", 1, 3, "two"},
    {"tab does not separate", "prog a\tb", 0, 3, "a\tb"},
    {"empty quoted token", "prog \"\" x", 0, 0, ""},
    {"token after an empty one", "prog \"\" x", 1, 1, "x"},
    {"quote inside unquoted token", "prog ab\"cd", 0, 5, "ab\"cd"},
    {"closing quote before a non-space", "prog \"ab\"cd", 0, 2, "ab"},
    {"...which starts the next token", "prog \"ab\"cd", 1, 2, "cd"},
    {"closing quote before a quote", "prog \"a\"\"b\"", 1, 1, "b"},
    {"unterminated quote runs to the end", "prog \"a b", 0, 3, "a b"},
    {"leading blanks before the program", "  prog x", 0, 1, "x"},
    {"index of the program path", "prog x", -1, 4, "prog"},
};

class CommandLineArgTest : public ::testing::TestWithParam<ArgCase> {};

TEST_P(CommandLineArgTest, FindsTokenOrCounts) {
  const ArgCase& c = GetParam();
  char out[kMaxTokenSize];
  std::string sentinel = "untouched";
  sentinel.copy(out, sentinel.size());
  out[sentinel.size()] = '\0';
  EXPECT_EQ(CommandLineArg(c.commandLine, c.index, out), c.result);
  EXPECT_STREQ(out, c.expected ? c.expected : "untouched");
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLineArgTest, ::testing::ValuesIn(kArgCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(CommandLineArg, NullOutputStillReturnsLength) {
  EXPECT_EQ(CommandLineArg("prog abcd", 0, nullptr), 4);
}

TEST(CommandLineArg, TokenLongerThanAPathIsRefusedNotCut) {
  const std::string longest(kMaxTokenSize - 1, 'x');
  const std::string tooLong(kMaxTokenSize, 'x');
  char out[kMaxTokenSize] = "kept";
  EXPECT_EQ(CommandLineArg(("prog " + longest).c_str(), 0, out), static_cast<int>(kMaxTokenSize - 1));
  EXPECT_EQ(out, longest);
  std::strcpy(out, "kept");
  EXPECT_EQ(CommandLineArg(("prog " + tooLong).c_str(), 0, out), -1);
  EXPECT_STREQ(out, "kept");
}

TEST(CommandLineArg, ShiftJisBytesPassThrough) {
  // "表" is 0x95 0x5C: its trail byte is a backslash, which must not matter.
  char out[kMaxTokenSize];
  EXPECT_EQ(CommandLineArg("prog \"C:\\\x95\x5C\\p_\"", 0, out), 8);
  EXPECT_STREQ(out, "C:\\\x95\x5C\\p_");
}

}  // namespace
