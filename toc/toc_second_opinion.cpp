#include "toc/toc_second_opinion.h"

#include "chapter/link_resolution.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"
#include "toc/toc_parser.h"
#include "toc/toc_row_ends.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_set>

namespace lekto {
namespace {

// Rows with a chapter marker and one link shape that make a run of chapters on their own.
constexpr std::size_t kMarkedRun = 3;

bool IsNumeral(char16_t c) {
  static const std::u16string kNumerals =
      u"0123456789０１２３４５６７８９零〇一二三四五六七八九十百千万两壹贰叁肆伍陆柒捌玖拾佰仟萬兩";
  return kNumerals.find(c) != std::u16string::npos;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';
}

std::u16string LowerAscii(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

// The shape most of the given addresses share, and how many share it.
std::pair<std::string, std::size_t> CommonShape(const std::vector<std::string>& addresses) {
  std::map<std::string, std::size_t> counts;
  for (const std::string& address : addresses) ++counts[LinkShape(address)];
  std::pair<std::string, std::size_t> best;
  for (const auto& [shape, count] : counts) {
    if (count > best.second) best = {shape, count};
  }
  return best;
}

// The same list of a book: the shape shared by most rows whose title carries a chapter marker.
std::string ChapterShape(const Book& book) {
  std::vector<std::string> marked;
  for (int row = 0; row < book.RowCount(); ++row) {
    if (HasChapterMarker(book.TitleAt(row))) marked.push_back(book.LinkAt(row));
  }
  return CommonShape(marked).first;
}

// Cuts a title element at the first separator between the book's name and the site's.
std::string FirstTitleSegment(std::string_view title) {
  static const std::string kSeparators[] = {
      "|", "_", " - ", ",", text::Gbk(u8"，"), text::Gbk(u8"—"), text::Gbk(u8"－"), text::Gbk(u8"｜")};
  int cut = -1;
  for (const std::string& separator : kSeparators) {
    const int at = text::Find(title, separator);
    if (at > 1 && (cut < 0 || at < cut)) cut = at;
  }
  return cut < 0 ? std::string(title) : text::Left(title, cut - 1);
}

}  // namespace

bool HasChapterMarker(std::string_view title) {
  const std::u16string wide = LowerAscii(text::ToWide(title, 936));
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] != u'第') continue;
    std::size_t j = i + 1;
    while (j < wide.size() && IsBlank(wide[j])) ++j;
    const std::size_t digits = j;
    while (j < wide.size() && IsNumeral(wide[j])) ++j;
    if (j == digits) continue;
    while (j < wide.size() && IsBlank(wide[j])) ++j;
    if (j < wide.size() && std::u16string_view(u"章节節回卷话話集部篇").find(wide[j]) != std::u16string_view::npos) {
      return true;
    }
  }
  for (std::u16string_view word : {u"序章", u"楔子", u"番外", u"prologue", u"epilogue"}) {
    if (wide.find(word) != std::u16string::npos) return true;
  }
  for (std::size_t at = wide.find(u"chapter"); at != std::u16string::npos; at = wide.find(u"chapter", at + 1)) {
    std::size_t j = at + 7;
    while (j < wide.size() && IsBlank(wide[j])) ++j;
    if (j < wide.size() && IsNumeral(wide[j])) return true;
  }
  return false;
}

std::string_view LinkFolder(std::string_view address) {
  // The path starts after the host: past "//" and the next "/".
  const std::size_t scheme = address.find("//");
  const std::size_t path = address.find('/', scheme == std::string_view::npos ? 0 : scheme + 2);
  if (path == std::string_view::npos) return address;
  const std::size_t query = address.find('?');
  return address.substr(0, address.rfind('/', query == std::string_view::npos ? address.size() : query) + 1);
}

std::string LinkShape(std::string_view address) {
  const std::size_t fileStart = LinkFolder(address).size();
  std::string shape(address.substr(0, fileStart));
  for (std::size_t i = fileStart; i < address.size(); ++i) {
    const bool digit = address[i] >= '0' && address[i] <= '9';
    if (!digit) {
      shape += address[i];
    } else if (shape.empty() || shape.back() != '#') {
      shape += '#';
    }
  }
  return shape;
}

void DropMenuRows(Book& book) {
  auto [shape, count] = CommonShape(book.chapterLinks);
  if (2 * count <= book.chapterLinks.size()) {
    // A short list under a long site menu: the chapters are told by the shape that most rows saying they are
    // chapters share, when at least kMarkedRun of them do.
    std::vector<std::string> marked;
    for (int row = 0; row < book.RowCount(); ++row) {
      if (HasChapterMarker(book.TitleAt(row))) marked.push_back(book.LinkAt(row));
    }
    std::tie(shape, count) = CommonShape(marked);
    // Without either there is no run of chapters to tell the menus from.
    if (count < kMarkedRun) return;
  }
  // A named copy: clang before 16 cannot capture a structured binding.
  const auto& commonShape = shape;
  const auto isMenu = [&](std::size_t row) {
    return LinkShape(book.chapterLinks[row]) != commonShape && !HasChapterMarker(book.chapterTitles[row]);
  };
  std::size_t head = 0;
  std::size_t tail = book.chapterLinks.size();
  while (head < tail && isMenu(head)) ++head;
  while (tail > head && isMenu(tail - 1)) --tail;
  const auto keep = [&](std::vector<std::string>& list) {
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(tail), list.end());
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(head));
  };
  keep(book.chapterLinks);
  keep(book.chapterTitles);
}

bool TocRowsFailed(const Book& book, const std::function<std::size_t()>& runSize) {
  const std::string shape = ChapterShape(book);
  std::size_t chapterRows = 0, numberedRows = 0;
  for (int row = 0; row < book.RowCount(); ++row) {
    // A row without a title (its text sits in markup the written rule stops at) names no chapter.
    const std::string title = text::Trim(book.TitleAt(row));
    const bool chapter = title.find_first_not_of("\t\r\n") != std::string::npos &&
                         (HasChapterMarker(title) || (!shape.empty() && LinkShape(book.LinkAt(row)) == shape));
    chapterRows += chapter;
    // A list of numbered titles ("1、父亲的肖像") reads as chapters too; a bare number is a page link.
    const bool bare = title.find_first_not_of("0123456789") == std::string::npos;
    numberedRows += chapter || (!bare && ChapterNumber(title).has_value());
  }
  if (book.RowCount() > 0 && 2 * numberedRows >= static_cast<std::size_t>(book.RowCount())) return false;
  return runSize() > chapterRows;
}

namespace {

// Links named by a bare number ("c196", "12") that count up or down by one, row after row, in one shape with every
// number written "#" (an aggregator gives each chapter a folder of its own): the biggest such run, when it holds
// at least five steps of one.
template <typename Candidate>
ChapterRun NumberedRun(const std::vector<Candidate>& candidates) {
  std::map<std::string, std::vector<const Candidate*>> byShape;
  for (const Candidate& c : candidates) {
    if (!c.title.empty()) byShape[LooseShape(c.link)].push_back(&c);
  }
  const std::vector<const Candidate*>* best = nullptr;
  int bestSteps = 0;
  for (const auto& [shape, group] : byShape) {
    int steps = 0;
    for (std::size_t i = 1; i < group.size(); ++i) {
      const std::optional<long> a = ChapterNumber(group[i - 1]->title), b = ChapterNumber(group[i]->title);
      steps += a && b && (*b - *a == 1 || *a - *b == 1);
    }
    if (steps > bestSteps) {
      best = &group;
      bestSteps = steps;
    }
  }
  ChapterRun run;
  if (!best || bestSteps < 5) return run;
  std::unordered_set<std::string> seen;
  std::vector<const Candidate*> kept;
  for (auto it = best->rbegin(); it != best->rend(); ++it) {
    if (seen.insert((*it)->link).second) kept.push_back(*it);
  }
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    run.titles.push_back((*it)->title);
    run.links.push_back((*it)->link);
  }
  return run;
}

}  // namespace

std::string LooseShape(std::string_view address) {
  std::string shape;
  for (const char c : address) {
    if (c < '0' || c > '9') {
      shape += c;
    } else if (shape.empty() || shape.back() != '#') {
      shape += '#';
    }
  }
  return shape;
}

ChapterRun FindChapterRun(const std::vector<ReadTocPage>& pages, std::string_view tocAddress,
                          std::string_view siteRoot) {
  struct Candidate {
    std::string title, link, shape;
    bool marked = false;
  };
  std::vector<Candidate> candidates;
  std::map<std::string, std::size_t> markedByShape;
  for (const ReadTocPage& page : pages) {
    for (const html::PageLink& found : page.reading.links) {
      const std::string lower = text::ToLowerAscii(text::Left(found.href, 11));
      if (found.href.empty() || text::StartsWith(lower, "javascript:") || text::StartsWith(found.href, "#")) continue;
      Candidate candidate;
      candidate.link = found.href;
      ResolveLink(candidate.link, tocAddress, siteRoot, page.address);
      candidate.shape = LinkShape(candidate.link);
      candidate.title = found.leadText;
      candidate.marked = HasChapterMarker(found.text);
      markedByShape[candidate.shape] += candidate.marked;
      candidates.push_back(std::move(candidate));
    }
  }
  std::pair<std::string, std::size_t> best;
  for (const auto& [shape, marked] : markedByShape) {
    if (marked > best.second) best = {shape, marked};
  }
  ChapterRun run;
  if (best.second < 3) return NumberedRun(candidates);

  // A chapter whose address a site wrote another way (a later volume's naming) still lies in the same folder and
  // says it is a chapter.
  const std::string_view folder = LinkFolder(best.first);
  const auto inRun = [&](const Candidate& c) {
    return c.shape == best.first || (c.marked && LinkFolder(c.link) == folder);
  };
  // Walking from the end keeps the later of two repeats.
  std::unordered_set<std::string> seen;
  std::vector<const Candidate*> kept;
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    if (!inRun(*it) || it->title.empty() || !seen.insert(it->link).second) continue;
    kept.push_back(&*it);
  }
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    run.titles.push_back((*it)->title);
    run.links.push_back((*it)->link);
  }
  return run;
}

std::vector<std::string> ChapterLikeLinks(const html::PageReading& page, std::string_view tocAddress,
                                          std::string_view siteRoot, std::string_view pageAddress) {
  std::vector<std::string> links;
  for (const html::PageLink& found : page.links) {
    const std::string title = text::Trim(found.text);
    const bool bare = title.find_first_not_of("0123456789") == std::string::npos;
    if (!HasChapterMarker(title) && (bare || !ChapterNumber(title))) continue;
    std::string link = found.href;
    ResolveLink(link, tocAddress, siteRoot, pageAddress);
    links.push_back(std::move(link));
  }
  return links;
}

bool BookTitleFailed(std::string_view writtenTitle, std::string_view page) {
  if (writtenTitle.empty()) return true;
  for (const std::string_view tag : {"<title>", "<TITLE>"}) {
    const std::size_t at = page.find(std::string(tag) + std::string(writtenTitle));
    if (at == std::string_view::npos) continue;
    const std::string_view rest = page.substr(at + tag.size() + writtenTitle.size(), 16);
    if (rest.starts_with('&') && text::DecodeCharacterReferences(std::string(rest)) != rest) return true;
  }
  const auto latin = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!std::all_of(writtenTitle.begin(), writtenTitle.end(),
                   [&](char c) { return latin(c) || (c >= '0' && c <= '9') || c == '-'; })) {
    return false;
  }
  const std::string cut = "<title>" + std::string(writtenTitle) + " ";
  const std::size_t at = page.find(cut);
  return at != std::string_view::npos && at + cut.size() < page.size() && latin(page[at + cut.size()]);
}

std::string FallbackBookTitle(const html::PageReading& page) {
  for (const std::string& candidate : {page.ogTitle, page.heading, FirstTitleSegment(page.titleElement)}) {
    const std::string title = text::Trim(StripTitleSuffixes(candidate));
    if (!title.empty()) return title;
  }
  return {};
}

}  // namespace lekto
