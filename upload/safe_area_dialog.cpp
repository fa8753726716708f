// The message box of the safe-area check.
#include "upload/safe_area_dialog.h"

#include "job/card_job.h"
#include "upload/safe_area_check.h"

int CheckSafeAreaDialog(HWND owner, DibImage* image, const CardJob& job) {
  if (image == nullptr) return IDNO;
  const uint32_t edges = CheckSafeArea(image, job.cardWidthMm, job.cardHeightMm, job.bleedMm);
  char text[512];
  if (SafeAreaWarningText(edges, text, sizeof text) == 0) return IDYES;
  return MessageBoxA(owner, text, kSafeAreaCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
}
