// Card sizes and emptying a card side.
#include "job/card_side.h"

#include "image/dib_image.h"

bool CardSizeFor(int32_t sizeIndex, int32_t orientation, float* widthMm, float* heightMm) {
  if (sizeIndex < 0 || sizeIndex >= kCardSizeCount) return false;
  const CardSize& size = CardSizeTable[sizeIndex];
  const bool portrait = orientation == kPortrait;
  *widthMm = portrait ? size.heightMm : size.widthMm;
  *heightMm = portrait ? size.widthMm : size.heightMm;
  return true;
}

void EmptyCardSide(CardSide* side) {
  DibFree(side->image);
  side->image = nullptr;
  side->pageIndex = -1;
}
