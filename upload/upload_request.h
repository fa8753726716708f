// The card data of an upload request: the card title as the upload dialog
// keeps it, the eight text fields in the order the service expects them, and
// the place of a dialog centred on its owner.
#pragma once

#include <cstddef>

struct MultipartRequest;

// Bytes of the card title kept from the upload dialog.
inline constexpr int kCardTitleLimit = 47;
// Capacity of one formatted field value.
inline constexpr int kUploadValueSize = 256;
inline constexpr int kUploadTextFieldCount = 8;

// File names, content type and multipart names of the two card images.
inline constexpr char kFrontPngName[] = "front.png";
inline constexpr char kBackPngName[] = "back.png";
inline constexpr char kPngContentType[] = "image/png";

// One text field of the upload request.
struct UploadField {
  const char* name;
  char value[kUploadValueSize];
};

// What the upload sends besides the images.
struct UploadCardData {
  const char* title;
  float widthMm;
  float heightMm;
  float bleedMm;
  const char* userId;
  const char* password;
};

// Copies at most kCardTitleLimit bytes of the Shift-JIS `text` into `out`
// (at least kCardTitleLimit + 1 bytes) and terminates it. A double-byte
// character that would be split at the limit is left out whole.
void CutCardTitle(const char* text, char* out);

// Fills the eight text fields in request order: application, mode, title,
// width, height, nuritashi ("%.2f" of the millimetres), id, pwd.
void FormatUploadFields(const UploadCardData& card, UploadField fields[kUploadTextFieldCount]);

// Adds the eight text fields to `request`. Returns 1 when all were added.
int AddUploadTextParts(MultipartRequest* request, const UploadCardData& card);

// Left or top edge of a dialog of `size` centred on an owner at `ownerStart`
// of `ownerSize`: the difference of the sizes halved, truncated toward zero.
int CentredEdge(int ownerStart, int ownerSize, int size);

// Full path of `name` in `folder` ("%s\%s"); false, with `out` empty, when the
// folder is empty (not known) or the path does not fit `size`.
bool CardPngPath(const char* folder, const char* name, char* out, size_t size);
