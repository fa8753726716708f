// Tests of the bitmap button on real windows under Wine.
#include "controls/bitmap_button.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/window_region.h"
#include "support/win_test_util.h"

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr int kId = 1033;

// A 24-bit bitmap filled with `fill`, with an optional border of `border`.
HBITMAP MakeBitmap(int width, int height, COLORREF fill, COLORREF border = CLR_INVALID) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      SetPixel(dc, x, y, edge && border != CLR_INVALID ? border : fill);
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

SIZE WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT RegionBox(HWND window) {
  RECT box = {};
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(window, region) != ERROR) {
    GetRgnBox(region, &box);
  }
  DeleteObject(region);
  return box;
}

// Commands that reached the test parent window, in order: (wParam, lParam).
CommandLog g_commands;

// A visible parent window that receives the buttons' clicks. It lives for the
// whole suite: taking a top-level window down costs Wine a wait without a
// window manager.
class BitmapButtonTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    parent_ = CreateCommandRecorder(&g_commands, "parent", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200);
  }

  static void TearDownTestSuite() { DestroyWindow(parent_); }

  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    g_commands.clear();
    normal_ = MakeBitmap(40, 20, RGB(200, 100, 0));
    hover_ = MakeBitmap(40, 20, RGB(250, 150, 0));
    selected_ = MakeBitmap(40, 20, RGB(100, 50, 0));
    disabled_ = MakeBitmap(40, 20, RGB(128, 128, 128));
  }

  void TearDown() override {
    for (HBITMAP bitmap : {normal_, hover_, selected_, disabled_}) {
      DeleteObject(bitmap);
    }
  }

  HWND MakeButton(int x = 10, int y = 10) {
    HWND button = CreateBitmapButton(parent_, kId, x, y, normal_, hover_, selected_, disabled_, 0x0000FF);
    PumpMessages();
    return button;
  }

  // Sends a mouse message at client point (5, 5); returns the commands it posted.
  std::vector<std::pair<WPARAM, LPARAM>> Mouse(HWND button, UINT message) {
    g_commands.clear();
    SendMessageA(button, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(5, 5));
    PumpMessages();
    return g_commands;
  }

  static inline HWND parent_ = nullptr;
  HBITMAP normal_ = nullptr, hover_ = nullptr, selected_ = nullptr, disabled_ = nullptr;
};

// ---- click state machine --------------------------------------------------
TEST_F(BitmapButtonTest, PressAndReleasePostsIdWithZeroLParam) {
  HWND button = MakeButton();
  EXPECT_TRUE(Mouse(button, WM_LBUTTONDOWN).empty());
  EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnPressed);
  const auto posted = Mouse(button, WM_LBUTTONUP);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].first, static_cast<WPARAM>(kId));
  EXPECT_EQ(posted[0].second, 0);
  EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnNormal);
  DestroyBitmapButton(button);
}

TEST_F(BitmapButtonTest, PressLeaveReleaseElsewherePostsNothing) {
  HWND button = MakeButton();
  Mouse(button, WM_MOUSEMOVE);
  Mouse(button, WM_LBUTTONDOWN);
  Mouse(button, WM_MOUSELEAVE);
  EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnNormal);
  EXPECT_TRUE(Mouse(button, WM_LBUTTONUP).empty());
  DestroyBitmapButton(button);
}

TEST_F(BitmapButtonTest, SelectedButtonReportsEveryClickAndStaysSelected) {
  HWND button = MakeButton();
  EXPECT_EQ(SetBitmapButtonState(button, BtnSelected, 1), BtnNormal);
  for (int click = 0; click < 2; ++click) {
    EXPECT_TRUE(Mouse(button, WM_LBUTTONDOWN).empty());
    EXPECT_EQ(Mouse(button, WM_LBUTTONUP).size(), 1u) << click;
    EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnSelected);
  }
  DestroyBitmapButton(button);
}

TEST_F(BitmapButtonTest, DisabledButtonNeverPosts) {
  HWND button = MakeButton();
  SetBitmapButtonState(button, BtnDisabled, 1);
  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSELEAVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    EXPECT_TRUE(Mouse(button, message).empty());
    EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnDisabled);
  }
  DestroyBitmapButton(button);
}

TEST_F(BitmapButtonTest, NegativeStateOnlyReads) {
  HWND button = MakeButton();
  SetBitmapButtonState(button, BtnSelected, 0);
  EXPECT_EQ(SetBitmapButtonState(button, -1, 1), BtnSelected);
  EXPECT_EQ(SetBitmapButtonState(button, -5, 0), BtnSelected);
  EXPECT_EQ(SetBitmapButtonState(parent_, -1, 0), -1);  // not a bitmap button
  EXPECT_EQ(SetBitmapButtonState(nullptr, 0, 0), -1);
  DestroyBitmapButton(button);
}

// The button's own hover flag: the pointer's arrival has been taken.
bool Hovered(HWND button) {
  auto* data = static_cast<BitmapButtonData*>(GetPropA(button, kBitmapButtonProp));
  return data != nullptr && data->hover == 1;
}

TEST_F(BitmapButtonTest, RealMousePressMoveOffAndReleasePostsNothing) {
  HWND button = MakeButton(50, 50);
  SetForegroundWindow(parent_);
  RECT rect;
  GetWindowRect(button, &rect);
  auto send = [](DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
  };
  SetCursorPos(rect.left + 5, rect.top + 5);
  send(MOUSEEVENTF_MOVE);
  ASSERT_TRUE(WaitFor([&] { return Hovered(button); }));
  send(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(WaitFor([&] { return SetBitmapButtonState(button, -1, 0) == BtnPressed; }));
  SetCursorPos(rect.left + 150, rect.top + 100);  // off the button, still over the parent
  send(MOUSEEVENTF_MOVE);
  ASSERT_TRUE(WaitFor([&] { return SetBitmapButtonState(button, -1, 0) == BtnNormal; }));
  send(MOUSEEVENTF_LEFTUP);
  // Input is taken in order: once the pointer's return shows as hover, the
  // release before it has been handled, and so has any click it posted.
  SetCursorPos(rect.left + 6, rect.top + 6);
  send(MOUSEEVENTF_MOVE);
  ASSERT_TRUE(WaitFor([&] { return Hovered(button); }));
  PumpMessages();
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(SetBitmapButtonState(button, -1, 0), BtnNormal);

  // The same path without leaving the button is a click.
  send(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(WaitFor([&] { return SetBitmapButtonState(button, -1, 0) == BtnPressed; }));
  send(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(WaitFor([&] { return !g_commands.empty(); }));
  EXPECT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0].first, static_cast<WPARAM>(kId));
  DestroyBitmapButton(button);
}

// ---- shape, size and images -----------------------------------------------
TEST_F(BitmapButtonTest, TakesSizeOfNormalBitmapAndShapeWithoutBottomRow) {
  HWND button = MakeButton(7, 9);
  EXPECT_EQ(WindowSize(button).cx, 40);
  EXPECT_EQ(WindowSize(button).cy, 20);
  const RECT box = RegionBox(button);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 19);  // the bottom row never shows
  POINT at = {0, 0};
  MapWindowPoints(button, parent_, &at, 1);
  EXPECT_EQ(at.x, 7);
  EXPECT_EQ(at.y, 9);
  DestroyBitmapButton(button);
}

TEST_F(BitmapButtonTest, ReplacingBitmapZeroReshapesAndResizesOthersDoNot) {
  HWND button = MakeButton();
  HBITMAP framed = MakeBitmap(60, 30, RGB(10, 200, 10), kBlue);
  HBITMAP other = MakeBitmap(80, 50, RGB(10, 10, 200));
  for (int index = 1; index <= 3; ++index) {
    EXPECT_EQ(SetBitmapButtonImage(button, index, other), 1);
    EXPECT_EQ(WindowSize(button).cx, 40) << index;
    EXPECT_EQ(RegionBox(button).bottom, 19) << index;
  }
  MoveWindow(button, 20, 25, 40, 20, TRUE);  // the button keeps its place on reshaping
  EXPECT_EQ(SetBitmapButtonImage(button, 0, framed), 1);
  EXPECT_EQ(WindowSize(button).cx, 60);
  EXPECT_EQ(WindowSize(button).cy, 30);
  const RECT box = RegionBox(button);  // blue frame cut away, bottom row never shown
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.top, 1);
  EXPECT_EQ(box.right, 59);
  EXPECT_EQ(box.bottom, 29);
  POINT at = {0, 0};
  MapWindowPoints(button, parent_, &at, 1);
  EXPECT_EQ(at.x, 20);
  EXPECT_EQ(at.y, 25);
  EXPECT_EQ(SetBitmapButtonImage(parent_, 0, framed), 0);  // not a bitmap button
  DestroyBitmapButton(button);
  DeleteObject(framed);
  DeleteObject(other);
}

TEST_F(BitmapButtonTest, KeyChangeRebuildsShape) {
  HBITMAP redFramed = MakeBitmap(30, 30, RGB(0, 200, 0), RGB(255, 0, 0));
  HWND button = CreateBitmapButton(parent_, kId, 0, 0, redFramed, redFramed, redFramed, redFramed, 0x0000FF);
  EXPECT_EQ(RegionBox(button).left, 0);  // blue key: the red frame stays
  EXPECT_EQ(SetBitmapButtonKey(button, 0xABFF0000), 1);  // top byte ignored: pure red
  EXPECT_EQ(RegionBox(button).left, 1);
  EXPECT_EQ(RegionBox(button).top, 1);
  DestroyBitmapButton(button);
  DeleteObject(redFramed);
}

TEST_F(BitmapButtonTest, SkinTabLoadsByNameAsRectangleOneRowShorter) {
  HWND tab = CreateBitmapButton(parent_, kId, 0, 0, "TAB_FRONT", "TAB_FRONT_HV", "TAB_FRONT_SEL",
                                "TAB_FRONT", kSkinButtonFlags);
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(WindowSize(tab).cx, 106);
  EXPECT_EQ(WindowSize(tab).cy, 30);
  const RECT box = RegionBox(tab);
  EXPECT_EQ(box.right, 106);
  EXPECT_EQ(box.bottom, 29);
  // The taller selected bitmap is clipped to the window, which keeps its size.
  SetBitmapButtonState(tab, BtnSelected, 1);
  EXPECT_EQ(WindowSize(tab).cy, 30);
  EXPECT_EQ(DestroyBitmapButton(tab), 1);
  EXPECT_FALSE(IsWindow(tab));
  EXPECT_EQ(DestroyBitmapButton(nullptr), 1);
}

TEST_F(BitmapButtonTest, PaintsTheBitmapOfItsState) {
  HWND button = MakeButton(30, 30);
  auto centre = [&] {
    UpdateWindow(button);
    HDC dc = GetDC(button);
    const COLORREF colour = GetPixel(dc, 20, 10);
    ReleaseDC(button, dc);
    return colour;
  };
  EXPECT_EQ(centre(), RGB(200, 100, 0));
  Mouse(button, WM_MOUSEMOVE);
  EXPECT_EQ(centre(), RGB(250, 150, 0));  // hover
  SetBitmapButtonState(button, BtnSelected, 1);
  EXPECT_EQ(centre(), RGB(100, 50, 0));
  SetBitmapButtonState(button, BtnDisabled, 1);
  EXPECT_EQ(centre(), RGB(128, 128, 128));
  DestroyBitmapButton(button);
}

// ---- RegionFromBitmap ------------------------------------------------------
TEST(RegionFromBitmap, AllKeyBitmapGivesEmptyRegionAndNullGivesNone) {
  HBITMAP blue = MakeBitmap(8, 8, kBlue);
  HRGN region = RegionFromBitmap(blue, 0x0000FF);
  ASSERT_NE(region, nullptr);
  RECT box;
  EXPECT_EQ(GetRgnBox(region, &box), NULLREGION);
  DeleteObject(region);
  DeleteObject(blue);
  EXPECT_EQ(RegionFromBitmap(nullptr, 0x0000FF), nullptr);
}

}  // namespace
