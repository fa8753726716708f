// Leak check of the editor view under Wine: a page shown in the view, painted,
// its selection moved, then replaced by the next load, 50 times, leaves the
// process holding no more kernel handles, GDI objects or user objects.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "editor/cut_editor.h"
#include "editor/editor_view.h"
#include "image/dib_image.h"
#include "job/card_job.h"
#include "resources/resource.h"
#include "support/leak_check.h"
#include "support/win_test_util.h"

namespace {

constexpr int kPageCycles = 50;
constexpr int kWarmUpCycles = 3;

// Loads the job's page into the view, paints it and moves the selection with
// the keyboard (each move draws through the view's own device context).
bool ShowPageOnce(HWND view) {
  SendMessageA(view, WM_COMMAND, IDC_SHOW_PAGE, 0);
  RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  SendMessageA(view, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageA(view, WM_KEYDOWN, VK_DOWN, 0);
  PumpMessages();
  const CutEditor* editor = EditorViewState(view);
  return editor != nullptr && editor->pageImage != nullptr;
}

// ---- a page loaded into the view and replaced 50 times ----

TEST(EditorLeakTest, ShowingPagesInTheViewLeavesNothingBehind) {
  TempFolder folder;
  CardJob job;
  InitCardJob(&job, folder.path().c_str());
  uint32_t size = 0;
  DibImage* image = DibCreate(1240, -1754, 24, &size);
  ASSERT_NE(image, nullptr);
  WriteFileBytes(folder.File("page_1.bmp"),
                 std::string(reinterpret_cast<const char*>(DibBytes(image)), size));
  DibFree(image);

  CommandLog mainCommands;
  HWND main = CreateCommandRecorder(&mainCommands, "main", WS_POPUP | WS_VISIBLE, 0, 0, 440, 680);
  ASSERT_NE(main, nullptr);
  EditorViewLinks links = {&job, main, {nullptr, nullptr}};
  HWND view = CreateDialogParamA(GetModuleHandleA(nullptr), "IMAGEDLG", main, EditorViewProc,
                                 reinterpret_cast<LPARAM>(&links));
  ASSERT_NE(view, nullptr);
  MoveWindow(view, 13, 97, 411, 563, TRUE);
  ShowWindow(view, SW_SHOW);

  for (int i = 0; i < kWarmUpCycles; ++i) {
    ASSERT_TRUE(ShowPageOnce(view)) << "warm-up " << i;
  }
  const ProcessResources before = CountProcessResources();
  for (int i = 0; i < kPageCycles; ++i) {
    ASSERT_TRUE(ShowPageOnce(view)) << "cycle " << i;
  }
  const ProcessResources after = CountProcessResources();
  DestroyWindow(view);
  DestroyWindow(main);
  EmptyCardSide(&job.sides[0]);
  EmptyCardSide(&job.sides[1]);

  ExpectNoResourceGrowth(before, after, std::to_string(kPageCycles) + " pages");
}

}  // namespace
