#include "text/page_charset.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <memory>

namespace lekto::text {
namespace {

using Kind = PageCharset::Kind;

// What the bytes say about UTF-8: well-formed multi-byte characters, those of them that are Chinese, and
// ill-formed sequences.
struct Utf8Evidence {
  std::size_t valid = 0;
  std::size_t han = 0;
  std::size_t invalid = 0;

  // Valid UTF-8 with Chinese in it. One broken sequence in a hundred is forgiven: a page cut off in the middle
  // of a character, a stray byte. GBK text read as UTF-8 breaks at most of its characters.
  bool IsUtf8WithChinese() const { return han > 0 && invalid * 100 <= valid; }
  // More broken than whole sequences: these bytes are no UTF-8, whatever the page says.
  bool PlainlyNotUtf8() const { return invalid > valid; }
  bool CleanUtf8() const { return valid > 0 && invalid == 0; }
};

Utf8Evidence WeighUtf8(std::string_view page) {
  Utf8Evidence evidence;
  const auto* s = reinterpret_cast<const unsigned char*>(page.data());
  const std::size_t n = page.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    }
    std::size_t k = 1;
    while (length > 0 && k < length && i + k < n &&
           (k == 1 ? s[i + k] >= low && s[i + k] <= high : (s[i + k] & 0xC0) == 0x80)) {
      ++k;
    }
    if (length == 0 || k < length) {
      // A page cut off inside its last character is no evidence against UTF-8.
      if (length == 0 || i + k < n) ++evidence.invalid;
      i += k;
      // GBK text breaks here at nearly every character; once that is plain, reading on changes nothing.
      if (evidence.invalid > 64 && evidence.PlainlyNotUtf8()) break;
      continue;
    }
    ++evidence.valid;
    // U+3400..U+9FFF (CJK ideographs and extension A) and U+F900..U+FAFF (compatibility ideographs) are three
    // bytes E3 90 80 .. E9 BF BF and EF A4 80 .. EF AB BF; the rarer ones beyond the BMP start F0 A0 .. F0 B3.
    if ((b >= 0xE4 && b <= 0xE9) || (b == 0xE3 && s[i + 1] >= 0x90) ||
        (b == 0xEF && s[i + 1] >= 0xA4 && s[i + 1] <= 0xAB) || (b == 0xF0 && s[i + 1] >= 0xA0 && s[i + 1] <= 0xB3)) {
      ++evidence.han;
    }
    i += length;
    // Sixty-five thousand whole characters with Chinese among them settle it; a long page is not read to its end.
    if (evidence.valid >= 65536 && evidence.IsUtf8WithChinese()) break;
  }
  return evidence;
}

bool IsGbName(std::string_view lower) {
  static constexpr std::array<std::string_view, 16> kNames = {
      "gbk",   "gb2312", "gb18030",     "x-gbk",  "gb_2312-80", "gb_2312",         "chinese",   "csgb2312",
      "cp936", "ms936",  "windows-936", "euc-cn", "x-euc-cn",   "csiso58gb231280", "iso-ir-58", "csgbk"};
  for (const std::string_view name : kNames) {
    if (lower == name) return true;
  }
  return false;
}

// The name iconv knows a declared charset by, as browsers read the label ("big5" is Big5-HKSCS, "iso-8859-1"
// is windows-1252, "shift_jis" is Microsoft's code page 932); empty when iconv knows none.
std::string IconvName(std::string_view label) {
  const std::string lower = ToLowerAscii(label);
  struct Alias {
    std::string_view label;
    std::string_view name;
  };
  static constexpr Alias kAliases[] = {
      {"big5", "BIG5-HKSCS"},        {"big5-hkscs", "BIG5-HKSCS"},
      {"cn-big5", "BIG5-HKSCS"},     {"csbig5", "BIG5-HKSCS"},
      {"x-x-big5", "BIG5-HKSCS"},    {"iso-8859-1", "WINDOWS-1252"},
      {"iso8859-1", "WINDOWS-1252"}, {"latin1", "WINDOWS-1252"},
      {"l1", "WINDOWS-1252"},        {"ascii", "WINDOWS-1252"},
      {"us-ascii", "WINDOWS-1252"},  {"shift_jis", "CP932"},
      {"shift-jis", "CP932"},        {"sjis", "CP932"},
      {"x-sjis", "CP932"},           {"ms_kanji", "CP932"},
      {"windows-31j", "CP932"},      {"csshiftjis", "CP932"},
      {"euc-kr", "CP949"},           {"ks_c_5601-1987", "CP949"},
      {"korean", "CP949"},           {"windows-949", "CP949"},
      {"cseuckr", "CP949"},
  };
  std::string name = ToUpperAscii(lower);
  for (const Alias& alias : kAliases) {
    if (lower == alias.label) name = alias.name;
  }
  const iconv_t probe = iconv_open("UTF-8", name.c_str());
  if (probe == reinterpret_cast<iconv_t>(-1)) return {};
  iconv_close(probe);
  return name;
}

PageCharset Utf8(bool declaresUtf) {
  return PageCharset{Kind::kUtf8, {}, declaresUtf};
}

// uchardet's answer, when it names an East Asian multi-byte encoding other than the GB family.
std::string DetectEastAsian(std::string_view page) {
  std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(uchardet_new(),
                                                                                          uchardet_delete);
  if (!detector || uchardet_handle_data(detector.get(), page.data(), page.size()) != 0) return {};
  uchardet_data_end(detector.get());
  const std::string answer = ToUpperAscii(uchardet_get_charset(detector.get()));
  if (answer == "BIG5") return "BIG5-HKSCS";
  if (answer == "SHIFT_JIS") return "CP932";
  if (answer == "EUC-KR") return "CP949";
  if (answer == "EUC-TW" || answer == "EUC-JP" || answer == "ISO-2022-JP" || answer == "ISO-2022-KR") return answer;
  return {};
}

// `bytes` read as `from` and written as UTF-8; a sequence iconv cannot read becomes U+FFFD and the reading
// goes on one byte later.
std::string ToUtf8(std::string_view bytes, const std::string& from) {
  const iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  out.reserve(bytes.size() * 3 / 2 + 16);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  bool flushed = false;
  while (!flushed) {
    char* o = buffer;
    std::size_t outLeft = sizeof buffer;
    // With the input used up, one more call with no input ends a stateful encoding's escape sequence.
    flushed = inLeft == 0;
    const std::size_t done =
        flushed ? iconv(cd, nullptr, nullptr, &o, &outLeft) : iconv(cd, &in, &inLeft, &o, &outLeft);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (done != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      flushed = false;
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut off at the end.
    if (!flushed) {
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

PageCharset DecidePageCharset(std::string_view body, std::string_view contentType, const PageCharset* firstPage) {
  if (body.starts_with("\xEF\xBB\xBF")) return Utf8(true);
  if (body.starts_with("\xFF\xFE")) return PageCharset{Kind::kOther, "UTF-16LE", true};
  if (body.starts_with("\xFE\xFF")) return PageCharset{Kind::kOther, "UTF-16BE", true};

  const std::string_view page = body.substr(0, std::min(body.size(), body.find('\0')));
  const std::string labels[] = {DeclaredCharset(page), DeclaredCharset(contentType)};
  const bool named = !labels[0].empty() || !labels[1].empty();
  const bool declaresUtf =
      named ? IsUtfCharsetName(labels[0]) || IsUtfCharsetName(labels[1]) : firstPage && firstPage->declaresUtf;

  const Utf8Evidence evidence = WeighUtf8(page);
  if (evidence.IsUtf8WithChinese()) return Utf8(declaresUtf);

  bool utfRefuted = false;
  for (const std::string& label : labels) {
    if (label.empty()) continue;
    if (IsUtfCharsetName(label)) {
      // "utf-8" over GBK bytes: the other declaration, if there is one, is the true one.
      if (evidence.PlainlyNotUtf8()) {
        utfRefuted = true;
        continue;
      }
      return Utf8(true);
    }
    if (IsGbName(ToLowerAscii(label))) return PageCharset{Kind::kGbk, {}, declaresUtf};
    if (std::string name = IconvName(label); !name.empty()) return PageCharset{Kind::kOther, name, declaresUtf};
    // A name no converter knows is ignored, as a browser ignores it.
  }
  // Nothing else named, and bytes that are no UTF-8 whatever the page says: a later page reads as the first page
  // of its chapter or table of contents was read, unless that was UTF-8 too; then, and on a first page, the
  // bytes decide below.
  if (utfRefuted && firstPage && firstPage->kind != Kind::kUtf8)
    return PageCharset{firstPage->kind, firstPage->name, true};

  if (firstPage && !named && !(firstPage->kind == Kind::kUtf8 && evidence.PlainlyNotUtf8())) return *firstPage;
  if (evidence.CleanUtf8()) return Utf8(declaresUtf);
  if (evidence.invalid > 0) {
    if (std::string name = DetectEastAsian(page); !name.empty()) return PageCharset{Kind::kOther, name, declaresUtf};
  }
  return PageCharset{Kind::kGbk, {}, declaresUtf};
}

std::string PageToGbk(std::string_view body, const PageCharset& charset) {
  switch (charset.kind) {
    case Kind::kGbk:
      return UpToNul(body);
    case Kind::kUtf8:
      return Utf8ToText(body);
    case Kind::kOther:
      break;
  }
  // A byte-order mark is no part of the text.
  if (charset.name.starts_with("UTF-16") && (body.starts_with("\xFF\xFE") || body.starts_with("\xFE\xFF")))
    body.remove_prefix(2);
  return Utf8ToText(ToUtf8(body, charset.name));
}

}  // namespace lekto::text
