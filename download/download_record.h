#pragma once
// The download record: what one download was asked to fetch and what it wrote, kept as a small text file so that
// a later run can tell which chapter files belong to which book (resume) and which chapters a book already holds
// (update). Texts in memory are GBK like everywhere in the core; the file is UTF-8, one field per line, readable
// and editable by hand:
//
//   lekto-record 1
//   address<TAB>http://example.com/book/
//   title<TAB>书名
//   transcode<TAB>0            (also preprocess, filters: 0 or 1)
//   rules<TAB>广告\r\n.*?推荐     (the filter-rule box, escaped)
//   format<TAB>gbk
//   reversed<TAB>1             (the rows were taken in reverse list order; absent otherwise)
//   author<TAB>某某             (what the book page said of the book, each only when it said it)
//   description<TAB>第一行\r\n第二行
//   cover<TAB>http://example.com/cover.jpg
//   book<TAB>123456<TAB>0123456789abcdef<TAB>1
//                              (beside a book: the book file's size and BookHash, and the bytes before each
//                               chapter of a text book, absent when 0)
//   chapter<TAB>1<TAB>第1章<TAB>http://example.com/book/1.html<TAB>5120
//                              (written 1 or 0, title, link, bytes in a text book; one per row, in book order)
//   chapter<TAB>0<TAB>第2章<TAB>http://example.com/book/2.html<TAB>61<TAB>下载失败：HTTP 404
//                              (beside a book: a chapter the book holds only in part, or as a line saying it
//                              is missing, with why; it counts as not written, so it is fetched again)
//
//   written<TAB>7              (appended while a download runs: row 7 (1-based) has its chapter file now)
//
// Values escape backslash, tab, CR and LF as \\ \t \r \n; a GBK byte sequence that has no UTF-8 form is written
// byte by byte as \xHH, so every text reads back exactly. Unknown keys are skipped, so later versions may add
// fields that older readers ignore.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_layout.h"
#include "download/work_folders.h"

namespace lekto {

struct RecordedChapter {
  std::string title;  // GBK
  std::string link;   // absolute address
  bool written = false;
  std::uint64_t bytes = 0;   // what the chapter takes in a text book; 0 when not in the book or not known
  std::string missing = {};  // GBK: why the book holds this chapter in part or as a marker line; empty otherwise

  // The book holds an entry for this chapter: the whole chapter, or its part or marker.
  bool InBook() const { return written || !missing.empty(); }
};

struct DownloadRecord {
  std::string address;  // the table-of-contents address (GBK)
  std::string bookTitle;
  bool transcode = false;
  bool preprocess = false;
  bool filtersEnabled = false;
  std::string filterRules;     // lines joined by CR LF (GBK)
  std::string format = "gbk";  // output format of the book
  bool reversed = false;       // the rows are the list's in reverse order
  std::string author;          // what the book page said of the book (GBK); empty when it said nothing
  std::string description;
  std::string coverAddress;
  std::uint64_t bookBytes = 0;  // the book file's size and BookHash; empty hash when not known
  std::string bookHash;
  std::uint64_t chapterGap = 0;           // BookLayout::chapterGap of the book
  std::vector<RecordedChapter> chapters;  // one per row, in row order (beside a book: in book order)
};

// Where the chapters lie in the book the record describes (book/book_layout.h): one entry per chapter the book
// holds (InBook), its bytes in a text book (0 in an EPUB).
BookLayout LayoutOf(const DownloadRecord& record);
// The inverse: the book's size and hash, and each held chapter's bytes in turn, from the layout of the book just
// written.
void ApplyLayout(DownloadRecord& record, const BookLayout& layout);

// Writes the record to `file` atomically: a temporary file beside it, renamed over it once complete. False, with
// any earlier record left as it was, when it could not be written.
bool WriteDownloadRecord(const std::filesystem::path& file, const DownloadRecord& record);

// Appends a "written" line for `row` (0-based) to an existing record: one small append per finished chapter, so
// a download stopped half-way still says which chapter files are complete. False when it could not be appended.
bool AppendWrittenMark(const std::filesystem::path& file, int row);

// The same marks through one descriptor kept open for a whole download, so a thousand chapters cost a thousand
// small writes and no more opens.
class WrittenMarks {
 public:
  explicit WrittenMarks(const std::filesystem::path& file);
  ~WrittenMarks();
  WrittenMarks(const WrittenMarks&) = delete;
  WrittenMarks& operator=(const WrittenMarks&) = delete;
  bool Append(int row) const;

 private:
  int fd_;
};

// std::nullopt when the file is missing, unreadable or not a record.
std::optional<DownloadRecord> ReadDownloadRecord(const std::filesystem::path& file);

// The record of the download whose chapter files the temp folder holds.
std::filesystem::path TempRecordPath(const WorkFolders& folders);
// The record kept beside a book file: the book's path with ".lekto" added ("书名.txt.lekto"), so that a text
// book and an EPUB of the same title each keep their own.
std::filesystem::path BookRecordPath(const std::filesystem::path& bookFile);

}  // namespace lekto
