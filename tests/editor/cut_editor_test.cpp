// Tests of the card cut editor's state, commands and mouse rules.
#include "editor/cut_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "job/card_job.h"
#include "editor/card_rect_print.h"
#include "editor/cut_reference.h"
#include "editor/fit_rect.h"
#include "editor/page_pattern.h"
#include "image/dib_image.h"

namespace {


constexpr int32_t kClientWidth = 409;  // the view's 411 pixels less its border
constexpr int32_t kClientHeight = 561;

// A job at its start values, an editor as created, and helpers to give them
// pages and cut sides. Frees whatever is left at the end.
class CutEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCardJob(&job_, "C:\\prog");
    ResetCutEditor(&editor_);
  }
  void TearDown() override {
    FreeEditorPage(&editor_);
    EmptyCardSide(&job_.sides[0]);
    EmptyCardSide(&job_.sides[1]);
  }

  // Loads a pattern page and places the selection at `selection`. The view
  // scale is set to 1/12, near that of an A4 page, whatever the page's size.
  void LoadPage(int32_t width, int32_t height, const CardRect& selection) {
    ASSERT_TRUE(TakeEditorPage(&editor_, MakePatternPage(width, height, true), job_, kClientWidth,
                               kClientHeight));
    editor_.viewScale = kInitialViewScale;
    editor_.selection = selection;
    editor_.handleSize = SelectionHandleSize(selection, JobGeometry(job_));
    editor_.imageRect = {0, 0, kClientWidth, kClientHeight};
  }

  // Gives side `index` a stand-in image, cut from page `pageIndex` at `trim`.
  void GiveSide(int index, int32_t pageIndex, const CardRect& trim) {
    CardSide& side = job_.sides[index];
    EmptyCardSide(&side);
    side.image = DibCreate(4, 4, 24);
    side.pageIndex = pageIndex;
    side.trimRect = trim;
  }

  CardJob job_;
  CutEditor editor_;
};

// ---- creation and card settings ----------------------------------------------
TEST_F(CutEditorTest, FreshViewHasNoPageNoSelectionAndScaleOneTwelfth) {
  EXPECT_EQ(editor_.pageImage, nullptr);
  EXPECT_EQ(editor_.viewImage, nullptr);
  EXPECT_EQ(editor_.viewScale, 0.083333336f);
  EXPECT_TRUE(SelectionEmpty(editor_.selection));
  EXPECT_EQ(editor_.dragState, DragNone);
  EXPECT_EQ(editor_.handleSize, 0);
  EXPECT_EQ(CursorFor(editor_, 200, 100), CursorKeep);
  EXPECT_EQ(EditorPress(&editor_, job_, 200, 100), PressIgnored);
}

TEST_F(CutEditorTest, CardSettingsBeforeAnyPagePlaceTheDefaultSelection) {
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  EXPECT_EQ(editor_.selection, (CardRect{97, 50, 311, 179}));
  job_.orientation = kPortrait;
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  EXPECT_EQ(job_.cardWidthMm, 55.0f);
  EXPECT_EQ(job_.cardHeightMm, 91.0f);
  EXPECT_EQ(editor_.selection, (CardRect{140, 50, 269, 264}));
}

TEST_F(CutEditorTest, CardSettingsEmptyBothSidesAndResetTheBleed) {
  GiveSide(0, 0, {1, 1, 2, 2});
  GiveSide(1, 2, {1, 1, 2, 2});
  job_.bleedMm = 3.0f;
  job_.sizeIndex = 2;
  job_.orientation = kPortrait;
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  EXPECT_EQ(job_.bleedMm, 2.0f);
  EXPECT_EQ(job_.cardWidthMm, 49.0f);
  EXPECT_EQ(job_.cardHeightMm, 85.0f);
  for (const CardSide& side : job_.sides) {
    EXPECT_EQ(side.image, nullptr);
    EXPECT_EQ(side.pageIndex, -1);
  }
}

TEST_F(CutEditorTest, SameSettingsAgainStillEmptyTheSidesAndRecentre) {
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  editor_.selection = {10, 10, 224, 139};
  GiveSide(0, 0, {1, 1, 2, 2});
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  EXPECT_EQ(job_.sides[0].image, nullptr);
  EXPECT_EQ(editor_.selection, (CardRect{97, 50, 311, 179}));
}

// ---- page loading ---------------------------------------------------------------
TEST_F(CutEditorTest, LoadedPageIsReducedAndFittedAndGetsTheDefaultSelection) {
  ASSERT_TRUE(TakeEditorPage(&editor_, MakePatternPage(1200, 1800, true), job_, kClientWidth,
                             kClientHeight));
  EXPECT_EQ(editor_.viewScale, 561.0f / 1800.0f);
  DibLayout view;
  ASSERT_EQ(DibDescribe(editor_.viewImage, &view), 1);
  EXPECT_EQ(view.width, 100);
  EXPECT_EQ(view.height, -150);
  EXPECT_EQ(editor_.selection, DefaultSelection(kClientWidth, JobGeometry(job_), editor_.viewScale));
}

TEST_F(CutEditorTest, ExistingSelectionKeepsItsPlaceAcrossPages) {
  editor_.selection = {20, 30, 234, 159};
  ASSERT_TRUE(TakeEditorPage(&editor_, MakePatternPage(600, 800, true), job_, kClientWidth,
                             kClientHeight));
  EXPECT_EQ(editor_.selection, (CardRect{20, 30, 234, 159}));
}

TEST_F(CutEditorTest, MissingOrEmptyPageLeavesNoPage) {
  editor_.selection = {20, 30, 234, 159};
  EXPECT_FALSE(TakeEditorPage(&editor_, nullptr, job_, kClientWidth, kClientHeight));
  EXPECT_EQ(editor_.pageImage, nullptr);
  EXPECT_FALSE(TakeEditorPage(&editor_, DibCreate(0, 10, 24), job_, kClientWidth, kClientHeight));
  EXPECT_FALSE(TakeEditorPage(&editor_, DibCreate(10, 0, 24), job_, kClientWidth, kClientHeight));
  EXPECT_EQ(editor_.pageImage, nullptr);
  EXPECT_EQ(editor_.viewImage, nullptr);
  EXPECT_EQ(editor_.viewScale, kInitialViewScale);
  EXPECT_EQ(editor_.selection, (CardRect{20, 30, 234, 159}));
}

// ---- cut and clear ----------------------------------------------------------------
TEST_F(CutEditorTest, CutWithoutPageEmptiesTheCurrentSide) {
  GiveSide(0, 0, {1, 1, 2, 2});
  EXPECT_FALSE(CutCurrentSide(editor_, &job_));
  EXPECT_EQ(job_.sides[0].image, nullptr);
  EXPECT_EQ(job_.sides[0].pageIndex, -1);
}

TEST_F(CutEditorTest, CutFillsTheCurrentSideFromTheSelection) {
  for (int side : {0, 1}) {
    SCOPED_TRACE(side);
    LoadPage(1000, 1400, {97, 50, 311, 179});
    editor_.imageRect = {60, 0, 349, 561};
    job_.currentSide = side;
    job_.selectedPage = 3;
    ASSERT_TRUE(CutCurrentSide(editor_, &job_));
    const CardSide& cut = job_.sides[side];
    EXPECT_EQ(cut.pageIndex, 3);
    const CardRect trim = TrimRectFromSelection(editor_.selection, 60, 0, editor_.viewScale);
    EXPECT_EQ(cut.trimRect, trim);
    EXPECT_EQ(cut.cutRect, CutRectFromTrim(trim, JobGeometry(job_)));
    DibLayout layout;
    ASSERT_EQ(DibDescribe(cut.image, &layout), 1);
    EXPECT_EQ(layout.width, 2693);
    EXPECT_EQ(layout.height, 1672);
    DibImage* reference = ReferenceCut(editor_.pageImage, cut.cutRect, 2693, 1672);
    EXPECT_EQ(std::memcmp(DibBytes(reference), DibBytes(cut.image), layout.fileSize), 0);
    DibFree(reference);
  }
  EXPECT_NE(job_.sides[0].image, job_.sides[1].image);
}

// ---- a found card -------------------------------------------------------------
TEST_F(CutEditorTest, SelectionOnAFoundCardCutsItsBoxExactly) {
  // An A4 page; a card box that the 1/15-scale selection cannot express exactly.
  ASSERT_TRUE(TakeEditorPage(&editor_, MakePatternPage(5953, 8419, true), job_, kClientWidth,
                             kClientHeight));
  const CardRect box = {1687, 3431, 1687 + 2580, 3431 + 1559};
  ASSERT_TRUE(PlaceSelectionOnCard(&editor_, box, kClientWidth, kClientHeight));
  // The selection shows the box where the view draws the page.
  int32_t drawn[4] = {0, 0, kClientWidth, kClientHeight};
  FitImageRect(5953 / 12, 8419 / 12, drawn);
  EXPECT_EQ(editor_.imageRect, (CardRect{drawn[0], drawn[1], drawn[2], drawn[3]}));
  EXPECT_EQ(editor_.selection, TrimRectInView(box, drawn[0], drawn[1], editor_.viewScale));
  const CardRect roundTrip = TrimRectFromSelection(editor_.selection, drawn[0], drawn[1], editor_.viewScale);
  ASSERT_NE(roundTrip, box) << "the test needs a box the selection alone would miss";

  // The cut takes the box itself.
  ASSERT_TRUE(CutCurrentSide(editor_, &job_));
  EXPECT_EQ(job_.sides[0].trimRect, box);
  const CardRect cutRect = CutRectFromTrim(box, JobGeometry(job_));
  EXPECT_EQ(job_.sides[0].cutRect, cutRect);
  DibImage* reference = ReferenceCut(editor_.pageImage, cutRect, 2693, 1672);
  DibLayout layout;
  DibDescribe(reference, &layout);
  EXPECT_EQ(std::memcmp(DibBytes(reference), DibBytes(job_.sides[0].image), layout.fileSize), 0);
  DibFree(reference);

  // Moved by hand: the selection rules again.
  ReleaseExactCard(&editor_);
  ASSERT_TRUE(CutCurrentSide(editor_, &job_));
  EXPECT_EQ(job_.sides[0].trimRect, roundTrip);

  // A card change or a new page forgets the box.
  ASSERT_TRUE(PlaceSelectionOnCard(&editor_, box, kClientWidth, kClientHeight));
  ApplyCardSettings(&editor_, &job_, kClientWidth);
  EXPECT_EQ(editor_.exactCard, 0);
  ASSERT_TRUE(PlaceSelectionOnCard(&editor_, box, kClientWidth, kClientHeight));
  ASSERT_TRUE(TakeEditorPage(&editor_, MakePatternPage(600, 800, true), job_, kClientWidth,
                             kClientHeight));
  EXPECT_EQ(editor_.exactCard, 0);
  FreeEditorPage(&editor_);
  EXPECT_FALSE(PlaceSelectionOnCard(&editor_, box, kClientWidth, kClientHeight));
}

TEST_F(CutEditorTest, ClearEmptiesOnlyTheCurrentSide) {
  GiveSide(0, 0, {1, 1, 2, 2});
  GiveSide(1, 0, {1, 1, 2, 2});
  job_.currentSide = 1;
  ClearCurrentSide(&job_);
  EXPECT_EQ(job_.sides[1].image, nullptr);
  EXPECT_EQ(job_.sides[1].pageIndex, -1);
  EXPECT_NE(job_.sides[0].image, nullptr);
}

// ---- mouse --------------------------------------------------------------------------
TEST_F(CutEditorTest, PressZonesStartResizeOrMove) {
  LoadPage(600, 800, {97, 50, 311, 179});
  const struct {
    int32_t x, y;
    int32_t state, right, bottom;
  } cases[] = {
      {97, 50, DragResize, 0, 0},   {311, 46, DragResize, 1, 0}, {93, 179, DragResize, 0, 1},
      {316, 184, DragResize, 1, 1}, {200, 100, DragMove, -1, -1},
  };
  for (const auto& c : cases) {
    editor_.grabRight = editor_.grabBottom = -1;
    ASSERT_EQ(EditorPress(&editor_, job_, c.x, c.y), PressStartedDrag) << c.x << "," << c.y;
    EXPECT_EQ(editor_.dragState, c.state);
    EXPECT_EQ(editor_.grabRight, c.right);
    EXPECT_EQ(editor_.grabBottom, c.bottom);
    EXPECT_EQ(editor_.dragStartX, c.x);
    EXPECT_EQ(editor_.dragStartY, c.y);
    EXPECT_EQ(editor_.dragStartRect, (CardRect{97, 50, 311, 179}));
    EditorRelease(&editor_);
    EXPECT_EQ(editor_.dragState, DragNone);
  }
}

TEST_F(CutEditorTest, DragMovesAndResizesFromWhereTheButtonWentDown) {
  LoadPage(600, 800, {97, 50, 311, 179});
  ASSERT_EQ(EditorPress(&editor_, job_, 200, 100), PressStartedDrag);
  CardRect next = {};
  ASSERT_TRUE(EditorDrag(editor_, job_, 230, 110, false, &next));
  EXPECT_EQ(next, (CardRect{127, 60, 341, 189}));
  editor_.selection = next;
  ASSERT_TRUE(EditorDrag(editor_, job_, 220, 120, true, &next));  // equal distances: vertical
  EXPECT_EQ(next, (CardRect{97, 70, 311, 199}));
  EditorRelease(&editor_);
  EXPECT_FALSE(EditorDrag(editor_, job_, 250, 150, false, &next));

  editor_.selection = {97, 50, 311, 179};
  ASSERT_EQ(EditorPress(&editor_, job_, 313, 181), PressStartedDrag);
  ASSERT_TRUE(EditorDrag(editor_, job_, 333, 400, false, &next));  // only dx counts
  EXPECT_EQ(next, (CardRect{97, 50, 331, 191}));
  const CardRect untouched = next;
  EXPECT_FALSE(EditorDrag(editor_, job_, 313 + 215, 181, false, &next));  // 429 wide
  EXPECT_EQ(next, untouched);
}

TEST_F(CutEditorTest, PressOutsideTheSelectionPicksTheCutSideOfThisPage) {
  LoadPage(600, 800, {20, 300, 234, 429});
  editor_.imageRect = {0, 0, 409, 561};
  const float s = editor_.viewScale;
  // The front at view (50, 40)-(250, 160), the back at (150, 100)-(350, 220).
  auto PageRect = [s](int l, int t, int r, int b) {
    return CardRect{RoundHalfUp(l / s), RoundHalfUp(t / s), RoundHalfUp(r / s), RoundHalfUp(b / s)};
  };
  GiveSide(0, 0, PageRect(50, 40, 250, 160));
  GiveSide(1, 0, PageRect(150, 100, 350, 220));
  job_.selectedPage = 0;
  EXPECT_EQ(EditorPress(&editor_, job_, 60, 50), PressFrontSide);
  EXPECT_EQ(EditorPress(&editor_, job_, 200, 130), PressFrontSide);  // overlap: the front
  EXPECT_EQ(EditorPress(&editor_, job_, 300, 200), PressBackSide);
  EXPECT_EQ(EditorPress(&editor_, job_, 380, 30), PressMissed);
  EXPECT_EQ(editor_.dragState, DragNone);
  job_.sides[0].pageIndex = 1;  // cut from another page: not shown, not hit
  EXPECT_EQ(EditorPress(&editor_, job_, 60, 50), PressMissed);
  EXPECT_EQ(EditorPress(&editor_, job_, 200, 130), PressBackSide);
}

TEST_F(CutEditorTest, CursorShapesFollowTheRulesInOrder) {
  LoadPage(600, 800, {97, 50, 311, 179});
  ASSERT_EQ(editor_.handleSize, 5);
  const struct {
    const char* label;
    int32_t dragState, right, bottom;
    int32_t x, y;
    CursorShape shape;
  } cases[] = {
      {"top-left handle", DragNone, 0, 0, 92, 45, CursorSizeNwse},
      {"top-left corner pixel", DragNone, 0, 0, 97, 50, CursorSizeNwse},
      {"inside bottom-right handle", DragNone, 0, 0, 313, 181, CursorSizeNwse},
      {"bottom-right corner pixel is not inside its open square", DragNone, 0, 0, 311, 179, CursorKeep},
      {"top-right handle", DragNone, 0, 0, 316, 45, CursorSizeNesw},
      {"inside bottom-left handle", DragNone, 0, 0, 95, 181, CursorSizeNesw},
      {"bottom-left handle border", DragNone, 0, 0, 92, 181, CursorKeep},
      {"interior", DragNone, 0, 0, 200, 100, CursorSizeAll},
      {"outside", DragNone, 0, 0, 20, 300, CursorKeep},
      {"resizing same corners outside", DragResize, 1, 1, 20, 300, CursorSizeNwse},
      {"resizing crossed corners outside", DragResize, 1, 0, 20, 300, CursorSizeNesw},
      {"resizing crossed corners over top-left", DragResize, 0, 1, 97, 50, CursorSizeNwse},
      {"moving outside", DragMove, 0, 0, 20, 300, CursorSizeAll},
      {"moving over top-right handle", DragMove, 0, 0, 316, 45, CursorSizeNesw},
  };
  for (const auto& c : cases) {
    editor_.dragState = c.dragState;
    editor_.grabRight = c.right;
    editor_.grabBottom = c.bottom;
    EXPECT_EQ(CursorFor(editor_, c.x, c.y), c.shape) << c.label;
  }
}

}  // namespace
