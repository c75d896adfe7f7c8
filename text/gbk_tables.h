#pragma once
// The code page 936 tables behind every conversion, and GB18030's four-byte codes of the Basic Multilingual Plane:
// built once, on first use, by running each code through glibc's iconv, then shared read-only by all threads.
#include <array>
#include <cstdint>

namespace lekto::text::detail {

inline constexpr char32_t kReplacement = 0xFFFD;

struct GbkTables {
  // Double-byte code (lead << 8 | trail) -> UTF-16 unit; U+FFFD when the pair is not a GBK character.
  std::array<char16_t, 0x10000> toUnicode;
  // BMP code point -> GBK: below 0x80 the ASCII byte, 0x80 for the euro sign, otherwise lead << 8 | trail;
  // 0 when the character has no GBK form.
  std::array<std::uint16_t, 0x10000> fromUnicode;
  // GB18030 four-byte code 0..39419 (the BMP characters GBK lacks, in linear order) -> UTF-16 unit.
  std::array<char16_t, 39420> gb18030Bmp;
};

const GbkTables& Tables();

// A lead byte (0x81-0xFE) followed by a trail byte (0x40-0x7E, 0x80-0xFE) forms a double-byte character.
inline bool IsGbkLead(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}
inline bool IsGbkTrail(unsigned char b) {
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace lekto::text::detail
