#pragma once
// The two text formats of a book. GBK text is the book as it always was: the title line, then every chapter text
// as it is, with nothing between them, byte for byte what old readers and old records know. UTF-8 text is the
// book as readers keep it today: the title line and an author line ("作者：某某", when the book page named one),
// then every chapter after a blank line.
#include <cstdint>
#include <string>
#include <vector>

#include "book/book_content.h"
#include "book/book_format.h"

namespace lekto {

// Both text books end every line with CR LF, whatever line ends the pages had.

// GBK: the working text with every kept character turned into "?" (the book as it always was). `chapterBytes`,
// when given, receives the bytes each chapter takes in the book, in order; `lostCharacters`, the number of
// characters that became "?".
std::string GbkBookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr,
                        std::size_t* lostCharacters = nullptr);

// UTF-8 with CR LF line ends and no byte order mark: every character the pages had, kept ones included. Each
// chapter ends in one line end, whatever blank lines its text ended with. `chapterBytes` leaves out the blank
// line before each chapter (ChapterGapBytes).
std::string Utf8BookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr);

// The bytes a text book of `format` puts before each chapter: 2 for UTF-8 (the blank line, CR LF), 0 for GBK.
std::uint64_t ChapterGapBytes(BookFormat format);

// The line that names the author at the head of a UTF-8 text book, in the working text: "作者：" and the name.
std::string AuthorLine(const std::string& author);

// One text of the book (a title, a chapter) in UTF-8 with LF line ends.
std::string ToUtf8Lines(const std::string& text);

}  // namespace lekto
