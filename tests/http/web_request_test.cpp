// WebRequest against the real local test server: what goes out on the wire, what comes back, and how every
// in-out parameter ends up.
#include "http/web_request.h"
#include "http/web_request_testing.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <thread>

namespace lekto::http {
namespace {

using testsupport::PatternBytes;
using testsupport::RecordedRequest;
using testsupport::TestServer;

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string DefaultBlock(const std::string& url) {
  return "Accept: */*\r\nReferer: " + url +
         "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
}

std::vector<std::string> Lines(const std::string& block) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = block.find("\r\n", start);
    lines.push_back(block.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

// Transfer limits for one test, put back however the test ends.
class ScopedLimits {
 public:
  explicit ScopedLimits(const TransferLimits& limits) : saved_(TransferLimitsInForce()) {
    SetTransferLimitsForTests(limits);
  }
  ~ScopedLimits() { SetTransferLimitsForTests(saved_); }

 private:
  TransferLimits saved_;
};

class WebRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new TestServer;
    TrustCertificateForTests(TestServer::CertificatePath());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { server_->ClearRequests(); }

  static TestServer& Server() { return *server_; }
  RecordedRequest OnlyRequest() {
    const std::vector<RecordedRequest> requests = server_->Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.back();
  }
  RecordedRequest LastRequest() {
    const std::vector<RecordedRequest> requests = server_->Requests();
    return requests.empty() ? RecordedRequest{} : requests.back();
  }

 private:
  static TestServer* server_;
};

TestServer* WebRequestTest::server_ = nullptr;

TEST_F(WebRequestTest, PlainGetSendsTheDefaultHeaderBlock) {
  const std::string url = Server().HttpUrl("/echo?a=1");
  const std::string body = WebRequest(url);
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/echo?a=1");
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(body, "GET /echo?a=1 HTTP/1.1\r\n" + request.headerBlock + "\r\n\r\n");

  // libcurl's own lines (host, agent, accepted encodings) come first; the block follows, intact and in order.
  const std::vector<std::string> lines = Lines(request.headerBlock);
  ASSERT_EQ(lines.size(), 7u) << request.headerBlock;
  EXPECT_EQ(lines[0], "Host: 127.0.0.1:" + std::to_string(Server().HttpPort()));
  EXPECT_EQ(lines[1], "User-Agent: " + kAgent);
  EXPECT_EQ(lines[2].rfind("Accept-Encoding: ", 0), 0u);
  EXPECT_EQ(request.headerBlock.substr(request.headerBlock.find("Accept: ")), DefaultBlock(url));
}

TEST_F(WebRequestTest, CallerHeadersAreCompletedWrittenBackAndSentInOrder) {
  const std::string url = Server().HttpsUrl("/hello");
  std::string headers = "X-First: 1\r\nUser-Agent: Bot/2.0\r\nAccept: text/html\r\nX-Empty:";
  EXPECT_EQ(WebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, &headers), "hello");
  const std::string expected = "X-First: 1\r\nUser-Agent: Bot/2.0\r\nAccept: text/html\r\nX-Empty:\r\nReferer: " + url +
                               "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
  EXPECT_EQ(headers, expected);
  const RecordedRequest request = OnlyRequest();
  EXPECT_TRUE(request.secure);
  const std::size_t start = request.headerBlock.find("X-First: 1");
  ASSERT_NE(start, std::string::npos);
  EXPECT_EQ(request.headerBlock.substr(start), expected);
  // The caller's agent line replaces the default one rather than adding a second.
  EXPECT_EQ(request.headerBlock.find("User-Agent:"), request.headerBlock.rfind("User-Agent:"));

  // An agent taken from after the first colon of the whole block is cut at its line end: one line, never more.
  Server().ClearRequests();
  headers = "Accept: a\r\nX-user-agent: b";
  EXPECT_EQ(WebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, &headers), "hello");
  const std::vector<std::string> lines = Lines(OnlyRequest().headerBlock);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "User-Agent: a"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-user-agent: b"), 1);
}

TEST_F(WebRequestTest, MethodsAndBodies) {
  std::string postBytes;
  WebRequest(Server().HttpUrl("/echo"), 1, "a=1&b=2", nullptr, nullptr, nullptr, nullptr, std::nullopt, &postBytes);
  EXPECT_EQ(postBytes, "a=1&b=2");
  RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, "a=1&b=2");
  EXPECT_NE(request.headerBlock.find("\r\nContent-Length: 7"), std::string::npos);
  EXPECT_EQ(request.headerBlock.find("Expect:"), std::string::npos);

  // Bytes win over text, NUL bytes included; HEAD sends them too and reads no body.
  Server().ClearRequests();
  std::string bytes("x\0y", 3);
  EXPECT_EQ(WebRequest(Server().HttpUrl("/echo"), 2, "text", nullptr, nullptr, nullptr, nullptr, std::nullopt, &bytes),
            "");
  request = OnlyRequest();
  EXPECT_EQ(request.method, "HEAD");
  EXPECT_EQ(request.body, std::string("x\0y", 3));
  EXPECT_NE(request.headerBlock.find("\r\nContent-Length: 3"), std::string::npos);
  Server().ClearRequests();
  std::string returnedHeaders;
  EXPECT_EQ(WebRequest(Server().HttpUrl("/hello"), 2, std::nullopt, nullptr, nullptr, nullptr, &returnedHeaders), "");
  EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(returnedHeaders.find("\r\nContent-Length: 5\r\n"), std::string::npos);
  EXPECT_EQ(OnlyRequest().headerBlock.find("Content-Length"), std::string::npos);

  for (const int method : {7, -1, 0}) {
    Server().ClearRequests();
    std::string untouched;
    EXPECT_EQ(WebRequest(Server().HttpUrl("/hello"), method, "ignored", nullptr, nullptr, nullptr, nullptr,
                         std::nullopt, &untouched),
              "hello");
    EXPECT_EQ(OnlyRequest().method, "GET");
    EXPECT_EQ(OnlyRequest().body, "");
    EXPECT_EQ(untouched, "");
  }
}

TEST_F(WebRequestTest, CapitalSchemeIsSecure) {
  const std::string url = "HTTPS://127.0.0.1:" + std::to_string(Server().HttpsPort()) + "/hello";
  EXPECT_EQ(WebRequest(url), "hello");
  EXPECT_TRUE(OnlyRequest().secure);
}

TEST_F(WebRequestTest, WhiteSpaceAroundAPastedAddressIsIgnored) {
  const std::string url = "http://127.0.0.1:" + std::to_string(Server().HttpPort()) + "/hello";
  EXPECT_EQ(WebRequest(" \t" + url + "\r\n "), "hello");
  EXPECT_EQ(OnlyRequest().target, "/hello");
}

TEST_F(WebRequestTest, ResponseHeadersAndCookiesAreGathered) {
  std::string returnedHeaders;
  std::string returnedCookies;
  EXPECT_EQ(WebRequest(Server().HttpUrl("/cookies/mixed"), std::nullopt, std::nullopt, nullptr, &returnedCookies,
                       nullptr, &returnedHeaders),
            "mixed cookies");
  EXPECT_EQ(returnedCookies, "a=1; b=2; c=3; d=4");
  EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(returnedHeaders.find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);
  EXPECT_NE(returnedHeaders.find("\r\nSet-Cookie: c=3; Path=/; HttpOnly\r\n"), std::string::npos);
  EXPECT_EQ(returnedHeaders.substr(returnedHeaders.size() - 4), "\r\n\r\n");

  // Over 5000 bytes of headers: spaces in their place and no cookies, but the body still comes.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/big-headers"), std::nullopt, std::nullopt, nullptr, &returnedCookies, nullptr,
                       &returnedHeaders),
            "big headers body");
  EXPECT_EQ(returnedHeaders, std::string(5000, ' '));
  EXPECT_EQ(returnedCookies, "");
}

TEST_F(WebRequestTest, SharedStoreKeepsCookiesAcrossCallsAndThreads) {
  WebRequest(Server().HttpUrl("/cookies/set?store1=v1"));
  EXPECT_NE(WebRequest(Server().HttpUrl("/cookies/show")).find("store1=v1"), std::string::npos);
  std::thread([&] { WebRequest(Server().HttpUrl("/cookies/set?store2=v2")); }).join();
  std::string seen;
  std::thread([&] { seen = WebRequest(Server().HttpUrl("/cookies/show")); }).join();
  EXPECT_NE(seen.find("store1=v1"), std::string::npos);
  EXPECT_NE(seen.find("store2=v2"), std::string::npos);
}

TEST_F(WebRequestTest, SuppliedCookiesTurnTheStoreOffAndMerge) {
  WebRequest(Server().HttpUrl("/cookies/set?instore=1"));

  // An empty cookie text sends nothing: neither a Cookie line of its own nor the store's cookies.
  std::string cookies;
  std::string returnedCookies = "stale";
  EXPECT_EQ(WebRequest(Server().HttpUrl("/cookies/show"), std::nullopt, std::nullopt, &cookies, &returnedCookies), "");
  EXPECT_EQ(returnedCookies, "");

  cookies = "a=1; b = 2";
  EXPECT_EQ(WebRequest(Server().HttpUrl("/cookies/show"), std::nullopt, std::nullopt, &cookies), "a=1; b = 2");
  // The reply's cookies are merged into the caller's text and stay out of the store.
  EXPECT_EQ(
      WebRequest(Server().HttpUrl("/cookies/set?b=3&own=4"), std::nullopt, std::nullopt, &cookies, &returnedCookies),
      "cookies set");
  EXPECT_EQ(returnedCookies, "b=3; own=4; a=1");
  EXPECT_EQ(cookies, "b=3; own=4; a=1");
  EXPECT_EQ(WebRequest(Server().HttpUrl("/cookies/show")).find("own=4"), std::string::npos);

  // Without merging the reply's cookies come back alone and the caller's text stays as it was.
  cookies = "Cookie: x=1";
  EXPECT_EQ(WebRequest(Server().HttpUrl("/cookies/set?y=2"), std::nullopt, std::nullopt, &cookies, &returnedCookies,
                       nullptr, nullptr, std::nullopt, nullptr, std::nullopt, false),
            "cookies set");
  EXPECT_EQ(returnedCookies, "y=2");
  EXPECT_EQ(cookies, "Cookie: x=1");
  EXPECT_NE(LastRequest().headerBlock.find("\r\nCookie: x=1"), std::string::npos);
}

TEST_F(WebRequestTest, RedirectsAreFollowedWithinLimits) {
  EXPECT_EQ(WebRequest(Server().HttpUrl("/redirect/5")), "hello");
  EXPECT_EQ(Server().Requests().size(), 6u);
  EXPECT_EQ(WebRequest(Server().HttpUrl("/redirect/20")), "hello");
  EXPECT_EQ(WebRequest(Server().HttpUrl("/redirect/21")), "");
  EXPECT_EQ(WebRequest(Server().HttpUrl("/loop")), "");

  std::string returnedHeaders;
  EXPECT_EQ(WebRequest(Server().HttpUrl("/redirect/3"), std::nullopt, std::nullopt, nullptr, nullptr, nullptr,
                       &returnedHeaders, true),
            "redirecting");
  EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 302 Found\r\n", 0), 0u);
  EXPECT_NE(returnedHeaders.find("\r\nLocation: /redirect/2\r\n"), std::string::npos);
}

TEST_F(WebRequestTest, PlainMayMoveToHttpsButHttpsNeverDropsToPlain) {
  EXPECT_EQ(WebRequest(Server().HttpUrl("/to-https?path=/hello")), "hello");
  EXPECT_TRUE(LastRequest().secure);

  Server().ClearRequests();
  EXPECT_EQ(WebRequest(Server().HttpsUrl("/to-http?path=/hello")), "");
  EXPECT_EQ(WebRequest(Server().HttpsUrl("/redirect-to?url=" + testsupport::UrlEncode(Server().HttpUrl("/hello")) +
                                         "&status=301")),
            "");
  for (const RecordedRequest& request : Server().Requests()) EXPECT_TRUE(request.secure) << request.target;
}

TEST_F(WebRequestTest, BodiesComeBackDecodedAndWhole) {
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += "gzip body ";
  EXPECT_EQ(WebRequest(Server().HttpUrl("/gzip")), expected);
  expected.clear();
  for (int i = 0; i < 100; ++i) expected += "deflate body ";
  EXPECT_EQ(WebRequest(Server().HttpsUrl("/deflate")), expected);

  EXPECT_EQ(WebRequest(Server().HttpUrl("/status/404")), "status 404 body");
  EXPECT_EQ(WebRequest(Server().HttpsUrl("/status/500")), "status 500 body");
  std::string returnedHeaders;
  EXPECT_EQ(WebRequest(Server().HttpUrl("/status/204"), std::nullopt, std::nullopt, nullptr, nullptr, nullptr,
                       &returnedHeaders),
            "");
  EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 204 ", 0), 0u);

  EXPECT_EQ(WebRequest(Server().HttpUrl("/chunked?size=10485760")), PatternBytes(10485760));
  EXPECT_EQ(WebRequest(Server().HttpsUrl("/bytes?size=3000000")), PatternBytes(3000000));
  EXPECT_EQ(WebRequest(Server().HttpUrl("/hello?delay=300")), "hello");
}

TEST_F(WebRequestTest, BrokenTransfersGiveTheEmptyResult) {
  TransferLimits limits = TransferLimitsInForce();
  limits.lowSpeedWindowMs = 1000;  // a stalled transfer is given up after one to two seconds
  const ScopedLimits scoped(limits);
  std::string returnedHeaders;
  std::string returnedCookies = "stale";
  // Headers and a few bytes, then silence: given up by the low-speed limit, not waited out.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/stall"), std::nullopt, std::nullopt, nullptr, &returnedCookies, nullptr,
                       &returnedHeaders),
            "");
  EXPECT_EQ(returnedHeaders, std::string(5000, ' '));
  EXPECT_EQ(returnedCookies, "");
  // A body cut off by a reset is not passed off as a whole one.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/reset")), "");

  limits.maxBodyBytes = 1 << 20;
  const ScopedLimits capped(limits);
  EXPECT_EQ(WebRequest(Server().HttpUrl("/bytes?size=1048576")), PatternBytes(1048576));
  EXPECT_EQ(WebRequest(Server().HttpUrl("/bytes?size=1048577")), "");
}

// Get hands the pipeline what WebRequest's body alone hides: the status, the headers it reads, and why a transfer
// gave nothing.
TEST_F(WebRequestTest, GetTellsPagesFromFailures) {
  Response page = Get(Server().HttpUrl("/status/200?type=text/html;%20charset=utf-8"));
  EXPECT_TRUE(page.Ok());
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "status 200 body");
  EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
  EXPECT_EQ(FailureReason(page), "");

  const Response busy = Get(Server().HttpsUrl("/status/503?retry-after=7"));
  EXPECT_FALSE(busy.Ok());
  EXPECT_EQ(busy.status, 503);
  EXPECT_EQ(busy.body, "status 503 body");  // the error page is there, but not taken for a page
  EXPECT_EQ(busy.retryAfter, "7");
  EXPECT_EQ(FailureReason(busy), "HTTP 503");
  EXPECT_EQ(Get(Server().HttpUrl("/redirect/3")).body, "hello");  // the final response counts

  // A header value ending in a byte that would start a GBK character hides no line break from the reading.
  const testsupport::TempFolder site("lekto-headers");
  site.Write("page.html", "<p>x</p>");
  site.Write("page.html.headers", "X-Note: \x81\nContent-Type: text/html; charset=big5\n");
  Server().ServeStatic("/headers/", site.Path().string());
  EXPECT_EQ(Get(Server().HttpUrl("/headers/page.html")).contentType, "text/html; charset=big5");

  TransferLimits limits = TransferLimitsInForce();
  limits.lowSpeedWindowMs = 1000;
  limits.maxBodyBytes = 10000;  // above the 5,000 bytes /reset sends before it breaks off
  const ScopedLimits scoped(limits);
  const struct {
    std::string url;
    TransferError error;
  } failures[] = {
      {Server().HttpUrl("/stall"), TransferError::kTimedOut},
      {Server().HttpUrl("/reset"), TransferError::kCutOff},
      {Server().HttpUrl("/bytes?size=10001"), TransferError::kTooLarge},
      {"http://127.0.0.1:1/", TransferError::kConnect},
      {"ftp://127.0.0.1/", TransferError::kBadAddress},
  };
  for (const auto& failure : failures) {
    page = Get(failure.url);
    EXPECT_EQ(page.error, failure.error) << failure.url;
    EXPECT_FALSE(page.Ok()) << failure.url;
    EXPECT_EQ(page.body, "") << failure.url;
    EXPECT_NE(FailureReason(page), "") << failure.url;
  }
}

TEST_F(WebRequestTest, UnreachableServerRewritesOnlyWhatTheSendWouldHave) {
  // A bound socket that never listens: every connection to it is refused at once.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

  std::string headers;
  std::string returnedHeaders = "stale";
  std::string returnedCookies = "stale";
  EXPECT_EQ(WebRequest(url, std::nullopt, std::nullopt, nullptr, &returnedCookies, &headers, &returnedHeaders), "");
  EXPECT_EQ(headers, DefaultBlock(url));
  EXPECT_EQ(returnedHeaders, std::string(5000, ' '));
  EXPECT_EQ(returnedCookies, "");
  close(fd);
}

TEST_F(WebRequestTest, BadAddressesGiveTheEmptyResultAndTouchNothing) {
  const std::string port = std::to_string(Server().HttpPort());
  const std::string urls[] = {
      "",
      "http://127.0.0.1:" + port + "/" + std::string(100 * 1024, 'x'),
      "http://exa mple.com/",
      "http://\xD6\xD0\xCE\xC4.com/",
      "http:///hello",
      "http://127.0.0.1:0/hello",
      "http://127.0.0.1:65536/hello",
      "file:///etc/passwd",
      "ftp://127.0.0.1:" + port + "/hello",
      "http://user@127.0.0.1:" + port + "/hello",
  };
  for (const std::string& url : urls) {
    SCOPED_TRACE(url.substr(0, 60));
    std::string cookies = "c=1";
    std::string returnedCookies = "rc";
    std::string headers = "X: 1";
    std::string returnedHeaders = "rh";
    std::string postBytes;
    EXPECT_EQ(WebRequest(url, 1, "body", &cookies, &returnedCookies, &headers, &returnedHeaders, false, &postBytes),
              "");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_EQ(returnedCookies, "rc");
    EXPECT_EQ(headers, "X: 1");
    EXPECT_EQ(returnedHeaders, "rh");
    EXPECT_EQ(postBytes, "");
  }
  EXPECT_TRUE(Server().Requests().empty());

  // A line break in the address adds no header line of its own, neither through the path nor the Referer.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/hello?q=1\r\nX-Injected: 1")), "hello");
  const std::vector<std::string> lines = Lines(OnlyRequest().headerBlock);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-Injected: 1"), 0);
  Server().ClearRequests();
  // Not even after a byte that would start a GBK character.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/hello?q=\x81\nX-Injected: 1")), "hello");
  const std::vector<std::string> gbkLines = Lines(OnlyRequest().headerBlock);
  EXPECT_EQ(std::count(gbkLines.begin(), gbkLines.end(), "X-Injected: 1"), 0);
  Server().ClearRequests();

  // GBK bytes and spaces in the path go out percent-encoded.
  EXPECT_EQ(WebRequest(Server().HttpUrl("/hello?q=\xD5\xC2 1")), "hello");
  EXPECT_EQ(OnlyRequest().target, "/hello?q=%D5%C2%201");
}

TEST_F(WebRequestTest, ProxyCarriesPlainRequests) {
  const std::string proxy = "127.0.0.1:" + std::to_string(Server().HttpPort());
  EXPECT_EQ(WebRequest("http://novel.invalid/hello", std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr,
                       std::nullopt, nullptr, proxy),
            "hello");
  EXPECT_EQ(OnlyRequest().target, "http://novel.invalid/hello");
}

TEST_F(WebRequestTest, SixThreadsAtOnceGetEveryBodyIntact) {
  constexpr int kThreads = 6;
  constexpr int kRequests = 200;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRequests; ++i) {
        const std::size_t size = 1000 + static_cast<std::size_t>(t * kRequests + i) * 37;
        const std::string path = "/bytes?size=" + std::to_string(size);
        const std::string url = i % 4 == 0 ? Server().HttpsUrl(path) : Server().HttpUrl(path);
        if (WebRequest(url) != PatternBytes(size)) ++wrong[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
  EXPECT_EQ(Server().Requests().size(), static_cast<std::size_t>(kThreads * kRequests));
}

}  // namespace
}  // namespace lekto::http
