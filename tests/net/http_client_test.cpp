// Tests of the HTTP transport against the reference service on loopback: the bytes that
// arrive there, and how replies, refusals and broken connections come back.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <windows.h>

#include <wininet.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/service_addresses.h"
#include "service_peer.h"
#include "support/win_test_util.h"

namespace {

constexpr char kApiPath[] = "/admin/norvalisk/norvix_api.php";
constexpr int kCapacity = 2048;

std::string ApiAt(int port) {
  return "http://127.0.0.1:" + std::to_string(port) + kApiPath;
}

// The alphabet over and over: the service's long reply.
std::string Letters(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>('A' + i % 26));
  return text;
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServicePort() == 0) GTEST_SKIP() << "NORVALISK_TEST_SERVICE is not set";
    ResetService();
    api_ = ApiAt(ServicePort());
  }
  void TearDown() override {
    if (ServicePort() != 0) ResetService();
  }

  // Posts `data` with PostForm and returns the count; the buffer is kept in buffer_.
  int Post(const std::string& data, const char* verb = "POST", const std::string& url = "") {
    buffer_.assign(kCapacity, '\0');
    std::memcpy(buffer_.data(), data.c_str(), data.size() + 1);
    return PostForm(url.empty() ? api_.c_str() : url.c_str(), verb, buffer_.data(), kCapacity);
  }

  std::string Reply(int count) const { return std::string(buffer_.data(), static_cast<size_t>(count)); }

  std::string api_;
  std::vector<char> buffer_;
};

// ---- PostForm ----

using PostFormTest = ServiceTest;

TEST_F(PostFormTest, LoginRequestArrivesAsSpecified) {
  const std::string body = "application=norvalisk&mode=login&id=" + UniqueId("pf") + "&pwd=pass01";
  Post(body);
  ASSERT_EQ(RecordedRequestCount(), 1);
  const RawRequest request = LastRecordedRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, kApiPath);
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.Header("Content-type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(request.Header("User-Agent"), "Application");
  EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(ServicePort()));
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(body.size()));
  EXPECT_EQ(request.body, body);
}

TEST_F(PostFormTest, RegistrationThenLoginAnswerTrueUnterminated) {
  const std::string id = UniqueId("pf");
  const std::string regist = "application=norvalisk&mode=regist&id=" + id + "&pwd=pass01";
  ASSERT_EQ(Post(regist), 4);
  EXPECT_EQ(Reply(4), "TRUE");
  const std::string login = "application=norvalisk&mode=login&id=" + id + "&pwd=pass01";
  ASSERT_EQ(Post(login), 4);
  EXPECT_EQ(Reply(4), "TRUE");
  // The reply overwrote the start of the body; the byte after it is still the body's.
  EXPECT_EQ(buffer_[4], login[4]);
}

TEST_F(PostFormTest, RefusalTextComesBackUnchanged) {
  const std::string text = "ただいまメンテナンス中です。";
  ServiceControl("set?mode=refuse&text=" + QueryEncode(text));
  const int count = Post("application=norvalisk&mode=login&id=abcd&pwd=efgh");
  EXPECT_EQ(Reply(count), text);
}

TEST_F(PostFormTest, TrueWithLineEndIsAnotherText) {
  ServiceControl("set?mode=reply&text=" + QueryEncode("TRUE\r\n"));
  const int count = Post("a=1");
  EXPECT_EQ(Reply(count), "TRUE\r\n");
}

// The service holds the reply until a second thread, having seen the request
// held, releases it: the call waits for it however long that takes.
TEST_F(PostFormTest, HeldReplyIsWaitedFor) {
  ServiceControl("set?hold=1");
  std::atomic<bool> released{false};
  std::thread releaser([&] {
    for (int tries = 0; tries < 3000 && ServiceState("held") < 1; ++tries) Sleep(10);
    released = true;
    ServiceControl("release");
  });
  const int count = Post("application=norvalisk&mode=login&id=abcd&pwd=efgh");
  const bool returnedAfterRelease = released;
  releaser.join();
  EXPECT_TRUE(returnedAfterRelease);
  EXPECT_EQ(ServiceState("held"), 1);
  EXPECT_GT(count, 0);
}

TEST_F(PostFormTest, DroppedConnectionGivesNothing) {
  ServiceControl("set?mode=drop");
  EXPECT_EQ(Post("a=1"), 0);
  // It did arrive (WinINet itself may send it once more on a fresh connection).
  EXPECT_GE(RecordedRequestCount(), 1);
}

TEST_F(PostFormTest, RefusedConnectionGivesNothing) {
  EXPECT_EQ(Post("a=1", "POST", ApiAt(ClosedPort())), 0);
  EXPECT_EQ(RecordedRequestCount(), 0);
}

// Replies around the buffer's size: cut at capacity − 1 and terminated, or whole.
TEST_F(PostFormTest, LongRepliesAreCutAtTheBuffer) {
  struct Case {
    size_t length;
    int count;
    bool terminated;
  };
  for (const Case& c : {Case{5000, 2047, true}, Case{2048, 2047, true}, Case{2047, 2047, true},
                        Case{2046, 2046, false}}) {
    SCOPED_TRACE(c.length);
    ServiceControl("set?mode=long&length=" + std::to_string(c.length));
    buffer_.assign(kCapacity, '#');
    buffer_[0] = '\0';
    const int count = PostForm(api_.c_str(), "POST", buffer_.data(), kCapacity);
    ASSERT_EQ(count, c.count);
    EXPECT_EQ(Reply(count), Letters(static_cast<size_t>(c.count)));
    EXPECT_EQ(buffer_[static_cast<size_t>(count)], c.terminated ? '\0' : '#');
  }
}

TEST_F(PostFormTest, OtherVerbSendsTheDataInTheObjectName) {
  Post("y=2", "GET", ServiceBase() + "/p.php?x=1");
  const RawRequest request = LastRecordedRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/p.php?x=1&y=2");
  EXPECT_FALSE(request.HasHeader("Content-type"));
  EXPECT_EQ(request.body, "");
}

TEST_F(PostFormTest, QueryOfTheUrlJoinsThePostBody) {
  Post("y=2", "POST", api_ + "?x=1");
  const RawRequest request = LastRecordedRequest();
  EXPECT_EQ(request.target, kApiPath);
  EXPECT_EQ(request.body, "x=1&y=2");
}

// ---- MultipartOpen, MultipartAddPart, MultipartSend, MultipartClose ----

using MultipartRequestTest = ServiceTest;

const std::string kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01", 20);

// The upload body as the service must see it, written out independently of the builder.
std::string ExpectedUploadBody(const std::string& id) {
  auto text = [](const std::string& name, const std::string& value) {
    return "---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
  };
  return text("application", "norvalisk") + text("mode", "upload") + text("title", "名刺") +
         text("width", "91.00") + text("height", "55.00") + text("nuritashi", "2.00") +
         text("id", id) + text("pwd", "pass01") +
         "---7d836b1a4d0b3c\r\nContent-Disposition: form-data; name=\"front\"; "
         "filename=\"front.png\"\r\nContent-Type: image/png\r\n\r\n" +
         kPng + "\r\n---7d836b1a4d0b3c--\r\n";
}

void AddUploadFields(MultipartRequest* request, const std::string& id) {
  const std::pair<const char*, std::string> fields[] = {
      {"application", "norvalisk"}, {"mode", "upload"},   {"title", "名刺"},
      {"width", "91.00"},           {"height", "55.00"}, {"nuritashi", "2.00"},
      {"id", id},                   {"pwd", "pass01"},
  };
  for (const auto& [name, value] : fields) {
    ASSERT_EQ(MultipartAddPart(request, name, value.data(), static_cast<uint32_t>(value.size()),
                               nullptr, nullptr),
              1);
  }
}

TEST_F(MultipartRequestTest, UploadArrivesByteForByte) {
  const std::string id = UniqueId("mp");
  ASSERT_EQ(Post("application=norvalisk&mode=regist&id=" + id + "&pwd=pass01"), 4);

  MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
  ASSERT_NE(request, nullptr);
  AddUploadFields(request, id);
  ASSERT_EQ(MultipartAddPart(request, "front", kPng.data(), static_cast<uint32_t>(kPng.size()),
                             "front.png", "image/png"),
            1);
  char reply[kCapacity] = {};
  const int count = MultipartSend(request, reply, kCapacity);
  EXPECT_EQ(request->body, nullptr);
  EXPECT_EQ(request->bodyLength, 0u);
  EXPECT_EQ(MultipartClose(request), 1);
  EXPECT_EQ(std::string(reply, static_cast<size_t>(count)), "TRUE");

  const RawRequest sent = LastRecordedRequest();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.target, kApiPath);
  EXPECT_EQ(sent.Header("User-Agent"), "Norvalisk");
  EXPECT_EQ(sent.Header("Accept"),
            "text/html, image/png, image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
            "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, "
            "application/x-shockwave-flash, */*");
  EXPECT_EQ(sent.Header("Accept-language"), "ja");
  EXPECT_EQ(sent.Header("Content-type"), "multipart/form-data; boundary=-7d836b1a4d0b3c");
  EXPECT_EQ(sent.Header("Proxy-Connection"), "Keep-Alive");
  const std::string expected = ExpectedUploadBody(id);
  EXPECT_EQ(sent.Header("Content-Length"), std::to_string(expected.size()));
  EXPECT_EQ(sent.body, expected);
}

// The body goes out in pieces: the request on the wire is byte for byte the
// one a single HttpSendRequest call makes with the same record, and every
// piece is reported once it is out.
TEST_F(MultipartRequestTest, SendInPiecesMatchesOneCallByteForByte) {
  const std::string id = UniqueId("pc");
  ASSERT_EQ(Post("application=norvalisk&mode=regist&id=" + id + "&pwd=pass01"), 4);
  // A file of several pieces and a bit, with every byte value.
  std::string file = kPng;
  while (file.size() < 3 * kSendPieceSize + 12345) file.push_back(static_cast<char>(file.size() * 7));
  auto build = [&] {
    MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
    if (request == nullptr) return request;
    AddUploadFields(request, id);
    MultipartAddPart(request, "front", file.data(), static_cast<uint32_t>(file.size()), "front.png",
                     "image/png");
    return request;
  };

  // Reference: the headers and the whole body in one HttpSendRequestA call.
  MultipartRequest* once = build();
  ASSERT_NE(once, nullptr);
  ASSERT_EQ(MultipartAddClosing(once), 1);
  HINTERNET handle = static_cast<HINTERNET>(once->request);
  const char* headers[] = {
      "Accept: text/html, image/png, image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
      "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, "
      "application/x-shockwave-flash, */*\r\n",
      "Accept-language: ja\r\n",
      "Content-type: multipart/form-data; boundary=-7d836b1a4d0b3c\r\n",
      "Proxy-Connection: Keep-Alive\r\n"};
  for (const char* header : headers) {
    HttpAddRequestHeadersA(handle, header, static_cast<DWORD>(std::strlen(header)),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  }
  ASSERT_TRUE(HttpSendRequestA(handle, nullptr, 0, once->body, once->bodyLength));
  char reply[kCapacity] = {};
  DWORD got = 0;
  InternetReadFile(handle, reply, sizeof reply - 1, &got);
  EXPECT_EQ(std::string(reply, got), "TRUE");
  MultipartClose(once);
  const std::string inOneCall = ServiceControl("last");

  // The same through MultipartSendObserved, watching the pieces.
  struct Seen {
    int connecting = 0;
    std::vector<uint32_t> sent;
    uint32_t total = 0;
  } seen;
  SendObserver observer = {};
  observer.context = &seen;
  observer.connecting = [](void* context) { ++static_cast<Seen*>(context)->connecting; };
  observer.sent = [](void* context, uint32_t sent, uint32_t total) {
    static_cast<Seen*>(context)->sent.push_back(sent);
    static_cast<Seen*>(context)->total = total;
  };
  MultipartRequest* pieces = build();
  ASSERT_NE(pieces, nullptr);
  std::memset(reply, 0, sizeof reply);
  const int count = MultipartSendObserved(pieces, reply, kCapacity, &observer);
  MultipartClose(pieces);
  EXPECT_EQ(std::string(reply, static_cast<size_t>(count)), "TRUE");
  EXPECT_EQ(observer.error, 0u);
  const std::string inPieces = ServiceControl("last");
  ASSERT_GT(inOneCall.size(), file.size());
  EXPECT_TRUE(inPieces == inOneCall) << "the two requests differ";

  EXPECT_EQ(seen.connecting, 1);
  const uint32_t body = static_cast<uint32_t>(ParseRawRequest(inPieces).body.size());
  EXPECT_EQ(seen.total, body);
  std::vector<uint32_t> expected = {0};
  for (uint32_t at = kSendPieceSize; at < body; at += kSendPieceSize) expected.push_back(at);
  expected.push_back(body);
  EXPECT_EQ(seen.sent, expected);
}

TEST_F(MultipartRequestTest, RefusedUploadReturnsTheServiceText) {
  MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
  ASSERT_NE(request, nullptr);
  AddUploadFields(request, "nobody1");
  char reply[kCapacity] = {};
  const int count = MultipartSend(request, reply, kCapacity);
  MultipartClose(request);
  EXPECT_EQ(std::string(reply, static_cast<size_t>(count)), "IDまたはパスワードが正しくありません。");
}

TEST_F(MultipartRequestTest, EmptyBodyIsTheClosingDelimiter) {
  MultipartRequest* request = MultipartOpen("Norvalisk", (api_ + "?x=1&y=2").c_str());
  ASSERT_NE(request, nullptr);
  char reply[kCapacity] = {};
  MultipartSend(request, reply, kCapacity);
  MultipartClose(request);
  const RawRequest sent = LastRecordedRequest();
  EXPECT_EQ(sent.target, kApiPath);  // the query of the URL is dropped
  EXPECT_EQ(sent.body, "---7d836b1a4d0b3c--\r\n");
}

TEST_F(MultipartRequestTest, PartThatCannotBeAddedStopsTheUpload) {
  MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
  ASSERT_NE(request, nullptr);
  AddUploadFields(request, "abcd");
  const char tiny[1] = {'x'};
  EXPECT_EQ(MultipartAddPart(request, "front", tiny, 0xFFFFFFF0u, "front.png", "image/png"), 0);
  char reply[kCapacity] = {};
  EXPECT_EQ(MultipartSend(request, reply, kCapacity), 0);
  EXPECT_EQ(MultipartClose(request), 1);
  EXPECT_EQ(RecordedRequestCount(), 0);  // nothing was sent
  EXPECT_STREQ(reply, "");
}

TEST_F(MultipartRequestTest, NullReplyBufferStillSends) {
  MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(MultipartSend(request, nullptr, 0), 0);
  MultipartClose(request);
  EXPECT_EQ(RecordedRequestCount(), 1);
}

TEST_F(MultipartRequestTest, BrokenConnectionsGiveNothing) {
  ServiceControl("set?mode=drop");
  for (const std::string& url : {api_, ApiAt(ClosedPort())}) {
    SCOPED_TRACE(url);
    MultipartRequest* request = MultipartOpen("Norvalisk", url.c_str());
    ASSERT_NE(request, nullptr);  // WinINet connects only when sending
    AddUploadFields(request, "abcd");
    char reply[kCapacity] = {};
    EXPECT_EQ(MultipartSend(request, reply, kCapacity), 0);
    EXPECT_EQ(MultipartClose(request), 1);
  }
}

TEST_F(MultipartRequestTest, LongReplyIsCutAtTheBuffer) {
  ServiceControl("set?mode=long&length=5000");
  MultipartRequest* request = MultipartOpen("Norvalisk", api_.c_str());
  ASSERT_NE(request, nullptr);
  std::vector<char> reply(kCapacity, '#');
  const int count = MultipartSend(request, reply.data(), kCapacity);
  MultipartClose(request);
  ASSERT_EQ(count, 2047);
  EXPECT_EQ(std::string(reply.data(), 2047), Letters(2047));
  EXPECT_EQ(reply[2047], '\0');
}

TEST(MultipartNullRequestTest, NullRequestIsRefused) {
  EXPECT_EQ(MultipartSend(nullptr, nullptr, 0), 0);
  EXPECT_EQ(MultipartClose(nullptr), 0);
}

}  // namespace
