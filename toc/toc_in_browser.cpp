#include "toc/toc_in_browser.h"

#include "toc/toc_parser.h"

namespace lekto {

std::optional<Book> ParseTocWithBrowser(const Controls& controls, const Fetcher& fetch, const BrowserChoice& browser,
                                        PageProblem* problem) {
  if (problem != nullptr) *problem = PageProblem::kNone;
  // What the first answer was: the parse itself reads only pages that arrived whole.
  bool first = true;
  bool scripts = false;
  bool checkPage = false;
  const Fetcher watching = [&](const std::string& url) {
    http::Response response = fetch(url);
    if (first) {
      first = false;
      checkPage = LooksLikeCheckPage(response) || response.error == http::TransferError::kCheckNotPassed;
      scripts = response.Ok() && CarriesScripts(response.body);
    }
    return response;
  };
  std::optional<Book> book = ParseToc(controls, watching);
  if (!book || book->RowCount() > 0) return book;
  if (scripts && browser.MayFallBack()) {
    first = true;
    const Fetcher inBrowser = [&](const std::string& url) {
      http::Response response = browser.read(url);
      if (first) {
        first = false;
        checkPage = LooksLikeCheckPage(response) || response.error == http::TransferError::kCheckNotPassed;
      }
      return response;
    };
    std::optional<Book> read = ParseToc(controls, inBrowser);
    if (read && read->RowCount() > 0) return read;
  }
  if (problem != nullptr && checkPage) *problem = PageProblem::kCheckPage;
  return book;
}

}  // namespace lekto
