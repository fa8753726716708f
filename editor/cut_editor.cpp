// The card cut editor's state, commands and mouse rules.
#include "editor/cut_editor.h"

#include "job/card_job.h"
#include "editor/card_resample.h"
#include "editor/fit_rect.h"
#include "image/dib_image.h"

namespace {

CardSide* CurrentSide(CardJob* job) {
  return &job->sides[job->currentSide == 1 ? 1 : 0];
}

}  // namespace

void ResetCutEditor(CutEditor* editor) {
  *editor = CutEditor{};
  editor->viewScale = kInitialViewScale;
  editor->dragState = DragNone;
}

void FreeEditorPage(CutEditor* editor) {
  DibFree(editor->pageImage);
  DibFree(editor->viewImage);
  editor->pageImage = nullptr;
  editor->viewImage = nullptr;
  ReleaseExactCard(editor);
}

CardGeometry JobGeometry(const CardJob& job) {
  return {job.cardWidthMm, job.cardHeightMm, job.bleedMm, job.pixelsPerMm};
}

bool SelectionEmpty(const CardRect& selection) {
  return selection.right <= selection.left || selection.bottom <= selection.top;
}

bool TakeEditorPage(CutEditor* editor, DibImage* page, const CardJob& job, int32_t clientWidth,
                    int32_t clientHeight) {
  FreeEditorPage(editor);
  DibLayout layout;
  if (!page || !DibDescribe(page, &layout)) return false;
  const int32_t absHeight = layout.height < 0 ? -layout.height : layout.height;
  const float scale = FitViewScale(clientWidth, clientHeight, layout.width, absHeight);
  DibImage* reduced = scale > 0.0f ? DibReduce(page, kViewReduction) : nullptr;
  if (!reduced) {
    // Nothing to show or to cut from: the view stays as without a page.
    DibFree(page);
    return false;
  }
  editor->pageImage = page;
  editor->viewImage = reduced;
  editor->viewScale = scale;
  if (SelectionEmpty(editor->selection)) {
    editor->selection = DefaultSelection(clientWidth, JobGeometry(job), editor->viewScale);
  }
  return true;
}

void ApplyCardSettings(CutEditor* editor, CardJob* job, int32_t clientWidth) {
  job->bleedMm = kCardBleedMm;
  CardSizeFor(job->sizeIndex, job->orientation, &job->cardWidthMm, &job->cardHeightMm);
  EmptyCardSide(&job->sides[0]);
  EmptyCardSide(&job->sides[1]);
  editor->selection = DefaultSelection(clientWidth, JobGeometry(*job), editor->viewScale);
  ReleaseExactCard(editor);
}

bool PlaceSelectionOnCard(CutEditor* editor, const CardRect& trim, int32_t clientWidth,
                          int32_t clientHeight) {
  DibLayout layout;
  if (!editor->pageImage || !DibDescribe(editor->viewImage, &layout)) return false;
  // Where the view will draw its reduced page (as PaintImageFit does).
  int32_t drawn[4] = {0, 0, clientWidth, clientHeight};
  if (!FitImageRect(layout.width, layout.height < 0 ? -layout.height : layout.height, drawn)) {
    return false;
  }
  editor->imageRect = {drawn[0], drawn[1], drawn[2], drawn[3]};
  editor->selection = TrimRectInView(trim, drawn[0], drawn[1], editor->viewScale);
  editor->exactCard = 1;
  editor->exactTrim = trim;
  return true;
}

void ReleaseExactCard(CutEditor* editor) {
  editor->exactCard = 0;
  editor->exactTrim = {};
}

void ClearCurrentSide(CardJob* job) {
  EmptyCardSide(CurrentSide(job));
}

bool CutCurrentSide(const CutEditor& editor, CardJob* job) {
  CardSide* side = CurrentSide(job);
  EmptyCardSide(side);
  if (!editor.pageImage) return false;
  const CardGeometry card = JobGeometry(*job);
  side->pageIndex = job->selectedPage;
  side->trimRect = editor.exactCard
                       ? editor.exactTrim
                       : TrimRectFromSelection(editor.selection, editor.imageRect.left,
                                               editor.imageRect.top, editor.viewScale);
  side->cutRect = CutRectFromTrim(side->trimRect, card);
  int32_t width = 0;
  int32_t height = 0;
  CutImageSize(card, &width, &height);
  side->image = ResampleCut(editor.pageImage, side->cutRect, width, height);
  if (!side->image) {
    side->pageIndex = -1;
    return false;
  }
  return true;
}

CursorShape CursorFor(const CutEditor& editor, int32_t x, int32_t y) {
  if (!editor.pageImage) return CursorKeep;
  const CardRect& s = editor.selection;
  const int32_t h = editor.handleSize;
  const bool resizing = editor.dragState == DragResize;
  if (InHandleSquare(s, h, ZoneTopLeft, x, y, true) ||
      InHandleSquare(s, h, ZoneBottomRight, x, y, false) ||
      (resizing && editor.grabRight == editor.grabBottom)) {
    return CursorSizeNwse;
  }
  if (InHandleSquare(s, h, ZoneTopRight, x, y, true) ||
      InHandleSquare(s, h, ZoneBottomLeft, x, y, false) ||
      resizing) {
    return CursorSizeNesw;
  }
  if (HitSelection(s, h, x, y) == ZoneInside || editor.dragState == DragMove) {
    return CursorSizeAll;
  }
  return CursorKeep;
}

PressResult EditorPress(CutEditor* editor, const CardJob& job, int32_t x, int32_t y) {
  if (!editor->pageImage) return PressIgnored;
  const SelectionZone zone = HitSelection(editor->selection, editor->handleSize, x, y);
  switch (zone) {
    case ZoneTopLeft:
    case ZoneTopRight:
    case ZoneBottomLeft:
    case ZoneBottomRight:
      editor->dragState = DragResize;
      editor->grabRight = zone == ZoneTopRight || zone == ZoneBottomRight;
      editor->grabBottom = zone == ZoneBottomLeft || zone == ZoneBottomRight;
      break;
    case ZoneInside:
      editor->dragState = DragMove;
      break;
    case ZoneNone:
      for (int index = 0; index < 2; ++index) {
        const CardSide& side = job.sides[index];
        if (side.image && side.pageIndex == job.selectedPage &&
            TrimAreaContains(side.trimRect, editor->imageRect.left, editor->imageRect.top,
                             editor->viewScale, x, y)) {
          return index == 0 ? PressFrontSide : PressBackSide;
        }
      }
      return PressMissed;
  }
  editor->dragStartX = x;
  editor->dragStartY = y;
  editor->dragStartRect = editor->selection;
  return PressStartedDrag;
}

bool EditorDrag(const CutEditor& editor, const CardJob& job, int32_t x, int32_t y, bool oneAxis,
                CardRect* next) {
  if (!editor.pageImage) return false;
  if (editor.dragState == DragMove) {
    *next = MovedSelection(editor.dragStartRect, editor.dragStartX, editor.dragStartY, x, y,
                           oneAxis);
    return true;
  }
  if (editor.dragState == DragResize) {
    return ResizedSelection(editor.dragStartRect, editor.grabRight != 0, editor.grabBottom != 0,
                            x - editor.dragStartX, JobGeometry(job), editor.viewScale, next);
  }
  return false;
}

void EditorRelease(CutEditor* editor) {
  editor->dragState = DragNone;
}
