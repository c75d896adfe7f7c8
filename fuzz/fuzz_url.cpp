// The pieces of an address, the request's header block and link resolution: whatever a page or a reader
// supplies, the address fetched is HTTP or HTTPS with nothing a request line cannot carry, and no CR or LF
// reaches the header block but the CR LF that separates its lines. Input: an address, the caller's header
// lines, a cookie text, a link (found on the page at the address), a table-of-contents address and a response
// header block, separated by NUL bytes.
#include "chapter/link_resolution.h"
#include "fuzz/fuzz_support.h"
#include "http/cookies.h"
#include "http/url.h"
#include "toc/toc_parser.h"

namespace {

using lekto::fuzz::Check;
namespace http = lekto::http;

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> pieces =
      lekto::fuzz::Pieces(std::string_view(reinterpret_cast<const char*>(data), size), 6);
  auto piece = [&](std::size_t i) { return i < pieces.size() ? pieces[i] : std::string(); };
  const std::string url = piece(0);
  const std::string headers = piece(1);
  const std::string cookies = piece(2);

  http::IsSecureUrl(url);
  http::HostOf(url, true);
  http::PortOf(url);
  http::PathOf(url);
  http::TextBetween(url, headers, cookies);
  http::TextAfterFirstColon(url);
  if (const auto address = http::RequestAddress(url)) {
    Check(address->starts_with("http://") || address->starts_with("https://"), "only HTTP and HTTPS are fetched");
    for (const char c : *address) {
      const auto b = static_cast<unsigned char>(c);
      Check(b > 0x20 && b < 0x7F, "the address fetched has no blank, control or non-ASCII byte");
    }
  }

  const std::string block = http::CompleteHeaders(headers, url, cookies);
  std::size_t separators = 0;
  for (std::size_t at = block.find("\r\n"); at != std::string::npos; at = block.find("\r\n", at + 2)) ++separators;
  std::size_t breaks = 0;
  for (const char c : block) breaks += c == '\r' || c == '\n';
  Check(breaks == 2 * separators, "no CR or LF in the header block but the line separators");
  for (const std::string_view line : http::HeaderLines(block)) Check(!HasLineBreak(line), "no line break in a line");
  const std::string agent = http::UserAgentOf(headers);
  (void)agent;

  std::string old = cookies;
  std::string fresh = http::GatherResponseCookies(piece(5));
  http::MergeCookies(old, fresh);
  http::RemoveDuplicateItems(cookies, ";");

  std::string link = piece(3);
  const std::string toc = piece(4);
  const std::string root = lekto::TocSiteRoot(toc);
  const std::string resolved = lekto::ResolveLink(link, toc, root, url);
  Check(resolved == link, "the resolved address is left in the link");
  return 0;
}
