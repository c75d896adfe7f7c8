#pragma once
// Multi-page chapters: following "下一页" (and "下一章" links that continue the same chapter) from page to page
// and joining the body of every page.
#include "chapter/chapter_pipeline.h"
#include "text/page_charset.h"

#include <set>
#include <string>
#include <string_view>

namespace lekto {

// No chapter is followed over more pages than this; a site whose links run on and on cannot hold a worker.
inline constexpr int kMaxChapterPages = 50;

// Group 1 of the first "下一页" link of the page, and of the first link labelled exactly "下一章"; empty when
// the page has none.
std::string NextPageLink(std::string_view page);
std::string NextChapterLink(std::string_view page);

// True when `address` names a later page of the chapter whose first page is `firstAddress`: the same address
// with a page suffix on the file name ("123.html" -> "123_2.html", "123-2.html") or with a query added
// ("123.html" -> "123.html?page=2").
bool IsLaterPageOf(std::string_view address, std::string_view firstAddress);

// Remembers the addresses one chapter has fetched, so that a link back to an earlier page, to the page itself
// or to the table of contents ends the chapter instead of repeating it, and caps the number of pages.
class PageGuard {
 public:
  PageGuard(const std::string& firstAddress, const std::string& tocAddress);
  // True when `address` may be fetched as the chapter's next page; it then counts as visited.
  bool Admit(const std::string& address);

 private:
  std::set<std::string> visited_;
  int pages_ = 1;
};

// The page loop for row `row`: the pick of the first page (already decoded and pre-processed), then of every
// continuation page, each followed by CR LF. A link found inside the next row's link, a link to another listed
// chapter or to another host, and a "下一章" link that names no later page of this chapter end the loop.
std::string CollectChapterBody(int row, std::string firstPage, const text::PageCharset& firstCharset,
                               const ChapterJob& job);

}  // namespace lekto
