#pragma once
// TestServer: a real HTTP and HTTPS server on 127.0.0.1 for tests, started by the constructor and stopped by the
// destructor. It runs tests/support/test_server.py as a child process; both listeners take ports the system picks.
//
// Routes (see test_server.py for the full list and how to add one):
//   /hello                      "hello"
//   /echo                       the request exactly as received (request line, headers, blank line, body)
//   /redirect/N                 302 chain: /redirect/N -> /redirect/N-1 ... -> /hello
//   /redirect-to?url=U&status=S redirect to U;  /to-https?path=P, /to-http?path=P  switch listener
//   /loop                       redirects to itself
//   /status/N                   status N with body "status N body" (none for 204 and 304)
//   /cookies/set?a=1&b=2        one Set-Cookie line per query item;  /cookies/mixed  Set-Cookie names in mixed case
//   /cookies/show               the Cookie header lines received
//   /gzip, /deflate             compressed bodies of "gzip body " x 100 and "deflate body " x 100
//   /big-headers                a response header block over 5000 bytes
//   /stall                      headers and 8 bytes of 1000, then silence until the server stops
//   /reset                      5000 bytes of a promised 1000000, then a TCP reset
//   /bytes?size=N               N bytes of PatternBytes with Content-Length;  /chunked?size=N  the same, chunked
//   any route with ?delay=MS    answered after MS milliseconds
//   static trees                ServeStatic(prefix, folder); FILE.headers beside a file sets its headers
//   faults on any path          AddFault(path, kind, times): a busy or broken site (503s, 429, trickle, reset)
#include <sys/types.h>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lekto::testsupport {

struct RecordedRequest {
  std::string method;
  std::string target;       // request target as sent: path and query
  std::string headerBlock;  // header lines exactly as received, without request line and final blank line
  std::string body;
  bool secure = false;  // arrived on the HTTPS listener
};

struct TestServerOptions {
  std::vector<std::pair<std::string, std::string>> staticRoots;  // URL prefix, folder
  int delayMs = 0;                                               // added to every answer
};

class TestServer {
 public:
  TestServer();
  explicit TestServer(const TestServerOptions& options);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // "http://127.0.0.1:PORT" + path; path should start with "/".
  std::string HttpUrl(std::string_view path = "/") const;
  std::string HttpsUrl(std::string_view path = "/") const;
  int HttpPort() const { return httpPort_; }
  int HttpsPort() const { return httpsPort_; }
  // The self-signed certificate (CN and SAN 127.0.0.1, SAN localhost) every TestServer of this process uses.
  // WebRequest trusts it after lekto::http::TrustCertificateForTests(TestServer::CertificatePath()).
  static const std::string& CertificatePath();

  // Serves the files under `folder` byte for byte at `urlPrefix` (e.g. "/site/"), in place of any folder served
  // there before.
  void ServeStatic(std::string_view urlPrefix, const std::string& folder);
  // The next `times` answers for exactly `path` (every one when -1) go wrong as `kind` says, then the path is
  // served as usual again: "status=N" (an error page full of Chinese text), "retry-after=S" (429 with that
  // header), "trickle" (two bytes every half second), "silent" (the headers, then nothing until the server stops),
  // "reset" (part of the body, then a TCP reset).
  void AddFault(std::string_view path, std::string_view kind, int times = -1);
  void ClearFaults();
  // Every later answer waits `ms` milliseconds, plus a random extra in [minMs, maxMs] when that range is set.
  void SetDelay(int ms);
  void SetRandomDelay(int minMs, int maxMs);

  // Every request received so far (control requests excluded), in arrival order.
  std::vector<RecordedRequest> Requests() const;
  void ClearRequests();
  // The highest number of requests whose target starts with `pathPrefix` that were in flight at once. A request
  // counts from its arrival until just before the last bytes of its answer go out, so a client holding a whole
  // answer never finds its request still counted.
  int MaxConcurrent(std::string_view pathPrefix) const;

 private:
  std::string Control(std::string_view target) const;
  void Stop();

  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int httpPort_ = 0;
  int httpsPort_ = 0;
};

// The bytes /bytes and /chunked send: deterministic, non-repeating over any 1 MB window.
std::string PatternBytes(std::size_t size);

// Sends `request` as is to 127.0.0.1:`port` over plain TCP and returns everything received until the server
// closes the connection. For requests no HTTP client would send.
std::string SendRaw(int port, std::string_view request);

// Percent-encodes every byte outside the unreserved set, for query values.
std::string UrlEncode(std::string_view text);

}  // namespace lekto::testsupport
