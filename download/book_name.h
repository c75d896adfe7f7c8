#pragma once
// The name a book is written under when its title gives none: a page without a usable title tag, or an empty
// title typed for a merge, would otherwise make the hidden file ".txt" and a message about "《》".
#include <ctime>
#include <string>
#include <string_view>

namespace lekto {

// `title` (GBK) itself when it holds more than spaces; otherwise "未命名_" followed by `localTime` as
// YYYY-MM-DD_HH-MM-SS (no characters a file name cannot hold), in GBK.
std::string NamedBookTitle(std::string_view title, const std::tm& localTime);

// The local time now, for NamedBookTitle.
std::tm LocalTimeNow();

}  // namespace lekto
