#pragma once
// BookAssembler: joins the chapter files of the temp folder, in chapter-number order, into one book file in the
// work folder, in the format chosen for the download (book/): by default the book title and "\r\n", then each
// chapter file's bytes unchanged, in GBK. The book file's name on disk is the title in UTF-8, made safe to use as
// one file name.
//
// The book is written to a temporary file in the work folder and renamed over the old one, so a failure half-way
// never leaves a truncated book in place of a good one, and two merges of the same title (by hand while the
// automatic one runs) each leave a whole book: the later rename wins.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_format.h"
#include "book/write_book.h"
#include "download/work_folders.h"

namespace lekto {

struct MergeResult {
  std::filesystem::path bookFile;  // where the book was (or would have been) written
  bool written = false;            // false: the book file could not be written; an old one stays untouched
  int chapters = 0;                // chapter files appended
  BookLayout layout;               // of the book written, for the record
  std::size_t lostCharacters = 0;  // characters GBK lacks that became "?" in a GBK book
};

// How a merge writes its book, beyond the title.
struct BookOptions {
  BookFormat format = BookFormat::kGbk;
  std::string sourceAddress;               // the table-of-contents address (GBK), for the EPUB's metadata
  std::vector<std::string> chapterTitles;  // the list's title of every row (GBK), the EPUB's headings; may be empty
  std::string author;                      // GBK: the author line of a UTF-8 book, the EPUB's creator
  std::string description;                 // GBK, lines joined by CR LF: the EPUB's description
  std::string cover;                       // the cover picture's bytes, for the EPUB
  // Per row (GBK): the line the book holds where the row's chapter file is missing because it failed
  // (MissingChapterMarker), or after the chapter file of a chapter that lacks a page (MissingPageMarker); empty
  // or absent for every other row.
  std::vector<std::string> missingMarkers = {};
};

// The book file's path (BookFileName of book/write_book.h) in the work folder.
std::filesystem::path BookFilePath(const WorkFolders& folders, std::string_view bookTitle,
                                   BookFormat format = BookFormat::kGbk);

// The automatic merge after a download: chapter files 1 to `rowCount`, skipping the missing ones.
MergeResult MergeAfterDownload(const WorkFolders& folders, std::string_view bookTitle, int rowCount,
                               const BookOptions& options = {});

// The merge by hand (after the window has asked for the title): every chapter file present in the temp folder,
// in increasing number. Files whose names are not chapter numbers (a stray notes.txt, 007.txt) are ignored.
MergeResult MergeByHand(const WorkFolders& folders, std::string_view bookTitle, const BookOptions& options = {});

// The names of the files in `folder` matching the wildcard `mask` ("*.txt"), in the order the file system gives
// them, appended to `names` (folder + name when `withPath`). Returns the size of `names`.
int ListFolderFiles(const std::filesystem::path& folder, std::string_view mask, std::vector<std::string>& names,
                    bool withPath = false);

}  // namespace lekto
