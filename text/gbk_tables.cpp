#include "text/gbk_tables.h"

#include <iconv.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace lekto::text::detail {
namespace {

// Owns one iconv descriptor.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (valid()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input; the number of output bytes, or -1 when iconv rejects any of it.
  int Convert(const char* in, std::size_t inSize, char* out, std::size_t outSize) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    std::size_t outLeft = outSize;
    if (iconv(cd_, &inPtr, &inSize, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return -1;
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return -1;
    return static_cast<int>(outSize - outLeft);
  }

 private:
  iconv_t cd_;
};

void Build(GbkTables& t) {
  t.toUnicode.fill(static_cast<char16_t>(kReplacement));
  t.fromUnicode.fill(0);
  t.gb18030Bmp.fill(static_cast<char16_t>(kReplacement));
  for (unsigned c = 0; c < 0x80; ++c) t.fromUnicode[c] = static_cast<std::uint16_t>(c);

  // "CP936" is glibc's name for the Windows flavour of GBK (0x80 is the euro sign).
  Iconv decode("UTF-32LE", "CP936");
  Iconv encode("CP936", "UTF-32LE");
  if (!decode.valid() || !encode.valid()) return;  // no tables: everything non-ASCII becomes a replacement

  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (!IsGbkTrail(static_cast<unsigned char>(trail))) continue;
      const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      unsigned char out[8];
      if (decode.Convert(in, 2, reinterpret_cast<char*>(out), sizeof out) != 4) continue;
      const char32_t cp = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
      if (cp < 0x10000 && (cp < 0xD800 || cp > 0xDFFF)) t.toUnicode[lead << 8 | trail] = static_cast<char16_t>(cp);
    }
  }
  for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8), 0, 0};
    unsigned char out[8];
    const int n = encode.Convert(reinterpret_cast<const char*>(in), 4, reinterpret_cast<char*>(out), sizeof out);
    if (n == 1 && out[0] == 0x80) {
      t.fromUnicode[cp] = 0x80;
    } else if (n == 2 && IsGbkLead(out[0]) && IsGbkTrail(out[1])) {
      t.fromUnicode[cp] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
    }
  }

  Iconv gb18030("UTF-32LE", "GB18030");
  if (!gb18030.valid()) return;
  for (unsigned code = 0; code < t.gb18030Bmp.size(); ++code) {
    const char in[4] = {static_cast<char>(0x81 + code / 12600), static_cast<char>(0x30 + code % 12600 / 1260),
                        static_cast<char>(0x81 + code % 1260 / 10), static_cast<char>(0x30 + code % 10)};
    unsigned char out[8];
    if (gb18030.Convert(in, 4, reinterpret_cast<char*>(out), sizeof out) != 4) continue;
    const char32_t cp = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
    if (cp < 0x10000 && (cp < 0xD800 || cp > 0xDFFF)) t.gb18030Bmp[code] = static_cast<char16_t>(cp);
  }
}

}  // namespace

const GbkTables& Tables() {
  static std::once_flag once;
  static std::unique_ptr<GbkTables> tables;
  std::call_once(once, [] {
    tables = std::make_unique<GbkTables>();
    Build(*tables);
  });
  return *tables;
}

}  // namespace lekto::text::detail
