#include "book/book_format.h"

#include <string>

namespace lekto {

std::optional<BookFormat> ParseBookFormat(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "gbk") return BookFormat::kGbk;
  if (lower == "utf8" || lower == "utf-8") return BookFormat::kUtf8;
  if (lower == "epub") return BookFormat::kEpub;
  return std::nullopt;
}

std::string_view BookFormatName(BookFormat format) {
  switch (format) {
    case BookFormat::kUtf8:
      return "utf8";
    case BookFormat::kEpub:
      return "epub";
    case BookFormat::kGbk:
      break;
  }
  return "gbk";
}

std::string_view BookFileSuffix(BookFormat format) {
  return format == BookFormat::kEpub ? ".epub" : ".txt";
}

}  // namespace lekto
