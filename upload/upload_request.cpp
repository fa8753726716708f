// Card title, text fields and dialog placement of the upload.
#include "upload/upload_request.h"

#include <cstdio>
#include <cstring>

#include "net/multipart.h"

namespace {

// First byte of a two-byte Shift-JIS character.
bool IsShiftJisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

void CutCardTitle(const char* text, char* out) {
  size_t length = 0;
  if (text != nullptr) {
    while (text[length] != '\0') {
      const size_t step =
          IsShiftJisLeadByte(static_cast<unsigned char>(text[length])) && text[length + 1] != '\0' ? 2 : 1;
      if (length + step > static_cast<size_t>(kCardTitleLimit)) break;
      length += step;
    }
    std::memcpy(out, text, length);
  }
  out[length] = '\0';
}

void FormatUploadFields(const UploadCardData& card, UploadField fields[kUploadTextFieldCount]) {
  static constexpr const char* kNames[kUploadTextFieldCount] = {
      "application", "mode", "title", "width", "height", "nuritashi", "id", "pwd"};
  for (int i = 0; i < kUploadTextFieldCount; ++i) fields[i].name = kNames[i];
  std::snprintf(fields[0].value, kUploadValueSize, "%s", "norvalisk");
  std::snprintf(fields[1].value, kUploadValueSize, "%s", "upload");
  std::snprintf(fields[2].value, kUploadValueSize, "%s", card.title ? card.title : "");
  std::snprintf(fields[3].value, kUploadValueSize, "%.2f", static_cast<double>(card.widthMm));
  std::snprintf(fields[4].value, kUploadValueSize, "%.2f", static_cast<double>(card.heightMm));
  std::snprintf(fields[5].value, kUploadValueSize, "%.2f", static_cast<double>(card.bleedMm));
  std::snprintf(fields[6].value, kUploadValueSize, "%s", card.userId ? card.userId : "");
  std::snprintf(fields[7].value, kUploadValueSize, "%s", card.password ? card.password : "");
}

int AddUploadTextParts(MultipartRequest* request, const UploadCardData& card) {
  UploadField fields[kUploadTextFieldCount];
  FormatUploadFields(card, fields);
  int added = 1;
  for (const UploadField& field : fields) {
    const uint32_t length = static_cast<uint32_t>(std::strlen(field.value));
    if (!MultipartAddPart(request, field.name, field.value, length, nullptr, nullptr)) added = 0;
  }
  return added;
}

int CentredEdge(int ownerStart, int ownerSize, int size) { return ownerStart + (ownerSize - size) / 2; }

bool CardPngPath(const char* folder, const char* name, char* out, size_t size) {
  // An unknown program folder would put the file at the root of the current drive.
  if (folder == nullptr || folder[0] == '\0') {
    if (size > 0) out[0] = '\0';
    return false;
  }
  const int written = std::snprintf(out, size, "%s\\%s", folder, name);
  if (written < 0 || static_cast<size_t>(written) >= size) {
    if (size > 0) out[0] = '\0';
    return false;
  }
  return true;
}
