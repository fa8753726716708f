// Splitting a service URL into what an HTTP request needs: host, port, credentials, object
// name and query, plus the request flags for its scheme. Works in place on a writable copy.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

// Request flags, with the values of WinINet's INTERNET_FLAG_RELOAD and INTERNET_FLAG_SECURE.
inline constexpr uint32_t kRequestFlagReload = 0x80000000u;
inline constexpr uint32_t kRequestFlagSecure = 0x00800000u;

// The pieces of a split URL. Every text points into the split copy; null means absent.
struct UrlParts {
  char* host;             // text after the scheme (and credentials) up to ':' or '/'
  int port;               // 80, 443 for "https://", or the number after ':' (0 when unusable)
  uint32_t requestFlags;  // always reload; "https://" adds secure and keeps certificate checks
  char* user;             // text before '@' up to ':'
  char* password;         // text between ':' and '@'
  char* path;             // text after the '/' that ends the host, without that '/'
  char* query;            // text after the first '?' or '&' of the path
};

// Splits `url` in place: separators become terminators and `parts` points into it.
void SplitUrl(char* url, UrlParts* parts);

// One form request worked out from a URL, a verb and form data, before anything is sent.
struct FormRequest {
  ByteBuffer work;      // URL, '&' and data, split in place; every text below lives here
  UrlParts url;
  const char* object;   // object name: the path (with the query for a verb other than POST)
  const char* header;   // extra header, or null
  const char* body;     // request body, or null
  uint32_t bodyLength;
  uint32_t headerLength;
};

inline constexpr char kFormContentType[] = "Content-type: application/x-www-form-urlencoded";

// Joins `url`, '&' and the first `dataLength` bytes of `data`, splits the result, and picks
// object name, header and body: a POST sends the query as its body under the form header,
// any other verb sends no body and requests the path and the query joined with '?'.
// Returns 1, or 0 (and a zeroed request) when the work copy cannot be allocated.
int PrepareFormRequest(const char* url, const char* verb, const char* data, uint32_t dataLength,
                       FormRequest* request);

// Releases the work copy of a prepared request.
void FreeFormRequest(FormRequest* request);

// Splits a copy of `url` for a multipart POST: the query is cut off and dropped, so the
// object name is the path up to its first '?' or '&'. Returns the copy (release it with
// BufferFree after the request is opened), or null when it cannot be allocated.
ByteBuffer SplitUrlForMultipart(const char* url, UrlParts* parts);
