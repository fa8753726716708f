// GDI drawing helpers. Each creates what it needs, draws, and leaves the
// device context with its previous objects selected; only PaintText changes
// the background mode and text colour, and PaintImageFit the stretch mode.
#pragma once

#include <windows.h>

struct DibImage;

// Draws `text` at (x, y) in the default face, Shift-JIS, with the given
// height, colour and weight, on a transparent background.
int PaintText(HDC dc, int x, int y, const char* text, int height, COLORREF colour, int weight);

// Draws a one-pixel line from (x1, y1) to (x2, y2), end point excluded.
int PaintLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int style);

// Draws a hollow frame through both corners, which may come in any order;
// the right and bottom coordinates lie on the frame.
int PaintFrame(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int width, int style);

// Fills a rectangle with a brush colour inside a 3-pixel pen outline.
int PaintFilledRect(HDC dc, int left, int top, int right, int bottom, COLORREF penColour,
                    COLORREF brushColour);

// Draws `image` as large as fits into `rect`, proportions kept, centred;
// `rect` becomes the area drawn. Returns the scale, or 0.0 when nothing was drawn.
double PaintImageFit(HDC dc, const DibImage* image, RECT* rect);

// Copies all of `bitmap` to (x, y).
int PaintBitmap(HDC dc, HBITMAP bitmap, int x, int y);
