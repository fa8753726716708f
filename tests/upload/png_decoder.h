// A small PNG reader of the tests, independent of libpng: walks the chunks,
// checks their CRCs, inflates the IDAT data with zlib and undoes the row filters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPng {
  bool ok = false;
  std::string error;
  std::vector<std::string> chunks;  // chunk types in file order
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int compression = -1;
  int filterMethod = -1;
  int interlace = -1;
  int zlibLevelFlag = -1;           // FLEVEL of the zlib stream header (3 = maximum compression)
  std::vector<int> rowFilters;      // filter type byte of every row
  std::vector<uint8_t> pixels;      // top-down rows, width × channels bytes each
  int channels() const { return colourType == 6 ? 4 : colourType == 2 ? 3 : 0; }
};

// Decodes 8-bit RGB (type 2) and RGBA (type 6) files without interlace.
DecodedPng DecodePng(const std::string& bytes);
