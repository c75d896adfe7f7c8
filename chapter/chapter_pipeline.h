#pragma once
// The pipeline both the chapter viewer and the download workers run for one row: first page (fetch, charset,
// decode, pre-process), the special site or the page loop, cleanup, the user's filters, the title line, and
// the chapter file.
#include "chapter/book.h"
#include "chapter/controls.h"
#include "chapter/page_browser.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace lekto {

// What one run of the pipeline reads. The book is read, never written; the controls are read at the moment
// each value is needed.
struct ChapterJob {
  const Book& book;
  const Controls& controls;
  const Fetcher& fetch;
  // Where a chapter page that gives no text but carries scripts is read again; none when null.
  const BrowserChoice* browser = nullptr;
  // When not null, receives why a page that arrived gave no text (a check not passed, a login).
  PageProblem* problem = nullptr;
};

enum class ChapterMode {
  kViewer,    // keeps the title line even for an empty body
  kDownload,  // an empty text stays empty
};

// The final text of row `row` (0-based): cleaned, filtered, with the title line put in front when the text
// lacks the title. In download mode an empty text is returned as empty. Where the pages gave no text and the
// first one carries scripts, the chapter is read again with the job's browser; a login notice in place of the
// chapter counts as no text.
std::string BuildChapterText(int row, const ChapterJob& job, ChapterMode mode);

// Chapter file of a row: `tempFolder` / (row + 1) ".txt", holding `text` and "\r\n". False when it could not
// be written, with the reason in `error` when given.
std::filesystem::path ChapterFilePath(const std::filesystem::path& tempFolder, int row);
bool WriteChapterFile(const std::filesystem::path& tempFolder, int row, std::string_view text,
                      std::error_code* error = nullptr);

// The body of one download worker, without the worker counter (the download manager owns it): an unticked row
// ends at once; an empty text writes nothing and leaves the row's state; otherwise the chapter file is written
// and the row's state becomes "下载完成". True when the file was written.
bool DownloadChapter(int row, const Book& book, Controls& controls, const Fetcher& fetch,
                     const std::filesystem::path& tempFolder);

}  // namespace lekto
