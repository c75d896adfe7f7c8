#pragma once
// The code page 936 tables behind every conversion: built once, on first use, by running each code through
// glibc's iconv, then shared read-only by all threads.
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
