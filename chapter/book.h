#pragma once
// What a table-of-contents parse produces: the book's title, the site root that links resolve against, and
// the chapter rows. Row r of the chapter list is element r of both lists.
#include <functional>
#include <string>
#include <vector>

namespace lekto {

struct Book {
  std::string title;     // BookTitle
  std::string siteRoot;  // SiteRoot: scheme and host of the table-of-contents address, no trailing slash
  std::vector<std::string> chapterTitles;
  std::vector<std::string> chapterLinks;

  int RowCount() const { return static_cast<int>(chapterLinks.size()); }
};

// Fetches one URL and returns the body bytes, empty on failure. The product passes WebRequest with the URL
// alone; benchmarks may serve pages from memory.
using Fetcher = std::function<std::string(const std::string& url)>;
Fetcher DefaultFetcher();

}  // namespace lekto
