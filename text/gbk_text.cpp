#include "text/gbk_text.h"

#include "text/four_byte_forms.h"

#include <algorithm>
#include <cstring>

namespace lekto::text {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Code page 936's lead bytes, 0x81 to 0xFE, start a two-byte character, or a four-byte one when they begin a
// four-byte form (four_byte_forms.h); any other byte is a character of its own (0x80 is the euro sign, 0xFF no
// character at all), as the codec and the pattern engine read them.
inline bool IsLeadByte(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}
// The length of the character at s[p] (p < n, p a character start).
inline std::size_t CharLengthAt(const unsigned char* s, std::size_t n, std::size_t p) {
  if (!IsLeadByte(s[p])) return 1;
  return IsFourByteFormAt(s, n, p) ? 4 : 2;
}

inline bool IsDigit(unsigned char b) {
  return b >= '0' && b <= '9';
}

inline bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline unsigned char FoldAscii(unsigned char b) {
  return b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b;
}

// Tells whether candidate positions, visited in increasing order, begin a character. Each check walks back
// only over the bytes since the last known character start that may lie inside a character, so a whole scan stays
// linear.
class BoundaryCursor {
 public:
  BoundaryCursor(const unsigned char* s, std::size_t n, std::size_t origin) : s_(s), n_(n), known_(origin) {}

  bool IsBoundary(std::size_t pos) {
    // The position after a byte that is no lead byte is a boundary (that byte ends a character, alone or as a
    // trail byte), unless the byte is a digit after a lead byte: then it may be the second byte of a four-byte
    // form. Between a boundary and `pos`, lead bytes alone pair up as lead and trail.
    std::size_t q = pos;
    while (q > known_ && IsLeadByte(s_[q - 1])) --q;
    if (q > known_ + 1 && IsDigit(s_[q - 1]) && IsLeadByte(s_[q - 2])) return IsBoundaryAfterForms(pos, q);
    const bool boundary = (pos - q) % 2 == 0;
    // Not a boundary: `pos` is the second byte of the character at pos - 1, which ends right after it unless it
    // is a four-byte form.
    known_ = boundary ? pos : IsFourByteFormAt(s_, n_, pos - 1) ? pos - 1 : pos + 1;
    return boundary;
  }

 private:
  // The rare case of digits among lead bytes: back to a byte that surely ends a character, then forwards
  // character by character.
  bool IsBoundaryAfterForms(std::size_t pos, std::size_t q) {
    while (q > known_ && (IsLeadByte(s_[q - 1]) || (IsDigit(s_[q - 1]) && q > known_ + 1 && IsLeadByte(s_[q - 2])))) {
      --q;
    }
    std::size_t start = q;
    for (std::size_t next; (next = start + CharLengthAt(s_, n_, start)) <= pos;) start = next;
    known_ = start;
    return start == pos;
  }

  const unsigned char* s_;
  std::size_t n_;
  std::size_t known_;  // a character start at or before every position still to be checked
};

// Compares `what` with the text at `at`, ASCII letters ignoring case. The second byte of a two-byte character
// is compared exactly: a trail byte such as 0x41 is not the letter A.
bool EqualIgnoringCase(const unsigned char* at, std::string_view what) {
  const unsigned char* w = Bytes(what);
  for (std::size_t j = 0; j < what.size();) {
    if (IsLeadByte(w[j])) {
      if (at[j] != w[j] || (j + 1 < what.size() && at[j + 1] != w[j + 1])) return false;
      j += 2;
    } else {
      if (FoldAscii(at[j]) != FoldAscii(w[j])) return false;
      ++j;
    }
  }
  return true;
}

// 0-based position of the first occurrence of a non-empty `what` beginning on a character boundary at or
// after `from`, which is itself taken as a boundary; kNone when absent.
std::size_t FindFrom(std::string_view text, std::string_view what, std::size_t from, bool ignoreCase) {
  const unsigned char* s = Bytes(text);
  const std::size_t n = text.size();
  const std::size_t m = what.size();
  if (from > n || m > n - from) return kNone;
  // Without ASCII letters in `what`, ignoring case changes nothing, and the fast search below applies.
  if (ignoreCase && std::any_of(what.begin(), what.end(), IsAsciiLetter)) {
    for (std::size_t p = from; p <= n - m; p += CharLengthAt(s, n, p)) {
      if (EqualIgnoringCase(s + p, what)) return p;
    }
    return kNone;
  }
  BoundaryCursor cursor(s, n, from);
  for (std::size_t p = from; p <= n - m;) {
    const void* hit = memmem(s + p, n - p, what.data(), m);
    if (hit == nullptr) return kNone;
    const auto c = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - s);
    if (cursor.IsBoundary(c)) return c;
    p = c + 1;  // c lies inside a character
  }
  return kNone;
}

std::string MapAscii(std::string_view text, char from, char to, int delta) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size();) {
    const char b = out[i];
    if (IsLeadByte(static_cast<unsigned char>(b))) {
      i += 2;  // leave both bytes of a two-byte character alone
      continue;
    }
    if (b >= from && b <= to) out[i] = static_cast<char>(b + delta);
    ++i;
  }
  return out;
}

}  // namespace

int Find(std::string_view text, std::string_view what, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > text.size() + 1) return -1;
  if (what.empty()) return start;
  const std::size_t pos = FindFrom(text, what, static_cast<std::size_t>(start) - 1, ignoreCase);
  return pos == kNone ? -1 : static_cast<int>(pos) + 1;
}

bool Contains(std::string_view text, std::string_view what, bool ignoreCase) {
  return Find(text, what, 1, ignoreCase) > 0;
}

int FindLast(std::string_view text, std::string_view what, bool ignoreCase) {
  if (what.empty()) return -1;
  std::size_t last = kNone;
  for (std::size_t p = 0;;) {
    const std::size_t c = FindFrom(text, what, p, ignoreCase);
    if (c == kNone) break;
    last = c;
    p = c + CharLengthAt(Bytes(text), text.size(), c);
  }
  return last == kNone ? -1 : static_cast<int>(last) + 1;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t p = 0;
  for (std::size_t c; (c = FindFrom(text, from, p, ignoreCase)) != kNone; p = c + from.size()) {
    out.append(text, p, c - p);
    out.append(to);
  }
  out.append(text, p);
  return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t p = 0;
  for (std::size_t c; (c = FindFrom(text, separator, p, false)) != kNone; p = c + separator.size()) {
    pieces.emplace_back(text.substr(p, c - p));
  }
  if (p < text.size()) pieces.emplace_back(text.substr(p));
  return pieces;
}

std::string Trim(std::string_view text) {
  const unsigned char* s = Bytes(text);
  const std::size_t n = text.size();
  auto fullWidthSpaceAt = [&](std::size_t i) { return i + 1 < n && s[i] == 0xA1 && s[i + 1] == 0xA1; };

  std::size_t begin = 0;
  while (begin < n) {
    if (s[begin] == ' ') {
      ++begin;
    } else if (fullWidthSpaceAt(begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  // The trailing spaces are found walking forwards, so that A1 A1 counts only as a whole character (B0 A1 A1
  // ends with the trail byte of B0 A1, not with a space). The walk starts after the last byte that is neither a
  // lead byte nor a space, which always ends a character.
  std::size_t anchor = n;
  while (anchor > begin && (s[anchor - 1] == ' ' || IsLeadByte(s[anchor - 1]))) --anchor;
  std::size_t end = anchor;
  for (std::size_t i = anchor; i < n;) {
    if (s[i] == ' ') {
      ++i;
    } else if (fullWidthSpaceAt(i)) {
      i += 2;
    } else {
      i += IsLeadByte(s[i]) ? 2 : 1;  // no four-byte form here: only spaces and lead bytes follow the anchor
      end = i < n ? i : n;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

std::string Left(std::string_view text, int count) {
  if (count <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string Right(std::string_view text, int count) {
  if (count <= 0) return {};
  const auto c = static_cast<std::size_t>(count);
  return std::string(c >= text.size() ? text : text.substr(text.size() - c));
}

std::string Mid(std::string_view text, int start, int count) {
  if (start < 1) start = 1;
  const auto from = static_cast<std::size_t>(start) - 1;
  if (from >= text.size() || count == 0) return {};
  return std::string(count < 0 ? text.substr(from) : text.substr(from, static_cast<std::size_t>(count)));
}

std::string ToLowerAscii(std::string_view text) {
  return MapAscii(text, 'A', 'Z', 'a' - 'A');
}
std::string ToUpperAscii(std::string_view text) {
  return MapAscii(text, 'a', 'z', 'A' - 'a');
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.starts_with(prefix);
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return false;
  // The suffix must begin a character: "\xA1" does not end the one character "\xB0\xA1".
  return BoundaryCursor(Bytes(text), text.size(), 0).IsBoundary(text.size() - suffix.size());
}

std::string UpToNul(std::string_view bytes) {
  const void* nul = std::memchr(bytes.data(), 0, bytes.size());
  return std::string(nul ? bytes.substr(0, static_cast<const char*>(nul) - bytes.data()) : bytes);
}

std::string ExpandQuotePlaceholder(std::string_view text) {
  static constexpr std::string_view kPlaceholder = "#\xD2\xFD\xBA\xC5";  // "#引号" in GBK
  return ReplaceAll(text, kPlaceholder, "\"");
}

}  // namespace lekto::text
