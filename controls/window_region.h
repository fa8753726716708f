// Window shapes from bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>

// Builds a region covering every pixel of `bitmap` that differs from `key`
// (0x00RRGGBB), except the bottom row, which is never part of the shape.
// Returns null when the region cannot be built.
HRGN RegionFromBitmap(HBITMAP bitmap, uint32_t key);
