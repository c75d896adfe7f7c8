// Checks the test server itself with an ordinary libcurl client and raw sockets, so that the network tests built
// on it can trust what it records and sends.
#include "support/test_server.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>

namespace lekto::testsupport {
namespace {

struct Fetched {
  long status = 0;
  std::string body;
  std::string headers;
};

size_t Append(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

Fetched Fetch(const std::string& url, bool decode = false) {
  Fetched result;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CAINFO, TestServer::CertificatePath().c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.headers);
  if (decode) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_cleanup(curl);
  return result;
}

// A connection that sends one request and reads only up to the end of the response headers.
int OpenAndReadHeaders(int port, const std::string& request) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  std::string received;
  char c = 0;
  while (received.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) received += c;
  return fd;
}

TEST(TestServer, AnswersOverHttpAndVerifiedHttps) {
  TestServer server;
  EXPECT_EQ(Fetch(server.HttpUrl("/hello")).body, "hello");
  const Fetched secure = Fetch(server.HttpsUrl("/hello"));
  EXPECT_EQ(secure.status, 200);
  EXPECT_EQ(secure.body, "hello");
  EXPECT_EQ(Fetch("https://localhost:" + std::to_string(server.HttpsPort()) + "/hello").body, "hello");
}

TEST(TestServer, RecordsRequestsExactlyAsReceived) {
  TestServer server;
  const std::string request =
      "POST /echo?x=1 HTTP/1.1\r\nHost: h\r\nzeta: 1\r\nAlpha:  two  \r\nContent-Length: 3\r\nConnection: close\r\n"
      "\r\nabc";
  const std::string response = SendRaw(server.HttpPort(), request);
  EXPECT_NE(response.find("\r\n\r\n" + request), std::string::npos) << response;

  const std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/echo?x=1");
  EXPECT_EQ(requests[0].headerBlock, "Host: h\r\nzeta: 1\r\nAlpha:  two  \r\nContent-Length: 3\r\nConnection: close");
  EXPECT_EQ(requests[0].body, "abc");
  EXPECT_FALSE(requests[0].secure);

  Fetch(server.HttpsUrl("/hello"));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(server.Requests()[1].secure);
  server.ClearRequests();
  EXPECT_TRUE(server.Requests().empty());
}

TEST(TestServer, GeneratesPatternBodiesPlainAndChunked) {
  TestServer server;
  const std::string expected = PatternBytes(2500000);
  EXPECT_EQ(Fetch(server.HttpUrl("/bytes?size=2500000")).body, expected);
  const Fetched chunked = Fetch(server.HttpUrl("/chunked?size=2500000"));
  EXPECT_NE(chunked.headers.find("Transfer-Encoding: chunked"), std::string::npos);
  EXPECT_EQ(chunked.body, expected);
  EXPECT_EQ(Fetch(server.HttpUrl("/gzip"), true).body.substr(0, 20), "gzip body gzip body ");
}

TEST(TestServer, ServesStaticTreesWithSidecarHeaders) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("lekto-static-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "book");
  std::ofstream(folder / "book" / "index.html", std::ios::binary) << "<title>\xD5\xC2</title>";
  std::ofstream(folder / "book" / "1.html", std::ios::binary) << "one";
  std::ofstream(folder / "book" / "1.html.headers") << "Content-Type: text/html; charset=gbk\nX-Extra: yes\n";

  TestServer server({.staticRoots = {{"/site/", folder.string()}}});
  const Fetched index = Fetch(server.HttpUrl("/site/book/"));
  EXPECT_EQ(index.body, "<title>\xD5\xC2</title>");
  EXPECT_NE(index.headers.find("Content-Type: text/html\r\n"), std::string::npos);
  const Fetched one = Fetch(server.HttpUrl("/site/book/1.html"));
  EXPECT_NE(one.headers.find("Content-Type: text/html; charset=gbk\r\n"), std::string::npos);
  EXPECT_NE(one.headers.find("X-Extra: yes\r\n"), std::string::npos);
  // curl would squash the "..", so it goes out raw.
  EXPECT_EQ(SendRaw(server.HttpPort(), "GET /site/book/../book/1.html HTTP/1.0\r\n\r\n").substr(9, 3), "404");
  EXPECT_EQ(Fetch(server.HttpUrl("/site/missing.html")).status, 404);

  server.ServeStatic("/other/", (folder / "book").string());
  EXPECT_EQ(Fetch(server.HttpUrl("/other/1.html")).body, "one");
  std::filesystem::remove_all(folder);
}

TEST(TestServer, CountsRequestsInFlightTogether) {
  TestServer server;
  Fetch(server.HttpUrl("/hello"));
  Fetch(server.HttpUrl("/hello"));
  EXPECT_EQ(server.MaxConcurrent("/"), 1);

  // The stalled request has its headers out, so it is in flight while /hello runs.
  const int stalled = OpenAndReadHeaders(server.HttpPort(), "GET /stall HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(Fetch(server.HttpUrl("/hello")).body, "hello");
  EXPECT_EQ(server.MaxConcurrent("/"), 2);
  EXPECT_EQ(server.MaxConcurrent("/hello"), 1);
  EXPECT_EQ(server.MaxConcurrent("/stall"), 1);
  close(stalled);
}

TEST(TestServer, RedirectsBetweenListenersAndResets) {
  TestServer server;
  const Fetched toHttps = Fetch(server.HttpUrl("/to-https?path=/x"));
  EXPECT_EQ(toHttps.status, 302);
  EXPECT_NE(toHttps.headers.find("Location: " + server.HttpsUrl("/x") + "\r\n"), std::string::npos);
  const Fetched toHttp = Fetch(server.HttpsUrl("/to-http"));
  EXPECT_NE(toHttp.headers.find("Location: " + server.HttpUrl("/hello") + "\r\n"), std::string::npos);

  const std::string reset = SendRaw(server.HttpPort(), "GET /reset HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_LT(reset.size(), 10000u);
  EXPECT_NE(reset.find("Content-Length: 1000000"), std::string::npos);
}

}  // namespace
}  // namespace lekto::testsupport
