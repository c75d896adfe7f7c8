#pragma once
// TocParser: turns the address of a table-of-contents page (and the pages it links to with "下一页") into the
// book title, the site root and the filtered, ordered chapter list.
#include <optional>
#include <string>
#include <vector>

#include "chapter/book.h"
#include "chapter/controls.h"

namespace lekto {

// Reads the address from `controls`. std::nullopt when the address is empty or lacks "http" (the caller tells
// the user "请输入章节目录地址！"); otherwise the parsed book, possibly with no rows.
std::optional<Book> ParseToc(const Controls& controls, const Fetcher& fetch);

// Keeps the entries that look like chapter links, in page order, without repeated links or titles (the later
// of two repeats wins). Fewer than three entries leave both lists empty.
void FilterChapterLinks(std::vector<std::string>& titles, std::vector<std::string>& links);

}  // namespace lekto
