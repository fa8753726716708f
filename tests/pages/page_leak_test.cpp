// Leak check of page loading under Wine: a page loaded behind its progress
// panel and freed, 50 times, leaves the process holding no more kernel
// handles, GDI objects or user objects than before.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "image/dib_image.h"
#include "pages/page_selector.h"
#include "support/leak_check.h"
#include "support/win_test_util.h"

namespace {

constexpr int kPageCycles = 50;
constexpr int kWarmUpCycles = 3;

// Loads page 1 of `prefix` behind a panel over `owner` and frees it; returns
// whether it loaded with the width written.
bool LoadAndFree(HWND owner, const char* prefix, int width) {
  DibImage* page = LoadPageImage(owner, prefix, 0);
  if (page == nullptr) return false;
  DibLayout layout;
  const bool described = DibDescribe(page, &layout) != 0;
  DibFree(page);
  PumpMessages();
  return described && layout.width == width;
}

// ---- a page loaded and freed 50 times ----

TEST(PageLeakTest, LoadingAndFreeingAPageLeavesNothingBehind) {
  TempFolder folder;
  constexpr int kWidth = 640;
  uint32_t size = 0;
  DibImage* image = DibCreate(kWidth, -480, 24, &size);
  ASSERT_NE(image, nullptr);
  WriteFileBytes(folder.File("page_1.bmp"),
                 std::string(reinterpret_cast<const char*>(DibBytes(image)), size));
  DibFree(image);
  const std::string prefix = folder.File("page_");
  HWND owner = CreateCommandRecorder(nullptr, "page owner", WS_POPUP | WS_VISIBLE, 40, 40, 420, 560);
  ASSERT_NE(owner, nullptr);

  for (int i = 0; i < kWarmUpCycles; ++i) {
    ASSERT_TRUE(LoadAndFree(owner, prefix.c_str(), kWidth)) << "warm-up " << i;
  }
  const ProcessResources before = CountProcessResources();
  for (int i = 0; i < kPageCycles; ++i) {
    ASSERT_TRUE(LoadAndFree(owner, prefix.c_str(), kWidth)) << "cycle " << i;
  }
  const ProcessResources after = CountProcessResources();
  DestroyWindow(owner);

  ExpectNoResourceGrowth(before, after, std::to_string(kPageCycles) + " pages");
}

}  // namespace
