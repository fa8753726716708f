// Memory canvas of the drawing tests.
#include "editor/win_canvas.h"

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<uint32_t*>(bits);
  dc_ = CreateCompatibleDC(nullptr);
  previous_ = SelectObject(dc_, bitmap_);
  const uint32_t pixel = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
  for (int i = 0; i < width * height; ++i) bits_[i] = pixel;
}

Canvas::~Canvas() {
  SelectObject(dc_, previous_);
  DeleteDC(dc_);
  DeleteObject(bitmap_);
}

COLORREF Canvas::At(int x, int y) const {
  GdiFlush();
  const uint32_t pixel = bits_[y * width_ + x];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}
