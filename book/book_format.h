#pragma once
// The formats a book can be written in, chosen per download: GBK text with CR LF (the default, what old
// e-readers want), UTF-8 text with LF, and EPUB 3.
#include <optional>
#include <string_view>

namespace lekto {

enum class BookFormat { kGbk, kUtf8, kEpub };

// "gbk", "utf8" (also "utf-8"), "epub", in any letter case; std::nullopt for anything else.
std::optional<BookFormat> ParseBookFormat(std::string_view name);
// The name ParseBookFormat reads: "gbk", "utf8", "epub".
std::string_view BookFormatName(BookFormat format);
// ".txt" for both text formats, ".epub".
std::string_view BookFileSuffix(BookFormat format);

}  // namespace lekto
