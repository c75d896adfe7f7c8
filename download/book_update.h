#pragma once
// Updating a book with the chapters published since it was written. The record beside the book (written by the
// download that made it, or by the last update) names the table of contents, the switches, the filter rules and
// every chapter the book holds with its link. An update reads the table of contents again, fetches only the rows
// whose links the book does not hold (new chapters, and chapters that failed before), and writes the book again:
// the chapters in the list's order, each old one read back from the book file as it stands, and each chapter that
// vanished from the list kept right after the chapter it followed in the book. The book is replaced atomically,
// then its record.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "book/book_content.h"
#include "book/book_format.h"
#include "chapter/book.h"
#include "chapter/controls.h"
#include "download/download_manager.h"
#include "download/download_record.h"
#include "download/work_folders.h"

namespace lekto {

struct RecordedBook {
  std::filesystem::path bookFile;
  DownloadRecord record;
  BookFormat format = BookFormat::kGbk;
  std::vector<std::string> texts;  // per recorded chapter: its text read back from the book; empty when not written
  std::string cover;               // an EPUB's cover picture, read back from the book; empty when it has none
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

// The controls an update reads: the address, switches and filter rules recorded with the book, and only the rows
// it fetches ticked. Row states go nowhere: the rows are no list on a screen.
class UpdateControls final : public Controls {
 public:
  UpdateControls(const DownloadRecord& record, const std::vector<int>& rows);
  std::string Address() const override { return record_.address; }
  bool Transcode() const override { return record_.transcode; }
  bool Preprocess() const override { return record_.preprocess; }
  bool FiltersEnabled() const override { return record_.filtersEnabled; }
  std::string FilterRules() const override { return record_.filterRules; }
  bool RowChecked(int row) const override { return rows_.contains(row); }
  void SetRowState(int /*row*/, const std::string& /*state*/) override {}

 private:
  const DownloadRecord& record_;
  const std::unordered_set<int> rows_;
};

// What an update fetches: the table of contents read again (in the book's order, under the book's title) and the
// 0-based rows whose links no chapter of the book holds.
struct UpdatePlan {
  std::shared_ptr<const Book> toc;
  std::vector<int> rows;
};

// Reads the table of contents with the recorded switches. std::nullopt when it gives no rows.
// `browser`, when given, reads a list that is built by script in the browser, as a download's parse does.
std::optional<UpdatePlan> PlanUpdate(const RecordedBook& book, const Fetcher& fetch,
                                     const BrowserChoice* browser = nullptr);

// The rows of `toc` whose links no chapter of the book holds (`toc` in the book's order).
std::vector<int> RowsToFetch(const RecordedBook& book, const Book& toc);

// How the download of an update runs: `pacing` (workers, delay) in the book's format, without a merge. The
// cover is fetched only for an EPUB that has none yet.
DownloadOptions UpdateDownloadOptions(const RecordedBook& book, DownloadOptions pacing = {});

// The folders of an update: the book's own folder and the chapter folder a download into it would use.
WorkFolders UpdateFolders(const RecordedBook& book);

struct UpdatedBook {
  BookContent content;
  DownloadRecord record;  // the chapters in book order; the book's layout is added when it is written
  int added = 0;          // chapters new in the book
  int vanished = 0;       // chapters kept that the list no longer has
};

// The book once the rows of RowsToFetch were downloaded: `fetched[row]` is true when the row's chapter file is in
// `chapterFolder`. A row neither held nor fetched keeps what the book held of it (a part, a missing-chapter
// line); without that it gets a missing-chapter line when `report` says it failed, and otherwise stays out of
// the book; either way it is recorded as not written. `report`, when given, also tells a fetched chapter that
// lacks a page, and brings the cover the download fetched. The author, description and cover the record and the
// book hold are kept; what they lack is taken from the book page as `toc` read it.
UpdatedBook ComposeUpdatedBook(const RecordedBook& old, const Book& toc, const std::vector<bool>& fetched,
                               const std::filesystem::path& chapterFolder, const DownloadReport* report = nullptr);

struct UpdateWrite {
  bool bookWritten = false;        // false: the old book and its record stay as they were
  bool recordWritten = false;      // false with the book written: the next update will refuse the book
  std::size_t lostCharacters = 0;  // a GBK book: characters GBK lacks that became "?"
};

// Writes the book over the old file, atomically, then its record.
UpdateWrite WriteUpdatedBook(const RecordedBook& old, UpdatedBook& updated);

struct UpdateResult {
  UpdateWrite write;
  int added = 0;
  int vanished = 0;
};

// After the download of `plan` (its `report`): the book composed and written, when any new chapter arrived.
UpdateResult ApplyUpdate(const RecordedBook& old, const UpdatePlan& plan, const DownloadReport& report);
// The same for a download whose chapter files went to `chapterFolder` rather than UpdateFolders(old).temp (the
// window keeps one chapter folder for its downloads and updates).
UpdateResult ApplyUpdate(const RecordedBook& old, const UpdatePlan& plan, const DownloadReport& report,
                         const std::filesystem::path& chapterFolder);

}  // namespace lekto
