// The HTTP transport over WinINet: one-shot form requests and multipart uploads. Every call
// is synchronous; replies are copied into the caller's buffer (see ReadReply).
#pragma once

#include <cstdint>

#include "net/multipart.h"

// Sends the form data held in `buffer` (NUL-terminated) to `url` with `verb` and copies the
// reply into the same buffer of `capacity` bytes. Returns the number of reply bytes stored;
// the reply is terminated only when it filled capacity − 1 bytes. 0 when the request could
// not be opened or sent.
int PostForm(const char* url, const char* verb, char* buffer, int capacity);

// Opens a multipart POST to `url` with the user agent `agent`; null on failure.
MultipartRequest* MultipartOpen(const char* agent, const char* url);

// Closes the body, sends it with the multipart headers and reads the reply into `reply`
// (which may be null). The body is released whatever happens. Returns the reply bytes
// stored, or 0 when the request failed, was never sent (a part could not be added), or is null.
int MultipartSend(MultipartRequest* request, char* reply, int capacity);

// Piece size of a request body: the body goes out in pieces of this many bytes.
inline constexpr uint32_t kSendPieceSize = 64 * 1024;

// Follows a multipart send from the sending thread. Every member may be left null or 0.
struct SendObserver {
  void* context;
  // Called before the request connects and sends its header.
  void (*connecting)(void* context);
  // Called once the header is out (sent 0) and after every piece of the body.
  void (*sent)(void* context, uint32_t sent, uint32_t total);
  // Asked before the request connects and before every piece; true stops the send, which
  // then fails. A stop cannot cut short a call already under way: the time limits below
  // bound how long that call may take.
  bool (*stopped)(void* context);
  // Time limits handed to WinINet for connecting and for each send and receive, in
  // milliseconds; 0 keeps WinINet's own.
  uint32_t connectTimeoutMs;
  uint32_t transferTimeoutMs;
  // Set by the send: the system error of the call that failed, or 0.
  uint32_t error;
};

// MultipartSend with the body sent in pieces of kSendPieceSize through HttpSendRequestEx and
// InternetWriteFile, reporting to `observer` (may be null). The bytes on the wire are those
// of a send in one call: the same request line, headers and body.
int MultipartSendObserved(MultipartRequest* request, char* reply, int capacity,
                          SendObserver* observer);

// Closes the request's handles and releases it. Returns 1, or 0 for a null request.
int MultipartClose(MultipartRequest* request);
