// The message box of the bleed check.
#include "upload/bleed_dialog.h"

#include "job/card_job.h"
#include "upload/bleed_check.h"

int CheckBleed(HWND owner, DibImage* image, const CardJob& Job) {
  if (image == nullptr) return IDNO;
  BleedScores scores;
  if (!ScoreBleed(image, Job.cardWidthMm, Job.cardHeightMm, Job.bleedMm, &scores)) return IDNO;
  char text[512];
  if (BleedWarningText(scores, text, sizeof text) == 0) return IDYES;
  return MessageBoxA(owner, text, kBleedCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
}
