#include "text/character_references.h"

#include "text/text_codec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lekto::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kLongestName = 8;  // no name kept below is longer

// The named references in use on novel sites: the markup characters, spaces, quotation marks and dashes, and the
// symbols sites put around titles and notes. Sorted by name.
constexpr std::array<std::pair<std::string_view, char32_t>, 75> kNamed = {{
    {"AMP", 0x26},      {"Dagger", 0x2021}, {"GT", 0x3E},       {"LT", 0x3C},       {"Prime", 0x2033},
    {"QUOT", 0x22},     {"amp", 0x26},      {"apos", 0x27},     {"asymp", 0x2248},  {"bdquo", 0x201E},
    {"bull", 0x2022},   {"cent", 0xA2},     {"check", 0x2713},  {"clubs", 0x2663},  {"copy", 0xA9},
    {"cross", 0x2717},  {"dagger", 0x2020}, {"darr", 0x2193},   {"deg", 0xB0},      {"diams", 0x2666},
    {"divide", 0xF7},   {"emsp", 0x2003},   {"ensp", 0x2002},   {"euro", 0x20AC},   {"frac12", 0xBD},
    {"frac14", 0xBC},   {"frac34", 0xBE},   {"ge", 0x2265},     {"gt", 0x3E},       {"harr", 0x2194},
    {"hearts", 0x2665}, {"hellip", 0x2026}, {"hyphen", 0x2010}, {"iexcl", 0xA1},    {"infin", 0x221E},
    {"iquest", 0xBF},   {"laquo", 0xAB},    {"larr", 0x2190},   {"ldquo", 0x201C},  {"le", 0x2264},
    {"lsaquo", 0x2039}, {"lsquo", 0x2018},  {"lt", 0x3C},       {"mdash", 0x2014},  {"micro", 0xB5},
    {"middot", 0xB7},   {"minus", 0x2212},  {"nbsp", 0xA0},     {"ndash", 0x2013},  {"ne", 0x2260},
    {"para", 0xB6},     {"permil", 0x2030}, {"plusmn", 0xB1},   {"pound", 0xA3},    {"prime", 0x2032},
    {"quot", 0x22},     {"raquo", 0xBB},    {"rarr", 0x2192},   {"rdquo", 0x201D},  {"reg", 0xAE},
    {"rsaquo", 0x203A}, {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"sect", 0xA7},     {"shy", 0xAD},
    {"spades", 0x2660}, {"star", 0x2606},   {"starf", 0x2605},  {"thinsp", 0x2009}, {"times", 0xD7},
    {"trade", 0x2122},  {"uarr", 0x2191},   {"yen", 0xA5},      {"zwj", 0x200D},    {"zwnj", 0x200C},
}};

// What browsers show for the numbers 128-159, which name C1 controls in Unicode: Windows-1252's characters.
constexpr std::array<char32_t, 32> kWindows1252 = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};

bool IsDigit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The reference at `at` (just past "&"): its character and the position after ";". `length` 0 when there is none.
char32_t ReadReference(std::string_view text, std::size_t at, std::size_t& length) {
  length = 0;
  std::size_t pos = at;
  if (pos < text.size() && text[pos] == '#') {
    ++pos;
    const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
    if (hex) ++pos;
    const std::size_t digits = pos;
    char32_t value = 0;
    while (pos < text.size() && IsDigit(text[pos], hex)) {
      const char c = text[pos++];
      const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (pos == digits || pos >= text.size() || text[pos] != ';') return 0;
    length = pos + 1 - at;
    if (value >= 0x80 && value <= 0x9F) return kWindows1252[value - 0x80];
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacement;
    return value;
  }
  while (pos < text.size() && pos - at <= kLongestName && IsAlnum(text[pos])) ++pos;
  if (pos == at || pos >= text.size() || text[pos] != ';') return 0;
  const std::string_view name = text.substr(at, pos - at);
  const auto found = std::lower_bound(kNamed.begin(), kNamed.end(), name,
                                      [](const auto& entry, std::string_view key) { return entry.first < key; });
  if (found == kNamed.end() || found->first != name) return 0;
  length = pos + 1 - at;
  return found->second;
}

std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace

std::string DecodeCharacterReferences(std::string text) {
  const std::string_view gbk = text;
  std::size_t amp = gbk.find('&');
  if (amp == std::string_view::npos) return text;
  std::string out;
  out.reserve(gbk.size());
  std::size_t copied = 0;
  // "&" is below the trail bytes of GBK: every "&" in the text is a character of its own.
  for (; amp != std::string_view::npos; amp = gbk.find('&', amp + 1)) {
    std::size_t length = 0;
    const char32_t c = ReadReference(gbk, amp + 1, length);
    if (length == 0) continue;
    out.append(gbk.substr(copied, amp - copied));
    if (c == 0xA0) {
      out += ' ';
    } else if (c != 0xAD && c != 0x200B && c != 0x200C && c != 0x200D && c != 0xFEFF) {
      out += c < 0x80 ? std::string(1, static_cast<char>(c)) : Utf8ToText(Utf8Of(c));
    }
    copied = amp + 1 + length;
    amp = copied - 1;
  }
  out.append(gbk.substr(copied));
  return out;
}

}  // namespace lekto::text
