#pragma once
// What a table-of-contents parse produces: the book's title, the site root that links resolve against, and
// the chapter rows. Row r of the chapter list is element r of both lists.
#include "http/response.h"

#include <functional>
#include <string>
#include <vector>

namespace lekto {

// What the book page says of the book besides its title and chapters; each part empty when the page does not say.
struct BookMetadata {
  std::string author;
  std::string description;   // lines joined by CR LF
  std::string coverAddress;  // the cover picture's absolute address
};

struct Book {
  std::string title;     // BookTitle
  std::string siteRoot;  // SiteRoot: scheme and host of the table-of-contents address, no trailing slash
  std::vector<std::string> chapterTitles;
  std::vector<std::string> chapterLinks;
  // The site listed the chapters newest first; the rows stand in reading order, and the reader is told once.
  bool listedNewestFirst = false;
  BookMetadata metadata;

  int RowCount() const { return static_cast<int>(chapterLinks.size()); }
  // The link and title of a 0-based row; the empty text for a row outside the lists.
  std::string LinkAt(int row) const { return At(chapterLinks, row); }
  std::string TitleAt(int row) const { return At(chapterTitles, row); }

 private:
  static std::string At(const std::vector<std::string>& list, int row) {
    return row >= 0 && row < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(row)] : std::string();
  }
};

// Fetches one URL: the response's status, body and reading headers, or why none arrived. The product passes
// http::Get; tests and benchmarks may serve pages from memory.
using Fetcher = std::function<http::Response(const std::string& url)>;
Fetcher DefaultFetcher();

}  // namespace lekto
