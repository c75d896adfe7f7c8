#include "chapter/page_loop.h"

#include <algorithm>
#include <utility>

#include "chapter/body_location.h"
#include "chapter/link_resolution.h"
#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

namespace lekto {

namespace {

std::string FirstGroup(std::string_view pattern, std::string_view page) {
  RegexEngine engine;
  engine.Compile(pattern, page);
  return engine.GroupText(1, 1);
}

}  // namespace

std::string NextPageLink(std::string_view page) {
  static const std::string kPattern =
      text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一页[:\u4e00-\u9fa5\s\(\)\w]*</a>)");
  return FirstGroup(kPattern, page);
}

std::string NextChapterLink(std::string_view page) {
  static const std::string kPattern = text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一章</a>)");
  return FirstGroup(kPattern, page);
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
  const std::string nextRowLink = job.book.LinkAt(row + 1);
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
