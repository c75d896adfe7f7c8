#include "download/download_manager.h"

#include "book/atomic_file.h"
#include "book/cover_image.h"
#include "chapter/chapter_pipeline.h"
#include "download/controls_snapshot.h"
#include "download/download_record.h"
#include "download/folder_lock.h"
#include "download/host_pacer.h"
#include "download/request_retry.h"
#include "http/url.h"
#include "text/text_codec.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

namespace lekto {

namespace fs = std::filesystem;

namespace {

// Handlers belong to the window or the command line; a throwing one must not take a worker or the dispatcher
// down with it.
template <typename Handler, typename... Args>
void CallQuietly(const Handler& handler, Args&&... args) {
  if (!handler) return;
  try {
    handler(std::forward<Args>(args)...);
  } catch (...) {
  }
}

const std::string& DoneState() {
  static const std::string state = text::Gbk(u8"下载完成");
  return state;
}

// Rows whose chapter files an earlier run of the same book left complete: same table-of-contents address, same
// link in the same row, marked written in the record, file present, and ticked now.
std::vector<bool> RowsToKeep(const WorkFolders& folders, const Book& book, const Controls& controls) {
  std::vector<bool> keep(static_cast<std::size_t>(book.RowCount()), false);
  const std::optional<DownloadRecord> record = ReadDownloadRecord(TempRecordPath(folders));
  if (!record || record->address != controls.Address()) return keep;
  const int recorded = std::min(book.RowCount(), static_cast<int>(record->chapters.size()));
  for (int row = 0; row < recorded; ++row) {
    const RecordedChapter& chapter = record->chapters[static_cast<std::size_t>(row)];
    std::error_code error;
    keep[static_cast<std::size_t>(row)] = chapter.written && chapter.link == book.LinkAt(row) &&
                                          controls.RowChecked(row) &&
                                          fs::is_regular_file(ChapterFilePath(folders.temp, row), error);
  }
  return keep;
}

// Empties the chapter folder but for the kept chapter files. The folder itself stays: it carries the lock.
void EmptyChapterFolder(const WorkFolders& folders, const std::vector<bool>& keep) {
  std::vector<fs::path> kept;
  for (std::size_t row = 0; row < keep.size(); ++row) {
    if (keep[row]) kept.push_back(ChapterFilePath(folders.temp, static_cast<int>(row)));
  }
  std::sort(kept.begin(), kept.end());
  std::error_code error;
  std::vector<fs::path> doomed;
  for (fs::directory_iterator it(folders.temp, error), end; !error && it != end; it.increment(error)) {
    if (!std::binary_search(kept.begin(), kept.end(), it->path())) doomed.push_back(it->path());
  }
  for (const fs::path& path : doomed) fs::remove_all(path, error);
}

// A download writes into a folder it emptied itself, so its chapter file is normally new: written in place, with
// no temporary name and no rename (a thousand renames in one folder cost more than the whole parse). A file cut
// short by a crash is harmless, as only the record's "written" mark, appended after the file is whole, makes a
// later run keep it. A file already there (the viewer wrote it meanwhile) is replaced atomically as ever.
bool WriteNewChapterFile(const fs::path& folder, int row, std::string_view text, std::error_code& error) {
  const fs::path target = ChapterFilePath(folder, row);
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) return WriteChapterFile(folder, row, text, &error);
  if (fd < 0) {
    error.assign(errno, std::generic_category());
    return false;
  }
  std::string bytes;
  bytes.reserve(text.size() + 2);
  bytes.append(text).append("\r\n");
  if (!WriteAllBytes(fd, bytes)) error.assign(errno, std::generic_category());
  if (::close(fd) != 0 && !error) error.assign(errno, std::generic_category());
  if (error) {
    std::error_code ignored;
    fs::remove(target, ignored);
  }
  return !error;
}

ChapterFailure FailureOf(const http::Response& response) {
  ChapterFailure failure;
  failure.reason = http::FailureReason(response);
  switch (response.error) {
    case http::TransferError::kNone:
      failure.kind = ChapterFailure::Kind::kHttpStatus;
      failure.httpStatus = response.status;
      break;
    case http::TransferError::kTimedOut:
      failure.kind = ChapterFailure::Kind::kTimeout;
      break;
    case http::TransferError::kCheckNotPassed:
      failure.kind = ChapterFailure::Kind::kCheckNotPassed;
      break;
    default:
      failure.kind = ChapterFailure::Kind::kNetwork;
      failure.transfer = response.error;
      break;
  }
  return failure;
}

// A later page of a chapter that the site answers with a status no retry changes (404, 410, 403): the page is
// gone, not late.
bool IsGonePage(const http::Response& response) {
  return response.error == http::TransferError::kNone && response.status >= 400 && !IsRetryable(response);
}

// The reader's words for a failure when no response gave them: an empty chapter, a file that could not be
// written, a fetch that threw.
std::string FailureWords(const ChapterFailure& failure) {
  switch (failure.kind) {
    case ChapterFailure::Kind::kEmptyBody:
      return text::Gbk(u8"没有正文");
    case ChapterFailure::Kind::kWriteError:
      return text::Gbk(u8"无法写入文件");
    case ChapterFailure::Kind::kTimeout:
      return text::Gbk(u8"连接超时");
    case ChapterFailure::Kind::kNetwork:
      return text::Gbk(u8"连接失败");
    case ChapterFailure::Kind::kHttpStatus:
      return "HTTP " + std::to_string(failure.httpStatus);
    case ChapterFailure::Kind::kNeedsLogin:
      return text::Gbk(u8"需要登录");
    case ChapterFailure::Kind::kCheckNotPassed:
      return text::Gbk(u8"验证未通过");
    case ChapterFailure::Kind::kNone:
      break;
  }
  return {};
}

// Row by row, why the book holds a chapter as less than a whole chapter file: the state of a failed chapter
// (the book holds a line saying so) or of one that lacks a page. Empty for every other row.
std::vector<std::string> MissingReasons(const DownloadReport& report) {
  std::vector<std::string> reasons(report.outcomes.size());
  for (std::size_t row = 0; row < reasons.size(); ++row) {
    if (report.outcomes[row] == ChapterOutcome::kFailed) reasons[row] = FailedState(report.failures[row]);
    if (report.outcomes[row] == ChapterOutcome::kIncomplete) reasons[row] = IncompleteState(report.missingPages[row]);
  }
  return reasons;
}

DownloadRecord MakeRecord(const Book& book, const Controls& controls, const std::vector<bool>& written,
                          const DownloadOptions& options, const std::vector<std::string>& missing = {}) {
  DownloadRecord record;
  record.format = BookFormatName(options.format);
  record.reversed = options.reversedList;
  record.address = controls.Address();
  record.bookTitle = book.title;
  record.transcode = controls.Transcode();
  record.preprocess = controls.Preprocess();
  record.filtersEnabled = controls.FiltersEnabled();
  record.filterRules = controls.FilterRules();
  record.author = book.metadata.author;
  record.description = book.metadata.description;
  record.coverAddress = book.metadata.coverAddress;
  record.chapters.reserve(static_cast<std::size_t>(book.RowCount()));
  for (int row = 0; row < book.RowCount(); ++row) {
    const auto index = static_cast<std::size_t>(row);
    record.chapters.push_back({book.TitleAt(row), book.LinkAt(row), written[index], 0,
                               index < missing.size() ? missing[index] : std::string()});
  }
  return record;
}

}  // namespace

// Everything one download owns, from StartDownload until its dispatcher has finished.
struct DownloadManager::Run {
  std::shared_ptr<const Book> book;
  std::unique_ptr<ControlsSnapshot> controls;
  DownloadOptions options;
  std::optional<FolderLock> lock;
  std::unique_ptr<HostPacer> pacer;
  std::vector<bool> keep;
  fs::path recordFile;
  std::unique_ptr<WrittenMarks> marks;
  ChapterHandler onChapter;
  CompletionHandler onFinished;
  DownloadReport report;  // each row's cells are written only by the worker that runs the row

  std::mutex mutex;  // guards nextRow
  int nextRow = 0;
  std::atomic<bool> writeError{false};
};

std::vector<int> DownloadReport::FailedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < static_cast<int>(outcomes.size()); ++row) {
    if (outcomes[static_cast<std::size_t>(row)] == ChapterOutcome::kFailed) rows.push_back(row);
  }
  return rows;
}

std::vector<int> DownloadReport::IncompleteRows() const {
  std::vector<int> rows;
  for (int row = 0; row < static_cast<int>(outcomes.size()); ++row) {
    if (outcomes[static_cast<std::size_t>(row)] == ChapterOutcome::kIncomplete) rows.push_back(row);
  }
  return rows;
}

std::string IncompleteState(const MissingPage& missing) {
  return text::Gbk(u8"下载完成（缺第") + std::to_string(missing.page) + text::Gbk(u8"页）");
}

std::string FailedState(const ChapterFailure& failure) {
  static const std::string state = text::Gbk(u8"下载失败");
  return failure.reason.empty() ? state : state + text::Gbk(u8"：") + failure.reason;
}

namespace {

// How a marker line names its chapter: by its title, or by its row.
std::string MarkerName(int row, const std::string& title) {
  return title.empty() ? text::Gbk(u8"第") + std::to_string(static_cast<long long>(row) + 1) + text::Gbk(u8"章")
                       : title;
}

}  // namespace

std::string MissingChapterMarker(int row, const std::string& title, const ChapterFailure& failure) {
  return text::Gbk(u8"（") + MarkerName(row, title) + " " + FailedState(failure) + text::Gbk(u8"）") + "\r\n";
}

std::string MissingPageMarker(int row, const std::string& title, const MissingPage& missing) {
  return text::Gbk(u8"（") + MarkerName(row, title) + text::Gbk(u8" 缺第") + std::to_string(missing.page) +
         text::Gbk(u8"页：") + missing.reason + text::Gbk(u8"）") + "\r\n";
}

std::string DescribeTransferError(http::TransferError error) {
  switch (error) {
    case http::TransferError::kNone:
      break;
    case http::TransferError::kBadAddress:
      return "not an address that can be fetched";
    case http::TransferError::kConnect:
      return "connection refused or host not found";
    case http::TransferError::kTimedOut:
      return "timed out";
    case http::TransferError::kCutOff:
      return "connection broken off";
    case http::TransferError::kTooLarge:
      return "page too large";
    case http::TransferError::kCheckNotPassed:
      return "browser check not passed";
    case http::TransferError::kOther:
      return "request failed";
  }
  return {};
}

std::string DescribeFailure(const ChapterFailure& failure) {
  switch (failure.kind) {
    case ChapterFailure::Kind::kHttpStatus:
      return "HTTP " + std::to_string(failure.httpStatus);
    case ChapterFailure::Kind::kTimeout:
      return "timed out";
    case ChapterFailure::Kind::kNetwork:
      return failure.transfer == http::TransferError::kNone ? "connection failed"
                                                            : DescribeTransferError(failure.transfer);
    case ChapterFailure::Kind::kEmptyBody:
      return "no text";
    case ChapterFailure::Kind::kNeedsLogin:
      return "needs a login (give the site's cookies with --cookies FILE)";
    case ChapterFailure::Kind::kCheckNotPassed:
      return "browser check not passed";
    case ChapterFailure::Kind::kWriteError:
      return "write error: " + failure.detail;
    case ChapterFailure::Kind::kNone:
      break;
  }
  return {};
}

DownloadManager::DownloadManager(Controls& controls, Fetcher fetch, WorkFolders folders)
    : controls_(controls), fetch_(std::move(fetch)), folders_(std::move(folders)) {}

DownloadManager::~DownloadManager() {
  Cancel();
  if (dispatcher_.joinable()) dispatcher_.join();
}

void DownloadManager::SetChapterHandler(ChapterHandler handler) {
  std::lock_guard lock(mutex_);
  chapterHandler_ = std::move(handler);
}

void DownloadManager::SetCompletionHandler(CompletionHandler handler) {
  std::lock_guard lock(mutex_);
  completionHandler_ = std::move(handler);
}

DownloadManager::StartResult DownloadManager::StartDownload(std::shared_ptr<const Book> book, DownloadOptions options) {
  if (!book) return StartResult::kNoBook;
  // Refusing here, before the chapter folder is touched, keeps an earlier download's files from being deleted
  // under its running workers.
  if (busy_.exchange(true)) return StartResult::kBusy;
  const auto refuse = [this](StartResult result) {
    std::lock_guard lock(mutex_);
    busy_ = false;
    changed_.notify_all();
    return result;
  };
  // The previous dispatcher has run its completion handler and is about to return.
  if (dispatcher_.joinable()) dispatcher_.join();

  auto run = std::make_shared<Run>();
  run->book = std::move(book);
  run->options = options;
  run->options.jobs = std::clamp(options.jobs, 1, kWorkerLimit);
  run->pacer = std::make_unique<HostPacer>(run->options.jobs, std::chrono::milliseconds(std::max(0, options.delayMs)));
  {
    std::lock_guard lock(mutex_);
    run->onChapter = chapterHandler_;
    run->onFinished = completionHandler_;
  }
  switch (FolderLock::Take(folders_.temp, run->lock)) {
    case FolderLock::Result::kLocked:
      break;
    case FolderLock::Result::kInUse:
      return refuse(StartResult::kFolderInUse);
    case FolderLock::Result::kError:
      return refuse(StartResult::kFolderError);
  }
  run->controls = std::make_unique<ControlsSnapshot>(controls_, run->book->RowCount());
  run->keep = options.resume ? RowsToKeep(folders_, *run->book, *run->controls)
                             : std::vector<bool>(static_cast<std::size_t>(run->book->RowCount()), false);
  EmptyChapterFolder(folders_, run->keep);
  run->recordFile = TempRecordPath(folders_);
  WriteDownloadRecord(run->recordFile, MakeRecord(*run->book, *run->controls, run->keep, run->options));
  run->marks = std::make_unique<WrittenMarks>(run->recordFile);

  const int rows = run->book->RowCount();
  run->report.book = run->book;
  run->report.outcomes.assign(static_cast<std::size_t>(rows), ChapterOutcome::kPending);
  run->report.failures.assign(static_cast<std::size_t>(rows), ChapterFailure{});
  run->report.missingPages.assign(static_cast<std::size_t>(rows), MissingPage{});
  stop_ = false;
  downloadStarted_ = false;
  try {
    dispatcher_ = std::thread(&DownloadManager::DispatchWorkers, this, run);
  } catch (const std::system_error&) {
    return refuse(StartResult::kFolderError);
  }
  return StartResult::kStarted;
}

void DownloadManager::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_.load(); });
}

void DownloadManager::Cancel() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  changed_.notify_all();
}

void DownloadManager::DispatchWorkers(std::shared_ptr<Run> run) {
  const int jobs = std::min(run->options.jobs, run->book->RowCount());
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(std::max(jobs, 0)));
  for (int i = 0; i < jobs; ++i) {
    try {
      workers.emplace_back(&DownloadManager::WorkRows, this, std::ref(*run));
    } catch (const std::system_error&) {
      break;  // fewer workers than asked: the ones that started share the rows
    }
  }
  if (workers.empty() && jobs > 0) WorkRows(*run);  // not even one thread: the dispatcher does the rows itself
  for (std::thread& worker : workers) worker.join();
  Finish(*run);
}

void DownloadManager::WorkRows(Run& run) {
  const int rows = run.book->RowCount();
  while (true) {
    int row = 0;
    {
      std::lock_guard lock(run.mutex);
      if (stop_ || run.nextRow >= rows) return;
      row = run.nextRow++;
    }
    ++runningWorkers_;
    downloadStarted_ = true;
    RunRow(run, row);
    --runningWorkers_;
  }
}

void DownloadManager::RunRow(Run& run, int row) {
  const auto index = static_cast<std::size_t>(row);
  ChapterOutcome& outcome = run.report.outcomes[index];
  ChapterFailure& failure = run.report.failures[index];
  MissingPage& missing = run.report.missingPages[index];
  Controls& controls = *run.controls;

  // Once the download is stopped every further request of this row fails at once, so the row ends after the
  // request it is in; after a failed page the rest of the chapter is not fetched either.
  bool interrupted = false;
  int page = 0;
  const Fetcher fetch = [this, &run, &interrupted, &failure, &missing,
                         &page](const std::string& url) -> http::Response {
    if (failure.kind != ChapterFailure::Kind::kNone) return {};
    ++page;
    // A page that arrived is used even when the download was stopped meanwhile; a stop before a request (or
    // between two tries) leaves the chapter unfinished.
    http::Response response = FetchWithRetries(run, url, interrupted);
    if (interrupted) return {};
    if (!response.Ok() && page > 1 && IsGonePage(response)) {
      // The pages before it stay: the page loop ends at a page that gives nothing, as the viewer's does.
      if (missing.page == 0) missing = {page, http::FailureReason(response)};
      response.body.clear();
    } else if (!response.Ok()) {
      failure = FailureOf(response);
      response.body.clear();  // an error page is no part of the chapter
    }
    return response;
  };
  // A page whose text is put in by script is read in the browser once, without the retries of a fetch: the
  // browser has already waited for the page to settle.
  const PageBrowser browse = [this, &interrupted, &failure](const std::string& url) -> http::Response {
    if (failure.kind != ChapterFailure::Kind::kNone) return {};
    if (stop_) {
      interrupted = true;
      return {};
    }
    http::Response response = browser_.read(url);
    if (!response.Ok()) {
      failure = FailureOf(response);
      response.body.clear();
    }
    return response;
  };
  const BrowserChoice rowBrowser{browser_.use, browser_.read ? browse : PageBrowser()};
  PageProblem problem = PageProblem::kNone;

  try {
    if (!controls.RowChecked(row)) {
      outcome = ChapterOutcome::kUnticked;
    } else if (run.keep[index]) {
      outcome = ChapterOutcome::kKept;
      controls.SetRowState(row, DoneState());
    } else {
      const std::string text =
          BuildChapterText(row, ChapterJob{*run.book, controls, fetch, &rowBrowser, &problem}, ChapterMode::kDownload);
      std::error_code writeError;
      if (interrupted) {
        outcome = ChapterOutcome::kCancelled;
      } else if (failure.kind == ChapterFailure::Kind::kNone && text.empty()) {
        failure.kind = problem == PageProblem::kNeedsLogin  ? ChapterFailure::Kind::kNeedsLogin
                       : problem == PageProblem::kCheckPage ? ChapterFailure::Kind::kCheckNotPassed
                                                            : ChapterFailure::Kind::kEmptyBody;
      } else if (failure.kind == ChapterFailure::Kind::kNone &&
                 !WriteNewChapterFile(folders_.temp, row, text, writeError)) {
        failure.kind = ChapterFailure::Kind::kWriteError;
        failure.detail = writeError.message();
        // A full disk or a folder that cannot be written fails every later chapter the same way: stop here.
        run.writeError = true;
        Cancel();
      } else if (failure.kind == ChapterFailure::Kind::kNone && missing.page > 0) {
        // Not marked written: a resumed download fetches the chapter again.
        outcome = ChapterOutcome::kIncomplete;
        controls.SetRowState(row, IncompleteState(missing));
      } else if (failure.kind == ChapterFailure::Kind::kNone) {
        run.marks->Append(row);
        outcome = ChapterOutcome::kWritten;
        controls.SetRowState(row, DoneState());
      }
    }
  } catch (...) {
    if (failure.kind == ChapterFailure::Kind::kNone) failure.kind = ChapterFailure::Kind::kNetwork;
  }
  if (outcome == ChapterOutcome::kPending) {
    outcome = ChapterOutcome::kFailed;
    if (failure.reason.empty()) failure.reason = FailureWords(failure);
    controls.SetRowState(row, FailedState(failure));
  }
  CallQuietly(run.onChapter, row, outcome);
}

http::Response DownloadManager::FetchWithRetries(Run& run, const std::string& url, bool& stopped) {
  thread_local std::minstd_rand random{std::random_device{}()};
  const RetryPolicy& policy = run.options.retry;
  const std::string host = http::HostOf(url, true);
  http::Response response;
  for (int retry = 0;; ++retry) {
    if (!run.pacer->Acquire(host, stop_)) {
      stopped = true;
      return {};
    }
    try {
      response = fetch_(url);
    } catch (...) {
      run.pacer->Release(host, HostPacer::Answer::kOther);
      throw;
    }
    const std::chrono::milliseconds retryAfter = RetryAfterWait(response, policy.maxRetryAfter);
    run.pacer->Release(host,
                       response.Ok()            ? HostPacer::Answer::kGood
                       : IsBusyAnswer(response) ? HostPacer::Answer::kBusy
                                                : HostPacer::Answer::kOther,
                       retryAfter);
    if (response.Ok() || !IsRetryable(response) || retry >= policy.extraAttempts) return response;
    const std::chrono::milliseconds wait = std::max(BackoffWait(policy, retry + 1, random), retryAfter);
    std::unique_lock lock(mutex_);
    if (changed_.wait_for(lock, wait, [this] { return stop_.load(); })) {
      stopped = true;
      return {};
    }
  }
}

std::string DownloadManager::FetchCover(Run& run) {
  const std::string& address = run.book->metadata.coverAddress;
  if (run.options.format != BookFormat::kEpub || !run.options.fetchCover || address.empty()) return {};
  bool stopped = false;
  http::Response response;
  try {
    response = FetchWithRetries(run, address, stopped);
  } catch (...) {
    return {};
  }
  if (stopped || !response.Ok() || !CoverImageType(response.body)) return {};
  return std::move(response.body);
}

void DownloadManager::Finish(Run& run) {
  DownloadReport& report = run.report;
  const int rows = run.book->RowCount();
  report.cancelled = stop_;
  report.writeError = run.writeError;
  for (int row = 0; row < rows; ++row) {
    ChapterOutcome& outcome = report.outcomes[static_cast<std::size_t>(row)];
    if (outcome == ChapterOutcome::kPending) {
      outcome = run.controls->RowChecked(row) ? ChapterOutcome::kCancelled : ChapterOutcome::kUnticked;
    }
    if (outcome != ChapterOutcome::kUnticked) ++report.ticked;
    if (outcome == ChapterOutcome::kWritten || outcome == ChapterOutcome::kKept ||
        outcome == ChapterOutcome::kIncomplete)
      ++report.written;
    if (outcome == ChapterOutcome::kKept) ++report.kept;
    if (outcome == ChapterOutcome::kIncomplete) ++report.incomplete;
  }
  if (!report.cancelled && report.written > 0) {
    report.cover = FetchCover(run);
    report.cancelled = stop_;  // stopped while the cover came: stopped like any other download, no book
  }
  // A download that wrote nothing does not replace an existing book with a title line alone.
  if (!report.cancelled && report.written > 0 && run.options.merge) {
    downloadStarted_ = false;
    std::vector<bool> inBook(static_cast<std::size_t>(rows), false);
    std::error_code error;
    for (int row = 0; row < rows; ++row) {
      const ChapterOutcome outcome = report.outcomes[static_cast<std::size_t>(row)];
      inBook[static_cast<std::size_t>(row)] = outcome == ChapterOutcome::kWritten || outcome == ChapterOutcome::kKept;
      // Only this download's chapters enter the book, whatever else was put into the folder meanwhile.
      if (!inBook[static_cast<std::size_t>(row)] && outcome != ChapterOutcome::kIncomplete)
        fs::remove(ChapterFilePath(folders_.temp, row), error);
    }
    // A failed chapter leaves a line in its place, and an incomplete one a line after the pages it holds, so
    // that a reader of the book knows what is missing.
    std::vector<std::string> markers(static_cast<std::size_t>(rows));
    for (int row : report.FailedRows()) {
      markers[static_cast<std::size_t>(row)] =
          MissingChapterMarker(row, run.book->TitleAt(row), report.failures[static_cast<std::size_t>(row)]);
    }
    for (int row : report.IncompleteRows()) {
      markers[static_cast<std::size_t>(row)] =
          MissingPageMarker(row, run.book->TitleAt(row), report.missingPages[static_cast<std::size_t>(row)]);
    }
    try {
      const BookMetadata& metadata = run.book->metadata;
      report.merge = MergeAfterDownload(folders_, run.book->title, rows,
                                        {run.options.format, run.controls->Address(), run.book->chapterTitles,
                                         metadata.author, metadata.description, report.cover, std::move(markers)});
      report.merged = true;
      if (report.merge.written) {
        DownloadRecord record = MakeRecord(*run.book, *run.controls, inBook, run.options, MissingReasons(report));
        ApplyLayout(record, report.merge.layout);
        WriteDownloadRecord(BookRecordPath(report.merge.bookFile), record);
      }
    } catch (...) {
    }
  }
  downloadStarted_ = false;
  CallQuietly(run.onFinished, report);
  run.lock.reset();
  std::lock_guard lock(mutex_);
  busy_ = false;
  changed_.notify_all();
}

}  // namespace lekto
