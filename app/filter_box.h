#pragma once
// The filter-rule box's snapshot and quick insert: the box's text is cut into items (one byte, one double-byte
// GBK character, or the line break CR LF) so that a caret position, which counts a line break as two and every
// other character as one, can be mapped back onto the text.
#include <string>
#include <string_view>
#include <vector>

namespace lekto {

// The items of a GBK text, in order. An empty text gives no items.
std::vector<std::string> SplitTextItems(std::string_view gbk);

// 2 for a line break, 1 for every other item.
int ItemWeight(std::string_view item);

// The items whose weights, added from the first, stay within `caret`, joined; and the rest, joined.
std::string TextBeforeCaret(const std::vector<std::string>& items, int caret);
std::string TextAfterCaret(const std::vector<std::string>& items, int caret);

// The box's new text for a quick insert of `fragment` at the snapshot's caret.
std::string InsertAtCaret(const std::vector<std::string>& items, int caret, std::string_view fragment);

}  // namespace lekto
