#include "chapter/body_second_opinion.h"

#include "chapter/body_cleanup.h"
#include "chapter/body_location.h"
#include "html/page_reading.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace lekto {

namespace {
// Below this many Chinese characters a pick may be a stray Chinese label on a page written in another script.
constexpr int kSureHan = 50;
// A best block shorter than this is a notice or an error page ("not found"), not a chapter the pick missed.
constexpr int kMinBodyUnits = 30;
// A line of the cleaned pick up to this many characters is a watermark when it carries a web address; a body
// line that names an address is prose and longer. On the saved pages the watermarks run to 50 characters.
constexpr std::size_t kShortLine = 80;
// How much of the pick's Chinese text the best block must hold to be the same body. What the block leaves out
// of a pick that holds the body (comments, watermarks, a heading line) is a few dozen characters of thousands.
constexpr int kSameBodyPercent = 80;
// The stretch of the pick's Chinese text, from its middle, that the best block must hold as it stands: a
// different block of about the same size (a comment section, another chapter's preview) is not the body.
constexpr std::size_t kSampleHan = 16;

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view lowerWord) {
  if (pos > text.size() || text.size() - pos < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

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

// True when the text names a web address: "http://", "https://" or "www.". The searches run on ':' and 'w',
// which a pick of prose seldom holds; ':' and '.' are never the second byte of a GBK character.
bool HasAddress(std::string_view text) {
  for (std::size_t colon = text.find("://"); colon != std::string_view::npos; colon = text.find("://", colon + 1)) {
    if ((colon >= 4 && StartsWithNoCase(text, colon - 4, "http")) ||
        (colon >= 5 && StartsWithNoCase(text, colon - 5, "https"))) {
      return true;
    }
  }
  return text.find("www.") != std::string_view::npos || text.find("WWW.") != std::string_view::npos;
}

// Characters of a GBK line: a byte of 0x81 or more leads a two-byte character.
std::size_t CharCount(std::string_view line) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < line.size(); ++count) pos += static_cast<unsigned char>(line[pos]) >= 0x81 ? 2 : 1;
  return count;
}

// The line without the blanks and ideographic spaces around it.
std::string_view TrimLine(std::string_view line) {
  static const std::string kIdeographicSpace = text::Gbk(u8"　");
  while (!line.empty() && (IsBlank(line.front()) || text::StartsWith(line, kIdeographicSpace))) {
    line.remove_prefix(IsBlank(line.front()) ? 1 : kIdeographicSpace.size());
  }
  while (!line.empty() && (IsBlank(line.back()) || text::EndsWith(line, kIdeographicSpace))) {
    line.remove_suffix(IsBlank(line.back()) ? 1 : kIdeographicSpace.size());
  }
  return line;
}

bool PickHoldsResidue(std::string_view pick) {
  if (HoldsCode(pick)) return true;
  const bool markup = LeavesMarkup(pick);
  const bool address = HasAddress(pick);
  // Most picks hold neither, and are not cleaned twice.
  if (!markup && !address) return false;
  const std::string text = CleanBody(pick);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t lf = std::min(text.find('\n', start), text.size());
    const std::string_view line = TrimLine(std::string_view(text).substr(start, lf - start));
    start = lf + 1;
    if (markup && (line.find("<!") != std::string_view::npos ||
                   (line.size() > 1 && line[0] == '<' &&
                    (std::isalpha(static_cast<unsigned char>(line[1])) || line[1] == '/')))) {
      return true;
    }
    if (address && CharCount(line) <= kShortLine && HasAddress(line)) return true;
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

std::string PickChapterBody(std::string_view page) {
  const BodyCandidate pick = FindBodyCandidate(page);
  std::optional<html::PageReading> reading;
  const auto best = [&]() -> const html::TextBlock* {
    if (!reading) reading = html::ReadPage(page);
    return html::BestBlock(*reading);
  };
  const auto bestUnits = [&] { return best() ? best()->units : 0; };
  const auto bestText = [&] { return best() ? std::string_view(best()->text) : std::string_view(); };
  if (BodyPickFailed(pick.han, pick.pageHan, bestUnits) || BodyPickLeftResidue(pick.text, pick.han, bestText)) {
    return best()->text;
  }
  return std::string(pick.text);
}

}  // namespace lekto
