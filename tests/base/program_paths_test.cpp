// Tests of the program paths.
#include "base/program_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PathCase {
  const char* label;
  const char* exePath;
  const char* exeBase;
  const char* programFolder;
};

// ---- DeriveProgramPaths ---------------------------------------------------
const PathCase kPathCases[] = {
    {"plain", "C:\\Tools\\Norvalisk.exe", "C:\\Tools\\Norvalisk", "C:\\Tools"},
    {"dot in a folder", "C:\\my.dir\\Norvalisk.exe", "C:\\my.dir\\Norvalisk", "C:\\my.dir"},
    {"no extension", "C:\\Tools\\Norvalisk", "C:\\Tools\\Norvalisk", "C:\\Tools"},
    {"no backslash", "Norvalisk.exe", "Norvalisk", "Norvalisk.exe"},
    // "表" = 0x95 0x5C and "ソ" = 0x83 0x5C: trail bytes equal to '\\'.
    {"trail byte 0x5C ends the folder name", "C:\\\x95\x5C\\N.exe", "C:\\\x95\x5C\\N", "C:\\\x95\x5C"},
    {"trail byte 0x5C ends the file name", "C:\\d\\\x83\x5C", "C:\\d\\\x83\x5C", "C:\\d"},
    {"trail byte 0x5C in both", "C:\\\x95\x5C\x83\x5C\\\x83\x5C.exe", "C:\\\x95\x5C\x83\x5C\\\x83\x5C",
     "C:\\\x95\x5C\x83\x5C"},
};

class DeriveProgramPathsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DeriveProgramPathsTest, CutsAtLastCharacters) {
  const PathCase& c = GetParam();
  ProgramPathSet paths;
  ASSERT_TRUE(DeriveProgramPaths(c.exePath, &paths));
  EXPECT_STREQ(paths.exeBase, c.exeBase);
  EXPECT_STREQ(paths.programFolder, c.programFolder);
  EXPECT_EQ(std::string(paths.settingsPath), std::string(c.exeBase) + ".env");
}

INSTANTIATE_TEST_SUITE_P(Table, DeriveProgramPathsTest, ::testing::ValuesIn(kPathCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DeriveProgramPaths, SettingsPathThatWouldNotFitIsRefused) {
  // 256 characters without a dot: ".env" would take the path past 259.
  const std::string longName = "C:\\" + std::string(253, 'a');
  ProgramPathSet paths;
  EXPECT_FALSE(DeriveProgramPaths(longName.c_str(), &paths));
  EXPECT_STREQ(paths.settingsPath, "");
  const std::string fits = "C:\\" + std::string(247, 'a') + ".exe";
  EXPECT_TRUE(DeriveProgramPaths(fits.c_str(), &paths));
  EXPECT_EQ(std::string(paths.settingsPath).size(), 254u);
}

// ---- FindLastSjisChar -----------------------------------------------------
TEST(FindLastSjisChar, SkipsTrailBytes) {
  const char text[] = "a\\\x95\x5C";  // a, '\\', 表
  EXPECT_EQ(FindLastSjisChar(text, '\\'), text + 1);
  EXPECT_EQ(FindLastSjisChar("\x95\x5C", '\\'), nullptr);
  // A lead byte at the very end has no trail byte; it stays a single byte.
  const char dangling[] = "\\\x95";
  EXPECT_EQ(FindLastSjisChar(dangling, '\\'), dangling);
}

}  // namespace
