// The card previews.
#include "editor/card_preview.h"

#include "job/card_job.h"
#include "job/card_side.h"
#include "editor/cut_editor.h"
#include "editor/paint.h"

namespace {

constexpr int kCells = 8;
constexpr int kDarkGrey = 160;
constexpr int kLightGrey = 170;
constexpr int kImageMargin = 20;
constexpr COLORREF kMarkColour = 0;

// Window property that holds the job whose card size the preview follows.
constexpr char kJobProp[] = "NORVALISK_JOB";

void PaintCheckerboard(HDC dc, const RECT& rc) {
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  for (int row = 0; row < kCells; ++row) {
    for (int column = 0; column < kCells; ++column) {
      const int grey = (row + column) % 2 == 0 ? kDarkGrey : kLightGrey;
      const COLORREF colour = RGB(grey, grey, grey);
      PaintFilledRect(dc, rc.left + width * column / kCells, rc.top + height * row / kCells,
                      rc.left + width * (column + 1) / kCells, rc.top + height * (row + 1) / kCells,
                      colour, colour);
    }
  }
}

// Solid lines along the trim line, running past both ends, and dotted
// lines pointing away from the card at each corner of the safety margin.
void PaintMarks(HDC dc, const PreviewMarks& marks) {
  const CardRect& t = marks.trim;
  const CardRect& n = marks.inner;
  const int f = marks.overrun;
  PaintLine(dc, t.left - f, t.top, t.right + f, t.top, kMarkColour, PS_SOLID);
  PaintLine(dc, t.left - f, t.bottom, t.right + f, t.bottom, kMarkColour, PS_SOLID);
  PaintLine(dc, t.left, t.top - f, t.left, t.bottom + f, kMarkColour, PS_SOLID);
  PaintLine(dc, t.right, t.top - f, t.right, t.bottom + f, kMarkColour, PS_SOLID);

  PaintLine(dc, n.left, n.top, n.left - f, n.top, kMarkColour, PS_DOT);
  PaintLine(dc, n.left, n.top, n.left, n.top - f, kMarkColour, PS_DOT);
  PaintLine(dc, n.right, n.top, n.right + f, n.top, kMarkColour, PS_DOT);
  PaintLine(dc, n.right, n.top, n.right, n.top - f, kMarkColour, PS_DOT);
  PaintLine(dc, n.left, n.bottom, n.left - f, n.bottom, kMarkColour, PS_DOT);
  PaintLine(dc, n.left, n.bottom, n.left, n.bottom + f, kMarkColour, PS_DOT);
  PaintLine(dc, n.right, n.bottom, n.right + f, n.bottom, kMarkColour, PS_DOT);
  PaintLine(dc, n.right, n.bottom, n.right, n.bottom + f, kMarkColour, PS_DOT);
}

void OnPaint(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  RECT client;
  GetClientRect(dialog, &client);
  const auto* side = static_cast<const CardSide*>(GetPropA(dialog, kCardPreviewProp));
  const auto* job = static_cast<const CardJob*>(GetPropA(dialog, kJobProp));
  PaintCardPreview(dc, client, side ? side->image : nullptr,
                   job ? JobGeometry(*job) : CardGeometry{});
  EndPaint(dialog, &paint);
}

}  // namespace

void PaintCardPreview(HDC dc, const RECT& client, const DibImage* image, const CardGeometry& card) {
  PaintCheckerboard(dc, client);
  if (!image) {
    return;
  }
  RECT drawn = client;
  InflateRect(&drawn, -kImageMargin, -kImageMargin);
  // The marks follow the rectangle as the fit left it, drawn or not.
  PaintImageFit(dc, image, &drawn);
  PaintMarks(dc, PreviewMarksFor({drawn.left, drawn.top, drawn.right, drawn.bottom}, card));
}

INT_PTR CALLBACK CardPreviewProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (const auto* links = reinterpret_cast<const CardPreviewLinks*>(lParam)) {
        SetPropA(dialog, kCardPreviewProp, const_cast<CardSide*>(links->side));
        SetPropA(dialog, kJobProp, const_cast<CardJob*>(links->job));
      }
      return TRUE;
    case WM_PAINT:
      OnPaint(dialog);
      return FALSE;
    case WM_DESTROY:
      RemovePropA(dialog, kCardPreviewProp);
      RemovePropA(dialog, kJobProp);
      return FALSE;
    default:
      return FALSE;
  }
}
