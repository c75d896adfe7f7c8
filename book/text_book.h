#pragma once
// The two text formats of a book: the title line, then every chapter text as it is, with nothing between them.
#include <cstdint>
#include <string>
#include <vector>

#include "book/book_content.h"

namespace lekto {

// Both text books end every line with CR LF, whatever line ends the pages had.

// GBK: the working text with every kept character turned into "?" (the book as it always was). `chapterBytes`,
// when given, receives the bytes each chapter takes in the book, in order; `lostCharacters`, the number of
// characters that became "?".
std::string GbkBookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr,
                        std::size_t* lostCharacters = nullptr);

// UTF-8 without a byte order mark: every character the pages had, kept ones included.
std::string Utf8BookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr);

// One text of the book (a title, a chapter) in UTF-8 with LF line ends.
std::string ToUtf8Lines(const std::string& text);

}  // namespace lekto
