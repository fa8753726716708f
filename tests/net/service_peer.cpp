// Talking to the reference service from the Windows tests.
#include "service_peer.h"

#include <winsock2.h>
#include <windows.h>

#include <wininet.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

std::string RawRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (_stricmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "<none>";
}

bool RawRequest::HasHeader(const std::string& name) const { return Header(name) != "<none>"; }

RawRequest ParseRawRequest(const std::string& raw) {
  RawRequest request;
  const size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return request;
  request.body = raw.substr(end + 4);
  size_t lineStart = 0;
  bool first = true;
  while (lineStart < end) {
    size_t lineEnd = raw.find("\r\n", lineStart);
    if (lineEnd == std::string::npos || lineEnd > end) lineEnd = end;
    const std::string line = raw.substr(lineStart, lineEnd - lineStart);
    if (first) {
      const size_t a = line.find(' ');
      const size_t b = line.rfind(' ');
      if (a != std::string::npos && b > a) {
        request.method = line.substr(0, a);
        request.target = line.substr(a + 1, b - a - 1);
        request.version = line.substr(b + 1);
      }
      first = false;
    } else {
      const size_t colon = line.find(':');
      std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      request.headers.emplace_back(line.substr(0, colon), value);
    }
    lineStart = lineEnd + 2;
  }
  return request;
}

int ServicePort() {
  static const int port = [] {
    const char* state = std::getenv("NORVALISK_TEST_SERVICE");
    if (state == nullptr || state[0] == '\0') return 0;
    // The service runs on the Unix side; Wine shows its root as drive Z:.
    std::string path = std::string("Z:") + state + "/port";
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    std::ifstream in(path);
    int value = 0;
    in >> value;
    return value;
  }();
  return port;
}

std::string ServiceBase() { return "http://127.0.0.1:" + std::to_string(ServicePort()); }

std::string ServiceControl(const std::string& command) {
  std::string reply;
  HINTERNET internet = InternetOpenA("NorvaliskTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = internet ? InternetConnectA(internet, "127.0.0.1",
                                                     static_cast<INTERNET_PORT>(ServicePort()),
                                                     nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                                  : nullptr;
  const std::string object = "/_control/" + command;
  HINTERNET request = connection ? HttpOpenRequestA(connection, "GET", object.c_str(), nullptr,
                                                    nullptr, nullptr,
                                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                 : nullptr;
  if (request && HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    char chunk[4096];
    DWORD got = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0) reply.append(chunk, got);
  }
  if (request) InternetCloseHandle(request);
  if (connection) InternetCloseHandle(connection);
  if (internet) InternetCloseHandle(internet);
  return reply;
}

void ResetService() { ServiceControl("reset"); }

int RecordedRequestCount() { return std::atoi(ServiceControl("count").c_str()); }

RawRequest LastRecordedRequest() { return ParseRawRequest(ServiceControl("last")); }

long long ServiceState(const std::string& name) {
  const std::string state = " " + ServiceControl("state");
  const size_t at = state.find(" " + name + "=");
  if (at == std::string::npos) return -1;
  return std::atoll(state.c_str() + at + name.size() + 2);
}

int ClosedPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }
  closesocket(s);
  WSACleanup();
  return port;
}

std::string UniqueId(const char* prefix) {
  static unsigned counter = 0;
  char id[32];
  std::snprintf(id, sizeof id, "%s%lx%u", prefix, static_cast<unsigned long>(GetTickCount() & 0xFFFFFF),
                ++counter);
  id[20] = '\0';
  return id;
}

std::string QueryEncode(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}
