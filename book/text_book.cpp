#include "book/text_book.h"

#include "text/four_byte_forms.h"
#include "text/line_ends.h"
#include "text/text_codec.h"

#include <string_view>

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

namespace {

// The line end of a UTF-8 book, which is also the blank line set before each chapter: CR LF, as in the GBK
// book, whatever line ends the pages had.
constexpr std::string_view kUtf8LineEnd = "\r\n";

// UTF-8 text whose every line ends in CR LF.
std::string ToUtf8CrLf(const std::string& text) {
  std::string out;
  text::AppendWithCrLf(out, text::AnsiToUtf8(text));
  return out;
}

// The chapter as a UTF-8 book holds it: its lines, without the blank lines (or blanks) its end may carry, and
// one line end. Pages whose paragraphs all end in a line break give a chapter file ending in an empty line and
// others do not; cut the same way, every chapter stands one blank line from the next. Reading the chapter back
// and writing it again gives the same bytes.
std::string Utf8Chapter(const std::string& text) {
  static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  std::string utf8 = ToUtf8CrLf(text);
  for (;;) {
    if (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ' || utf8.back() == '\t')) {
      utf8.pop_back();
    } else if (utf8.ends_with(kIdeographicSpace)) {
      utf8.resize(utf8.size() - kIdeographicSpace.size());
    } else {
      break;
    }
  }
  utf8 += kUtf8LineEnd;
  return utf8;
}

}  // namespace

std::uint64_t ChapterGapBytes(BookFormat format) {
  return format == BookFormat::kUtf8 ? kUtf8LineEnd.size() : 0;
}

std::string AuthorLine(const std::string& author) {
  std::string line = text::Gbk(u8"作者：") + author;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';  // one line, whatever a hand-edited record says
  }
  return line;
}

std::string Utf8BookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes) {
  std::string out = ToUtf8CrLf(book.title);
  out += kUtf8LineEnd;
  if (!book.author.empty()) out += ToUtf8CrLf(AuthorLine(book.author)) + std::string(kUtf8LineEnd);
  for (const BookChapter& chapter : book.chapters) {
    out += kUtf8LineEnd;  // the blank line before every chapter (ChapterGapBytes), the first one's after the head
    const std::size_t start = out.size();
    out += Utf8Chapter(chapter.text);
    if (chapterBytes) chapterBytes->push_back(out.size() - start);
  }
  return out;
}

}  // namespace lekto
