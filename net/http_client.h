// The HTTP transport over WinINet: one-shot form requests and multipart uploads. Every call
// is synchronous; replies are copied into the caller's buffer (see ReadReply).
#pragma once

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

// Closes the request's handles and releases it. Returns 1, or 0 for a null request.
int MultipartClose(MultipartRequest* request);
