// A memory device context over a 32-bit top-down DIB section whose pixels a
// test can read directly.
#pragma once

#include <windows.h>

#include <cstdint>

class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixel (x, y) as a COLORREF (0x00BBGGRR).
  COLORREF At(int x, int y) const;

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};
