// Window shapes from bitmaps: the runs of non-key pixels, one row at a time,
// become the rectangles of a region.
#include "controls/window_region.h"

#include <cstdlib>

#include "base/scoped_handle.h"
#include "controls/region_runs.h"

static_assert(sizeof(RegionRect) == sizeof(RECT), "runs are written straight into region data");

namespace {

// Reads scan lines of one bitmap as 32-bit pixels for CollectRegionRuns.
struct ScanLineReader {
  HDC dc;
  HBITMAP bitmap;
  BITMAPINFOHEADER header;
};

bool ReadScanLine(void* context, int32_t scanLine, uint32_t* row) {
  auto* reader = static_cast<ScanLineReader*>(context);
  return GetDIBits(reader->dc, reader->bitmap, static_cast<UINT>(scanLine), 1, row,
                   reinterpret_cast<BITMAPINFO*>(&reader->header), DIB_RGB_COLORS) == 1;
}

}  // namespace

HRGN RegionFromBitmap(HBITMAP bitmap, uint32_t key) {
  ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) {
    return nullptr;
  }
  BITMAP info = {};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
    return nullptr;
  }
  const int32_t width = info.bmWidth;
  const int32_t height = info.bmHeight;
  const std::size_t capacity = RegionDataCapacity(width, height);
  if (capacity == 0) {
    return nullptr;
  }
  auto* data = static_cast<RGNDATA*>(std::calloc(1, capacity));
  auto* row = static_cast<uint32_t*>(std::calloc(static_cast<std::size_t>(width), sizeof(uint32_t)));
  if (!data || !row) {
    std::free(data);
    std::free(row);
    return nullptr;
  }

  ScanLineReader reader = {dc.get(), bitmap, {}};
  reader.header.biSize = sizeof(BITMAPINFOHEADER);
  reader.header.biWidth = width;
  reader.header.biHeight = height;  // positive: scan line 0 is the bottom row
  reader.header.biPlanes = 1;
  reader.header.biBitCount = 32;
  reader.header.biCompression = BI_RGB;
  auto* rects = reinterpret_cast<RegionRect*>(data->Buffer);
  const std::size_t count = CollectRegionRuns(width, height, key, ReadScanLine, &reader, row, rects);

  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(count);
  data->rdh.nRgnSize = static_cast<DWORD>((count + 2) * sizeof(RECT));
  SetRect(&data->rdh.rcBound, 0, 0, width, height);
  HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>((count + 2) * sizeof(RECT)), data);

  std::free(data);
  std::free(row);
  return region;
}
