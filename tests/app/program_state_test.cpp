// Tests of the program's start-up values: the paths taken from the
// executable's path, the page prefix and what an unknown program folder means.
#include "app/program_values.h"
#include "job/card_job.h"
#include "net/service_addresses.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "net/account_file.h"

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#endif

namespace {

// ---- InitProgramValues and InitCardJob --------------------------------------

TEST(ProgramStartValues, KnownPathGivesFolderPrefixAndSettingsFile) {
  InitProgramValues("C:\\Tools\\Norvalisk.exe", "http://127.0.0.1:8750");
  EXPECT_STREQ(ExePath, "C:\\Tools\\Norvalisk.exe");
  EXPECT_STREQ(ProgramFolder, "C:\\Tools");
  EXPECT_STREQ(SettingsPath, "C:\\Tools\\Norvalisk.env");
  CardJob job;
  InitCardJob(&job, ProgramFolder);
  EXPECT_STREQ(job.pagePrefix, "C:\\Tools\\page_");
}

// The system may fail to give the program's own path (an empty result) or give
// one that does not fit. The folder is then unknown: no page prefix, no
// settings path, and whatever an earlier call set is gone.
TEST(ProgramStartValues, UnknownPathLeavesNoFolderPrefixOrSettingsFile) {
  const std::string tooLong = "C:\\" + std::string(300, 'a') + "\\Norvalisk.exe";
  for (const char* exePath : {"", tooLong.c_str()}) {
    SCOPED_TRACE(std::string(exePath).substr(0, 20));
    InitProgramValues("C:\\Tools\\Norvalisk.exe", "http://127.0.0.1:8750");
    InitProgramValues(exePath, "http://127.0.0.1:8750");
    EXPECT_STREQ(ExePath, "");
    EXPECT_STREQ(ExeBase, "");
    EXPECT_STREQ(ProgramFolder, "");
    EXPECT_STREQ(SettingsPath, "");
    // The service addresses do not depend on the folder.
    EXPECT_STREQ(ApiUrl, "http://127.0.0.1:8750/admin/norvalisk/norvix_api.php");

    CardJob job;
    InitCardJob(&job, ProgramFolder);
    EXPECT_STREQ(job.pagePrefix, "");
    char page[kPathSize] = "untouched";
    EXPECT_FALSE(PageFilePath(job.pagePrefix, 1, page));
    EXPECT_FLOAT_EQ(job.cardWidthMm, 91.0f);
  }
  EXPECT_EQ(WriteAccountFile(""), 0);
  EXPECT_EQ(ReadAccountFile(""), 0);
}

#ifndef _WIN32
// The start-up and shutdown steps with an unknown folder touch no file. Here
// the current folder stands in for the drive's root: the files "\page_1.bmp"
// to "\page_5.bmp" are what a prefix of "\page_" names, and ".env" is where a
// settings path of ".env" writes.
TEST(ProgramStartValues, UnknownFolderDeletesNoPageAndWritesNoSettings) {
  namespace fs = std::filesystem;
  std::random_device random;
  const fs::path folder = fs::temp_directory_path() / ("norvalisk_state_" + std::to_string(random()));
  fs::create_directories(folder);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  for (int n = 1; n <= 5; ++n) {
    std::ofstream("\\page_" + std::to_string(n) + ".bmp") << "page";
  }

  InitProgramValues("", "http://127.0.0.1:8750");
  CardJob job;
  InitCardJob(&job, ProgramFolder);
  DeletePageFiles(job.pagePrefix);  // start-up
  WriteAccountFile(SettingsPath);   // shutdown
  DeletePageFiles(job.pagePrefix);

  for (int n = 1; n <= 5; ++n) {
    EXPECT_TRUE(fs::exists("\\page_" + std::to_string(n) + ".bmp")) << n;
  }
  EXPECT_FALSE(fs::exists(".env"));
  fs::current_path(before);
  fs::remove_all(folder);
}
#endif

}  // namespace
