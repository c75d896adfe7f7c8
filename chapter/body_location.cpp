#include "chapter/body_location.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <cstddef>

namespace lekto {

http::Response FetchPage(const Fetcher& fetch, const std::string& link) {
  if (link.empty()) return {};
  // An error page (status 400 or above) or a transfer cut short is no page: its text never becomes chapter text.
  http::Response response = fetch(link);
  if (!response.Ok()) return {};
  return response;
}

std::string DecodePage(std::string body, const text::PageCharset& charset, const Controls& controls) {
  const bool transcode = !charset.declaresUtf && controls.Transcode();
  if (!transcode && charset.kind != text::PageCharset::Kind::kGbk) return text::PageToGbk(body, charset);
  // The body is cut at its first NUL where it lies, not copied.
  body.resize(std::min(body.size(), body.find('\0')));
  return transcode ? text::PercentDecode(body, true) : body;
}

std::string PreprocessPage(std::string page, const Controls& controls) {
  if (!controls.Preprocess()) return page;
  std::string result = text::ReplaceAll(page, "</script></div></div>", " ");
  // Takes the ">" of the tag before the closing div with it.
  result = text::ReplaceAll(result, "></div>", " ");
  result = text::ReplaceAll(result, "</div>\r\n<table", "");
  return text::ReplaceAll(result, "</table>\r\n</div>", "");
}

std::string NormaliseContinueButton(std::string page) {
  static const std::string kButton = text::Gbk(u8" class=\"ldgbtn\">本章未完点击此处继续阅读");
  static const std::string kNextPage = text::Gbk(u8">下一页");
  // Most pages have no such button: one search instead of a copy of the page.
  if (page.find(kButton) == std::string::npos) return page;
  return text::ReplaceAll(page, kButton, kNextPage);
}

bool IsGb2312Han(unsigned char lead, unsigned char trail) {
  // Rows 0xB0..0xF7 of GB2312 hold its 6,763 ideographs, all within U+4E00..U+9FA5; only the last five cells
  // of row 0xD7 are empty (code page 936 maps them to private-use characters).
  return lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE && !(lead == 0xD7 && trail >= 0xFA);
}

int CountHan(std::string_view text) {
  int count = 0;
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (pos < size) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    // ASCII bytes are never part of a two-byte character here: a lead byte is 0x81 or more.
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    // Most Chinese text is GB2312, which is counted without a table look-up.
    if (pos + 1 < size && IsGb2312Han(lead, static_cast<unsigned char>(text[pos + 1]))) {
      ++count;
      pos += 2;
      continue;
    }
    const char32_t c = text::NextGbkChar(text, pos);
    if (c >= 0x4E00 && c <= 0x9FA5) ++count;
  }
  return count;
}

namespace {

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view lowerWord) {
  if (text.size() - pos < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

// Finds the first position at or after `from` that `accept` takes, for `from` that never decreases. The
// answer of the previous search is reused while it still lies ahead, so a page full of opening tags without a
// closing one costs one pass, not one pass per tag.
template <typename Accept>
class ForwardSearch {
 public:
  ForwardSearch(std::string_view text, Accept accept) : text_(text), accept_(accept) {}

  std::size_t From(std::size_t from) {
    if (from >= searchedFrom_ && (hit_ == std::string_view::npos || hit_ >= from)) return hit_;
    searchedFrom_ = from;
    hit_ = std::string_view::npos;
    for (std::size_t pos = from; pos < text_.size(); ++pos) {
      if (accept_(text_, pos)) {
        hit_ = pos;
        break;
      }
    }
    return hit_;
  }

 private:
  std::string_view text_;
  Accept accept_;
  std::size_t searchedFrom_ = std::string_view::npos;
  std::size_t hit_ = std::string_view::npos;
};

}  // namespace

// Scans for what "<div.*?>([\s\S]*?)</div>|<span.*?>([\s\S]*?)</span>" matches (case-insensitive, global),
// without a regex run per page: a candidate starts after the first ">" that follows "<div" (or "<span") on the
// same line ("." stops at CR and LF) and ends before the next "</div>" (or "</span>"); the scan goes on after
// that closing tag. The markers are ASCII bytes below 0x40, which never occur inside a two-byte GBK character,
// so a byte scan sees the same characters as a scan by character.
BodyCandidate FindBodyCandidate(std::string_view page) {
  const int total = CountHan(page);
  if (total == 0) return {};

  auto tagEndOrLineEnd = [](std::string_view t, std::size_t p) { return t[p] == '>' || t[p] == '\n' || t[p] == '\r'; };
  auto divClose = [](std::string_view t, std::size_t p) { return t[p] == '<' && StartsWithNoCase(t, p, "</div>"); };
  auto spanClose = [](std::string_view t, std::size_t p) { return t[p] == '<' && StartsWithNoCase(t, p, "</span>"); };
  ForwardSearch tagEnd(page, tagEndOrLineEnd);
  ForwardSearch nextDivClose(page, divClose);
  ForwardSearch nextSpanClose(page, spanClose);

  std::string_view pick;
  int best = 0;
  std::size_t pos = 0;
  while ((pos = page.find('<', pos)) != std::string_view::npos) {
    const bool div = StartsWithNoCase(page, pos + 1, "div");
    if (!div && !StartsWithNoCase(page, pos + 1, "span")) {
      ++pos;
      continue;
    }
    const std::size_t gt = tagEnd.From(pos + (div ? 4 : 5));
    if (gt == std::string_view::npos || page[gt] != '>') {
      ++pos;
      continue;
    }
    const std::size_t end = div ? nextDivClose.From(gt + 1) : nextSpanClose.From(gt + 1);
    if (end == std::string_view::npos) {
      ++pos;
      continue;
    }
    const std::string_view candidate = page.substr(gt + 1, end - gt - 1);
    const int n = CountHan(candidate);
    if (n > best) {
      best = n;
      pick = candidate;
    }
    if (2 * static_cast<long long>(n) > total) break;
    pos = end + (div ? 6 : 7);
  }
  return BodyCandidate{pick, best, total};
}

std::string PickBodyCandidate(std::string_view page) {
  return std::string(FindBodyCandidate(page).text);
}

}  // namespace lekto
