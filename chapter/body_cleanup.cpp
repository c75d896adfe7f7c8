#include "chapter/body_cleanup.h"

#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace lekto {

namespace {

// ECMAScript's \s, which the program's patterns are written in: TAB, LF, VT, FF, CR, blank, U+00A0, U+1680,
// U+2000..U+200A, the line and paragraph separators, U+202F, U+205F, the ideographic space and U+FEFF.
bool IsEcmaSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Position after the run of characters from `pos` that `accept(c, at)` takes, c being the code point of the
// character at byte position `at`.
template <typename Accept>
std::size_t SkipWhile(std::string_view text, std::size_t pos, Accept accept) {
  while (pos < text.size()) {
    std::size_t next = pos;
    const char32_t c = static_cast<unsigned char>(text[pos]) < 0x80 ? static_cast<unsigned char>(text[next++])
                                                                    : text::NextGbkChar(text, next);
    if (!accept(c, pos)) break;
    pos = next;
  }
  return pos;
}

// The class of the tag pattern: word characters, white space and . = - , : ; % " ' / ( ).
bool IsTagChar(char32_t c, std::size_t /*at*/) {
  constexpr std::string_view kMarks = ".=-,:;%\"'/()";
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') return true;
  if (c < 0x80 && kMarks.find(static_cast<char>(c)) != std::string_view::npos) return true;
  return IsEcmaSpace(c);
}

// True when `rule` matches only its own text: ASCII letters (in either case, as the engine matches them),
// digits, blanks and punctuation that means nothing in a pattern, and characters that have no letter case:
// Chinese characters, CJK punctuation and the full-width marks.
bool IsPlainWords(std::string_view rule) {
  static constexpr std::string_view kPlainMarks = " !\"#%&',-/:;<=>@_`~";
  bool plain = true;
  SkipWhile(rule, 0, [&plain](char32_t c, std::size_t) {
    if (c < 0x80) {
      plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              kPlainMarks.find(static_cast<char>(c)) != std::string_view::npos;
    } else {
      plain = (c >= 0x4E00 && c <= 0x9FA5) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF20) ||
              (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
    }
    return plain;
  });
  return plain;
}

// The first "<" at or after `from` that opens markup (hidden markup alone with `hiddenOnly`), or npos.
std::size_t FirstMarkup(std::string_view text, std::size_t from, bool hiddenOnly);

}  // namespace

std::string CleanBody(std::string_view body) {
  // Most bodies hold no markup the simple tag pattern leaves: the second pass is then a search, not a copy.
  // Most bodies hold no script, style or comment: the body is then cleaned as it stands, without a copy.
  std::string text = FirstMarkup(body, 0, true) == std::string_view::npos
                         ? CleanBodyKeepingMarkup(body)
                         : CleanBodyKeepingMarkup(RemoveHiddenMarkup(body));
  return text.find('<') == std::string::npos ? text : RemoveMarkup(text);
}

std::string CleanBodyKeepingMarkup(std::string_view body) {
  static const std::string kBreakAndIndent = "<br>" + text::Gbk(u8"　　");
  // "&lt;" is the prose's "<": it stays for the reference decoding. The escaped line-break tag "&lt;/br&gt;",
  // which sites leave in their text, goes whole, as the steps for "&lt;" and "/br&gt;" took it before.
  static const std::pair<std::string_view, std::string_view> kChain[] = {
      {"<br><br>", "\r\n"}, {kBreakAndIndent, "\r\n"}, {"<br/><br/>", "\r\n"}, {"<br />", ""},   {"<br/>", ""},
      {"&nbsp;", ""},       {"p&amp;gt;", ""},         {"<p>", "\r\n"},        {"</p>", "\r\n"}, {"&lt;/br&gt;", ""},
      {"/br&gt;", ""},
  };
  std::string text(body);
  for (const auto& [from, to] : kChain) {
    if (text::Contains(text, from)) text = text::ReplaceAll(text, from, to);
  }
  return RemoveTags(TrimOuterBreaks(text));
}

std::string TrimOuterBreaks(std::string_view text) {
  if (text::StartsWith(text, "\r\n")) text.remove_prefix(2);
  if (text::EndsWith(text, "\r\n")) text.remove_suffix(2);
  return CollapseBlankLines(text);
}

// Deletes what "\n\s*\r" matches, scanning as the pattern does: from a line feed over the longest run of white
// space, back to the last carriage return in that run. Bodies are up to megabytes; a direct scan spares the
// conversion the regex engine makes of the whole text.
std::string CollapseBlankLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', lf + 1)) {
    std::size_t lastCr = std::string_view::npos;
    const std::size_t runEnd = SkipWhile(text, lf + 1, [&lastCr](char32_t c, std::size_t at) {
      if (c == '\r') lastCr = at;
      return IsEcmaSpace(c);
    });
    if (lastCr == std::string_view::npos) {
      // The line feeds inside this run see the same run without a carriage return: none of them matches, and
      // skipping them keeps a long run of bare line feeds from being scanned once per line feed.
      lf = runEnd - 1;
      continue;
    }
    out.append(text.substr(copied, lf - copied));
    copied = lastCr + 1;
    lf = lastCr;
  }
  out.append(text.substr(copied));
  return out;
}

// Deletes what "<[\w\s\.=\-,:;%"'/\(\)]+>" matches: "<", one or more characters of the class, ">".
std::string RemoveTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    const std::size_t end = SkipWhile(text, lt + 1, IsTagChar);
    if (end == lt + 1 || end >= text.size() || text[end] != '>') continue;
    out.append(text.substr(copied, lt - copied));
    copied = end + 1;
    lt = end;
  }
  out.append(text.substr(copied));
  return out;
}

bool LeavesMarkup(std::string_view text) {
  for (std::size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    if (lt + 1 == text.size()) break;
    const char next = text[lt + 1];
    const bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
    if (!letter && next != '!' && next != '/') continue;
    const std::size_t end = SkipWhile(text, lt + 1, IsTagChar);
    if (end >= text.size() || text[end] != '>') return true;
  }
  return false;
}

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view lowerWord) {
  if (pos > text.size() || text.size() - pos < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A tag this long is no tag but a "<" of the prose that a later ">" happens to follow.
constexpr std::size_t kMaxTag = 4096;

// The position after the ">" that closes the tag whose name starts at `pos`, or npos. A quoted attribute value
// may hold ">". "<", ">" and the quotes are below 0x40, never the second byte of a GBK character.
std::size_t TagEnd(std::string_view text, std::size_t pos) {
  const std::size_t limit = std::min(text.size(), pos + kMaxTag);
  char quote = 0;
  bool afterEquals = false;
  for (std::size_t at = pos; at < limit; ++at) {
    const char c = text[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '>') return at + 1;
    if ((c == '"' || c == '\'') && afterEquals) {
      quote = c;
      afterEquals = false;
      continue;
    }
    if (c == '=') {
      afterEquals = true;
    } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      afterEquals = false;
    }
  }
  return std::string_view::npos;
}

// The end of the markup that starts with the "<" at `lt`, or npos when that "<" opens none. `hiddenOnly` asks
// for script and style elements (with their content) and comments alone.
std::size_t MarkupEnd(std::string_view text, std::size_t lt, bool hiddenOnly) {
  if (text.compare(lt, 4, "<!--") == 0) {
    const std::size_t close = text.find("-->", lt + 4);
    return close == std::string_view::npos ? close : close + 3;
  }
  for (const std::string_view name : {std::string_view("script"), std::string_view("style")}) {
    const std::size_t after = lt + 1 + name.size();
    if (!StartsWithNoCase(text, lt + 1, name) || after >= text.size() || IsAsciiLetter(text[after])) continue;
    const std::size_t open = TagEnd(text, after);
    if (open == std::string_view::npos) return open;
    if (text[open - 2] == '/') return open;  // "<script ... />" holds nothing
    for (std::size_t close = text.find("</", open); close != std::string_view::npos;
         close = text.find("</", close + 2)) {
      if (StartsWithNoCase(text, close + 2, name)) return TagEnd(text, close + 2);
    }
    return std::string_view::npos;
  }
  if (hiddenOnly || lt + 1 >= text.size()) return std::string_view::npos;
  const char next = text[lt + 1];
  if (next == '!' || next == '?') {
    const std::size_t gt = text.find('>', lt + 2);
    return gt == std::string_view::npos || gt - lt > kMaxTag ? std::string_view::npos : gt + 1;
  }
  if (IsAsciiLetter(next)) return TagEnd(text, lt + 1);
  if (next == '/' && lt + 2 < text.size() && IsAsciiLetter(text[lt + 2])) return TagEnd(text, lt + 2);
  return std::string_view::npos;
}

std::size_t FirstMarkup(std::string_view text, std::size_t from, bool hiddenOnly) {
  for (std::size_t lt = text.find('<', from); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    if (MarkupEnd(text, lt, hiddenOnly) != std::string_view::npos) return lt;
  }
  return std::string_view::npos;
}

std::string DeleteMarkup(std::string_view text, bool hiddenOnly) {
  std::string out;
  std::size_t copied = 0;
  for (std::size_t lt = FirstMarkup(text, 0, hiddenOnly); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    const std::size_t end = MarkupEnd(text, lt, hiddenOnly);
    if (end == std::string_view::npos) continue;
    if (out.empty()) out.reserve(text.size());
    out.append(text.substr(copied, lt - copied));
    copied = end;
    lt = end - 1;
  }
  if (copied == 0) return std::string(text);
  out.append(text.substr(copied));
  return out;
}

// Characters of a GBK line: a byte of 0x81 or more leads a two-byte character.
std::size_t CharCount(std::string_view line) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < line.size(); ++count) pos += static_cast<unsigned char>(line[pos]) >= 0x81 ? 2 : 1;
  return count;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

std::string RemoveHiddenMarkup(std::string_view text) {
  return DeleteMarkup(text, true);
}

std::string RemoveMarkup(std::string_view text) {
  return DeleteMarkup(text, false);
}

bool HasWebAddress(std::string_view text) {
  for (std::size_t colon = text.find("://"); colon != std::string_view::npos; colon = text.find("://", colon + 1)) {
    if ((colon >= 4 && StartsWithNoCase(text, colon - 4, "http")) ||
        (colon >= 5 && StartsWithNoCase(text, colon - 5, "https"))) {
      return true;
    }
  }
  // Found from its ".", which prose written in Chinese seldom holds (a search for "w" would stop at every
  // character whose second byte is one). A "w" that is such a byte still reads as the address it shows.
  for (std::size_t dot = text.find('.'); dot != std::string_view::npos; dot = text.find('.', dot + 1)) {
    if (dot >= 3 && StartsWithNoCase(text, dot - 3, "www.")) return true;
  }
  return false;
}

std::string_view TrimLineSpaces(std::string_view line) {
  static const std::string kIdeographicSpace = text::Gbk(u8"　");
  while (!line.empty() && (IsBlank(line.front()) || text::StartsWith(line, kIdeographicSpace))) {
    line.remove_prefix(IsBlank(line.front()) ? 1 : kIdeographicSpace.size());
  }
  while (!line.empty() && (IsBlank(line.back()) || text::EndsWith(line, kIdeographicSpace))) {
    line.remove_suffix(IsBlank(line.back()) ? 1 : kIdeographicSpace.size());
  }
  return line;
}

std::string DeleteWatermarkLines(std::string whole) {
  // Most texts name no address: one search, no copy.
  if (!HasWebAddress(whole)) return whole;
  const std::string_view text = whole;
  std::string out;
  out.reserve(text.size());
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    const std::string_view line = TrimLineSpaces(text.substr(start, end - start));
    if (line.empty() || CharCount(line) > kWatermarkChars || !HasWebAddress(line)) {
      out.append(text.substr(start, end - start));
    } else if (lf == std::string_view::npos && !out.empty()) {
      // The last line goes with the line end before it, so that the text does not end in a new empty line.
      const std::size_t cut = text::EndsWith(out, "\r\n") ? 2 : text::EndsWith(out, "\n") ? 1 : 0;
      out.resize(out.size() - cut);
    }
    start = end;
  }
  return out;
}

namespace {

// The line without any white space or ideographic space, for comparing headings.
std::string Squeezed(std::string_view line) {
  static const std::string kIdeographicSpace = text::Gbk(u8"　");
  std::string out;
  for (std::size_t pos = 0; pos < line.size();) {
    if (text::StartsWith(line.substr(pos), kIdeographicSpace)) {
      pos += kIdeographicSpace.size();
    } else if (IsBlank(line[pos])) {
      ++pos;
    } else {
      const std::size_t next = pos + (static_cast<unsigned char>(line[pos]) >= 0x81 ? 2 : 1);
      out.append(line.substr(pos, next - pos));
      pos = next;
    }
  }
  return out;
}

// True when the line names a chapter or a volume: 第, then within a few characters 章 节 回 话 卷 集 部 篇 (and the
// traditional forms); or "chapter", "volume" or "book" and a number.
bool NamesAChapter(std::string_view line) {
  static const std::string kDi = text::Gbk(u8"第");
  static const std::string kMarkers = text::Gbk(u8"章节節回话話卷集部篇");
  for (std::size_t pos = 0; pos < line.size();) {
    const std::size_t next = pos + (static_cast<unsigned char>(line[pos]) >= 0x81 ? 2 : 1);
    if (line.substr(pos, next - pos) == kDi) {
      std::size_t at = next;
      for (int i = 0; i < 8 && at < line.size(); ++i) {
        const std::size_t after = at + (static_cast<unsigned char>(line[at]) >= 0x81 ? 2 : 1);
        const std::string_view c = line.substr(at, after - at);
        for (std::size_t m = 0; c.size() == 2 && m + 1 < kMarkers.size(); m += 2) {
          if (kMarkers.compare(m, 2, c) == 0) return true;
        }
        at = after;
      }
    }
    pos = next;
  }
  for (const std::string_view word : {"chapter", "volume", "book"}) {
    for (std::size_t at = 0; at + word.size() < line.size(); ++at) {
      if (!StartsWithNoCase(line, at, word)) continue;
      std::size_t digit = at + word.size();
      while (digit < line.size() && line[digit] == ' ') ++digit;
      if (digit < line.size() && line[digit] >= '0' && line[digit] <= '9') return true;
    }
  }
  return false;
}

}  // namespace

std::string DropRepeatedHeadingLines(std::string whole, std::string_view title) {
  const std::string_view text = whole;
  constexpr int kMaxHeadLines = 8;
  const std::string squeezedTitle = Squeezed(title);
  std::vector<std::string> seen;
  std::string out;
  std::size_t start = 0;
  for (int count = 0; start < text.size() && count < kMaxHeadLines; ++count) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    const std::string_view line = text.substr(start, end - start);
    if (CharCount(TrimLineSpaces(line)) > kHeadingChars) break;
    const std::string squeezed = Squeezed(line);
    const bool repeat = !squeezed.empty() && std::find(seen.begin(), seen.end(), squeezed) != seen.end() &&
                        (squeezed == squeezedTitle || NamesAChapter(line));
    if (!repeat) {
      out.append(line);
      if (!squeezed.empty()) seen.push_back(squeezed);
      start = end;
      continue;
    }
    // The blank lines after a repeated heading go with it: the head keeps the spacing of its first lines.
    start = end;
    while (start < text.size()) {
      const std::size_t next = text.find('\n', start);
      const std::size_t blankEnd = next == std::string_view::npos ? text.size() : next + 1;
      if (!Squeezed(text.substr(start, blankEnd - start)).empty()) break;
      start = blankEnd;
    }
  }
  if (out.size() == start) return whole;  // nothing dropped: the text as it came, uncopied
  out.append(text.substr(start));
  return out;
}

std::string ApplyUserFilters(std::string_view body, std::string_view rules) {
  std::string result(body);
  for (const std::string& rule : text::Split(rules, "\r\n")) {
    // An empty rule matches only empty strings: it changes nothing.
    if (rule.empty()) continue;
    // Plain words (the box's own default rules are such) are deleted without a regex run over the body.
    if (IsPlainWords(rule)) {
      result = text::ReplaceAll(result, rule, "", true);
      continue;
    }
    RegexEngine engine;
    // A rule that is no valid pattern, or that runs into the engine's limits, gives no match collection.
    // Its Replace would give the empty text and lose the chapter, so the rule is skipped instead.
    if (!engine.Compile(rule, result)) continue;
    if (engine.MatchCount() == 0) continue;
    result = engine.Replace();
  }
  return result;
}

}  // namespace lekto
