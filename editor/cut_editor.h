// The state of the card cut editor view and what its commands and mouse
// input do to it and to the job record. The view window feeds in client
// coordinates and draws what changed; everything decided here is portable.
#pragma once

#include <cstdint>

#include "editor/card_geometry.h"
#include "job/card_side.h"

struct CardJob;
struct DibImage;

// What the mouse is dragging.
enum DragState : int32_t {
  DragNone = 0,
  DragMove = 1,
  DragResize = 2,
};

// Mouse pointer shapes of the view; CursorKeep leaves the pointer alone.
enum CursorShape : int32_t {
  CursorKeep = 0,
  CursorSizeNwse,
  CursorSizeNesw,
  CursorSizeAll,
};

// The view's state; one per view window, living as long as the window.
struct CutEditor {
  DibImage* pageImage;     // the current page at full resolution, owned; null without a page
  DibImage* viewImage;     // the page reduced by 12 for display, owned; null with pageImage
  float viewScale;         // view pixels per page pixel
  CardRect selection;      // in view client coordinates, the card's proportions
  CardRect imageRect;      // where the view image was drawn at the last paint
  int32_t dragState;       // DragState
  int32_t dragStartX;      // mouse position when the button went down
  int32_t dragStartY;
  CardRect dragStartRect;  // the selection when the button went down
  int32_t grabRight;       // corner being resized: right (1) or left (0) edge
  int32_t grabBottom;      // bottom (1) or top (0) edge
  int32_t handleSize;      // side of the corner handles as last drawn
  int32_t exactCard;       // 1 while the selection sits on a found card and has not been moved
  CardRect exactTrim;      // that card's trim box in page pixels: what a cut then takes
};

// Factor by which a page is reduced for display.
inline constexpr int32_t kViewReduction = 12;

// Commands a mouse press can lead to.
enum PressResult : int32_t {
  PressIgnored = 0,   // no page loaded
  PressStartedDrag,   // a move or resize started; confine the cursor
  PressFrontSide,     // the front's cut area was hit: show the front
  PressBackSide,      // the back's cut area was hit: show the back
  PressMissed,        // nothing there
};

// The state of a freshly created view: no page, scale 1/12, no selection.
void ResetCutEditor(CutEditor* editor);

// Frees the page and its display copy.
void FreeEditorPage(CutEditor* editor);

// The card settings of the job as the geometry takes them.
CardGeometry JobGeometry(const CardJob& job);

// True when the selection has no area (nothing has been placed yet).
bool SelectionEmpty(const CardRect& selection);

// Takes `page` (owned from now on, may be null) as the current page: makes its
// display copy and scale for a client of clientWidth × clientHeight, and
// places the default selection when there is none. A page without pixels is
// dropped. Returns true when a page is loaded.
bool TakeEditorPage(CutEditor* editor, DibImage* page, const CardJob& job, int32_t clientWidth,
                    int32_t clientHeight);

// Re-applies the card size and orientation of the job: bleed back to 2 mm,
// trim size from the size table, both sides emptied, default selection.
void ApplyCardSettings(CutEditor* editor, CardJob* job, int32_t clientWidth);

// Empties the current side.
void ClearCurrentSide(CardJob* job);

// Cuts the current side out of the page at the selection, or at the found
// card's trim box exactly while the selection still sits on it. Without a page, or
// when the card image cannot be made, the side is left empty. Returns true
// when the side holds a new image.
bool CutCurrentSide(const CutEditor& editor, CardJob* job);

// Places the selection on a card's trim box (page pixels) of the loaded page,
// as the view shows it in a client of clientWidth × clientHeight, and keeps
// the box itself for the cut until the selection is moved by hand. False
// without a page.
bool PlaceSelectionOnCard(CutEditor* editor, const CardRect& trim, int32_t clientWidth,
                          int32_t clientHeight);

// The user moved or resized the selection: the cut follows the selection again.
void ReleaseExactCard(CutEditor* editor);

// The pointer shape for a mouse move to (x, y).
CursorShape CursorFor(const CutEditor& editor, int32_t x, int32_t y);

// A left-button press at (x, y): starts a resize or move, or tests the cut
// sides of the shown page.
PressResult EditorPress(CutEditor* editor, const CardJob& job, int32_t x, int32_t y);

// A mouse move to (x, y) during a drag. Returns true with the new selection in
// *next when the selection changes; the caller redraws and stores it.
bool EditorDrag(const CutEditor& editor, const CardJob& job, int32_t x, int32_t y, bool oneAxis,
                CardRect* next);

// A left-button release: the drag ends.
void EditorRelease(CutEditor* editor);
