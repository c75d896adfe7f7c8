// The codec and the text operations: conversions agree with the general path through UTF-16 and are stable
// after one round trip; the engine's table-driven GBK decoding agrees with the codec; searches agree with a
// plain walk over the characters, and the characters the text operations step over are the codec's.
// Input: a text, then (after NUL bytes) a word to search for and a replacement.
#include "fuzz/fuzz_support.h"
#include "regex/gbk_subject.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

namespace {

using lekto::fuzz::Check;
namespace text = lekto::text;

bool IsLead(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}
bool IsTrail(unsigned char b) {
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// Where the characters of the text operations start: a lead byte takes the byte after it, whatever it is.
std::vector<bool> Boundaries(std::string_view s) {
  std::vector<bool> starts(s.size() + 1, false);
  for (std::size_t i = 0; i < s.size(); i += IsLead(static_cast<unsigned char>(s[i])) ? 2 : 1) starts[i] = true;
  starts[s.size()] = true;
  return starts;
}

void CheckCodec(const std::string& bytes) {
  const std::string upToNul = text::UpToNul(bytes);
  // GBK in: the fast conversion, the general one, the engine's subject and its decoder all agree.
  const std::string utf8 = text::AnsiToUtf8(bytes);
  Check(utf8 == text::FromWide(text::ToWide(bytes, 936), 65001), "AnsiToUtf8 equals the path through UTF-16");
  const lekto::regex::GbkSubject subject(upToNul);
  Check(subject.Utf8() == utf8, "the engine's subject equals AnsiToUtf8");
  const std::u32string points = lekto::regex::DecodeGbk(upToNul);
  std::size_t utf8Offset = 0;
  std::size_t pos = 0;
  lekto::regex::GbkSubject::Cursor cursor;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const char32_t c = points[i];
    const std::size_t start = pos;
    Check(text::NextGbkChar(upToNul, pos) == c, "DecodeGbk equals NextGbkChar");
    Check(subject.ToGbkOffset(utf8Offset, cursor) == start, "ToGbkOffset finds the start of each character");
    // Without a cursor the mapping starts from the nearest checkpoint; a sample of offsets is enough.
    if (i % 61 == 0) Check(subject.ToGbkOffset(utf8Offset) == start, "and so it does from a checkpoint");
    // A four-byte form (a kept character, or a real GB18030 one) may stand for a character past the BMP.
    utf8Offset += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  }
  Check(pos == upToNul.size() && utf8Offset == utf8.size(), "the walks end together");

  // Stable after one round trip through the working text, which keeps characters GBK lacks as four-byte forms,
  // once nothing unmappable is left: U+FFFD, or a character of the private-use planes 15 and 16, which have none.
  bool privatePlanes = false;
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    const auto next = at + 1 < utf8.size() ? static_cast<unsigned char>(utf8[at + 1]) : 0;
    privatePlanes = privatePlanes || byte == 0xF4 || (byte == 0xF3 && next >= 0xB0);
  }
  if (utf8.find("\xEF\xBF\xBD") == std::string::npos && !privatePlanes) {
    Check(text::AnsiToUtf8(text::Utf8ToText(utf8)) == utf8, "GBK -> UTF-8 -> working text -> UTF-8 is stable");
  }
  const std::string gbk = text::Utf8ToAnsi(bytes);
  Check(text::Utf8ToAnsi(text::AnsiToUtf8(gbk)) == gbk, "UTF-8 -> GBK -> UTF-8 -> GBK is stable");
  std::string_view noMark = upToNul;
  if (noMark.starts_with("\xEF\xBB\xBF")) noMark.remove_prefix(3);
  Check(gbk == text::FromWide(text::ToWide(noMark, 65001), 936), "Utf8ToAnsi equals the path through UTF-16");

  text::PercentDecode(bytes, true);
  text::PercentDecode(bytes, false);
  text::DeclaresUtfCharset(bytes);
}

bool HasAsciiLetter(std::string_view s) {
  for (const char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  }
  return false;
}

void CheckTextOperations(const std::string& t, const std::string& what, const std::string& to) {
  const std::vector<bool> starts = Boundaries(t);
  // Find: the first character start at which `what` occurs (the search start counts as one).
  for (const int start : {1, 2, 3}) {
    const int found = text::Find(t, what, start);
    int expected = -1;
    if (static_cast<std::size_t>(start) <= t.size() + 1) {
      if (what.empty()) {
        expected = start;
      } else {
        for (std::size_t p = static_cast<std::size_t>(start) - 1; p + what.size() <= t.size();
             p += IsLead(static_cast<unsigned char>(t[p])) ? 2 : 1) {
          if (t.compare(p, what.size(), what) == 0) {
            expected = static_cast<int>(p) + 1;
            break;
          }
        }
      }
    }
    Check(found == expected, "Find equals a walk over the characters");
    // The case-blind search walks character by character; without letters in the word it finds the same.
    if (!HasAsciiLetter(what)) Check(text::Find(t, what, start, true) == found, "both searches agree");
  }
  // FindLast is the last hit of repeated searches.
  int last = -1;
  if (!what.empty()) {
    for (int at = text::Find(t, what); at > 0;
         at = text::Find(t, what, at + (IsLead(static_cast<unsigned char>(t[at - 1])) ? 2 : 1)))
      last = at;
  }
  Check(text::FindLast(t, what) == last, "FindLast is the last Find");
  if (!what.empty()) {
    // ReplaceAll, and Split joined again.
    std::string replaced;
    std::size_t copied = 0;
    for (int at = text::Find(t, what); at > 0; at = text::Find(t, what, static_cast<int>(copied) + 1)) {
      replaced.append(t, copied, static_cast<std::size_t>(at - 1) - copied).append(to);
      copied = static_cast<std::size_t>(at - 1) + what.size();
    }
    replaced.append(t, copied);
    Check(text::ReplaceAll(t, what, to) == replaced, "ReplaceAll replaces what Find finds");
    const std::vector<std::string> pieces = text::Split(t, what);
    std::string rejoined;
    for (std::size_t i = 0; i < pieces.size(); ++i) rejoined += (i > 0 ? what : "") + pieces[i];
    Check(rejoined == t || rejoined + what == t || (t.empty() && pieces.empty()), "Split pieces join to the text");
    Check(text::EndsWith(t, what) == (t.ends_with(what) && starts[t.size() - what.size()]),
          "EndsWith only at a character start");
  }
  const std::string trimmed = text::Trim(t);
  Check(text::Trim(trimmed) == trimmed && t.find(trimmed) != std::string::npos, "Trim is idempotent");
  Check(text::ToLowerAscii(text::ToUpperAscii(t)) == text::ToLowerAscii(t) && text::ToUpperAscii(t).size() == t.size(),
        "case mapping keeps the length");
  text::Left(t, static_cast<int>(what.size()));
  text::Right(t, static_cast<int>(what.size()));
  text::Mid(t, static_cast<int>(to.size()), static_cast<int>(what.size()) - 1);
  text::ExpandQuotePlaceholder(t);

  // One rule for the characters: where every lead byte has a trail byte after it, the codec steps exactly as
  // the text operations do (0x80 and 0xFF are characters of one byte for both).
  bool wellFormed = true;
  for (std::size_t i = 0; i < t.size() && wellFormed; i += starts[i + 1] ? 1 : 2) {
    if (IsLead(static_cast<unsigned char>(t[i])))
      wellFormed = i + 1 < t.size() && IsTrail(static_cast<unsigned char>(t[i + 1]));
  }
  if (wellFormed && t.find('\0') == std::string::npos) {
    for (std::size_t pos = 0; pos < t.size();) {
      text::NextGbkChar(t, pos);
      Check(starts[pos], "the codec's characters are the text operations' characters");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> pieces = lekto::fuzz::Pieces(input, 3);
  CheckCodec(std::string(input));
  CheckTextOperations(pieces[0], pieces.size() > 1 ? pieces[1] : std::string(), pieces.size() > 2 ? pieces[2] : "");
  return 0;
}
