// The bleed check in front of an upload: warns about card edges whose design
// seems to stop at the trim line and asks whether to go on.
#pragma once

#include <windows.h>

struct CardJob;
struct DibImage;

// Scores `image` with the card size and bleed of `job`. Returns IDYES at once when
// no edge is flagged, IDNO at once when there is no image; otherwise shows the
// warning (owned by `owner`, Yes and No, No the default) and returns the answer.
int CheckBleed(HWND owner, DibImage* image, const CardJob& job);
