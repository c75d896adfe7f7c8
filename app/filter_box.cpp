#include "app/filter_box.h"

#include <cstddef>

namespace lekto {

std::vector<std::string> SplitTextItems(std::string_view gbk) {
  std::vector<std::string> items;
  std::size_t p = 0;
  while (p < gbk.size()) {
    std::size_t length = 1;
    const auto byte = static_cast<unsigned char>(gbk[p]);
    if (p + 1 < gbk.size()) {
      // A lead byte in the last position, and 0x80 itself, stay single-byte items.
      if (byte > 0x80 || (byte == '\r' && gbk[p + 1] == '\n')) length = 2;
    }
    items.emplace_back(gbk.substr(p, length));
    p += length;
  }
  return items;
}

int ItemWeight(std::string_view item) {
  return item == "\r\n" ? 2 : 1;
}

namespace {

// Number of leading items that fit within `caret`.
std::size_t ItemsBeforeCaret(const std::vector<std::string>& items, int caret) {
  std::size_t count = 0;
  int sum = 0;
  while (count < items.size() && sum + ItemWeight(items[count]) <= caret) {
    sum += ItemWeight(items[count]);
    ++count;
  }
  return count;
}

std::string Join(const std::vector<std::string>& items, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) text += items[i];
  return text;
}

}  // namespace

std::string TextBeforeCaret(const std::vector<std::string>& items, int caret) {
  return Join(items, 0, ItemsBeforeCaret(items, caret));
}

std::string TextAfterCaret(const std::vector<std::string>& items, int caret) {
  return Join(items, ItemsBeforeCaret(items, caret), items.size());
}

std::string InsertAtCaret(const std::vector<std::string>& items, int caret, std::string_view fragment) {
  const std::size_t split = ItemsBeforeCaret(items, caret);
  return Join(items, 0, split) + std::string(fragment) + Join(items, split, items.size());
}

}  // namespace lekto
