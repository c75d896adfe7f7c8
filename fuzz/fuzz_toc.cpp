// The table-of-contents parser over pages served from the input: the first page and every "下一页" page it
// follows come from the input in the order they are asked for. The parse never faults, never reads more pages
// than its cap, and gives two lists of one length. Input: the table-of-contents address, then the pages,
// separated by NUL bytes.
#include "fuzz/fuzz_support.h"
#include "support/fake_controls.h"
#include "toc/toc_parser.h"

namespace {

using lekto::fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> pieces =
      lekto::fuzz::Pieces(std::string_view(reinterpret_cast<const char*>(data), size), 8);
  const std::vector<std::string> pages(pieces.begin() + 1, pieces.end());
  lekto::testsupport::FakeControls controls(pieces[0]);
  std::size_t served = 0;
  // An empty page is answered "404 Not Found"; past the last page nothing arrives at all.
  const lekto::Fetcher fetch = [&](const std::string&) {
    if (served >= pages.size()) return lekto::http::Response();
    const std::string& page = pages[served++];
    return lekto::http::Response::Answered(page, page.empty() ? 404 : 200);
  };
  const std::optional<lekto::Book> book = lekto::ParseToc(controls, fetch);
  Check(served <= static_cast<std::size_t>(lekto::kMaxTocPages), "no parse reads more pages than its cap");
  if (book) Check(book->chapterTitles.size() == book->chapterLinks.size(), "one title for every link");
  if (book) {
    std::string scheme = book->metadata.coverAddress.substr(0, 8);
    for (char& c : scheme) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    Check(scheme.empty() || scheme.starts_with("http://") || scheme.starts_with("https://"),
          "a cover address is a web address");
    Check(book->metadata.author.find_first_of("\r\n") == std::string::npos, "an author is one line");
  }

  for (const std::string& page : pages) lekto::TocBookTitle(page);
  return 0;
}
