// One multipart/form-data POST in the making: its internet handles and the body built
// part by part in memory before it is sent.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

// The boundary of every multipart body; a delimiter line is two hyphens and this text.
inline constexpr char kMultipartBoundary[] = "-7d836b1a4d0b3c";

// The request record. It is allocated as a ByteBuffer and owns its handles and its body.
struct MultipartRequest {
  void* internet;       // HINTERNET from InternetOpenA
  void* connection;     // HINTERNET from InternetConnectA
  void* request;        // HINTERNET from HttpOpenRequestA; null until opened
  char boundary[256];   // always kMultipartBoundary
  ByteBuffer body;      // the body built so far, or null
  uint32_t bodyLength;  // bytes of the body in use
  int32_t failed;       // 1 once a part could not be added: the request must not be sent
};

// Allocates a zero-filled record with the boundary set and no handles; null on failure.
MultipartRequest* MultipartNewRecord();

// Releases the body (when there is one) and the record; the handles are the caller's.
void MultipartFreeRecord(MultipartRequest* request);

// Appends one part: a file part when both `fileName` and `contentType` are non-empty,
// otherwise a text field. The `valueLength` value bytes are copied as they are (NUL and
// CR LF included). Returns 1 when the part was added. Returns 0 for a null request, and
// when the body cannot grow: the request is then marked failed, its body is released and
// every later part and the closing delimiter are refused, so that it is never sent.
int MultipartAddPart(MultipartRequest* request, const char* name, const void* value,
                     uint32_t valueLength, const char* fileName, const char* contentType);

// Appends the closing delimiter "--<boundary>--" and CR LF. Returns 1, or 0 for a null or
// failed request (marking it failed when the body cannot grow).
int MultipartAddClosing(MultipartRequest* request);
