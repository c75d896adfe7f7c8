#pragma once
// Updating a book with the chapters published since it was written. The record beside the book (written by the
// download that made it, or by the last update) names the table of contents, the switches, the filter rules and
// every chapter the book holds with its link. An update reads the table of contents again, fetches only the rows
// whose links the book does not hold (new chapters, and chapters that failed before), and writes the book again:
// the chapters in the list's order, each old one read back from the book file as it stands, and each chapter that
// vanished from the list kept right after the chapter it followed in the book. The book is replaced atomically,
// then its record.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "book/book_content.h"
#include "book/book_format.h"
#include "chapter/book.h"
#include "download/download_record.h"

namespace lekto {

struct RecordedBook {
  std::filesystem::path bookFile;
  DownloadRecord record;
  BookFormat format = BookFormat::kGbk;
  std::vector<std::string> texts;  // per recorded chapter: its text read back from the book; empty when not written
};

enum class OpenProblem {
  kNone,
  kNoRecord,     // no record beside the book, or not a record
  kNoBook,       // the record's book file is missing
  kBookChanged,  // the book file is not the one the record describes (edited, replaced, or an older record)
};

// `path`: the book file or its record ("书名.txt" or "书名.txt.lekto"). std::nullopt, with the reason in `problem`,
// when the book cannot be updated.
std::optional<RecordedBook> OpenRecordedBook(const std::filesystem::path& path, OpenProblem& problem);

// The table of contents in the order the book was downloaded in (reversed when the record says so).
void MatchRecordedOrder(const RecordedBook& book, Book& toc);

// The 0-based rows of `toc` whose links no chapter of the book holds.
std::vector<int> RowsToFetch(const RecordedBook& book, const Book& toc);

struct UpdatedBook {
  BookContent content;
  DownloadRecord record;  // the chapters in book order; the book's layout is added when it is written
  int added = 0;          // chapters new in the book
  int vanished = 0;       // chapters kept that the list no longer has
};

// The book once the rows of RowsToFetch were downloaded: `fetched[row]` is true when the row's chapter file is in
// `chapterFolder`. A row neither held nor fetched stays out of the book and is recorded as not written.
UpdatedBook ComposeUpdatedBook(const RecordedBook& old, const Book& toc, const std::vector<bool>& fetched,
                               const std::filesystem::path& chapterFolder);

struct UpdateWrite {
  bool bookWritten = false;    // false: the old book and its record stay as they were
  bool recordWritten = false;  // false with the book written: the next update will refuse the book
};

// Writes the book over the old file, atomically, then its record.
UpdateWrite WriteUpdatedBook(const RecordedBook& old, UpdatedBook& updated);

}  // namespace lekto
