// The reference service as seen from the Windows tests: where it listens, how to steer its
// behaviour, and the raw requests it recorded.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One HTTP request as it arrived, split into its pieces.
struct RawRequest {
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
  std::string body;

  // The value of the first header of that name (case-insensitive), or "<none>".
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// Splits raw request bytes; a request without the blank line gives an empty method.
RawRequest ParseRawRequest(const std::string& raw);

// The port the test service listens on, or 0 when the tests run without it.
int ServicePort();
// "http://127.0.0.1:<port>".
std::string ServiceBase();

// GET on a control command of the service ("set?mode=drop", "reset", "last", "count");
// returns the reply body.
std::string ServiceControl(const std::string& command);
// Puts the service back to normal answers and forgets the requests it recorded.
void ResetService();
// Number of requests the service recorded since the last reset.
int RecordedRequestCount();
// The last request the service recorded.
RawRequest LastRecordedRequest();
// One count of the service's state report ("started", "stalled", "held", "answered",
// "aborted", "read", "length"); −1 when the service does not report it.
long long ServiceState(const std::string& name);

// A loopback port on which nothing listens (taken and released again just now).
int ClosedPort();

// A fresh account name for this run: `prefix` and a number, at most 20 characters.
std::string UniqueId(const char* prefix);

// Percent-encodes bytes for a control query.
std::string QueryEncode(const std::string& bytes);
