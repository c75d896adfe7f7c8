#include "chapter/page_loop.h"

#include "chapter/body_location.h"
#include "chapter/link_resolution.h"
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

}  // namespace

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

std::string CollectChapterBody(int row, std::string firstPage, bool pageIsUtf8, const ChapterJob& job) {
  const bool lastRow = row == job.book.RowCount() - 1;
  // Only a row with a row after it looks that row up: row + 1 must not overflow for a row far past the end.
  const std::string nextRowLink = row < job.book.RowCount() - 1 ? job.book.LinkAt(row + 1) : std::string();
  PageGuard guard(job.book.LinkAt(row), job.controls.Address());

  std::string body;
  std::string page = std::move(firstPage);
  while (true) {
    body += PickBodyCandidate(page);
    body += "\r\n";

    std::string link = NextPageLink(page);
    if (link.empty()) link = NextChapterLink(page);
    if (link.empty()) break;
    // A link that is part of the next row's address leads to that chapter, not to more of this one.
    if (!lastRow && text::Contains(nextRowLink, link)) break;

    const std::string address = ResolveLink(link, job.controls.Address(), job.book.siteRoot);
    // A link to any other listed chapter is not a continuation either: in a reversed list "下一章" points to the
    // row above, and following it would pull every later chapter into this one.
    if (std::find(job.book.chapterLinks.begin(), job.book.chapterLinks.end(), address) != job.book.chapterLinks.end())
      break;
    if (!guard.Admit(address)) break;
    // The transcode switch is read afresh for every page; pre-processing is for the first page only.
    page = DecodePage(FetchPage(job.fetch, address), pageIsUtf8, job.controls);
  }
  return body;
}

}  // namespace lekto
