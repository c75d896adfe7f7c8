#include "regex/gbk_subject.h"

#include "text/four_byte_forms.h"
#include "text/text_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace lekto::regex {
namespace {

constexpr std::size_t kCheckpointStep = 512;

// What NextGbkChar reads at each position, looked up in one table: the pipeline converts pages of megabytes, and
// a call per character was a third of the time of a whole scan. Entry [lead << 8 | next] describes the character
// starting with `lead` when `next` follows it; entry [lead] of `alone`, a lead byte at the end of the text. An
// entry holds the character's UTF-8 bytes (bits 0-23, first byte lowest), their number (bits 24-25) and kOneByte
// when the lead byte is a character on its own. GBK has only characters of the Basic Multilingual Plane, so three
// UTF-8 bytes always suffice. Built from NextGbkChar itself, so the two always agree.
constexpr std::uint32_t kOneByte = 0x80000000;
// A four-byte form (text/four_byte_forms.h) is read outside the tables: its entry holds the code point (bits 0-20)
// and this flag.
constexpr std::uint32_t kFourByte = 0x40000000;

std::uint32_t Entry(char32_t c, std::size_t consumed) {
  // UTF-8 cannot carry surrogates; anything outside the BMP cannot come from GBK.
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0xFFFF) c = 0xFFFD;
  std::uint32_t bytes = 0;
  std::uint32_t length = 0;
  if (c < 0x80) {
    bytes = c;
    length = 1;
  } else if (c < 0x800) {
    bytes = (0xC0 | (c >> 6)) | (0x80 | (c & 0x3F)) << 8;
    length = 2;
  } else {
    bytes = (0xE0 | (c >> 12)) | (0x80 | ((c >> 6) & 0x3F)) << 8 | (0x80 | (c & 0x3F)) << 16;
    length = 3;
  }
  return bytes | length << 24 | (consumed < 2 ? kOneByte : 0);
}

struct DecodeTable {
  std::vector<std::uint32_t> pairs = std::vector<std::uint32_t>(0x10000);
  std::vector<std::uint32_t> alone = std::vector<std::uint32_t>(0x100);
  // Whether a byte pair is one character, from two small tables that stay in the first-level cache: the length
  // of one character decides where the next starts, so looking it up in the large table would make every step
  // wait for a slow load. Used only when the two tables agree with the large one for every pair.
  std::array<bool, 0x100> leads{};
  std::array<bool, 0x100> trails{};
  bool pairRule = true;

  DecodeTable() {
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
      for (unsigned next = 0; next <= 0xFF; ++next) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(next)};
        std::size_t pos = 0;
        char32_t c = text::NextGbkChar(std::string_view(bytes, 2), pos);
        pairs[lead << 8 | next] = Entry(c, pos);
        if (pos >= 2) leads[lead] = trails[next] = true;
      }
      const char byte = static_cast<char>(lead);
      std::size_t pos = 0;
      alone[lead] = Entry(text::NextGbkChar(std::string_view(&byte, 1), pos), 1);
    }
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
      for (unsigned next = 0; next <= 0xFF; ++next) {
        bool pair = !(pairs[lead << 8 | next] & kOneByte);
        if (pair != (leads[lead] && trails[next])) pairRule = false;
      }
    }
  }
};

const DecodeTable& Decoder() {
  static const DecodeTable table;
  return table;
}

// The entry for the character at `pos`, advancing `pos` past it; an ASCII byte gives itself. Both directions of
// the offset mapping step through the text with this one function, so they always agree.
inline std::uint32_t NextEntry(const DecodeTable& table, std::string_view gbk, std::size_t& pos) {
  auto byte = static_cast<unsigned char>(gbk[pos]);
  if (byte < 0x80) {
    ++pos;
    return byte | 1u << 24;
  }
  if (pos + 1 == gbk.size()) {
    ++pos;
    return table.alone[byte];
  }
  auto next = static_cast<unsigned char>(gbk[pos + 1]);
  std::uint32_t entry = table.pairs[byte << 8 | next];
  const bool pair = table.pairRule ? table.leads[byte] && table.trails[next] : !(entry & kOneByte);
  if (!pair && next >= '0' && next <= '9') {
    const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
    if (text::IsFourByteFormAt(bytes, gbk.size(), pos)) {
      const char32_t c = text::DecodeFourByteForm(bytes + pos);
      pos += 4;
      return c | kFourByte;
    }
  }
  pos += pair ? 2 : 1;
  return entry;
}

std::size_t Utf8Length(std::uint32_t entry) {
  if (entry & kFourByte) {
    const char32_t c = entry & 0x1FFFFF;
    return c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;  // never ASCII: GBK has all of it
  }
  return entry >> 24 & 3;
}

// Writes the UTF-8 bytes of an entry to `out`, which has room for four.
void PutUtf8(std::uint32_t entry, char* out) {
  if (entry & kFourByte) {
    const char32_t c = entry & 0x1FFFFF;
    if (c < 0x800) {
      out[0] = static_cast<char>(0xC0 | c >> 6);
      out[1] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out[0] = static_cast<char>(0xE0 | c >> 12);
      out[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out[2] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out[0] = static_cast<char>(0xF0 | c >> 18);
      out[1] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out[2] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out[3] = static_cast<char>(0x80 | (c & 0x3F));
    }
    return;
  }
  out[0] = static_cast<char>(entry);
  out[1] = static_cast<char>(entry >> 8);
  out[2] = static_cast<char>(entry >> 16);
}

}  // namespace

std::u32string DecodeGbk(std::string_view gbk) {
  std::u32string result;
  result.reserve(gbk.size());
  for (std::size_t pos = 0; pos < gbk.size();) {
    char32_t c = text::NextGbkChar(gbk, pos);
    result += (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? 0xFFFD : c;
  }
  return result;
}

GbkSubject::GbkSubject(std::string gbk) : gbk_(std::move(gbk)) {
  const DecodeTable& table = Decoder();
  // Sized for Chinese text (two GBK bytes become three UTF-8 bytes) and grown in the rare case of more.
  utf8_.resize(gbk_.size() + gbk_.size() / 2 + 4);
  std::size_t written = 0;
  checkpoints_.push_back({0, 0});
  std::size_t nextCheckpoint = kCheckpointStep;
  const std::size_t size = gbk_.size();
  for (std::size_t pos = 0; pos < size;) {
    if (written >= nextCheckpoint) {
      checkpoints_.push_back({written, pos});
      nextCheckpoint = written + kCheckpointStep;
    }
    if (utf8_.size() - written < 4) utf8_.resize(utf8_.size() + utf8_.size() / 4 + 4);
    char* out = utf8_.data() + written;
    std::uint32_t entry = NextEntry(table, gbk_, pos);
    PutUtf8(entry, out);
    written += Utf8Length(entry);
  }
  utf8_.resize(written);
}

std::size_t GbkSubject::ToGbkOffset(std::size_t utf8Offset, Cursor& cursor) const {
  utf8Offset = std::min(utf8Offset, utf8_.size());
  auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), utf8Offset,
                                [](std::size_t offset, const Cursor& c) { return offset < c.utf8; });
  const Cursor& nearest = *(after - 1);
  if (cursor.utf8 > utf8Offset || nearest.utf8 > cursor.utf8) cursor = nearest;
  const DecodeTable& table = Decoder();
  while (cursor.utf8 < utf8Offset && cursor.gbk < gbk_.size()) {
    cursor.utf8 += Utf8Length(NextEntry(table, gbk_, cursor.gbk));
  }
  return cursor.gbk;
}

std::size_t GbkSubject::ToGbkOffset(std::size_t utf8Offset) const {
  Cursor cursor;
  return ToGbkOffset(utf8Offset, cursor);
}

}  // namespace lekto::regex
