#include "toc/toc_pages.h"

#include "chapter/link_resolution.h"
#include "regex/regex_engine.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "toc/toc_second_opinion.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_set>

namespace lekto {
namespace {

constexpr std::size_t kMostPageNumbers = 100;
constexpr std::string_view kSelectPattern = R"(<select[\s\S]*?</select>)";
constexpr std::string_view kOptionPattern = R"(<option\s[^>]*?value\s*=\s*["']?([^"'\s>]+))";
constexpr std::string_view kNumberedLinkPattern =
    R"(<a\s[^>]*?href\s*=\s*["']?([^"'\s>]+)["']?[^>]*>\s*(\d{1,4})\s*</a>)";

// The scheme and host of an address ("http://h" of "http://h/a/b").
std::string_view Origin(std::string_view address) {
  const std::size_t scheme = address.find("//");
  const std::size_t path = address.find_first_of("/?#", scheme == std::string_view::npos ? 0 : scheme + 2);
  return address.substr(0, path);
}

// The last number of an address's path and query: the page number of "index_2.html" or "?pg=2".
long LastNumber(std::string_view address) {
  const std::size_t end = address.find_last_of("0123456789");
  if (end == std::string_view::npos || end < Origin(address).size()) return 0;
  std::size_t start = end;
  while (start > 0 && address[start - 1] >= '0' && address[start - 1] <= '9') --start;
  long value = 0;
  std::from_chars(address.data() + start, address.data() + std::min(end + 1, start + 9), value);
  return value;
}

bool Followable(std::string_view href) {
  const std::string lower = text::ToLowerAscii(text::Left(href, 11));
  return !href.empty() && !text::StartsWith(lower, "javascript:") && !text::StartsWith(href, "#");
}

// An option's value names a page only when it is written as an address: a path, a query or a page's file name.
// Menus of colours, fonts and sizes ("#F4F4F4", "16px", "2") are not.
bool LooksLikeAddress(std::string_view value) {
  if (value.find('/') != std::string_view::npos || value.find('?') != std::string_view::npos) return true;
  const std::string lower = text::ToLowerAscii(value);
  for (std::string_view extension : {".html", ".htm", ".shtml", ".php", ".asp", ".aspx", ".jsp"}) {
    if (lower.ends_with(extension)) return true;
  }
  return false;
}

// The page numbered `number` in the biggest group of one address shape that holds it and leads to no row.
std::string PageOfNumber(const std::vector<NumberedTocPage>& found, long number,
                         const std::vector<std::string>& rowLinks) {
  const std::unordered_set<std::string_view> rows(rowLinks.begin(), rowLinks.end());
  std::map<std::string, std::vector<const NumberedTocPage*>> byShape;
  std::unordered_set<std::string> rejected;
  for (const NumberedTocPage& p : found) {
    const std::string shape = LooseShape(p.address);
    if (rows.contains(p.address)) rejected.insert(shape);
    byShape[shape].push_back(&p);
  }
  std::string best;
  std::size_t bestSize = 0;
  for (const auto& [shape, pages] : byShape) {
    // A page bar shows a few numbers, a page menu a few dozen; hundreds are the chapters of a list that numbers them.
    if (rejected.contains(shape) || pages.size() <= bestSize || pages.size() > kMostPageNumbers) continue;
    for (const NumberedTocPage* p : pages) {
      if (p->number != number) continue;
      best = p->address;
      bestSize = pages.size();
      break;
    }
  }
  return best;
}

// True when some link's whole text is a number of one to four digits: the byte scan that spares a long list without
// one the link pattern's run.
bool HasNumberedLink(std::string_view page) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t end = page.find("</"); end != std::string_view::npos; end = page.find("</", end + 2)) {
    if (end + 3 >= page.size() || (page[end + 2] != 'a' && page[end + 2] != 'A') || page[end + 3] != '>') continue;
    std::size_t at = end;
    while (at > 0 && space(page[at - 1])) --at;
    const std::size_t digits = at;
    while (at > 0 && digit(page[at - 1])) --at;
    if (at == digits || digits - at > 4) continue;
    while (at > 0 && space(page[at - 1])) --at;
    if (at > 0 && page[at - 1] == '>') return true;
  }
  return false;
}

}  // namespace

std::string NextNumberedTocPage(std::string_view page, const std::string& pageAddress, const std::string& tocAddress,
                                const std::string& siteRoot, const std::vector<std::string>& rowLinks, long number) {
  const auto resolved = [&](std::string href) {
    href = text::DecodeCharacterReferences(std::move(href));
    ResolveLink(href, tocAddress, siteRoot, pageAddress);
    return href;
  };
  // The pages of one table of contents stay on its site.
  const auto admit = [&](std::vector<NumberedTocPage>& into, long n, std::string address) {
    if (Origin(address) == Origin(pageAddress) && address != pageAddress) into.push_back({n, std::move(address)});
  };
  // Cheap tests first: most pages have neither.
  if (text::Contains(page, "<select", true)) {
    RegexEngine selects;
    selects.Compile(kSelectPattern, page);
    for (int s = 1; s <= selects.MatchCount(); ++s) {
      RegexEngine options;
      options.Compile(kOptionPattern, selects.MatchText(s));
      std::vector<NumberedTocPage> menu;
      for (int o = 1; o <= options.MatchCount(); ++o) {
        const std::string href = options.GroupText(o, 1);
        if (!Followable(href) || !LooksLikeAddress(href)) continue;
        std::string address = resolved(href);
        const long n = LastNumber(address);
        admit(menu, n, std::move(address));
      }
      if (menu.size() < 2) continue;
      std::string next = PageOfNumber(menu, number + 1, rowLinks);
      if (!next.empty()) return next;
    }
  }
  if (!HasNumberedLink(page)) return {};
  RegexEngine links;
  links.Compile(kNumberedLinkPattern, page);
  std::vector<NumberedTocPage> numbered;
  for (int j = 1; j <= links.MatchCount(); ++j) {
    const std::string href = links.GroupText(j, 1);
    if (Followable(href)) admit(numbered, std::atol(links.GroupText(j, 2).c_str()), resolved(href));
  }
  return PageOfNumber(numbered, number + 1, rowLinks);
}

}  // namespace lekto
