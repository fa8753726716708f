// The safe-area check in front of an upload, after the bleed check: warns
// about card edges with text or a logo less than 3 mm inside the trim line
// and asks whether to go on.
#pragma once

#include <windows.h>

struct CardJob;
struct DibImage;

// Checks `image` with the card size and bleed of `job`. Returns IDYES at once
// when no edge has content in its safe band, IDNO at once when there is no
// image; otherwise shows the warning (owned by `owner`, Yes and No, No the
// default) naming the edges and returns the answer.
int CheckSafeAreaDialog(HWND owner, DibImage* image, const CardJob& job);
