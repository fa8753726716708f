// The multipart body builder.
#include "net/multipart.h"

#include <cstdio>
#include <cstring>

namespace {

// Formats into a fixed text; false when the result does not fit.
template <typename... Args>
bool FormatText(char* out, size_t size, const char* format, Args... args) {
  const int written = std::snprintf(out, size, format, args...);
  return written >= 0 && static_cast<size_t>(written) < size;
}

// Gives up on the body: the bytes collected so far are released and nothing is sent.
void FailBody(MultipartRequest* request) {
  if (request->body != nullptr) BufferFree(request->body);
  request->body = nullptr;
  request->bodyLength = 0;
  request->failed = 1;
}

// Grows the body by `extra` bytes and returns where they go, or null (request failed).
unsigned char* GrowBody(MultipartRequest* request, uint64_t extra) {
  const uint64_t length = uint64_t{request->bodyLength} + extra;
  if (length > UINT32_MAX) {
    FailBody(request);
    return nullptr;
  }
  ByteBuffer grown = BufferResize(request->body, static_cast<size_t>(length));
  if (grown == nullptr) {
    FailBody(request);
    return nullptr;
  }
  request->body = grown;
  return grown + request->bodyLength;
}

void Append(MultipartRequest* request, unsigned char** at, const void* bytes, size_t count) {
  if (count > 0) std::memcpy(*at, bytes, count);
  *at += count;
  request->bodyLength += static_cast<uint32_t>(count);
}

}  // namespace

MultipartRequest* MultipartNewRecord() {
  auto* request = reinterpret_cast<MultipartRequest*>(BufferAlloc(sizeof(MultipartRequest)));
  if (request == nullptr) return nullptr;
  std::memcpy(request->boundary, kMultipartBoundary, sizeof kMultipartBoundary);
  return request;
}

void MultipartFreeRecord(MultipartRequest* request) {
  if (request == nullptr) return;
  if (request->body != nullptr) BufferFree(request->body);
  BufferFree(request);
}

int MultipartAddPart(MultipartRequest* request, const char* name, const void* value,
                     uint32_t valueLength, const char* fileName, const char* contentType) {
  if (request == nullptr || request->failed) return 0;
  if (value == nullptr && valueLength != 0) {
    FailBody(request);
    return 0;
  }
  const bool filePart = fileName != nullptr && fileName[0] != '\0' && contentType != nullptr &&
                        contentType[0] != '\0';

  char delimiter[256];
  char header[1024];
  bool fits = FormatText(delimiter, sizeof delimiter, "--%s%s", request->boundary, "\r\n") &&
              FormatText(header, sizeof header, "Content-Disposition: form-data; name=\"%s\"", name);
  if (fits && filePart) {
    char clause[256];
    char typeLine[256];
    fits = FormatText(clause, sizeof clause, "; filename=\"%s\"%s", fileName, "\r\n") &&
           FormatText(typeLine, sizeof typeLine, "Content-Type: %s", contentType) &&
           std::strlen(header) + std::strlen(clause) + std::strlen(typeLine) < sizeof header;
    if (fits) {
      std::strcat(header, clause);
      std::strcat(header, typeLine);
    }
  }
  fits = fits && std::strlen(header) + 4 < sizeof header;
  if (!fits) {
    // Only the program's own short names go here; a header that does not fit is refused
    // whole rather than sent cut.
    FailBody(request);
    return 0;
  }
  std::strcat(header, "\r\n\r\n");

  const size_t delimiterLength = std::strlen(delimiter);
  const size_t headerLength = std::strlen(header);
  unsigned char* at = GrowBody(request, uint64_t{delimiterLength} + headerLength + 2 + valueLength);
  if (at == nullptr) return 0;
  Append(request, &at, delimiter, delimiterLength);
  Append(request, &at, header, headerLength);
  Append(request, &at, value, valueLength);
  Append(request, &at, "\r\n", 2);
  return 1;
}

int MultipartAddClosing(MultipartRequest* request) {
  if (request == nullptr || request->failed) return 0;
  char closing[256];
  if (!FormatText(closing, sizeof closing, "--%s--\r\n", request->boundary)) {
    FailBody(request);
    return 0;
  }
  const size_t length = std::strlen(closing);
  unsigned char* at = GrowBody(request, length);
  if (at == nullptr) return 0;
  Append(request, &at, closing, length);
  return 1;
}
