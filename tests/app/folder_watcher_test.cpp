// Tests of the page-folder watcher on a real temporary folder under Wine:
// posts after writes, the command it posts, and silence after the stop.
#include "app/folder_watcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/win_test_util.h"

namespace {

constexpr int kCommand = 1042;

// Commands that reached the receiving window: (wParam, lParam).
CommandLog g_posts;

// Waits until a change in `folder` has certainly been noticed by the system:
// an independent notification of the same kind fires for `write`.
bool WriteAndSeeNotified(const std::string& folder, const std::function<void()>& write,
                         DWORD timeoutMs = 5000) {
  HANDLE own = FindFirstChangeNotificationA(folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (own == INVALID_HANDLE_VALUE) {
    return false;
  }
  write();
  const bool seen = WaitForSingleObject(own, timeoutMs) == WAIT_OBJECT_0;
  FindCloseChangeNotification(own);
  return seen;
}

// The kernel handles of this process, found by asking about every small
// handle value.
std::set<HANDLE> OpenHandles() {
  std::set<HANDLE> open;
  DWORD flags = 0;
  for (UINT_PTR value = 4; value < 0x4000; value += 4) {
    HANDLE handle = reinterpret_cast<HANDLE>(value);
    if (GetHandleInformation(handle, &flags)) {
      open.insert(handle);
    }
  }
  return open;
}

// A receiving message-only window for the whole suite; the watcher is
// stopped after every test.
class FolderWatcherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    receiver_ = CreateCommandRecorder(&g_posts, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
  }
  static void TearDownTestSuite() { DestroyWindow(receiver_); }

  void SetUp() override {
    ASSERT_NE(receiver_, nullptr);
    PumpMessages();
    g_posts.clear();
  }
  void TearDown() override {
    WatchFolder(nullptr, nullptr, 0);
    PumpMessages();
  }

  bool WaitForPost() {
    return WaitFor([] { return !g_posts.empty(); }, 5000);
  }

  static HWND receiver_;
  TempFolder folder_;
};

HWND FolderWatcherTest::receiver_;

TEST_F(FolderWatcherTest, PostsTheCommandAfterAFileIsWritten) {
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  WriteFileBytes(folder_.File("page_1.bmp"), "BM");
  ASSERT_TRUE(WaitForPost());
  for (const auto& [wParam, lParam] : g_posts) {
    EXPECT_EQ(wParam, static_cast<WPARAM>(kCommand));
    EXPECT_EQ(lParam, 0);
  }
}

TEST_F(FolderWatcherTest, KeepsPostingForLaterWrites) {
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    g_posts.clear();
    WriteFileBytes(folder_.File("front.png"), std::string(100 + round, 'x'));
    ASSERT_TRUE(WaitForPost());
  }
}

TEST_F(FolderWatcherTest, WatchesTheFoldersBelow) {
  const std::string below = folder_.File("below");
  const std::string note = below + "\\note.txt";
  ASSERT_TRUE(CreateDirectoryA(below.c_str(), nullptr));
  const bool systemReports =
      WriteAndSeeNotified(folder_.path(), [&] { WriteFileBytes(note, "x"); }, 1000);
  if (systemReports) {
    ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
    WriteFileBytes(note, "xy");
    EXPECT_TRUE(WaitForPost());
    WatchFolder(nullptr, nullptr, 0);
  }
  DeleteFileA(note.c_str());
  RemoveDirectoryA(below.c_str());
  if (!systemReports) {
    GTEST_SKIP() << "this system reports no writes in folders below a watched one";
  }
}

TEST_F(FolderWatcherTest, PostsTheLowWordOfTheCommand) {
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, 0x10000 | kCommand), 1);
  WriteFileBytes(folder_.File("page_1.bmp"), "BM");
  ASSERT_TRUE(WaitForPost());
  EXPECT_EQ(g_posts[0].first, static_cast<WPARAM>(kCommand));
}

TEST_F(FolderWatcherTest, NothingIsPostedAfterTheStopReturns) {
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  // Writes go on all the time, also while the watcher stops.
  std::atomic<bool> writing = true;
  std::thread writer([&] {
    for (int i = 0; writing; ++i) {
      WriteFileBytes(folder_.File("busy.bin"), std::string(i % 64 + 1, 'w'));
      Sleep(1);
    }
  });
  ASSERT_TRUE(WaitForPost());
  EXPECT_EQ(WatchFolder(nullptr, nullptr, 0), 1);
  // Whatever was posted before the stop returned is in the queue now.
  PumpMessages();
  const size_t postsAtStop = g_posts.size();
  // Later writes are seen by the system, yet reach the window no more.
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(WriteAndSeeNotified(folder_.path(), [&] {
      WriteFileBytes(folder_.File("after.bin"), std::string(i + 1, 'a'));
    }));
    PumpMessages();
  }
  writing = false;
  writer.join();
  PumpMessages();
  EXPECT_EQ(g_posts.size(), postsAtStop);
}

TEST_F(FolderWatcherTest, StopClosesItsHandles) {
  const std::set<HANDLE> before = OpenHandles();
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  std::set<HANDLE> made;
  for (HANDLE handle : OpenHandles()) {
    if (!before.count(handle)) {
      made.insert(handle);
    }
  }
  // At least the change notification and the thread.
  EXPECT_GE(made.size(), 2u);
  WatchFolder(nullptr, nullptr, 0);
  DWORD flags = 0;
  for (HANDLE handle : made) {
    EXPECT_FALSE(GetHandleInformation(handle, &flags)) << handle << " is still open";
  }
}

TEST_F(FolderWatcherTest, MissingFolderDoesNotStart) {
  EXPECT_EQ(WatchFolder(folder_.File("missing").c_str(), receiver_, kCommand), 0);
  EXPECT_EQ(WatchFolder(nullptr, nullptr, 0), 1);
}

TEST_F(FolderWatcherTest, StopWithoutStartAndTwiceIsHarmless) {
  EXPECT_EQ(WatchFolder(nullptr, nullptr, 0), 1);
  EXPECT_EQ(WatchFolder(nullptr, nullptr, 0), 1);
}

TEST_F(FolderWatcherTest, ASecondStartLeavesTheRunningWatcherAlone) {
  TempFolder other;
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  EXPECT_EQ(WatchFolder(other.path().c_str(), receiver_, kCommand + 1), 0);
  WriteFileBytes(folder_.File("page_1.bmp"), "BM");
  ASSERT_TRUE(WaitForPost());
  EXPECT_EQ(g_posts[0].first, static_cast<WPARAM>(kCommand));
}

TEST_F(FolderWatcherTest, StartsAgainAfterAStop) {
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  WatchFolder(nullptr, nullptr, 0);
  ASSERT_EQ(WatchFolder(folder_.path().c_str(), receiver_, kCommand), 1);
  WriteFileBytes(folder_.File("page_2.bmp"), "BM");
  EXPECT_TRUE(WaitForPost());
}

}  // namespace
