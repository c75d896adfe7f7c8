#include "toc/toc_parser.h"

#include "chapter/link_resolution.h"
#include "chapter/page_loop.h"
#include "http/url.h"
#include "regex/regex_engine.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "text/page_charset.h"
#include "text/text_codec.h"
#include "toc/book_metadata.h"
#include "toc/toc_pages.h"
#include "toc/toc_row_ends.h"
#include "toc/toc_second_opinion.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace lekto {
namespace {

constexpr std::string_view kSiteRootPattern = R"((https*://.*?)/)";
constexpr std::string_view kTitlePattern = R"(<title>([\u4e00-\u9fa5-a-z-A-Z\d]+).*?</title>)";
constexpr std::string_view kChapterLinkPattern = R"(href\s*=["']*([\w/:\-\.\?&=]+)["'\s]*.*?>(.*?)<)";

// Sites append these to the book's name in the title tag. "最新章节列表" goes first: removing "章节列表" from it
// would leave "最新" glued to the name, a remainder no later suffix matches.
const std::vector<std::string>& TitleSuffixes() {
  static const std::vector<std::string> suffixes = {
      text::Gbk(u8"最新章节列表"), text::Gbk(u8"章节列表"), text::Gbk(u8"最新章节"), text::Gbk(u8"章节目录"),
      text::Gbk(u8"免费在线阅读"), text::Gbk(u8"在线阅读"), text::Gbk(u8"手机阅读"), text::Gbk(u8"无弹窗"),
  };
  return suffixes;
}

// A link written as a script call ("javascript:void(0)" behind "加入书架" or "投推荐票") names no page. Left in,
// it resolves to the table-of-contents folder plus "javascript:", a length close enough to the chapter links'
// to pass the regularity test, and lands at the top of the list as a chapter that cannot be loaded.
bool IsScriptLink(std::string_view link) {
  return text::StartsWith(text::ToLowerAscii(text::Left(link, 11)), "javascript:");
}

// Every link of the page at `pageAddress` with its text, resolved, appended to the book's lists.
void CollectLinks(const std::string& page, const std::string& address, const std::string& pageAddress, Book& book) {
  RegexEngine links;
  links.Compile(kChapterLinkPattern, page);
  const int count = links.MatchCount();
  book.chapterTitles.reserve(book.chapterTitles.size() + count);
  book.chapterLinks.reserve(book.chapterLinks.size() + count);
  for (int j = 1; j <= count; ++j) {
    std::string link = links.GroupText(j, 1);
    if (IsScriptLink(link)) continue;
    ResolveLink(link, address, book.siteRoot, pageAddress);
    book.chapterTitles.push_back(links.GroupText(j, 2));
    book.chapterLinks.push_back(std::move(link));
  }
}

bool IsBlank(std::string_view title) {
  return title.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The links of the rows whose title says they are chapters.
std::vector<std::string> MarkedLinks(const Book& book) {
  std::vector<std::string> links;
  for (int row = 0; row < book.RowCount(); ++row) {
    if (HasChapterMarker(book.TitleAt(row))) links.push_back(book.LinkAt(row));
  }
  return links;
}

struct TocPage {
  std::string address;
  std::string text;
};

// The chapter links of the pages read so far, as a browser reads them: asked only of numbered pages.
class ChaptersSeen {
 public:
  ChaptersSeen(const std::string& tocAddress, const std::string& siteRoot)
      : tocAddress_(tocAddress), siteRoot_(siteRoot) {}

  // True when `page` (read at `pageAddress`) links to a chapter none of `pages` links to.
  bool AddsChapters(const std::vector<TocPage>& pages, const std::string& pageAddress, const std::string& page) {
    for (; read_ < pages.size(); ++read_) Add(pages[read_].address, pages[read_].text);
    return Add(pageAddress, page);
  }

 private:
  bool Add(const std::string& pageAddress, const std::string& page) {
    bool added = false;
    for (std::string& link : ChapterLikeLinks(html::ReadPage(page), tocAddress_, siteRoot_, pageAddress)) {
      added = seen_.insert(std::move(link)).second || added;
    }
    return added;
  }

  const std::string& tocAddress_;
  const std::string& siteRoot_;
  std::unordered_set<std::string> seen_;
  std::size_t read_ = 0;
};

// Mends the written rules' list: menu rows at its ends go; where the list plainly failed, the pages are read as a
// browser reads them and their biggest run of chapter-like links replaces it; a missing title is looked for there.
void SecondOpinion(const std::vector<TocPage>& pages, const std::string& address, Book& book) {
  DropMenuRows(book);
  std::vector<ReadTocPage> readings;
  const auto readAll = [&] {
    if (readings.empty()) {
      for (const TocPage& page : pages) readings.push_back({page.address, html::ReadPage(page.text)});
    }
  };
  ChapterRun run;
  const auto runSize = [&] {
    readAll();
    run = FindChapterRun(readings, address, book.siteRoot);
    return run.links.size();
  };
  if (TocRowsFailed(book, runSize)) {
    book.chapterTitles = std::move(run.titles);
    book.chapterLinks = std::move(run.links);
  }
  if (!pages.empty() && BookTitleFailed(book.title, pages.front().text)) {
    readAll();
    std::string title = FallbackBookTitle(readings.front().reading);
    if (!title.empty()) book.title = std::move(title);
  }
}

}  // namespace

std::string TocSiteRoot(std::string_view address) {
  RegexEngine root;
  root.Compile(kSiteRootPattern, address);
  return root.GroupText(1, 1);
}

std::string TocBookTitle(std::string_view page) {
  RegexEngine title;
  title.Compile(kTitlePattern, page);
  return StripTitleSuffixes(title.GroupText(1, 1));
}

std::string StripTitleSuffixes(std::string_view title) {
  std::string stripped(title);
  for (const std::string& suffix : TitleSuffixes()) stripped = text::ReplaceAll(stripped, suffix, "");
  return stripped;
}

std::optional<Book> ParseToc(const Controls& controls, const Fetcher& fetch) {
  const std::string typed = controls.Address();
  if (typed.empty() || !text::Contains(typed, "http")) return std::nullopt;
  // Sent as a browser sends a typed address: Chinese in it as UTF-8. The rows resolve against this form too.
  const std::string address = http::EncodeTypedAddress(typed);

  Book book;
  // An error page (status 400 or above) or a transfer cut short is no table of contents: no title, no rows.
  http::Response first = fetch(address);
  if (!first.Ok()) first = {};
  // Later pages of the same table of contents that name no charset read as the first page does.
  const text::PageCharset charset = text::DecidePageCharset(first.body, first.contentType);
  std::string page = text::PageToGbk(first.body, charset);
  book.siteRoot = TocSiteRoot(address);
  book.title = TocBookTitle(page);
  book.metadata = ReadBookMetadata(page, address, book.siteRoot);

  // The pages as read, kept for the second opinion.
  std::vector<TocPage> pages;
  std::unordered_set<std::string> visited = {address};
  std::string pageAddress = address;
  // The number of the page read last, for a table of contents that numbers its pages.
  long pageNumber = 1;
  ChaptersSeen chapters(address, book.siteRoot);
  for (;;) {
    pages.push_back({pageAddress, page});
    // A link whose text sits in one of these spans would otherwise yield an empty title.
    page = text::ReplaceAll(page, R"(<span class="title">)", "");
    page = text::ReplaceAll(page, "<span>", "");
    CollectLinks(page, address, pageAddress, book);
    FilterChapterLinks(book.chapterTitles, book.chapterLinks);
    if (static_cast<int>(pages.size()) >= kMaxTocPages) break;

    // The same "下一页" link the chapter pages are followed by.
    std::string link = NextPageLink(page);
    const bool numbered = link.empty();
    if (!numbered) {
      ResolveLink(link, address, book.siteRoot, pageAddress);
    } else {
      // Without one, the page menu or the numbered page links ("1 2 3 … 18") name the next page.
      link = NextNumberedTocPage(page, pageAddress, address, book.siteRoot, MarkedLinks(book), pageNumber);
      if (link.empty()) break;
      ++pageNumber;
    }
    // A page that links to itself or back to an earlier page would otherwise be read forever.
    if (!visited.insert(link).second) break;
    const http::Response next = fetch(link);
    if (!next.Ok()) break;  // the rows of the pages read so far, never an error page's links
    page = text::PageToGbk(next.body, text::DecidePageCharset(next.body, next.contentType, &charset));
    // Numbered pages of something else (the reviews under the list) show the chapters read already, or none.
    if (numbered && !chapters.AddsChapters(pages, link, page)) break;
    pageAddress = link;
  }
  SecondOpinion(pages, address, book);
  // Titles as the page shows them: "A &amp; B" is "A & B".
  book.title = text::DecodeCharacterReferences(std::move(book.title));
  for (std::string& title : book.chapterTitles) title = text::DecodeCharacterReferences(std::move(title));
  MendRunEnds(book);
  return book;
}

void FilterChapterLinks(std::vector<std::string>& titles, std::vector<std::string>& links) {
  std::vector<std::string> inTitles = std::move(titles);
  std::vector<std::string> inLinks = std::move(links);
  titles.clear();
  links.clear();
  const std::size_t n = std::min(inTitles.size(), inLinks.size());
  if (n < 3) return;

  // Positions below are 1-based, as in the list the window shows.
  const std::size_t m = n / 2;
  const auto length = [&](std::size_t k) { return static_cast<long>(inLinks[k - 1].size()); };
  // With exactly three entries the middle is the first one and has no predecessor: the missing neighbour
  // passes, as a shorter one would, and only the step to the next entry decides.
  const bool previousClose = m < 2 || length(m) - length(m - 1) <= 1;
  const bool regular = previousClose && length(m + 1) - length(m) <= 1;

  std::vector<std::size_t> eligible;
  eligible.reserve(n);
  for (std::size_t k = 1; k <= n; ++k) {
    if (!regular || std::labs(length(k) - length(m)) <= 3) eligible.push_back(k - 1);
  }
  const std::size_t count = eligible.size();
  const auto at = [&](std::size_t e) -> std::pair<const std::string&, const std::string&> {
    return {inTitles[eligible[e]], inLinks[eligible[e]]};
  };

  // A block of the latest chapters repeats, above or below the list, rows the list holds too: the leading rows
  // whose link or title comes again further down, and the trailing ones whose link or title came before. Only
  // there is a repeated title a repeat; inside the run two rows of one title and two links are two chapters
  // (two 番外, a site that numbers two pages 第767章).
  struct Occurrences {
    std::size_t last = 0;   // the last row that holds it
    std::size_t count = 0;  // how many rows from the head on hold it
  };
  std::unordered_map<std::string_view, Occurrences> byLink, byTitle;
  byLink.reserve(count);
  byTitle.reserve(count);
  for (std::size_t e = 0; e < count; ++e) {
    Occurrences& link = byLink[at(e).second];
    Occurrences& title = byTitle[at(e).first];
    link.last = title.last = e;
    ++link.count;
    ++title.count;
  }
  std::size_t head = 0;
  while (head < count && (byLink[at(head).second].last > head || byTitle[at(head).first].last > head)) {
    --byLink[at(head).second].count;
    --byTitle[at(head).first].count;
    ++head;
  }
  // From the end back, the counts hold the rows before the one looked at: more than none is a repeat.
  std::size_t tail = count;
  while (tail > head) {
    const std::size_t links = --byLink[at(tail - 1).second].count;
    const std::size_t titles = --byTitle[at(tail - 1).first].count;
    if (links == 0 && titles == 0) break;
    --tail;
  }

  // Walking from the end keeps the later of two repeats; hash sets keep a list of ten thousand links linear.
  std::unordered_set<std::string_view> keptLinks;
  std::unordered_set<std::string_view> keptTitles;  // of every kept row
  std::unordered_set<std::string_view> endTitles;   // of the kept rows of a block at the end
  keptLinks.reserve(count);
  keptTitles.reserve(count);
  std::vector<std::size_t> kept;
  for (std::size_t e = count; e-- > 0;) {
    const auto [title, link] = at(e);
    // A title of white space alone names no chapter: of those, as of titles at the ends, one stays.
    const bool atEnds = e < head || e >= tail || IsBlank(title);
    if (keptLinks.contains(link) || (atEnds ? keptTitles : endTitles).contains(title)) continue;
    keptLinks.insert(link);
    keptTitles.insert(title);
    if (atEnds) endTitles.insert(title);
    kept.push_back(eligible[e]);
  }
  titles.reserve(kept.size());
  links.reserve(kept.size());
  // The sets point into the input lists; from here on they are no longer used, so the texts can move.
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    titles.push_back(std::move(inTitles[*it]));
    links.push_back(std::move(inLinks[*it]));
  }
}

}  // namespace lekto
