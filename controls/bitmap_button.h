// The bitmap button: a child window that draws itself from up to four
// bitmaps (normal, hover, selected, disabled), takes the shape of its normal
// bitmap without the key colour, and posts WM_COMMAND with its identifier to
// its parent when clicked. Every button and tab of the skin is one.
#pragma once

#include <windows.h>

#include <cstdint>

// Visual and click states; parents set them with SetBitmapButtonState.
enum BitmapButtonState : int32_t {
  BtnNormal = 0,
  BtnPressed = 1,
  BtnSelected = 2,
  BtnDisabled = 3,
};

// Flag of CreateBitmapButton: the four bitmap arguments are resource names.
inline constexpr uint32_t kBitmapButtonLoadNamed = 0x08000000;
// The flags every skin button is made with: named bitmaps, pure blue cut away.
inline constexpr uint32_t kSkinButtonFlags = kBitmapButtonLoadNamed | 0x0000FF;

inline constexpr char kBitmapButtonClass[] = "_BMPBTN_CLASS_";
inline constexpr char kBitmapButtonProp[] = "_BMPBTN_DATA_";

// State of one button, reachable through the window property _BMPBTN_DATA_.
struct BitmapButtonData {
  int32_t id;          // command identifier sent to the parent
  int32_t x;           // position in the parent's client area
  int32_t y;
  int32_t state;       // BitmapButtonState
  int32_t hover;       // 1 while the pointer is over the button
  HBITMAP bitmaps[4];  // normal, hover, selected and pressed, disabled
  HRGN region;         // last region given to the window system (it owns it)
  uint32_t keyColour;  // transparent colour, 0x00RRGGBB
  int32_t ownsBitmaps; // 1 when the button loaded its bitmaps and deletes them
};

// Registers the window class; later calls fail harmlessly and return 0.
ATOM RegisterBitmapButtonClass();

// Creates a button at (x, y) in `parent`. With kBitmapButtonLoadNamed in
// `flags` the four bitmap arguments are resource names loaded from the
// program's module (and owned by the button), otherwise bitmap handles; the
// low 24 bits of `flags` are the key colour.
HWND CreateBitmapButton(HWND parent, int id, int x, int y, const void* normal, const void* hover,
                        const void* selected, const void* disabled, uint32_t flags);

// Destroys the button and the bitmaps it owns. Returns 1; a null button is ignored.
int DestroyBitmapButton(HWND button);

// Sets the state (a negative value only reads) and repaints when `redraw` is 1.
// Returns the previous state, or −1 when the window is not a bitmap button.
int SetBitmapButtonState(HWND button, int state, int redraw);

// Stores bitmap `index` (0 normal, 1 hover, 2 selected, 3 disabled); bitmap 0
// also gives the window its shape and size. Returns 1, or 0 for a window that
// is not a bitmap button.
int SetBitmapButtonImage(HWND button, int index, HBITMAP bitmap);

// Sets the key colour and rebuilds the shape. Returns 1, or 0 as above.
int SetBitmapButtonKey(HWND button, uint32_t colour);
