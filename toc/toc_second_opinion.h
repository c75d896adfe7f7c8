#pragma once
// The table of contents where the written rules plainly fail: the pages are read as a browser reads them and
// the biggest run of chapter-like links becomes the list. Also the one deliberate mend of the written result
// (menu rows at its ends are dropped) and the book title where the written rule finds none.
#include "chapter/book.h"
#include "html/page_reading.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lekto {

// True when a chapter title carries a chapter marker: 第 and a number before 章/节/回/卷/话/集/部/篇, 序章, 楔子,
// 番外, or "Chapter" and a number, "Prologue", "Epilogue" in any letter case.
bool HasChapterMarker(std::string_view title);

// The folder of an address: up to the last "/" of its path (the whole address when it has no path).
std::string_view LinkFolder(std::string_view address);
// The shape of an address: its folder as written (a book's chapters share it), then the file name and query
// with every run of digits written "#".
std::string LinkShape(std::string_view address);
// The shape of an address with every run of digits written "#", its folders' too.
std::string LooseShape(std::string_view address);

// Drops the rows at the head and at the tail of the list that plainly are not chapters: a link shape unlike
// the one most rows share, and no chapter marker in the title (书架, 用户中心, 首页 and the like). Rows inside
// the run of chapters always stay, whatever they hold.
void DropMenuRows(Book& book);

// True when the written rules' list plainly failed: no rows, or most rows are not chapter links (no chapter
// marker, and a shape unlike the rows that have one) while the pages hold a bigger run of chapter-like links.
// `runSize` is asked only when the rows alone cannot settle it, so the pages are parsed only then.
bool TocRowsFailed(const Book& book, const std::function<std::size_t()>& runSize);

// One page of the table of contents as a browser reads it, and the address it was found at.
struct ReadTocPage {
  std::string address;
  html::PageReading reading;
};

struct ChapterRun {
  std::vector<std::string> titles;
  std::vector<std::string> links;
};

// The biggest run of chapter-like links of the pages, in document order: the links of the one shape that most
// links with a chapter marker share, and the links with a chapter marker in the same folder, resolved as the
// written rules resolve them, titled with their text flattened to one line. Of repeated links the later stays, as in
// the written list. Empty when fewer than three links carry a chapter marker.
ChapterRun FindChapterRun(const std::vector<ReadTocPage>& pages, std::string_view tocAddress,
                          std::string_view siteRoot);

// The links of `page` (read at `pageAddress`) whose text names a chapter (a chapter marker, or a number and more
// than the number: "c196"), resolved as the rows are.
std::vector<std::string> ChapterLikeLinks(const html::PageReading& page, std::string_view tocAddress,
                                          std::string_view siteRoot, std::string_view pageAddress);

// True when the written title rule plainly failed on `page`: no title, the name of a book in Latin script cut
// at its first blank ("Heavenly" of "<title>Heavenly Jewel Change - ..."), since the rule takes no blanks, or a
// name cut at a character reference ("书名" of "<title>书名&#x4E2D;..."), which the rule does not read.
bool BookTitleFailed(std::string_view writtenTitle, std::string_view page);

// The book's name from the page read as a browser reads it: og:title, else the first h1, else the title
// element up to its first separator; the site's fixed suffixes removed as the written rule removes them.
std::string FallbackBookTitle(const html::PageReading& page);

}  // namespace lekto
