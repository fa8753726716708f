// The resolution an image file records for itself, read from its own bytes:
// PNG pHYs, JPEG JFIF density or Exif resolution, TIFF resolution tags, BMP
// pixels per metre. GIF records none. The platform's decoder reports a
// made-up 96 dpi for files without one, so the program reads the field itself
// to tell "none" apart.
#pragma once

#include <cstddef>
#include <cstdint>

// True, with dots per inch across and down, when the file in `data` records a
// usable resolution (both values positive, with a physical unit). False for
// files that record none, record it without a unit (aspect ratio only), or
// are not PNG, JPEG, TIFF or BMP.
bool ReadImageDensity(const unsigned char* data, size_t size, double* xDpi, double* yDpi);
