#include "http/url.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>

#include <algorithm>

namespace lekto::http {
namespace {

namespace text = lekto::text;

constexpr std::string_view kSecurePrefix = "https://";
constexpr std::string_view kPlainPrefix = "http://";
constexpr std::string_view kCrLf = "\r\n";
// Longer URLs are refused outright; no site's chapter links come near this.
constexpr std::size_t kMaxUrlLength = 16 * 1024;

bool IsHostByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

// Bytes a request path may carry as they are; everything else goes out percent-encoded, byte for byte.
bool IsPathByte(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return false;
    default:
      return true;
  }
}

// `value` with every CR and LF byte percent-encoded, except, with `keepLineEnds`, the CR LF pairs that separate
// lines. Byte by byte: stepping by GBK characters would let a lead byte hide the line feed right after it.
std::string EscapeLineBreaks(std::string_view value, bool keepLineEnds = false) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (keepLineEnds && value.substr(i).starts_with(kCrLf)) {
      out += kCrLf;
      ++i;
    } else if (c == '\r') {
      out += "%0D";
    } else if (c == '\n') {
      out += "%0A";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

bool IsSecureUrl(std::string_view url) {
  return text::ToLowerAscii(text::Left(url, 8)) == kSecurePrefix;
}

std::string HostOf(std::string_view url, bool keepPort) {
  std::string u = text::ToLowerAscii(url);
  if (!text::EndsWith(u, "/")) u += '/';
  std::string host;
  if (text::StartsWith(u, kSecurePrefix)) {
    host = TextBetween(u, kSecurePrefix, "/");
  } else {
    // The scheme counts only at the very start: "site.com/go?to=http://other.com/" names site.com.
    if (!text::StartsWith(u, kPlainPrefix)) u.insert(0, kPlainPrefix);
    host = TextBetween(u, kPlainPrefix, "/");
  }
  if (!keepPort) {
    const int colon = text::Find(host, ":");
    if (colon > 0) host = text::Left(host, colon - 1);
  }
  return host;
}

int PortOf(std::string_view url) {
  const std::string host = HostOf(url, true);
  const int colon = text::FindLast(host, ":");
  if (colon > 0) {
    long long port = 0;
    for (std::size_t i = static_cast<std::size_t>(colon); i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
      port = port * 10 + (host[i] - '0');
      if (port > 99999) return -1;  // far out of range; the caller refuses it
    }
    return static_cast<int>(port);
  }
  return text::ToLowerAscii(text::Left(url, 5)) == "https" ? 443 : 80;
}

std::string PathOf(std::string_view url) {
  const std::string host = HostOf(url);
  // Look for the host after the scheme prefix, so that a host such as "t" is not found inside "http".
  const std::string lower = text::ToLowerAscii(text::Left(url, 8));
  const int from = text::StartsWith(lower, kSecurePrefix) ? 9 : text::StartsWith(lower, kPlainPrefix) ? 8 : 1;
  const int p = text::Find(url, host, from, true);
  const int s = text::Find(url, "/", p);
  return s > 0 ? text::Mid(url, s) : std::string("/");
}

std::string TextBetween(std::string_view textIn, std::string_view left, std::string_view right, int start,
                        bool ignoreCase) {
  const std::string l = text::ExpandQuotePlaceholder(left);
  const std::string r = text::ExpandQuotePlaceholder(right);
  int p = text::Find(textIn, l, start, ignoreCase);
  if (p < 0) return {};
  p += static_cast<int>(l.size());
  const int q = text::Find(textIn, r, p, ignoreCase);
  if (q < 0) return {};
  return text::Mid(textIn, p, q - p);
}

std::string TextAfterFirstColon(std::string_view textIn) {
  const int colon = text::Find(textIn, ":");
  return colon > 0 ? text::Trim(text::Mid(textIn, colon + 1)) : std::string();
}

std::string_view VerbOf(int method) {
  switch (method) {
    case 1:
      return "POST";
    case 2:
      return "HEAD";
    default:
      return "GET";
  }
}

std::string UserAgentOf(std::string_view headers) {
  if (!text::Contains(headers, "User-Agent:", true)) return std::string(kDefaultUserAgent);
  std::string agent = text::Trim(TextBetween(std::string(headers) + std::string(kCrLf), "User-Agent:", kCrLf));
  if (agent.empty()) agent = TextAfterFirstColon(headers);
  return agent;
}

std::string CompleteHeaders(std::string_view headers, std::string_view url, std::string_view cookies) {
  // The caller's lines keep their CR LF separators; any other CR or LF in them is escaped like the values below.
  std::string block = EscapeLineBreaks(headers, true);
  if (block.empty()) {
    block = "Accept: */*";
  } else if (!text::Contains(block, "Accept:")) {
    block += "\r\nAccept: */*";
  }
  if (!text::Contains(block, "Referer:")) {
    // A line break in the URL would end the Referer line and start a header of its own; it goes out
    // percent-encoded, as in the request path.
    block += "\r\nReferer: " + EscapeLineBreaks(url);
  }
  if (!text::Contains(block, "Accept-Language:")) block += "\r\nAccept-Language: zh-cn";
  if (!text::Contains(block, "Content-Type:")) block += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (!cookies.empty()) {
    // A cookie text that holds "Cookie:" is a whole header line of the caller's.
    block += text::Contains(cookies, "Cookie:") ? "\r\n" : "\r\nCookie: ";
    block += EscapeLineBreaks(cookies);
  }
  return block;
}

std::vector<std::string_view> HeaderLines(std::string_view block) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < block.size();) {
    const std::size_t end = std::min(block.find(kCrLf, start), block.size());
    if (end > start) lines.push_back(block.substr(start, end - start));
    start = end + kCrLf.size();
  }
  return lines;
}

std::string ChooseBody(std::string_view verb, std::string& postBytes, std::string_view postText) {
  if (verb == "GET") return {};
  if (postBytes.empty()) postBytes = postText;
  return postBytes;
}

std::string EncodeTypedAddress(std::string_view address) {
  const bool ascii =
      std::all_of(address.begin(), address.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return std::string(address);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : text::AnsiToUtf8(address)) {
    if (c < 0x80) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

std::optional<std::string> RequestAddress(std::string_view url) {
  if (url.empty() || url.size() > kMaxUrlLength) return std::nullopt;
  const std::string host = HostOf(url);
  const int port = PortOf(url);
  if (host.empty() || port < 1 || port > 65535) return std::nullopt;
  for (const char c : host) {
    if (!IsHostByte(c)) return std::nullopt;
  }
  std::string address = IsSecureUrl(url) ? "https://" : "http://";
  address += host + ":" + std::to_string(port);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : PathOf(url)) {
    if (IsPathByte(c)) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += kHex[c >> 4];
      address += kHex[c & 15];
    }
  }
  return address;
}

}  // namespace lekto::http
