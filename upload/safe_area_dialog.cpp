// The message box of the safe-area check.
#include "upload/safe_area_dialog.h"

#include "app/program_state.h"
#include "upload/safe_area_check.h"

int CheckSafeAreaDialog(HWND owner, DibImage* image) {
  if (image == nullptr) return IDNO;
  const uint32_t edges = CheckSafeArea(image, Job.cardWidthMm, Job.cardHeightMm, Job.bleedMm);
  char text[512];
  if (SafeAreaWarningText(edges, text, sizeof text) == 0) return IDYES;
  return MessageBoxA(owner, text, kSafeAreaCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
}
