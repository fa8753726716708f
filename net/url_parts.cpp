// URL splitting for the HTTP transport.
#include "net/url_parts.h"

#include <cstring>

namespace {

// Case-insensitive comparison of the first `count` characters with an ASCII prefix.
bool StartsWithNoCase(const char* text, const char* prefix, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    char a = text[i];
    char b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
    if (a == '\0') return true;
  }
  return true;
}

// Reads the leading decimal digits of `text` as a port; 0 (the scheme's default port to the
// platform) when there are none or the number does not fit a port.
int ReadPort(const char* text) {
  int port = 0;
  bool any = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    any = true;
    port = port * 10 + (*text - '0');
    if (port > 65535) return 0;
  }
  return any ? port : 0;
}

}  // namespace

void SplitUrl(char* url, UrlParts* parts) {
  *parts = UrlParts{};
  parts->port = 80;
  parts->requestFlags = kRequestFlagReload;

  char* host = url;
  if (StartsWithNoCase(url, "http://", 7)) {
    host = url + 7;
  } else if (StartsWithNoCase(url, "https://", 8)) {
    host = url + 8;
    parts->port = 443;
    // Certificate dates and host names stay checked: the requests carry the user's password.
    parts->requestFlags = kRequestFlagReload | kRequestFlagSecure;
  }

  // Credentials: "user:password@" in front of the host, looked for up to the first '/'.
  const size_t hostPartLength = std::strcspn(host, "/");
  if (char* at = static_cast<char*>(std::memchr(host, '@', hostPartLength))) {
    *at = '\0';
    parts->user = host;
    if (char* colon = std::strchr(host, ':')) {
      *colon = '\0';
      parts->password = colon + 1;
    }
    host = at + 1;
  }
  parts->host = host;

  // Host and port up to the '/' that starts the path.
  char* scan = host;
  for (; *scan != '\0' && *scan != '/'; ++scan) {
    if (*scan == ':') {
      *scan = '\0';
      parts->port = ReadPort(scan + 1);
    }
  }
  if (*scan == '/') {
    *scan = '\0';
    parts->path = scan + 1;
    // The query starts after the first '?' or '&' of the path.
    char* separator = parts->path + std::strcspn(parts->path, "?&");
    if (*separator != '\0') {
      *separator = '\0';
      parts->query = separator + 1;
    }
  }
}

int PrepareFormRequest(const char* url, const char* verb, const char* data, uint32_t dataLength,
                       FormRequest* request) {
  *request = FormRequest{};
  const size_t urlLength = std::strlen(url);
  ByteBuffer work = BufferAlloc(urlLength + dataLength + 16);
  if (work == nullptr) return 0;
  char* text = reinterpret_cast<char*>(work);
  std::memcpy(text, url, urlLength);
  text[urlLength] = '&';
  std::memcpy(text + urlLength + 1, data, dataLength);
  // The block is zero-filled, so the joined text is already terminated. Data with a NUL in
  // it ends there, as text does.
  request->work = work;
  SplitUrl(text, &request->url);
  request->object = request->url.path;

  const char* query = request->url.query;
  if (StartsWithNoCase(verb, "POST", 4)) {
    request->header = kFormContentType;
    request->headerLength = sizeof kFormContentType - 1;
    request->body = query;
    request->bodyLength = query ? static_cast<uint32_t>(std::strlen(query)) : 0;
  } else if (request->url.path && request->url.path[0] != '\0' && query && query[0] != '\0') {
    // The query travels in the object name: put the separator back as '?'.
    request->url.query[-1] = '?';
  }
  return 1;
}

void FreeFormRequest(FormRequest* request) {
  if (request->work != nullptr) BufferFree(request->work);
  *request = FormRequest{};
}

ByteBuffer SplitUrlForMultipart(const char* url, UrlParts* parts) {
  const size_t urlLength = std::strlen(url);
  ByteBuffer work = BufferAlloc(urlLength + 32);
  if (work == nullptr) {
    *parts = UrlParts{};
    return nullptr;
  }
  std::memcpy(work, url, urlLength);
  SplitUrl(reinterpret_cast<char*>(work), parts);
  parts->query = nullptr;
  return work;
}
