#include "regex/gbk_subject.h"

#include "text/text_codec.h"

#include <algorithm>

namespace lekto::regex {
namespace {

constexpr std::size_t kCheckpointStep = 512;

// The next character of a GBK text as the code point put into the UTF-8 text; both directions of the offset
// mapping step through the text with this one function, so they always agree.
char32_t NextChar(std::string_view gbk, std::size_t& pos) {
  auto byte = static_cast<unsigned char>(gbk[pos]);
  if (byte < 0x80) {
    ++pos;
    return byte;
  }
  std::size_t before = pos;
  char32_t c = text::NextGbkChar(gbk, pos);
  if (pos <= before) pos = before + 1;
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  return c;
}

std::size_t Utf8Length(char32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

char* PutUtf8(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace

std::u32string DecodeGbk(std::string_view gbk) {
  std::u32string result;
  result.reserve(gbk.size());
  for (std::size_t pos = 0; pos < gbk.size();) result += NextChar(gbk, pos);
  return result;
}

GbkSubject::GbkSubject(std::string gbk) : gbk_(std::move(gbk)) {
  // A GBK character of one or two bytes needs at most three UTF-8 bytes.
  utf8_.resize(gbk_.size() * 3);
  char* const begin = utf8_.data();
  char* out = begin;
  checkpoints_.push_back({0, 0});
  std::size_t nextCheckpoint = kCheckpointStep;
  for (std::size_t pos = 0; pos < gbk_.size();) {
    auto written = static_cast<std::size_t>(out - begin);
    if (written >= nextCheckpoint) {
      checkpoints_.push_back({written, pos});
      nextCheckpoint = written + kCheckpointStep;
    }
    out = PutUtf8(out, NextChar(gbk_, pos));
  }
  utf8_.resize(static_cast<std::size_t>(out - begin));
  utf8_.shrink_to_fit();
}

std::size_t GbkSubject::ToGbkOffset(std::size_t utf8Offset, Cursor& cursor) const {
  utf8Offset = std::min(utf8Offset, utf8_.size());
  auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), utf8Offset,
                                [](std::size_t offset, const Cursor& c) { return offset < c.utf8; });
  const Cursor& nearest = *(after - 1);
  if (cursor.utf8 > utf8Offset || nearest.utf8 > cursor.utf8) cursor = nearest;
  while (cursor.utf8 < utf8Offset && cursor.gbk < gbk_.size()) {
    cursor.utf8 += Utf8Length(NextChar(gbk_, cursor.gbk));
  }
  return cursor.gbk;
}

std::size_t GbkSubject::ToGbkOffset(std::size_t utf8Offset) const {
  Cursor cursor;
  return ToGbkOffset(utf8Offset, cursor);
}

}  // namespace lekto::regex
