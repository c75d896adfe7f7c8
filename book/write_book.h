#pragma once
// Writing a book file in the chosen format, atomically (book/atomic_file.h): the old book stays untouched until
// the new one is whole.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_content.h"
#include "book/book_format.h"
#include "book/book_layout.h"

namespace lekto {

// The book file's name for a title in the working text: the title in UTF-8 (a GBK book's with "?" for kept
// characters, as its first line has) with "/", "\", and control characters replaced by "_", leading dots
// replaced by "_" (so no hidden files and no "." or ".."), cut at a character boundary so the name stays within
// the file system's limit, then the format's suffix. An empty title gives ".txt".
std::string BookFileName(std::string_view bookTitle, BookFormat format = BookFormat::kGbk);

struct WrittenBook {
  std::filesystem::path file;      // where the book was (or would have been) written
  bool written = false;            // false: the book could not be written; an old one stays untouched
  BookLayout layout;               // of the file written, for reading its chapters back
  std::size_t lostCharacters = 0;  // a GBK book: characters GBK lacks that became "?"
};

// Writes `book` into `folder` under BookFileName(book.title, format).
WrittenBook WriteBook(const std::filesystem::path& folder, BookFormat format, const BookContent& book);
// Writes `book` as the file `file`, whatever its name (a book the reader renamed, updated in place).
WrittenBook WriteBookFile(const std::filesystem::path& file, BookFormat format, const BookContent& book);

// The bytes of the book file in `format`; `chapterBytes`, when given, receives each chapter's size in a text book,
// and `lostCharacters` the characters a GBK book turned into "?".
std::string BookBytes(BookFormat format, const BookContent& book, std::vector<std::uint64_t>* chapterBytes = nullptr,
                      std::size_t* lostCharacters = nullptr);

}  // namespace lekto
