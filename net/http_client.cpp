// WinINet calls of the HTTP transport. The parsing, the body and the reply loop live in
// portable files; this file only opens, sends, reads and closes.
#include "net/http_client.h"

#include <windows.h>

#include <wininet.h>

#include <cstdio>
#include <cstring>

#include "base/scoped_handle.h"
#include "net/reply_reader.h"
#include "net/url_parts.h"

static_assert(kRequestFlagReload == INTERNET_FLAG_RELOAD);
static_assert(kRequestFlagSecure == INTERNET_FLAG_SECURE);

namespace {

constexpr DWORD kHeaderModifiers = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;

constexpr char kAcceptHeader[] =
    "Accept: text/html, image/png, image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, "
    "application/x-shockwave-flash, */*\r\n";
constexpr char kLanguageHeader[] = "Accept-language: ja\r\n";
constexpr char kProxyHeader[] = "Proxy-Connection: Keep-Alive\r\n";

bool ReadInternetChunk(void* source, unsigned char* chunk, uint32_t size, uint32_t* got) {
  DWORD read = 0;
  const BOOL ok = InternetReadFile(static_cast<HINTERNET>(source), chunk, size, &read);
  *got = read;
  return ok == TRUE;
}

HINTERNET Connect(HINTERNET internet, const UrlParts& url) {
  return InternetConnectA(internet, url.host, static_cast<INTERNET_PORT>(url.port), url.user,
                          url.password, INTERNET_SERVICE_HTTP, 0, 0);
}

}  // namespace

int PostForm(const char* url, const char* verb, char* buffer, int capacity) {
  const size_t dataLength = capacity > 0 ? strnlen(buffer, static_cast<size_t>(capacity)) : 0;
  FormRequest form;
  if (!PrepareFormRequest(url, verb, buffer, static_cast<uint32_t>(dataLength), &form)) return 0;

  int count = 0;
  {
    // Closed in reverse: request, connection, session.
    ScopedInternet internet(
        InternetOpenA("Application", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ScopedInternet connection(internet ? Connect(internet.get(), form.url) : nullptr);
    ScopedInternet request(connection ? HttpOpenRequestA(connection.get(), verb, form.object,
                                                         nullptr, nullptr, nullptr,
                                                         form.url.requestFlags, 0)
                                      : nullptr);
    if (request &&
        HttpSendRequestA(request.get(), form.header, form.header ? form.headerLength : 0,
                         const_cast<char*>(form.body), form.bodyLength) == TRUE) {
      count = ReadReply(ReadInternetChunk, request.get(), buffer, capacity);
    }
  }
  FreeFormRequest(&form);
  return count;
}

MultipartRequest* MultipartOpen(const char* agent, const char* url) {
  UrlParts parts;
  ByteBuffer work = SplitUrlForMultipart(url, &parts);
  if (work == nullptr) return nullptr;
  MultipartRequest* request = MultipartNewRecord();
  if (request != nullptr) {
    ScopedInternet internet(
        InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ScopedInternet connection(internet ? Connect(internet.get(), parts) : nullptr);
    ScopedInternet opened(connection ? HttpOpenRequestA(connection.get(), "POST", parts.path,
                                                        nullptr, nullptr, nullptr,
                                                        parts.requestFlags, 0)
                                     : nullptr);
    if (opened) {
      // The record holds the three handles from here; MultipartClose closes them.
      request->internet = internet.release();
      request->connection = connection.release();
      request->request = opened.release();
    } else {
      MultipartClose(request);
      request = nullptr;
    }
  }
  BufferFree(work);
  return request;
}

int MultipartSend(MultipartRequest* request, char* reply, int capacity) {
  return MultipartSendObserved(request, reply, capacity, nullptr);
}

namespace {

// Gives up a request whose body did not go out whole, so that its connection is closed
// rather than kept for the next request. The reply is asked for with the shortest wait:
// it cannot come, and WinINet then knows the connection holds no reply it could read to
// the end. (Wine's WinINet otherwise puts a connection it reused back into its pool with
// half a body in it, and the next request to the service goes out in the middle of that
// body.)
void AbandonRequest(HINTERNET handle) {
  DWORD shortest = 1;
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &shortest, sizeof shortest);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &shortest, sizeof shortest);
  HttpEndRequestA(handle, nullptr, 0, 0);
}

// Sends the body through an open request in pieces; the header goes out with
// HttpSendRequestEx, which announces the whole length, so the request is byte
// for byte the one HttpSendRequest would make. Returns true when the whole
// request is out and its reply has begun.
bool SendInPieces(HINTERNET handle, const unsigned char* body, uint32_t length,
                  SendObserver* observer) {
  SendObserver none = {};
  SendObserver& watch = observer != nullptr ? *observer : none;
  if (watch.connectTimeoutMs != 0) {
    DWORD value = watch.connectTimeoutMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
  }
  if (watch.transferTimeoutMs != 0) {
    DWORD value = watch.transferTimeoutMs;
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
  }
  auto fail = [&] {
    watch.error = GetLastError();
    return false;
  };
  auto stopped = [&] {
    if (watch.stopped == nullptr || !watch.stopped(watch.context)) return false;
    watch.error = ERROR_INTERNET_OPERATION_CANCELLED;
    return true;
  };
  if (stopped()) return false;
  if (watch.connecting != nullptr) watch.connecting(watch.context);
  INTERNET_BUFFERSA buffers = {};
  buffers.dwStructSize = sizeof buffers;
  buffers.dwBufferTotal = length;
  if (HttpSendRequestExA(handle, &buffers, nullptr, 0, 0) != TRUE) return fail();
  if (watch.sent != nullptr) watch.sent(watch.context, 0, length);
  uint32_t sent = 0;
  while (sent < length) {
    if (stopped()) return false;
    const DWORD piece = length - sent < kSendPieceSize ? length - sent : kSendPieceSize;
    DWORD written = 0;
    if (InternetWriteFile(handle, body + sent, piece, &written) != TRUE) return fail();
    if (written == 0) {
      watch.error = ERROR_INTERNET_CONNECTION_ABORTED;
      return false;
    }
    sent += written;
    if (watch.sent != nullptr) watch.sent(watch.context, sent, length);
  }
  if (stopped()) return false;
  if (HttpEndRequestA(handle, nullptr, 0, 0) != TRUE) return fail();
  return true;
}

}  // namespace

int MultipartSendObserved(MultipartRequest* request, char* reply, int capacity,
                          SendObserver* observer) {
  if (observer != nullptr) observer->error = 0;
  if (request == nullptr) return 0;
  if (!MultipartAddClosing(request)) {
    // A part was lost: the upload fails as a whole and nothing goes out.
    if (request->body != nullptr) BufferFree(request->body);
    request->body = nullptr;
    request->bodyLength = 0;
    return 0;
  }
  HINTERNET handle = static_cast<HINTERNET>(request->request);
  char contentType[300];
  std::snprintf(contentType, sizeof contentType, "Content-type: multipart/form-data; boundary=%s\r\n",
                request->boundary);
  const char* headers[] = {kAcceptHeader, kLanguageHeader, contentType, kProxyHeader};
  for (const char* header : headers) {
    HttpAddRequestHeadersA(handle, header, static_cast<DWORD>(std::strlen(header)), kHeaderModifiers);
  }
  const bool sent = SendInPieces(handle, static_cast<const unsigned char*>(request->body),
                                 request->bodyLength, observer);
  BufferFree(request->body);
  request->body = nullptr;
  request->bodyLength = 0;
  if (!sent) AbandonRequest(handle);
  const int count = sent ? ReadReply(ReadInternetChunk, handle, reply, capacity) : 0;
  return count;
}

int MultipartClose(MultipartRequest* request) {
  if (request == nullptr) return 0;
  {
    // Taken back from the record and closed in reverse: request, connection, session.
    ScopedInternet internet(static_cast<HINTERNET>(request->internet));
    ScopedInternet connection(static_cast<HINTERNET>(request->connection));
    ScopedInternet opened(static_cast<HINTERNET>(request->request));
  }
  request->request = request->connection = request->internet = nullptr;
  MultipartFreeRecord(request);
  return 1;
}
