#include "chapter/body_second_opinion.h"

#include "chapter/body_cleanup.h"
#include "chapter/body_location.h"
#include "html/page_reading.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <unordered_map>

namespace lekto {

namespace {
// Below this many Chinese characters a pick may be a stray Chinese label on a page written in another script.
constexpr int kSureHan = 50;
// A best block shorter than this is a notice or an error page ("not found"), not a chapter the pick missed.
constexpr int kMinBodyUnits = 30;
// How much of the pick's Chinese text the best block must hold to be the same body. What the block leaves out
// of a pick that holds the body (comments, watermarks, a heading line) is a few dozen characters of thousands.
constexpr int kSameBodyPercent = 80;
// The stretch of the pick's Chinese text, from its middle, that the best block must hold as it stands: a
// different block of about the same size (a comment section, another chapter's preview) is not the body.
constexpr std::size_t kSampleHan = 16;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// True when a script or style element in the raw pick holds code: the cleanup removes its tags and leaves the
// code in the reader's text. An empty element (a script with a src) leaves nothing.
bool HoldsCode(std::string_view pick) {
  for (std::size_t lt = pick.find('<'); lt != std::string_view::npos; lt = pick.find('<', lt + 1)) {
    std::string_view name;
    if (StartsWithNoCase(pick, lt + 1, "script")) name = "script";
    if (StartsWithNoCase(pick, lt + 1, "style")) name = "style";
    const std::size_t after = lt + 1 + name.size();
    if (name.empty() || after >= pick.size() || !(IsBlank(pick[after]) || pick[after] == '>')) continue;
    const std::size_t open = pick.find('>', after);
    if (open == std::string_view::npos) return false;
    // The element ends at its own end tag, or with the pick.
    std::size_t close = pick.find("</", open + 1);
    while (close != std::string_view::npos && !StartsWithNoCase(pick, close + 2, name))
      close = pick.find("</", close + 2);
    if (close == std::string_view::npos) close = pick.size();
    for (std::size_t at = open + 1; at < close; ++at) {
      if (!IsBlank(pick[at])) return true;
    }
    if (close == pick.size()) return false;
    lt = close;
  }
  return false;
}

bool PickHoldsResidue(std::string_view pick) {
  if (HoldsCode(pick)) return true;
  // Most picks hold no markup the cleanup leaves, and are not cleaned twice. A watermark line is no reason to
  // read the page again: the cleanup deletes it where it stands.
  if (!LeavesMarkup(pick)) return false;
  const std::string text = CleanBodyKeepingMarkup(pick);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t lf = std::min(text.find('\n', start), text.size());
    const std::string_view line = TrimLineSpaces(std::string_view(text).substr(start, lf - start));
    start = lf + 1;
    if (line.find("<!") != std::string_view::npos ||
        (line.size() > 1 && line[0] == '<' && (std::isalpha(static_cast<unsigned char>(line[1])) || line[1] == '/'))) {
      return true;
    }
  }
  return false;
}

// The Chinese characters of GBK text, in order, as GBK.
std::string HanOf(std::string_view text) {
  std::string han;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const char32_t c = text::NextGbkChar(text, pos);
    if (c >= 0x4E00 && c <= 0x9FA5) han.append(text.substr(start, pos - start));
  }
  return han;
}

// True when `block` holds the stretch of `pick`'s Chinese text that stands in its middle.
bool HoldsMiddleOf(std::string_view block, std::string_view pick) {
  const std::string pickHan = HanOf(pick);
  const std::size_t chars = pickHan.size() / 2;
  const std::size_t length = std::min(chars, kSampleHan);
  const std::string sample = pickHan.substr((chars - length) / 2 * 2, length * 2);
  const std::string blockHan = HanOf(block);
  // Every character is two bytes: a match counts only where a character starts.
  for (std::size_t at = blockHan.find(sample); at != std::string::npos; at = blockHan.find(sample, at + 1)) {
    if (at % 2 == 0) return true;
  }
  return false;
}
}  // namespace

bool BodyPickFailed(int pickHan, int pageHan, const std::function<int()>& bestUnits) {
  if (pickHan >= kSureHan && static_cast<long long>(pickHan) * kFarLess >= pageHan) return false;
  const int best = bestUnits();
  return best >= kMinBodyUnits && static_cast<long long>(pickHan) * kFarLess < best;
}

bool BodyPickLeftResidue(std::string_view pick, int pickHan, const std::function<std::string_view()>& bestBlockText) {
  if (pickHan == 0 || !PickHoldsResidue(pick)) return false;
  const std::string_view block = bestBlockText();
  const int blockHan = CountHan(block);
  return blockHan >= kMinBodyUnits && 100LL * blockHan >= static_cast<long long>(kSameBodyPercent) * pickHan &&
         HoldsMiddleOf(block, pick);
}

namespace {

// True when the cleaned text shows nothing but white space.
bool ShowsNothing(std::string_view text) {
  return TrimLineSpaces(text).find_first_not_of(" \t\r\n\f\v") == std::string_view::npos;
}

int AsciiLetters(std::string_view text) {
  return static_cast<int>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }));
}

// The source of one body line with each run of white space that holds a line break made one blank: inside a
// paragraph such a run is the page's source formatting, which a browser shows as a blank, not a line break.
std::string OneLine(std::string_view source) {
  // Most lines stand on one line of the page.
  if (source.find('\n') == std::string_view::npos && source.find('\r') == std::string_view::npos) {
    return std::string(source);
  }
  std::string line;
  line.reserve(source.size());
  for (std::size_t pos = 0; pos < source.size();) {
    const std::size_t run = source.find_first_not_of(" \t\r\n", pos);
    const std::size_t end = run == std::string_view::npos ? source.size() : run;
    if (end == pos) {
      const std::size_t next = source.find_first_of(" \t\r\n", pos);
      const std::size_t stop = next == std::string_view::npos ? source.size() : next;
      line.append(source.substr(pos, stop - pos));
      pos = stop;
      continue;
    }
    const std::string_view blanks = source.substr(pos, end - pos);
    if (blanks.find_first_of("\r\n") == std::string_view::npos) {
      line.append(blanks);
    } else {
      line += ' ';
    }
    pos = end;
  }
  return line;
}

// The tags that lay out lines of text inside one block: line breaks, paragraphs and inline markup. Markup of
// any other kind between two body lines (a box, a table, a comment) stands where the reading left something out.
bool IsLineMarkup(std::string_view gap) {
  static constexpr std::string_view kNames[] = {"br",     "p", "span", "font",  "b",   "i",   "em",
                                                "strong", "a", "u",    "small", "big", "sup", "sub"};
  for (std::size_t lt = gap.find('<'); lt != std::string_view::npos; lt = gap.find('<', lt + 1)) {
    std::size_t at = lt + 1 + (lt + 1 < gap.size() && gap[lt + 1] == '/');
    std::string name;
    while (at < gap.size() && std::isalpha(static_cast<unsigned char>(gap[at])) && name.size() < 8) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(gap[at++])));
    }
    if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames)) return false;
  }
  return true;
}

}  // namespace

std::string LayOutLikeAPick(const html::BlockSource& source, std::string_view blockText) {
  if (source.lines.empty()) return std::string(blockText);
  // What stands between two lines: a gap that shows text or boxes becomes a line break; one of line markup stays,
  // with a line break before it when it breaks no line itself. A site repeats a few gaps over and over: each is
  // judged once.
  enum class Gap { kReplaced, kKept, kKeptAfterBreak };
  std::unordered_map<std::string_view, Gap> judged;
  std::string body = OneLine(source.lines.front());
  for (std::size_t i = 0; i + 1 < source.lines.size(); ++i) {
    const std::string& gap = source.gaps[i];
    auto [at, fresh] = judged.try_emplace(gap, Gap::kReplaced);
    if (fresh) {
      const std::string cleaned = text::DecodeCharacterReferences(CleanBody(gap));
      // Text between two body lines is what the reading left out (a heading, navigation, another block), and so
      // is other markup than that of lines. The page's own line markup lays the lines out as a pick of them is
      // laid out; where it breaks no line for the cleanup (a lone "<br>"), a line break before it keeps the two
      // lines apart.
      if (ShowsNothing(cleaned) && IsLineMarkup(gap)) {
        at->second = cleaned.find('\n') == std::string::npos ? Gap::kKeptAfterBreak : Gap::kKept;
      }
    }
    if (at->second != Gap::kKept) body += "\r\n";
    if (at->second != Gap::kReplaced) body += gap;
    body += OneLine(source.lines[i + 1]);
  }
  // The same characters as the block, or the block's own lines: the page's markup must not add text.
  const std::string shown = text::DecodeCharacterReferences(RemoveMarkup(body));
  if (CountHan(shown) != CountHan(blockText) || AsciiLetters(shown) != AsciiLetters(blockText)) {
    return std::string(blockText);
  }
  return body;
}

namespace {

// True when the pick names a control of a comment ("回复", "Reply", "举报"): only then may it be discussion, and
// only then is the page parsed to see. A pick holding most of the page's Chinese is not asked: the comments
// beside it would hold less than it does.
bool MayHoldDiscussion(std::string_view pick) {
  static const std::string kWords[] = {text::Gbk(u8"回复"), text::Gbk(u8"回覆"), text::Gbk(u8"举报")};
  for (const std::string& word : kWords) {
    if (text::Contains(pick, word)) return true;
  }
  // Found from its "ply", which prose written in Chinese seldom holds; the letters may be of either case.
  for (const std::string_view tail : {std::string_view("ply"), std::string_view("PLY")}) {
    for (std::size_t at = pick.find(tail); at != std::string_view::npos; at = pick.find(tail, at + 1)) {
      if (at >= 2 && StartsWithNoCase(pick, at - 2, "reply")) return true;
    }
  }
  return false;
}

}  // namespace

bool BodyPickIsDiscussion(std::string_view pick, const html::PageReading& reading) {
  const html::TextBlock* best = html::BestBlock(reading);
  if (best == nullptr || best->discussion || best->units < kMinBodyUnits) return false;
  return std::any_of(reading.blocks.begin(), reading.blocks.end(),
                     [&](const html::TextBlock& block) { return block.discussion && HoldsMiddleOf(block.text, pick); });
}

std::string PickChapterBody(std::string_view page) {
  const BodyCandidate pick = FindBodyCandidate(page);
  std::optional<html::PageReading> reading;
  const auto best = [&]() -> const html::TextBlock* {
    if (!reading) reading = html::ReadPage(page);
    return html::BestBlock(*reading);
  };
  const auto bestUnits = [&] { return best() ? best()->units : 0; };
  const auto bestText = [&] { return best() ? std::string_view(best()->text) : std::string_view(); };
  if (BodyPickFailed(pick.han, pick.pageHan, bestUnits) || BodyPickLeftResidue(pick.text, pick.han, bestText) ||
      (pick.han > 0 && 2LL * pick.han <= pick.pageHan && MayHoldDiscussion(pick.text) && best() &&
       BodyPickIsDiscussion(pick.text, *reading))) {
    return LayOutLikeAPick(html::SourceOf(*reading, *best()), best()->text);
  }
  return std::string(pick.text);
}

}  // namespace lekto
