#include "download/book_update.h"

#include "book/atomic_file.h"
#include "book/book_layout.h"
#include "book/write_book.h"
#include "chapter/chapter_pipeline.h"
#include "toc/toc_in_browser.h"
#include "toc/toc_parser.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace lekto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRecordSuffix = ".lekto";

// The links of the book's written chapters, each with its first chapter's index in the record.
std::unordered_map<std::string, std::size_t> HeldLinks(const DownloadRecord& record) {
  std::unordered_map<std::string, std::size_t> held;
  for (std::size_t i = 0; i < record.chapters.size(); ++i) {
    if (record.chapters[i].written) held.emplace(record.chapters[i].link, i);
  }
  return held;
}

}  // namespace

std::optional<RecordedBook> OpenRecordedBook(const fs::path& path, OpenProblem& problem) {
  RecordedBook book;
  fs::path recordFile = path;
  if (path.native().ends_with(kRecordSuffix)) {
    book.bookFile = path.native().substr(0, path.native().size() - kRecordSuffix.size());
  } else {
    book.bookFile = path;
    recordFile = BookRecordPath(path);
  }
  std::optional<DownloadRecord> record = ReadDownloadRecord(recordFile);
  const std::optional<BookFormat> format = record ? ParseBookFormat(record->format) : std::nullopt;
  if (!record || !format) {
    problem = OpenProblem::kNoRecord;
    return std::nullopt;
  }
  std::error_code error;
  if (!fs::is_regular_file(book.bookFile, error)) {
    problem = OpenProblem::kNoBook;
    return std::nullopt;
  }
  std::optional<std::vector<std::string>> texts = ReadBookChapters(book.bookFile, *format, LayoutOf(*record));
  if (!texts) {
    problem = OpenProblem::kBookChanged;
    return std::nullopt;
  }
  book.format = *format;
  if (book.format == BookFormat::kEpub) book.cover = ReadEpubCover(book.bookFile);
  book.texts.reserve(record->chapters.size());
  std::size_t next = 0;
  for (const RecordedChapter& chapter : record->chapters) {
    book.texts.push_back(chapter.InBook() ? std::move((*texts)[next++]) : std::string());
  }
  book.record = std::move(*record);
  problem = OpenProblem::kNone;
  return book;
}

UpdateControls::UpdateControls(const DownloadRecord& record, const std::vector<int>& rows)
    : record_(record), rows_(rows.begin(), rows.end()) {}

std::optional<UpdatePlan> PlanUpdate(const RecordedBook& book, const Fetcher& fetch, const BrowserChoice* browser) {
  const UpdateControls controls(book.record, {});
  std::optional<Book> toc =
      browser != nullptr ? ParseTocWithBrowser(controls, fetch, *browser) : ParseToc(controls, fetch);
  if (!toc || toc->RowCount() == 0) return std::nullopt;
  if (book.record.reversed) {
    std::reverse(toc->chapterTitles.begin(), toc->chapterTitles.end());
    std::reverse(toc->chapterLinks.begin(), toc->chapterLinks.end());
  }
  toc->title = book.record.bookTitle;
  UpdatePlan plan;
  plan.rows = RowsToFetch(book, *toc);
  plan.toc = std::make_shared<const Book>(std::move(*toc));
  return plan;
}

DownloadOptions UpdateDownloadOptions(const RecordedBook& book, DownloadOptions pacing) {
  pacing.format = book.format;
  pacing.merge = false;
  pacing.resume = false;
  pacing.reversedList = book.record.reversed;
  pacing.fetchCover = book.cover.empty();
  return pacing;
}

WorkFolders UpdateFolders(const RecordedBook& book) {
  return FoldersAt(book.bookFile.parent_path());
}

std::vector<int> RowsToFetch(const RecordedBook& book, const Book& toc) {
  const std::unordered_map<std::string, std::size_t> held = HeldLinks(book.record);
  std::vector<int> rows;
  for (int row = 0; row < toc.RowCount(); ++row) {
    if (!held.contains(toc.LinkAt(row))) rows.push_back(row);
  }
  return rows;
}

UpdatedBook ComposeUpdatedBook(const RecordedBook& old, const Book& toc, const std::vector<bool>& fetched,
                               const fs::path& chapterFolder, const DownloadReport* report) {
  const DownloadRecord& was = old.record;
  const std::unordered_map<std::string, std::size_t> held = HeldLinks(was);
  // Chapters the book holds in part or as a missing-chapter line: kept as they are until a fetch does better.
  std::unordered_map<std::string, std::size_t> partial;
  for (std::size_t i = 0; i < was.chapters.size(); ++i) {
    if (!was.chapters[i].written && was.chapters[i].InBook()) partial.emplace(was.chapters[i].link, i);
  }
  const auto outcomeOf = [report](int row) {
    const auto index = static_cast<std::size_t>(row);
    return report != nullptr && index < report->outcomes.size() ? report->outcomes[index] : ChapterOutcome::kPending;
  };
  std::unordered_map<std::string, int> listed;  // link -> its first row in the list
  for (int row = 0; row < toc.RowCount(); ++row) listed.emplace(toc.LinkAt(row), row);

  // A chapter the list no longer has stays after the nearest chapter before it in the book that the list still
  // has; before the first row when there is none. slots[0] is before the first row, slots[row + 1] after `row`.
  std::vector<std::vector<std::size_t>> slots(static_cast<std::size_t>(toc.RowCount()) + 1);
  std::size_t slot = 0;
  UpdatedBook updated;
  for (std::size_t i = 0; i < was.chapters.size(); ++i) {
    const auto found = listed.find(was.chapters[i].link);
    if (found != listed.end()) {
      slot = static_cast<std::size_t>(found->second) + 1;
    } else if (was.chapters[i].InBook()) {
      slots[slot].push_back(i);
      ++updated.vanished;
    }
  }

  updated.content.title = was.bookTitle;
  updated.content.sourceAddress = was.address;
  updated.record = was;
  updated.record.chapters.clear();
  const auto keepOrTake = [](std::string& kept, const std::string& page) {
    if (kept.empty()) kept = page;
  };
  keepOrTake(updated.record.author, toc.metadata.author);
  keepOrTake(updated.record.description, toc.metadata.description);
  keepOrTake(updated.record.coverAddress, toc.metadata.coverAddress);
  updated.content.author = updated.record.author;
  updated.content.description = updated.record.description;
  updated.content.cover = !old.cover.empty() ? old.cover : report != nullptr ? report->cover : std::string();
  const auto keepOld = [&](std::size_t i) {
    updated.content.chapters.push_back({was.chapters[i].title, old.texts[i]});
    updated.record.chapters.push_back(
        {was.chapters[i].title, was.chapters[i].link, was.chapters[i].written, 0, was.chapters[i].missing});
  };
  for (std::size_t i : slots[0]) keepOld(i);
  for (int row = 0; row < toc.RowCount(); ++row) {
    const std::string link = toc.LinkAt(row);
    if (fetched[static_cast<std::size_t>(row)]) {
      const bool whole = outcomeOf(row) != ChapterOutcome::kIncomplete;
      std::string text = ReadWholeFile(ChapterFilePath(chapterFolder, row)).value_or("");
      std::string missing;
      if (!whole) {
        const MissingPage& page = report->missingPages[static_cast<std::size_t>(row)];
        text += MissingPageMarker(row, toc.TitleAt(row), page);
        missing = IncompleteState(page);
      }
      updated.content.chapters.push_back({toc.TitleAt(row), std::move(text)});
      updated.record.chapters.push_back({toc.TitleAt(row), link, whole, 0, std::move(missing)});
      ++updated.added;
    } else if (const auto found = held.find(link); found != held.end()) {
      keepOld(found->second);
    } else if (const auto part = partial.find(link); part != partial.end()) {
      keepOld(part->second);
    } else if (outcomeOf(row) == ChapterOutcome::kFailed) {
      const ChapterFailure& failure = report->failures[static_cast<std::size_t>(row)];
      updated.content.chapters.push_back({toc.TitleAt(row), MissingChapterMarker(row, toc.TitleAt(row), failure)});
      updated.record.chapters.push_back({toc.TitleAt(row), link, false, 0, FailedState(failure)});
    } else {
      updated.record.chapters.push_back({toc.TitleAt(row), link, false});
    }
    for (std::size_t i : slots[static_cast<std::size_t>(row) + 1]) keepOld(i);
  }
  return updated;
}

UpdateWrite WriteUpdatedBook(const RecordedBook& old, UpdatedBook& updated) {
  UpdateWrite result;
  const WrittenBook written = WriteBookFile(old.bookFile, old.format, updated.content);
  if (!written.written) return result;
  result.bookWritten = true;
  result.lostCharacters = written.lostCharacters;
  ApplyLayout(updated.record, written.layout);
  result.recordWritten = WriteDownloadRecord(BookRecordPath(old.bookFile), updated.record);
  return result;
}

UpdateResult ApplyUpdate(const RecordedBook& old, const UpdatePlan& plan, const DownloadReport& report) {
  return ApplyUpdate(old, plan, report, UpdateFolders(old).temp);
}

UpdateResult ApplyUpdate(const RecordedBook& old, const UpdatePlan& plan, const DownloadReport& report,
                         const fs::path& chapterFolder) {
  UpdateResult result;
  std::vector<bool> fetched(static_cast<std::size_t>(plan.toc->RowCount()), false);
  bool any = false;
  for (int row : plan.rows) {
    const auto index = static_cast<std::size_t>(row);
    fetched[index] = index < report.outcomes.size() && (report.outcomes[index] == ChapterOutcome::kWritten ||
                                                        report.outcomes[index] == ChapterOutcome::kIncomplete);
    any = any || fetched[index];
  }
  if (!any) return result;
  UpdatedBook updated = ComposeUpdatedBook(old, *plan.toc, fetched, chapterFolder, &report);
  result.write = WriteUpdatedBook(old, updated);
  result.added = updated.added;
  result.vanished = updated.vanished;
  return result;
}

}  // namespace lekto
