#pragma once
// A table of contents built by script: the written rules and their second opinion run first, on the pages as they
// are fetched; only where they find no row and the first page carries scripts are the pages read again as the
// browser leaves them, through the same parse.
#include "chapter/book.h"
#include "chapter/controls.h"
#include "chapter/page_browser.h"

#include <optional>

namespace lekto {

// ParseToc over `fetch`, then, where it found no row, the first page carries scripts and `browser` may fall back,
// ParseToc over the browser's reading of every page. `problem`, when given, receives kCheckPage when the book has
// no rows because the first page was a browser check that was not passed.
std::optional<Book> ParseTocWithBrowser(const Controls& controls, const Fetcher& fetch, const BrowserChoice& browser,
                                        PageProblem* problem = nullptr);

}  // namespace lekto
