#include "book/text_book.h"

#include "text/four_byte_forms.h"
#include "text/line_ends.h"
#include "text/text_codec.h"

namespace lekto {

std::string GbkBookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes,
                        std::size_t* lostCharacters) {
  std::string out;
  text::AppendWithCrLf(out, text::DropKeptCharacters(book.title, lostCharacters));
  out += "\r\n";
  for (const BookChapter& chapter : book.chapters) {
    const std::size_t start = out.size();
    text::AppendWithCrLf(out, text::DropKeptCharacters(chapter.text, lostCharacters));
    if (chapterBytes) chapterBytes->push_back(out.size() - start);
  }
  return out;
}

std::string ToUtf8Lines(const std::string& text) {
  const std::string utf8 = text::AnsiToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    out += utf8[i];
  }
  return out;
}

std::string Utf8BookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes) {
  std::string out;
  text::AppendWithCrLf(out, text::AnsiToUtf8(book.title));
  out += "\r\n";
  for (const BookChapter& chapter : book.chapters) {
    const std::size_t start = out.size();
    text::AppendWithCrLf(out, text::AnsiToUtf8(chapter.text));
    if (chapterBytes) chapterBytes->push_back(out.size() - start);
  }
  return out;
}

}  // namespace lekto
