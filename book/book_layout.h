#pragma once
// Reading a written book back into its chapters, so that an update can write the book again with its new
// chapters without fetching the old ones. The download record keeps the BookLayout of the book it describes: the
// file's size and hash tell whether the file is still the one written (a book the reader edited or replaced is
// refused, never cut at the wrong places), and a text book's chapter sizes say where each chapter lies. An
// EPUB's chapters are its chapter documents, read back from their heading and paragraphs.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_format.h"

namespace lekto {

struct BookLayout {
  std::uint64_t bytes = 0;
  std::string hash;  // BookHash of the file's bytes; empty when not known
  // One entry per chapter, in book order: the bytes it takes in a text book (an EPUB's entries are not read). A
  // writer fills it for text books only; a record gives one entry per written chapter in any format.
  std::vector<std::uint64_t> chapterBytes;
  // The bytes a text book has before each chapter beyond its chapterBytes (ChapterGapBytes of book/text_book.h);
  // 0 in books written before chapters were set apart.
  std::uint64_t chapterGap = 0;
};

// The 64-bit FNV-1a hash of `bytes` as 16 hex digits: tells a changed file from the one written.
std::string BookHash(std::string_view bytes);

// The chapter texts of the book file (one per entry of the layout's chapterBytes), in book order, in the working
// text (GBK, CR LF), such that a writer of `format` given the same titles writes them as they stand in the file.
// std::nullopt when the file is missing or unreadable, is not the file `layout` describes, or does not hold that
// many chapters.
std::optional<std::vector<std::string>> ReadBookChapters(const std::filesystem::path& file, BookFormat format,
                                                         const BookLayout& layout);

// The cover picture of an EPUB the EPUB writer made, so that a book written again keeps it without fetching it
// again; empty when the book has none or is no EPUB.
std::string ReadEpubCover(const std::filesystem::path& file);

}  // namespace lekto
