#include "text/four_byte_forms.h"

#include "text/gbk_tables.h"

namespace lekto::text {
namespace {

// GB18030 numbers its four-byte codes linearly: 10 x 126 x 10 values after each lead byte.
constexpr unsigned kPerLead = 12600;
// The codes GB18030 assigns: the BMP characters GBK lacks (0 .. 39419) and the planes 1-16 from 189000 on.
constexpr unsigned kBmpEnd = 39420;
constexpr unsigned kSupplementaryStart = 189000;
// The kept range starts at lead byte E4, above GB18030's last code (E3 32 9A 35).
constexpr unsigned kKeptStart = (0xE4 - 0x81) * kPerLead;
constexpr char32_t kLowPlanes = 0x40000;  // planes 0-3 are kept at their own numbers, plane 14 after them
constexpr char32_t kPlane14 = 0xE0000;
constexpr char32_t kKeptSlots = kLowPlanes + 0x10000;

unsigned LinearCode(const unsigned char* s) {
  return (s[0] - 0x81u) * kPerLead + (s[1] - 0x30u) * 1260 + (s[2] - 0x81u) * 10 + (s[3] - 0x30u);
}

bool IsKeptFormAt(const unsigned char* s, std::size_t n, std::size_t i) {
  return s[i] >= 0xE4 && IsFourByteFormAt(s, n, i);
}

}  // namespace

char32_t DecodeFourByteForm(const unsigned char* s) {
  const unsigned code = LinearCode(s);
  char32_t c = detail::kReplacement;
  if (code >= kKeptStart) {
    const char32_t slot = code - kKeptStart;
    if (slot >= 0x80 && slot < kLowPlanes) {  // never ASCII: GBK has all of it
      c = slot;
    } else if (slot < kKeptSlots) {
      c = kPlane14 + (slot - kLowPlanes);
    }
  } else if (code < kBmpEnd) {
    c = detail::Tables().gb18030Bmp[code];
  } else if (code >= kSupplementaryStart && code - kSupplementaryStart < 0x100000) {
    c = 0x10000 + (code - kSupplementaryStart);
  }
  return c >= 0xD800 && c <= 0xDFFF ? detail::kReplacement : c;
}

void AppendKeptForm(std::string& out, char32_t c) {
  char32_t slot;
  if (c < kLowPlanes && (c < 0xD800 || c > 0xDFFF)) {
    slot = c;
  } else if (c >= kPlane14 && c < kPlane14 + 0x10000) {
    slot = kLowPlanes + (c - kPlane14);
  } else {
    out += '?';
    return;
  }
  unsigned code = kKeptStart + slot;
  const char bytes[4] = {
      static_cast<char>(0x81 + code / kPerLead),
      static_cast<char>(0x30 + code % kPerLead / 1260),
      static_cast<char>(0x81 + code % 1260 / 10),
      static_cast<char>(0x30 + code % 10),
  };
  out.append(bytes, 4);
}

std::string DropKeptCharacters(std::string_view text, std::size_t* dropped) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::string out;
  std::size_t copied = 0;  // text[copied, i) still to be copied unchanged
  // Steps as the decoding does: ASCII, 0x80 (the euro sign) and 0xFF alone, four-byte forms whole, any other
  // byte with the byte after it. A kept form only ever starts where a character starts.
  for (std::size_t i = 0; i < n;) {
    if (s[i] < 0x81 || s[i] == 0xFF) {
      ++i;
    } else if (IsFourByteFormAt(s, n, i)) {
      if (IsKeptFormAt(s, n, i)) {
        if (out.empty()) out.reserve(n);
        out.append(text, copied, i - copied);
        out += '?';
        copied = i + 4;
        if (dropped != nullptr) ++*dropped;
      }
      i += 4;
    } else {
      i += 2;
    }
  }
  if (copied == 0) return std::string(text);
  out.append(text, copied, std::string_view::npos);
  return out;
}

}  // namespace lekto::text
