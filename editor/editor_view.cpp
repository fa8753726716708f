// The card cut editor view. The decisions (geometry, mouse rules, cut) are
// made by the portable CutEditor functions; this file feeds them the
// window's input and draws.
//
// The selection is a rubber band drawn with XOR over the painted page: to
// change it outside WM_PAINT the old band is drawn again (which erases it)
// and then the new one, so a drag never repaints the page.
#include "editor/editor_view.h"

#include "base/scoped_handle.h"
#include "editor/card_finder.h"
#include "editor/card_note.h"
#include "job/card_job.h"
#include "editor/cut_editor.h"
#include "editor/options_bar.h"
#include "editor/paint.h"
#include "image/dib_image.h"
#include "pages/design_file.h"
#include "pages/page_selector.h"
#include "resources/resource.h"

namespace {

constexpr char kEditorProp[] = "CUT_EDITOR";
constexpr char kLinksProp[] = "EDITOR_LINKS";

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kSelectionColour = 0xFFFF00;                     // cyan
constexpr COLORREF kSideColours[2] = {0xFF8719, 0xFF4B91};          // front blue, back violet

CutEditor* State(HWND view) {
  return static_cast<CutEditor*>(GetPropA(view, kEditorProp));
}

const EditorViewLinks& Links(HWND view) {
  return *static_cast<const EditorViewLinks*>(GetPropA(view, kLinksProp));
}

RECT ClientRect(HWND view) {
  RECT client;
  GetClientRect(view, &client);
  return client;
}

void RepaintPreview(HWND view, int side) {
  if (Links(view).previews[side]) {
    InvalidateRect(Links(view).previews[side], nullptr, TRUE);
  }
}

int CurrentSideIndex(const CardJob& Job) {
  return Job.currentSide == 1 ? 1 : 0;
}

void SetCursorShape(CursorShape shape) {
  const char* name = nullptr;
  switch (shape) {
    case CursorSizeNwse: name = IDC_SIZENWSE; break;
    case CursorSizeNesw: name = IDC_SIZENESW; break;
    case CursorSizeAll: name = IDC_SIZEALL; break;
    case CursorKeep: return;
  }
  SetCursor(LoadCursorA(nullptr, name));
}

// Replaces the selection, erasing the old rubber band and drawing the new
// one. Without a page on screen no band is showing, so none is drawn.
void ChangeSelection(HWND view, CutEditor* editor, const CardRect& next) {
  const CardJob& Job = *Links(view).job;
  if (!editor->viewImage) {
    editor->selection = next;
    editor->handleSize = SelectionHandleSize(next, JobGeometry(Job));
    return;
  }
  ScopedGetDc viewDc(view);
  HDC dc = viewDc.get();
  SetROP2(dc, R2_XORPEN);
  const CardRect& old = editor->selection;
  PaintSelection(dc, old.left, old.top, old.right, old.bottom, kSelectionColour, JobGeometry(Job));
  editor->selection = next;
  editor->handleSize = PaintSelection(dc, next.left, next.top, next.right, next.bottom, kSelectionColour,
                                      JobGeometry(Job));
  SetROP2(dc, R2_COPYPEN);
}

// The note's text for a card found on the page.
const char* CardNoteText(int32_t source) {
  switch (source) {
    case PageCardImported: return "デザインの名刺に配置";
    case PageCardMarks: return "名刺を検出：トンボ";
    case PageCardDesignArea: return "名刺を検出：デザイン端";
    default: return nullptr;
  }
}

// The user moved the selection by hand: the cut follows the selection again.
void LeaveCard(HWND view, CutEditor* editor) {
  if (editor->exactCard) {
    ReleaseExactCard(editor);
    ShowCardNote(Links(view).cardNote, nullptr);
  }
}

// The card of the page just loaded: known from an imported design, found
// before, or looked for now. When there is one, the card size and
// orientation follow it and the selection is placed on its trim box.
void LocateCard(HWND view, CutEditor* editor) {
  const EditorViewLinks& links = Links(view);
  CardJob& Job = *links.job;
  if (Job.selectedPage < 0 || Job.selectedPage >= 5) return;
  PageCard& card = Job.pageCards[Job.selectedPage];
  uint64_t size = 0;
  uint64_t time = 0;
  PageFileStamp(Job.pagePrefix, Job.selectedPage, &size, &time);
  if (card.fileSize != size || card.fileTime != time) {
    card = {};  // another file than the one the card was taken from
  }
  if (card.source == PageCardUnknown) {
    card = {};
    card.source = PageCardNone;
    card.fileSize = size;
    card.fileTime = time;
    PageView page;
    CardFindResult found;
    if (PageViewFromDib(editor->pageImage, &page) &&
        FindCard(page, Job.pixelsPerMm, Job.sizeIndex, &found)) {
      card.source = found.method == CardFoundByMarks ? PageCardMarks : PageCardDesignArea;
      card.trim = found.trim;
      card.sizeIndex = found.sizeIndex;
      card.orientation = found.orientation;
    }
  }
  const char* note = CardNoteText(card.source);
  if (!note) {
    ShowCardNote(links.cardNote, nullptr);
    return;
  }
  const RECT client = ClientRect(view);
  if (card.sizeIndex != Job.sizeIndex || card.orientation != Job.orientation) {
    Job.sizeIndex = card.sizeIndex;
    Job.orientation = card.orientation;
    ApplyCardSettings(editor, &Job, client.right);
    ShowCardSettings(links.optionsBar);
    RepaintPreview(view, 0);
    RepaintPreview(view, 1);
  }
  PlaceSelectionOnCard(editor, card.trim, client.right, client.bottom);
  ShowCardNote(links.cardNote, note);
}

void OnPaint(HWND view, CutEditor* editor) {
  const CardJob& Job = *Links(view).job;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(view, &paint);
  RECT area = ClientRect(view);
  PaintFilledRect(dc, area.left, area.top, area.right, area.bottom, kBlack, kBlack);
  editor->imageRect = {area.left, area.top, area.right, area.bottom};
  if (editor->viewImage) {
    PaintImageFit(dc, editor->viewImage, &area);
    editor->imageRect = {area.left, area.top, area.right, area.bottom};
    SetROP2(dc, R2_XORPEN);
    for (int index = 0; index < 2; ++index) {
      const CardSide& side = Job.sides[index];
      if (side.image && side.pageIndex == Job.selectedPage) {
        const CardRect frame = TrimRectInView(side.trimRect, editor->imageRect.left,
                                              editor->imageRect.top, editor->viewScale);
        PaintFrame(dc, frame.left, frame.top, frame.right, frame.bottom, kSideColours[index], 2,
                   PS_DASH);
      }
    }
    const CardRect& s = editor->selection;
    editor->handleSize = PaintSelection(dc, s.left, s.top, s.right, s.bottom, kSelectionColour,
                                        JobGeometry(Job));
    SetROP2(dc, R2_COPYPEN);
  }
  EndPaint(view, &paint);
}

void OnKeyDown(HWND view, CutEditor* editor, WPARAM key) {
  int dx = 0;
  int dy = 0;
  switch (key) {
    case VK_LEFT: dx = -1; break;
    case VK_RIGHT: dx = 1; break;
    case VK_UP: dy = -1; break;
    case VK_DOWN: dy = 1; break;
    default: return;
  }
  const CardRect& s = editor->selection;
  LeaveCard(view, editor);
  ChangeSelection(view, editor, {s.left + dx, s.top + dy, s.right + dx, s.bottom + dy});
}

void OnButtonDown(HWND view, CutEditor* editor, int x, int y) {
  const EditorViewLinks& links = Links(view);
  const CardJob& Job = *links.job;
  switch (EditorPress(editor, Job, x, y)) {
    case PressStartedDrag: {
      SetCursorShape(CursorFor(*editor, x, y));
      // The pointer stays over the view until the button is released.
      RECT area = ClientRect(view);
      MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&area), 2);
      ClipCursor(&area);
      break;
    }
    case PressFrontSide:
      if (links.mainWindow) PostMessageA(links.mainWindow, WM_COMMAND, IDC_FRONT, 0);
      break;
    case PressBackSide:
      if (links.mainWindow) PostMessageA(links.mainWindow, WM_COMMAND, IDC_BACK, 0);
      break;
    case PressIgnored:
    case PressMissed:
      break;
  }
}

void OnMouseMove(HWND view, CutEditor* editor, int x, int y) {
  const CardJob& Job = *Links(view).job;
  SetCursorShape(CursorFor(*editor, x, y));
  const bool oneAxis = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  CardRect next;
  if (EditorDrag(*editor, Job, x, y, oneAxis, &next)) {
    const CardRect& s = editor->selection;
    if (next.left != s.left || next.top != s.top || next.right != s.right || next.bottom != s.bottom) {
      LeaveCard(view, editor);
    }
    ChangeSelection(view, editor, next);
  }
}

void OnButtonUp(HWND view, CutEditor* editor) {
  ClipCursor(nullptr);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EditorRelease(editor);
  SetFocus(view);
}

// Keeps the shape chosen on the last mouse move instead of letting the dialog
// class put back its arrow each time the pointer moves. Returns TRUE when the
// view set the cursor itself.
INT_PTR OnSetCursor(HWND view, CutEditor* editor, LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT) return FALSE;
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(view, &point);
  const CursorShape shape = CursorFor(*editor, point.x, point.y);
  if (shape == CursorKeep) return FALSE;
  SetCursorShape(shape);
  SetWindowLongPtrA(view, DWLP_MSGRESULT, TRUE);
  return TRUE;
}

void LoadCurrentPage(HWND view, CutEditor* editor) {
  const CardJob& Job = *Links(view).job;
  FreeEditorPage(editor);
  const RECT client = ClientRect(view);
  if (TakeEditorPage(editor, LoadPageImage(view, Job.pagePrefix, Job.selectedPage), Job,
                     client.right, client.bottom)) {
    LocateCard(view, editor);
  } else {
    ShowCardNote(Links(view).cardNote, nullptr);
  }
  InvalidateRect(view, nullptr, TRUE);
}

// Returns TRUE for the view's four commands.
INT_PTR OnCommand(HWND view, CutEditor* editor, int command) {
  CardJob& Job = *Links(view).job;
  switch (command) {
    case IDC_SHOW_PAGE:
      LoadCurrentPage(view, editor);
      return TRUE;
    case IDC_CARD_SIZE:
      ApplyCardSettings(editor, &Job, ClientRect(view).right);
      ShowCardNote(Links(view).cardNote, nullptr);
      RepaintPreview(view, 0);
      RepaintPreview(view, 1);
      InvalidateRect(view, nullptr, TRUE);
      return TRUE;
    case IDC_DATA_CLEAR:
      ClearCurrentSide(&Job);
      RepaintPreview(view, CurrentSideIndex(Job));
      InvalidateRect(view, nullptr, TRUE);
      return TRUE;
    case IDC_DATA_CUT:
      CutCurrentSide(*editor, &Job);
      RepaintPreview(view, CurrentSideIndex(Job));
      InvalidateRect(view, nullptr, TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int PaintSelection(HDC dc, int left, int top, int right, int bottom, COLORREF colour,
                   const CardGeometry& card) {
  PaintFrame(dc, left, top, right, bottom, colour, 1, PS_SOLID);
  const int r = SelectionHandleSize({left, top, right, bottom}, card);
  PaintFrame(dc, left - r, top - r, left, top, colour, 1, PS_SOLID);
  PaintFrame(dc, right, top - r, right + r, top, colour, 1, PS_SOLID);
  PaintFrame(dc, left - r, bottom, left, bottom + r, colour, 1, PS_SOLID);
  PaintFrame(dc, right, bottom, right + r, bottom + r, colour, 1, PS_SOLID);
  return r;
}

const CutEditor* EditorViewState(HWND view) {
  return view ? State(view) : nullptr;
}

INT_PTR CALLBACK EditorViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* links = reinterpret_cast<const EditorViewLinks*>(lParam);
    if (!links || !links->job) return TRUE;
    auto* editor = new CutEditor;
    ResetCutEditor(editor);
    SetPropA(dialog, kLinksProp, const_cast<EditorViewLinks*>(links));
    SetPropA(dialog, kEditorProp, editor);
    return TRUE;
  }
  CutEditor* editor = State(dialog);
  if (!editor) return FALSE;
  // Mouse positions are the low and high words of lParam, unsigned.
  const int x = LOWORD(lParam);
  const int y = HIWORD(lParam);
  switch (message) {
    case WM_PAINT:
      OnPaint(dialog, editor);
      return FALSE;
    case WM_KEYDOWN:
      OnKeyDown(dialog, editor, wParam);
      return FALSE;
    case WM_COMMAND:
      return OnCommand(dialog, editor, LOWORD(wParam));
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case WM_LBUTTONDOWN:
      OnButtonDown(dialog, editor, x, y);
      return FALSE;
    case WM_MOUSEMOVE:
      OnMouseMove(dialog, editor, x, y);
      return FALSE;
    case WM_LBUTTONUP:
      OnButtonUp(dialog, editor);
      return FALSE;
    case WM_SETCURSOR:
      return OnSetCursor(dialog, editor, lParam);
    case WM_DESTROY:
      FreeEditorPage(editor);
      RemovePropA(dialog, kEditorProp);
      RemovePropA(dialog, kLinksProp);
      delete editor;
      return FALSE;
    default:
      return FALSE;
  }
}
