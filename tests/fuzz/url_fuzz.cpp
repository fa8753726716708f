// Fuzz target for the request preparation: every input is a URL and form data, pushed through
// the URL splitter, the form request and the multipart split, and then used as the value of a
// multipart part. Reads or writes outside a block show up under AddressSanitizer; the split
// pieces are also checked to lie inside the split copy.
//   the first byte picks the verb, the rest is the URL, a NUL, then the form data
// Build and run (clang's libFuzzer, under AddressSanitizer and UndefinedBehaviorSanitizer):
//   clang++ -std=c++20 -g -O1 -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
//     tests/fuzz/url_fuzz.cpp net/url_parts.cpp net/byte_buffer.cpp net/multipart.cpp \
//     net/credentials.cpp -o build/fuzz/url_fuzz
//   build/fuzz/url_fuzz -max_total_time=60 -max_len=4096 build/fuzz/url_corpus
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/credentials.h"
#include "net/multipart.h"
#include "net/url_parts.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A piece is absent or a terminated text inside [begin, end).
void CheckInside(const char* piece, const char* begin, const char* end) {
  if (piece == nullptr) return;
  Check(piece >= begin && piece < end);
  Check(std::memchr(piece, '\0', static_cast<size_t>(end - piece)) != nullptr);
}

void CheckParts(const UrlParts& parts, const char* begin, const char* end) {
  Check(parts.host != nullptr);
  for (const char* piece : {parts.host, parts.user, parts.password, parts.path, parts.query}) {
    CheckInside(piece, begin, end);
  }
  Check(parts.port >= 0 && parts.port <= 65535);
  Check((parts.requestFlags & kRequestFlagReload) != 0);
  Check((parts.requestFlags & 0x3000u) == 0);  // certificate errors are never ignored
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* verb = (data[0] & 1) ? "POST" : "get";
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.find('\0');
  const std::string url = rest.substr(0, split);
  const std::string form = split == std::string::npos ? std::string() : rest.substr(split + 1);

  std::string copy = url;
  UrlParts parts;
  SplitUrl(copy.data(), &parts);
  CheckParts(parts, copy.data(), copy.data() + copy.size() + 1);

  FormRequest request;
  if (PrepareFormRequest(url.c_str(), verb, form.data(), static_cast<uint32_t>(form.size()), &request)) {
    const char* begin = reinterpret_cast<const char*>(request.work);
    const char* end = begin + BufferSize(request.work);
    CheckParts(request.url, begin, end);
    CheckInside(request.object, begin, end);
    CheckInside(request.body, begin, end);
    if (request.body != nullptr) Check(std::strlen(request.body) == request.bodyLength);
    FreeFormRequest(&request);
  }

  UrlParts multipartParts;
  if (ByteBuffer work = SplitUrlForMultipart(url.c_str(), &multipartParts)) {
    const char* begin = reinterpret_cast<const char*>(work);
    CheckParts(multipartParts, begin, begin + BufferSize(work));
    Check(multipartParts.query == nullptr);
    BufferFree(work);
  }

  if (MultipartRequest* multipart = MultipartNewRecord()) {
    const bool added = MultipartAddPart(multipart, "title", form.data(),
                                        static_cast<uint32_t>(form.size()), nullptr, nullptr) == 1;
    Check(added == (MultipartAddClosing(multipart) == 1));
    Check(multipart->bodyLength <= BufferSize(multipart->body));
    MultipartFreeRecord(multipart);
  }

  CredentialsAcceptable(url.c_str(), form.c_str());
  return 0;
}
