#pragma once
// TocParser: turns the address of a table-of-contents page (and the pages it links to with "下一页") into the
// book title, the site root and the filtered, ordered chapter list.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapter/book.h"
#include "chapter/controls.h"

namespace lekto {

// A table of contents that keeps linking to further pages stops here; a page that links back to one already
// read stops the walk at once.
inline constexpr int kMaxTocPages = 200;

// Reads the address from `controls`. std::nullopt when the address is empty or lacks "http" (the caller tells
// the user "请输入章节目录地址！"); otherwise the parsed book, possibly with no rows.
std::optional<Book> ParseToc(const Controls& controls, const Fetcher& fetch);

// Keeps the entries that look like chapter links, in page order, without repeated links or titles (the later
// of two repeats wins). Fewer than three entries leave both lists empty.
void FilterChapterLinks(std::vector<std::string>& titles, std::vector<std::string>& links);

// The scheme and host of `address` without a trailing slash; empty when no "/" follows the host.
std::string TocSiteRoot(std::string_view address);

// The book title from a page's title tag, with the site's fixed suffixes such as "最新章节" removed.
std::string TocBookTitle(std::string_view page);

// `title` with each of the site's fixed suffixes ("最新章节列表", "最新章节", "在线阅读", ...) removed.
std::string StripTitleSuffixes(std::string_view title);

}  // namespace lekto
