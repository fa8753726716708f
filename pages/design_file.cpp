// Design files to page files: WIC decoding to 32-bit BGRA (the one target
// format every WIC decoder converts to, also under Wine), the file's own
// resolution read from its bytes, the portable placement and page builder,
// and the page written the way the folder watcher expects.
#include "pages/design_file.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "job/card_job.h"
#include "base/scoped_handle.h"
#include "image/dib_image.h"
#include "pages/image_density.h"
#include "pages/page_set.h"

namespace {

// Largest image taken: 2^30 bytes of BGRA.
constexpr uint64_t kMaxDesignBytes = uint64_t{1} << 30;

// Owns one COM interface pointer.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p_) p_->Release();
  }
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for this thread while the owner lives (the GUI thread usually has it already).
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

bool ReadWholeFile(const char* path, std::vector<unsigned char>* out) {
  ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxDesignBytes)) {
    return false;
  }
  out->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < out->size()) {
    DWORD chunk = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(out->size() - done, 1u << 24));
    if (!ReadFile(file.get(), out->data() + done, want, &chunk, nullptr) || chunk == 0) return false;
    done += chunk;
  }
  return true;
}

// A decoded design: packed 24-bit rows over white.
struct DecodedDesign {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<unsigned char> bgr;
};

DesignImportStatus Decode(const char* path, DecodedDesign* design) {
  wchar_t widePath[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH)) return DesignUnreadable;
  ComScope com;
  ComRef<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())))) {
    return DesignUnreadable;
  }
  ComRef<IWICBitmapDecoder> decoder;
  const HRESULT opened = factory->CreateDecoderFromFilename(
      widePath, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, decoder.out());
  if (FAILED(opened)) {
    return opened == WINCODEC_ERR_COMPONENTNOTFOUND ? DesignUnsupported : DesignUnreadable;
  }
  GUID container;
  if (FAILED(decoder->GetContainerFormat(&container))) return DesignUnreadable;
  if (container != GUID_ContainerFormatPng && container != GUID_ContainerFormatJpeg &&
      container != GUID_ContainerFormatTiff && container != GUID_ContainerFormatBmp &&
      container != GUID_ContainerFormatGif) {
    return DesignUnsupported;
  }
  ComRef<IWICBitmapFrameDecode> frame;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(decoder->GetFrame(0, frame.out())) || FAILED(frame->GetSize(&width, &height)) ||
      width == 0 || height == 0) {
    return DesignUnreadable;
  }
  design->width = static_cast<int32_t>(std::min<UINT>(width, INT32_MAX));
  design->height = static_cast<int32_t>(std::min<UINT>(height, INT32_MAX));
  const uint64_t bytes = uint64_t{width} * height * 4;
  if (width > 65535 || height > 65535 || bytes > kMaxDesignBytes) return DesignTooLarge;
  ComRef<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return DesignUnreadable;
  }
  std::vector<unsigned char> bgra;
  try {
    bgra.resize(static_cast<size_t>(bytes));
    design->bgr.resize(static_cast<size_t>(width) * height * 3);
  } catch (const std::bad_alloc&) {
    return DesignNoMemory;
  }
  if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bytes), bgra.data()))) {
    return DesignUnreadable;
  }
  FlattenOnWhite(bgra.data(), static_cast<int32_t>(width), static_cast<int32_t>(height),
                 static_cast<int32_t>(width * 4), design->bgr.data());
  return DesignImported;
}

bool WriteAll(HANDLE file, const unsigned char* data, size_t size) {
  while (size > 0) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 24));
    DWORD written = 0;
    if (!WriteFile(file, data, want, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Writes the page whole under a temporary name and renames it into place: a
// recount never sees a part of it. The rename alone does not signal a watcher
// for last writes, so the first two bytes are then written again.
bool WritePageFile(DibImage* page, const char* finalPath) {
  DibLayout layout;
  DibDescribe(page, &layout);
  char tempPath[kPathSize];
  if (std::snprintf(tempPath, sizeof tempPath, "%s.tmp", finalPath) >= static_cast<int>(sizeof tempPath)) {
    return false;
  }
  {
    ScopedFile temp(CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!temp) return false;
    if (!WriteAll(temp.get(), DibBytes(page), layout.fileSize)) {
      temp.reset();
      DeleteFileA(tempPath);
      return false;
    }
  }
  if (!MoveFileA(tempPath, finalPath)) {
    DeleteFileA(tempPath);
    return false;
  }
  ScopedFile touch(CreateFileA(finalPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (touch) {
    WriteAll(touch.get(), DibBytes(page), 2);
  }
  return true;
}

// The first page number (1 to 5) whose file is missing, or 0.
int NextFreePage(const char* prefix) {
  for (int n = 1; n <= kMaxPages; ++n) {
    char path[kPathSize];
    if (!PageFilePath(prefix, n, path)) return 0;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return n;
  }
  return 0;
}

// The file's name after its last backslash, walking Shift-JIS characters whole.
const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

}  // namespace

DesignImportStatus ImportDesignFile(const char* path, const char* pagePrefix,
                                    DesignImportResult* result) {
  *result = DesignImportResult{};
  result->pageIndex = -1;
  const int pageNumber = NextFreePage(pagePrefix);
  if (pageNumber == 0) return DesignPagesFull;

  std::vector<unsigned char> fileBytes;
  if (!ReadWholeFile(path, &fileBytes)) return DesignUnreadable;
  double xDpi = 0.0;
  double yDpi = 0.0;
  if (!ReadImageDensity(fileBytes.data(), fileBytes.size(), &xDpi, &yDpi)) {
    xDpi = yDpi = kDefaultDesignDpi;
  }
  fileBytes = {};

  DecodedDesign design;
  const DesignImportStatus decoded = Decode(path, &design);
  result->widthMm = design.width * 25.4 / xDpi;
  result->heightMm = design.height * 25.4 / yDpi;
  if (decoded != DesignImported) return decoded;
  switch (PlaceDesign(design.width, design.height, xDpi, yDpi, &result->placement)) {
    case PlacementOk: break;
    case PlacementEmpty: return DesignUnreadable;
    case PlacementTooLarge: return DesignTooLarge;
  }
  DibImage* page = BuildDesignPage(design.bgr.data(), design.width, design.height, result->placement);
  if (!page) return DesignNoMemory;
  design.bgr = {};
  char pagePath[kPathSize];
  const bool written = PageFilePath(pagePrefix, pageNumber, pagePath) && WritePageFile(page, pagePath);
  DibFree(page);
  if (!written) return DesignWriteFailed;
  result->pageIndex = pageNumber - 1;
  return DesignImported;
}

bool PageFileStamp(const char* prefix, int pageIndex, uint64_t* size, uint64_t* time) {
  char path[kPathSize];
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!prefix || !PageFilePath(prefix, pageIndex + 1, path) ||
      !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
    return false;
  }
  *size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  *time = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  return true;
}

void DesignImportMessage(DesignImportStatus status, const char* path,
                         const DesignImportResult& result, char* out, size_t outSize) {
  const char* name = path ? FileNamePart(path) : "";
  switch (status) {
    case DesignImported:
      std::snprintf(out, outSize, "%s を開きました。", name);
      break;
    case DesignUnreadable:
      std::snprintf(out, outSize, "画像ファイル「%s」を読み込めませんでした。\n"
                    "ファイルが壊れていないか確かめてください。", name);
      break;
    case DesignUnsupported:
      std::snprintf(out, outSize, "「%s」はこのツールで開けない形式です。\n"
                    "PNG・JPEG・TIFF・BMP・GIF の画像を選んでください。", name);
      break;
    case DesignTooLarge:
      std::snprintf(out, outSize, "「%s」のデザイン（%.0f × %.0f mm）はA4のページ（210 × 297 mm）より"
                    "大きいため開けません。\n解像度や大きさを確かめてください。",
                    name, result.widthMm, result.heightMm);
      break;
    case DesignPagesFull:
      std::snprintf(out, outSize, "ページはすでに5枚あります。これ以上デザインを開けません。");
      break;
    case DesignWriteFailed:
      std::snprintf(out, outSize, "ページ画像をプログラムのフォルダに書き込めませんでした。");
      break;
    case DesignNoMemory:
      std::snprintf(out, outSize, "メモリが足りないため「%s」を開けませんでした。", name);
      break;
  }
}
