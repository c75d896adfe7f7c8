#include "text/text_codec.h"

#include <algorithm>
#include <cstring>

#include "text/four_byte_forms.h"
#include "text/gbk_tables.h"

namespace lekto::text {
namespace {

using detail::GbkTables;
using detail::IsGbkLead;
using detail::IsGbkTrail;
using detail::kReplacement;
using detail::Tables;

constexpr char32_t kInvalid = 0xFFFFFFFF;

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Text is read up to its first NUL byte, as the conversions of the platform did.
std::string_view UpToNulView(std::string_view s) {
  const void* nul = std::memchr(s.data(), 0, s.size());
  return nul ? s.substr(0, static_cast<const char*>(nul) - s.data()) : s;
}

// Decodes one UTF-8 character at s[i], advancing i. An ill-formed sequence gives kInvalid and is consumed as
// its maximal subpart: the longest prefix of a well-formed sequence, or one byte when there is none. The byte
// that broke the sequence is then read again as the start of the next character.
char32_t DecodeUtf8(const unsigned char* s, std::size_t n, std::size_t& i) {
  const unsigned char b = s[i];
  if (b < 0x80) {
    ++i;
    return b;
  }
  int length;
  char32_t cp;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    cp = b & 0x0F;
    if (b == 0xE0) low = 0xA0;   // no overlong forms
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    cp = b & 0x07;
    if (b == 0xF0) low = 0x90;   // no overlong forms
    if (b == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    ++i;
    return kInvalid;
  }
  std::size_t j = i + 1;
  for (int k = 1; k < length; ++k, ++j) {
    if (j >= n) break;
    const unsigned char c = s[j];
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) break;
    cp = cp << 6 | (c & 0x3F);
    if (k == length - 1) {
      i = j + 1;
      return cp;
    }
  }
  i = j;
  return kInvalid;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Writes the UTF-8 form of a code point to `out`, returning the number of bytes.
inline int PutUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | cp >> 6);
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | cp >> 12);
    out[1] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | cp >> 18);
  out[1] = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// The character at s[i] (i < n), advancing i: the shared decoding rule of every GBK reader.
// 0x80 alone is the euro sign; a four-byte form (four_byte_forms.h) is one character; 0xFF, a lead byte at the
// end and a lead byte before a byte that cannot trail are one-byte invalid characters (the following byte is
// then read on its own).
inline char32_t DecodeGbk(const GbkTables& t, const unsigned char* s, std::size_t n, std::size_t& i) {
  const unsigned char b = s[i];
  if (b < 0x80) {
    ++i;
    return b;
  }
  if (b == 0x80) {
    ++i;
    return u'\u20AC';
  }
  if (b != 0xFF && i + 1 < n && IsGbkTrail(s[i + 1])) {
    const char16_t cp = t.toUnicode[b << 8 | s[i + 1]];
    i += 2;
    return cp;
  }
  if (IsFourByteFormAt(s, n, i)) {
    const char32_t cp = DecodeFourByteForm(s + i);
    i += 4;
    return cp;
  }
  ++i;
  return kReplacement;
}

// Appends the GBK form of a BMP code point, or "?" when it has none.
inline void AppendGbk(const GbkTables& t, std::string& out, char32_t cp) {
  const std::uint16_t g = cp < 0x10000 ? t.fromUnicode[cp] : 0;
  if (g == 0) {
    out += '?';
  } else if (g < 0x100) {
    out += static_cast<char>(g);
  } else {
    out += static_cast<char>(g >> 8);
    out += static_cast<char>(g & 0xFF);
  }
}

std::u16string Utf8ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const unsigned char* s = Bytes(text);
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeUtf8(s, text.size(), i);
    if (cp == kInvalid) {
      out += static_cast<char16_t>(kReplacement);
    } else if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::u16string GbkToWide(std::string_view text) {
  const GbkTables& t = Tables();
  std::u16string out;
  out.reserve(text.size());
  const unsigned char* s = Bytes(text);
  for (std::size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeGbk(t, s, text.size(), i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

// Reads one code point from UTF-16 at w[i], advancing i; a lone surrogate gives kInvalid.
char32_t DecodeUtf16(std::u16string_view w, std::size_t& i) {
  const char16_t u = w[i++];
  if (u < 0xD800 || u > 0xDFFF) return u;
  if (u <= 0xDBFF && i < w.size() && w[i] >= 0xDC00 && w[i] <= 0xDFFF) {
    return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (w[i++] - 0xDC00);
  }
  return kInvalid;
}

int HexDigitValue(std::string_view text, std::size_t i) {
  // A missing byte reads as an empty character, found at the start of the digit string: value 0.
  if (i >= text.size()) return 0;
  const unsigned char b = static_cast<unsigned char>(text[i]);
  if (b >= '0' && b <= '9') return b - '0';
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  return -2;  // not a digit: "not found" (0) less one
}

bool IsCharsetWordByte(unsigned char b) {
  return b == '-' || b == '_' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

bool ContainsUtfIgnoringCase(std::string_view s) {
  for (std::size_t i = 0; i + 3 <= s.size(); ++i) {
    if ((s[i] | 0x20) == 'u' && (s[i + 1] | 0x20) == 't' && (s[i + 2] | 0x20) == 'f') return true;
  }
  return false;
}

template <bool kKeep>
std::string Utf8ToGbk(std::string_view utf8) {
  utf8 = UpToNulView(utf8);
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);  // a byte order mark is no part of the text
  const GbkTables& t = Tables();
  const unsigned char* s = Bytes(utf8);
  const std::size_t n = utf8.size();
  // No character grows, except a kept one: one to three UTF-8 bytes give one or two GBK bytes, four give one "?".
  // A kept character gives four bytes; before writing one the buffer is grown, if need be, so that it still
  // holds one byte for every input byte left.
  std::string out(n, '\0');
  char* o = out.data();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      *o++ = static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t cp;
    if (b >= 0xE1 && b <= 0xEC && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
      // The common case of Chinese text, a well-formed three-byte character, without the general decoder.
      cp = (b & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
      i += 3;
    } else {
      cp = DecodeUtf8(s, n, i);
    }
    const std::uint16_t g = cp < 0x10000 ? t.fromUnicode[cp] : 0;
    if (g == 0) {
      if constexpr (kKeep) {
        if (cp != kInvalid) {
          const auto written = static_cast<std::size_t>(o - out.data());
          if (out.size() - written < n - i + 4) out.resize(out.size() + out.size() / 2 + 8);
          std::string form;
          AppendKeptForm(form, cp);
          o = std::copy(form.begin(), form.end(), out.data() + written);
          continue;
        }
      }
      *o++ = '?';
    } else if (g < 0x100) {
      *o++ = static_cast<char>(g);
    } else {
      *o++ = static_cast<char>(g >> 8);
      *o++ = static_cast<char>(g & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace

std::string DeclaredCharset(std::string_view page) {
  // The first place where "charset=" (any letter case) is followed by any number of quotes and at least one
  // letter, digit, underscore or hyphen decides; that run of characters is the declared charset. The page's
  // encoding is not known yet, so the scan goes byte by byte rather than by GBK characters: read as GBK, the
  // last byte of a UTF-8 Chinese character would swallow a "c" right after it.
  // Every "charset=" ends in an "=", so the scan jumps from one "=" to the next and looks back.
  static constexpr std::string_view kWord = "charset";
  const unsigned char* s = Bytes(page);
  const std::size_t n = page.size();
  for (const void* eq = std::memchr(s, '=', n); eq != nullptr;) {
    const std::size_t at = static_cast<std::size_t>(static_cast<const unsigned char*>(eq) - s);
    eq = at + 1 < n ? std::memchr(s + at + 1, '=', n - at - 1) : nullptr;
    if (at < kWord.size()) continue;
    std::size_t k = 0;
    while (k < kWord.size() && (s[at - kWord.size() + k] | 0x20) == kWord[k]) ++k;
    if (k < kWord.size()) continue;
    std::size_t j = at + 1;
    while (j < n && (s[j] == '\'' || s[j] == '"')) ++j;
    const std::size_t start = j;
    while (j < n && IsCharsetWordByte(s[j])) ++j;
    if (j > start) return std::string(page.substr(start, j - start));
  }
  return {};
}

bool DeclaresUtfCharset(std::string_view page) {
  return IsUtfCharsetName(DeclaredCharset(page));
}

bool IsUtfCharsetName(std::string_view name) {
  return ContainsUtfIgnoringCase(name);
}

std::u16string ToWide(std::string_view text, int codePage) {
  text = UpToNulView(text);
  if (codePage == 65001) return Utf8ToWide(text);
  if (codePage == 936 || codePage == 0) return GbkToWide(text);
  return {};
}

std::string FromWide(std::u16string_view wide, int codePage) {
  if (const std::size_t end = wide.find(u'\0'); end != std::u16string_view::npos) wide = wide.substr(0, end);
  std::string out;
  out.reserve(wide.size() * 2);
  if (codePage == 65001) {
    for (std::size_t i = 0; i < wide.size();) {
      const char32_t cp = DecodeUtf16(wide, i);
      AppendUtf8(out, cp == kInvalid ? kReplacement : cp);
    }
    return out;
  }
  if (codePage != 936 && codePage != 0) return {};
  const GbkTables& t = Tables();
  for (std::size_t i = 0; i < wide.size();) AppendGbk(t, out, DecodeUtf16(wide, i));
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return Utf8ToGbk<false>(utf8);
}

std::string Utf8ToText(std::string_view utf8) {
  return Utf8ToGbk<true>(utf8);
}

std::string AnsiToUtf8(std::string_view gbk) {
  gbk = UpToNulView(gbk);
  const GbkTables& t = Tables();
  const unsigned char* s = Bytes(gbk);
  const std::size_t n = gbk.size();
  // Every input byte gives at most three output bytes (0x80 alone is the three-byte euro sign).
  std::string out(n * 3, '\0');
  char* o = out.data();
  for (std::size_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      *o++ = static_cast<char>(s[i++]);
      continue;
    }
    o += PutUtf8(o, DecodeGbk(t, s, n, i));  // at most four bytes, from at least two
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string PercentDecode(std::string_view text, bool fromUtf8) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = HexDigitValue(text, ++i);
    const int low = HexDigitValue(text, ++i);
    const auto byte = static_cast<unsigned char>((high * 16 + low) & 0xFF);
    if (byte != 0) out += static_cast<char>(byte);  // text holds no NUL bytes
  }
  return fromUtf8 ? Utf8ToText(out) : out;
}

char32_t NextGbkChar(std::string_view gbk, std::size_t& pos) {
  if (pos >= gbk.size()) return 0;
  return DecodeGbk(Tables(), Bytes(gbk), gbk.size(), pos);
}

std::string Gbk(std::u8string_view utf8) {
  return Utf8ToAnsi(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

}  // namespace lekto::text
