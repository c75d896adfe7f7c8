#include "http/url.h"

#include <gtest/gtest.h>

namespace lekto::http {
namespace {

struct UrlCase {
  const char* url;
  bool secure;
  const char* host;
  const char* hostWithPort;
  int port;
  const char* path;
};

TEST(Url, SplitsIntoSecureFlagHostPortAndPath) {
  const UrlCase cases[] = {
      {"example.com/a/b?c=1", false, "example.com", "example.com", 80, "/a/b?c=1"},
      {"https://Example.COM:8443/x", true, "example.com", "example.com:8443", 8443, "/x"},
      {"http://example.com", false, "example.com", "example.com", 80, "/"},
      {"HTTPS://example.com/", true, "example.com", "example.com", 443, "/"},
      {"http://Example.com/Book/A.html?Q=1#Top", false, "example.com", "example.com", 80, "/Book/A.html?Q=1#Top"},
      {"http://a.com:/x", false, "a.com", "a.com:", 0, "/x"},
      {"http://a.com:8080x/", false, "a.com", "a.com:8080x", 8080, "/"},
      {"http://a.com:99999999999/", false, "a.com", "a.com:99999999999", -1, "/"},
      // A scheme counts only at the start: the address below names site.com, not other.com.
      {"site.com/go?to=http://other.com/x", false, "site.com", "site.com", 80, "/go?to=http://other.com/x"},
      // The host is looked for after the scheme, not inside "http".
      {"http://t/x", false, "t", "t", 80, "/x"},
      {"https://p:444/x/y", true, "p", "p:444", 444, "/x/y"},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(IsSecureUrl(c.url), c.secure);
    EXPECT_EQ(HostOf(c.url), c.host);
    EXPECT_EQ(HostOf(c.url, true), c.hostWithPort);
    EXPECT_EQ(PortOf(c.url), c.port);
    EXPECT_EQ(PathOf(c.url), c.path);
  }
}

TEST(Url, TextBetweenFindsMarkersByWholeCharacters) {
  struct Case {
    const char* text;
    const char* left;
    const char* right;
    int start;
    bool ignoreCase;
    const char* expected;
  };
  const Case cases[] = {
      {"<title>Book</title>", "<title>", "</title>", 1, false, "Book"},
      {"<title>Book</title>", "<TITLE>", "</title>", 1, false, ""},
      {"<title>Book</title>", "<TITLE>", "</TITLE>", 1, true, "Book"},
      {"no markers here", "[", "]", 1, false, ""},
      {"[a", "[", "]", 1, false, ""},
      {"[a][b]", "[", "]", 2, false, "b"},
      {"[]", "[", "]", 1, false, ""},
      // "#引号" in a marker stands for a double quote.
      {"<a href=\"1.html\">", "href=#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5", 1, false, "1.html"},
      // 0x41 ("A") is the trail byte of the GBK character B0 41 and must not be taken for the marker.
      {"\xB0\x41"
       "Ab;",
       "A", ";", 1, false, "b"},
      {"\xB0\x41"
       "ab;",
       "A", ";", 1, true, "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected);
  }
}

TEST(Url, TextAfterFirstColonTrimsSpacesOnly) {
  EXPECT_EQ(TextAfterFirstColon("Name:  value \xA1\xA1"), "value");
  EXPECT_EQ(TextAfterFirstColon("a: b: c"), "b: c");
  EXPECT_EQ(TextAfterFirstColon("x:\tb\r\n"), "\tb\r\n");
  EXPECT_EQ(TextAfterFirstColon("no colon"), "");
}

TEST(Url, VerbAndUserAgent) {
  EXPECT_EQ(VerbOf(0), "GET");
  EXPECT_EQ(VerbOf(1), "POST");
  EXPECT_EQ(VerbOf(2), "HEAD");
  EXPECT_EQ(VerbOf(7), "GET");
  EXPECT_EQ(VerbOf(-1), "GET");

  EXPECT_EQ(UserAgentOf(""), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_EQ(UserAgentOf("Accept: x"), kDefaultUserAgent);
  EXPECT_EQ(UserAgentOf("Accept: x\r\nUser-Agent:  Bot/1.0 \r\nReferer: y"), "Bot/1.0");
  // The case-sensitive extraction finds nothing; the text after the first colon is taken instead.
  EXPECT_EQ(UserAgentOf("user-agent: X"), "X");
}

TEST(Url, CompletesTheHeaderBlockInOrder) {
  const std::string url = "http://Site.com/Book/";
  const std::string defaults =
      "Accept: */*\r\nReferer: http://Site.com/Book/\r\nAccept-Language: zh-cn\r\n"
      "Content-Type: application/x-www-form-urlencoded";
  EXPECT_EQ(CompleteHeaders("", url, ""), defaults);
  EXPECT_EQ(CompleteHeaders("Accept: text/html", url, ""),
            "Accept: text/html\r\nReferer: http://Site.com/Book/\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteHeaders("X-A: 1", url, ""), "X-A: 1\r\n" + defaults);
  EXPECT_EQ(CompleteHeaders("", url, "a=1; b=2"), defaults + "\r\nCookie: a=1; b=2");
  EXPECT_EQ(CompleteHeaders("", url, "Cookie: a=1"), defaults + "\r\nCookie: a=1");
  const std::string full = "Referer: r\r\nAccept: a\r\nContent-Type: c\r\nAccept-Language: l";
  EXPECT_EQ(CompleteHeaders(full, url, ""), full);
  // Names are matched with their letter case: a lower-case "accept:" line does not count.
  EXPECT_EQ(CompleteHeaders("accept: x", url, "").substr(0, 24), "accept: x\r\nAccept: */*\r\n");
  // A line break in the URL cannot end the Referer line and start one of its own: it goes out percent-encoded,
  // as it does in the request path.
  EXPECT_EQ(CompleteHeaders("", "http://a.com/x\r\nX-Injected: 1\nY: 2", ""),
            "Accept: */*\r\nReferer: http://a.com/x%0D%0AX-Injected: 1%0AY: 2\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded");
}

TEST(Url, NoLineBreakReachesTheHeaderBlockButTheLineSeparators) {
  // A byte of 0x80 or more before the line feed must not hide it (it would, read as the lead byte of a GBK
  // character); nor may a stray CR or LF in the caller's lines or in the cookies start a header line.
  const std::string block =
      CompleteHeaders("X-A: \x81\nX-B: 1\r\nX-C: \xB0\r", "http://a.com/\x81\nX-Injected: 1", "a=\xFE\r\nX-D: 2");
  EXPECT_EQ(block,
            "X-A: \x81%0AX-B: 1\r\nX-C: \xB0%0D\r\nAccept: */*\r\nReferer: http://a.com/\x81%0AX-Injected: 1\r\n"
            "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\nCookie: a=\xFE%0D%0AX-D: 2");
  const std::vector<std::string_view> lines = HeaderLines(block);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "X-C: \xB0%0D");
  for (const std::string_view line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << line;
  // Split byte by byte, empty lines left out.
  EXPECT_EQ(HeaderLines("A: \xB0\r\n\r\nB: 1\r\n"), (std::vector<std::string_view>{"A: \xB0", "B: 1"}));
  EXPECT_TRUE(HeaderLines("").empty());
}

TEST(Url, ChoosesTheBodyAndFillsPostBytes) {
  std::string postBytes;
  EXPECT_EQ(ChooseBody("GET", postBytes, "a=1&b=2"), "");
  EXPECT_EQ(postBytes, "");
  EXPECT_EQ(ChooseBody("POST", postBytes, "a=1&b=2"), "a=1&b=2");
  EXPECT_EQ(postBytes, "a=1&b=2");
  std::string binary("x\0y", 3);
  EXPECT_EQ(ChooseBody("HEAD", binary, "ignored"), std::string("x\0y", 3));
  EXPECT_EQ(binary, std::string("x\0y", 3));
}

TEST(Url, RequestAddressKeepsToHttpAndHttps) {
  struct Case {
    std::string url;
    std::optional<std::string> address;
  };
  const Case cases[] = {
      {"http://a.com/x?y=1", "http://a.com:80/x?y=1"},
      {"HTTPS://A.com/X", "https://a.com:443/X"},
      {"a.com", "http://a.com:80/"},
      {"http://a.com:8080/x", "http://a.com:8080/x"},
      // Bytes a request line cannot carry go out percent-encoded, byte for byte.
      {"http://a.com/\xD5\xC2 \xBD\xDA.html", "http://a.com:80/%D5%C2%20%BD%DA.html"},
      {"http://a.com/x\r\nX-Injected: 1", "http://a.com:80/x%0D%0AX-Injected:%201"},
      {"http://a.com/%41\"<>", "http://a.com:80/%41%22%3C%3E"},
      {"", std::nullopt},
      {"http://", std::nullopt},
      {"http:///etc/passwd", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"ftp://a.com/x", std::nullopt},
      {"http://exa mple.com/", std::nullopt},
      {"http://\xD6\xD0\xCE\xC4.com/", std::nullopt},
      {"http://user@a.com/", std::nullopt},
      {"http://user:pw@a.com/", std::nullopt},
      {"http://a.com:0/", std::nullopt},
      {"http://a.com:65536/", std::nullopt},
      {"http://a.com:99999999999999999999/", std::nullopt},
      {"http://[::1]:80/", std::nullopt},
      {"http://a.com/" + std::string(100 * 1024, 'x'), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url.substr(0, 80));
    EXPECT_EQ(RequestAddress(c.url), c.address);
  }
}

}  // namespace
}  // namespace lekto::http
