// GDI drawing helpers.
#include "editor/paint.h"

#include <algorithm>

#include "base/scoped_handle.h"
#include "editor/fit_rect.h"
#include "image/dib_image.h"

int PaintText(HDC dc, int x, int y, const char* text, int height, COLORREF colour, int weight) {
  ScopedFont font(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, nullptr));
  ScopedSelect select(dc, font.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text, lstrlenA(text));
  return 1;
}

int PaintLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int style) {
  LOGPEN logPen = {static_cast<UINT>(style), {1, 0}, colour};
  ScopedPen pen(CreatePenIndirect(&logPen));
  ScopedSelect select(dc, pen.get());
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  return 1;
}

int PaintFrame(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int width, int style) {
  LOGBRUSH hollow = {BS_NULL, 0, 0};
  ScopedBrush brush(CreateBrushIndirect(&hollow));
  LOGBRUSH solid = {BS_SOLID, colour, 0};
  ScopedPen pen(ExtCreatePen(PS_GEOMETRIC | static_cast<DWORD>(style), static_cast<DWORD>(width),
                             &solid, 0, nullptr));
  ScopedSelect selectBrush(dc, brush.get());
  ScopedSelect selectPen(dc, pen.get());
  Rectangle(dc, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1);
  return 1;
}

int PaintFilledRect(HDC dc, int left, int top, int right, int bottom, COLORREF penColour,
                    COLORREF brushColour) {
  ScopedBrush brush(CreateSolidBrush(brushColour));
  LOGPEN logPen = {PS_SOLID, {3, 0}, penColour};
  ScopedPen pen(CreatePenIndirect(&logPen));
  ScopedSelect selectBrush(dc, brush.get());
  ScopedSelect selectPen(dc, pen.get());
  Rectangle(dc, left, top, right, bottom);
  return 1;
}

// The colour table follows the information header: as many entries as the
// header's colours-used field says, or the full palette of a 1-, 4- or 8-bit
// image when that field is 0. DibDescribe works this out and also honours the
// pixel offset of the file, so the pixels handed to GDI are the image's own.
double PaintImageFit(HDC dc, const DibImage* image, RECT* rect) {
  DibLayout layout;
  if (!image || !DibDescribe(const_cast<DibImage*>(image), &layout)) {
    return 0.0;
  }
  const int32_t width = layout.width;
  const int32_t absHeight = layout.height < 0 ? -layout.height : layout.height;
  if (width == 0 || absHeight == 0) {
    return 0.0;
  }
  SetStretchBltMode(dc, HALFTONE);
  int32_t fitted[4] = {rect->left, rect->top, rect->right, rect->bottom};
  FitImageRect(width, absHeight, fitted);
  *rect = {fitted[0], fitted[1], fitted[2], fitted[3]};
  const int lines = StretchDIBits(dc, rect->left, rect->top, rect->right - rect->left,
                                  rect->bottom - rect->top, 0, 0, width, absHeight, layout.pixels,
                                  reinterpret_cast<const BITMAPINFO*>(layout.bitmapHeader),
                                  DIB_RGB_COLORS, SRCCOPY);
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) {
    return 0.0;
  }
  return static_cast<double>(rect->right - rect->left) / width;
}

int PaintBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  ScopedMemoryDc memory(CreateCompatibleDC(dc));
  ScopedSelect select(memory.get(), bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
  return 1;
}
