#pragma once
// The two text formats of a book: the title line, then every chapter text as it is, with nothing between them.
#include <cstdint>
#include <string>
#include <vector>

#include "book/book_content.h"

namespace lekto {

// GBK with CR LF: the working text with every kept character turned into "?" (the book as it always was).
// `chapterBytes`, when given, receives the bytes each chapter takes in the book, in order.
std::string GbkBookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr);

// UTF-8 with LF line ends and no byte order mark: every character the pages had, kept ones included.
std::string Utf8BookText(const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr);

// One text of the book (a title, a chapter) in UTF-8 with LF line ends.
std::string ToUtf8Lines(const std::string& text);

}  // namespace lekto
