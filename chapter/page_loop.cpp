#include "chapter/page_loop.h"

#include "chapter/body_location.h"
#include "chapter/body_second_opinion.h"
#include "chapter/link_resolution.h"
#include "http/url.h"
#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <utility>

namespace lekto {

namespace {

// Group 1 of the first match of a link pattern whose anchor text begins with `marker` (">下一页", ">下一章").
// Between "href=" and that ">" the pattern admits no angle bracket, and after the marker nothing but text up to
// "</a>", so every match lies between the last angle bracket before a marker and the "</a>" after it. Running
// the pattern over those few bytes instead of the whole page gives the same first match without converting
// megabytes for the regex engine, and the windows of successive markers never overlap.
std::string FirstLinkGroup(std::string_view page, std::string_view marker, std::string_view pattern) {
  for (std::size_t at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1)) {
    const std::size_t before = at == 0 ? std::string_view::npos : page.find_last_of("<>", at - 1);
    const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
    // After the marker the anchor text runs to "</a>": the first angle bracket must open it.
    const std::size_t close = page.find_first_of("<>", at + marker.size());
    if (close == std::string_view::npos || page[close] != '<') continue;
    const std::size_t end = std::min(page.size(), close + 4);
    RegexEngine engine;
    engine.Compile(pattern, page.substr(start, end - start));
    if (engine.MatchCount() > 0) return engine.GroupText(1, 1);
  }
  return {};
}

// The address without its query, and the query with its "?".
std::pair<std::string_view, std::string_view> SplitQuery(std::string_view address) {
  const std::size_t mark = address.find('?');
  if (mark == std::string_view::npos) return {address, {}};
  return {address.substr(0, mark), address.substr(mark)};
}

// "1047591_2" is "1047591" with a page suffix: "_" or "-" and digits.
bool HasPageSuffix(std::string_view stem, std::string_view base) {
  if (stem.size() < base.size() + 2 || !stem.starts_with(base)) return false;
  if (stem[base.size()] != '_' && stem[base.size()] != '-') return false;
  return stem.substr(base.size() + 1).find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool IsLaterPageOf(std::string_view address, std::string_view firstAddress) {
  if (http::HostOf(address, true) != http::HostOf(firstAddress, true)) return false;
  const std::string fullPath = http::PathOf(address);
  const std::string firstFullPath = http::PathOf(firstAddress);
  const auto [path, query] = SplitQuery(fullPath);
  const auto [firstPath, firstQuery] = SplitQuery(firstFullPath);
  if (path == firstPath) {
    // "read.php?id=5" -> "read.php?id=5&page=2" adds to the query; "read.php?id=6" is another chapter.
    if (query.empty() || query == firstQuery) return false;
    return firstQuery.empty() || (query.starts_with(firstQuery) && query[firstQuery.size()] == '&');
  }
  if (query != firstQuery) return false;
  // Same folder, same extension, and the file name is the first page's with a page suffix.
  const std::size_t slash = path.rfind('/');
  const std::size_t firstSlash = firstPath.rfind('/');
  if (path.substr(0, slash) != firstPath.substr(0, firstSlash)) return false;
  const std::string_view file = path.substr(slash + 1);
  const std::string_view firstFile = firstPath.substr(firstSlash + 1);
  const std::size_t dot = file.rfind('.');
  const std::size_t firstDot = firstFile.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? std::string_view() : file.substr(dot);
  const std::string_view firstExtension =
      firstDot == std::string_view::npos ? std::string_view() : firstFile.substr(firstDot);
  return extension == firstExtension && HasPageSuffix(file.substr(0, dot), firstFile.substr(0, firstDot));
}

std::string NextPageLink(std::string_view page) {
  static const std::string kMarker = text::Gbk(u8">下一页");
  static const std::string kPattern =
      text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一页[:\u4e00-\u9fa5\s\(\)\w]*</a>)");
  return FirstLinkGroup(page, kMarker, kPattern);
}

std::string NextChapterLink(std::string_view page) {
  static const std::string kMarker = text::Gbk(u8">下一章");
  static const std::string kPattern = text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一章</a>)");
  return FirstLinkGroup(page, kMarker, kPattern);
}

PageGuard::PageGuard(const std::string& firstAddress, const std::string& tocAddress)
    : visited_{firstAddress, tocAddress} {}

bool PageGuard::Admit(const std::string& address) {
  if (pages_ >= kMaxChapterPages) return false;
  if (!visited_.insert(address).second) return false;
  ++pages_;
  return true;
}

std::string CollectChapterBody(int row, std::string firstPage, const text::PageCharset& firstCharset,
                               const ChapterJob& job) {
  const bool lastRow = row == job.book.RowCount() - 1;
  // Only a row with a row after it looks that row up: row + 1 must not overflow for a row far past the end.
  const std::string nextRowLink = row < job.book.RowCount() - 1 ? job.book.LinkAt(row + 1) : std::string();
  const std::string firstAddress = job.book.LinkAt(row);
  const std::string host = http::HostOf(firstAddress, true);
  // The table-of-contents address is taken in the form it was fetched in, which the rows were resolved
  // against, and read afresh for every link.
  PageGuard guard(firstAddress, http::EncodeTypedAddress(job.controls.Address()));

  std::string body;
  std::string page = std::move(firstPage);
  std::string pageAddress = firstAddress;
  while (true) {
    body += PickChapterBody(page);
    body += "\r\n";

    std::string link = NextPageLink(page);
    const bool labelledNextChapter = link.empty();
    if (labelledNextChapter) link = NextChapterLink(page);
    if (link.empty()) break;
    // A link that is part of the next row's address leads to that chapter, not to more of this one.
    if (!lastRow && text::Contains(nextRowLink, link)) break;

    const std::string address =
        ResolveLink(link, http::EncodeTypedAddress(job.controls.Address()), job.book.siteRoot, pageAddress);
    // A link to any other listed chapter is not a continuation either: in a reversed list "下一章" points to the
    // row above, and following it would pull every later chapter into this one.
    if (std::find(job.book.chapterLinks.begin(), job.book.chapterLinks.end(), address) != job.book.chapterLinks.end())
      break;
    // A chapter's pages live on its own site: a sister domain's page is some other text.
    if (http::HostOf(address, true) != host) break;
    // "下一章" continues the chapter only on sites that label their next page so; there it names a page of the
    // same chapter. Anything else is the next chapter, listed or not yet listed (after the last row).
    if (labelledNextChapter && !IsLaterPageOf(address, firstAddress)) break;
    if (!guard.Admit(address)) break;
    // The transcode switch is read afresh for every page; pre-processing is for the first page only.
    // A page that names no charset reads as the first page did.
    http::Response next = FetchPage(job.fetch, address);
    const text::PageCharset charset = text::DecidePageCharset(next.body, next.contentType, &firstCharset);
    page = DecodePage(std::move(next.body), charset, job.controls);
    pageAddress = address;
  }
  return body;
}

}  // namespace lekto
