#include "download/download_manager.h"

#include "chapter/chapter_pipeline.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace lekto {

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

}  // namespace

std::vector<int> DownloadReport::EmptyRows() const {
  std::vector<int> rows;
  for (int row = 0; row < static_cast<int>(outcomes.size()); ++row) {
    if (outcomes[row] == ChapterOutcome::kEmpty) rows.push_back(row);
  }
  return rows;
}

DownloadManager::DownloadManager(Controls& controls, Fetcher fetch, WorkFolders folders, int workerLimit)
    : controls_(controls),
      fetch_(std::move(fetch)),
      folders_(std::move(folders)),
      workerLimit_(std::max(1, workerLimit)) {
  // Never more entries than running workers: with the room taken now, a worker's last act cannot fail to
  // allocate and skip its decrement.
  workers_.reserve(static_cast<std::size_t>(workerLimit_));
  finishedRows_.reserve(static_cast<std::size_t>(workerLimit_));
}

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

bool DownloadManager::StartDownload(std::shared_ptr<const Book> book) {
  if (!book) return false;
  // Refusing here, before the temp folder is touched, keeps an earlier download's files from being deleted under
  // its running workers.
  if (busy_.exchange(true)) return false;
  // The previous dispatcher has run its completion handler and is about to return.
  if (dispatcher_.joinable()) dispatcher_.join();

  ChapterHandler onChapter;
  CompletionHandler onFinished;
  {
    std::lock_guard lock(mutex_);
    onChapter = chapterHandler_;
    onFinished = completionHandler_;
  }
  stop_ = false;
  downloadStarted_ = false;
  ResetTempFolder(folders_);
  try {
    dispatcher_ = std::thread(&DownloadManager::DispatchWorkers, this, std::move(book), std::move(onChapter),
                              std::move(onFinished));
  } catch (const std::system_error&) {
    std::lock_guard lock(mutex_);
    busy_ = false;
    changed_.notify_all();
    return false;
  }
  return true;
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

void DownloadManager::DispatchWorkers(std::shared_ptr<const Book> book, ChapterHandler onChapter,
                                      CompletionHandler onFinished) {
  const int rows = book->RowCount();
  DownloadReport report;
  report.book = book;
  report.outcomes.assign(rows, ChapterOutcome::kPending);

  std::unique_lock lock(mutex_);
  for (int row = 0; row < rows;) {
    // Sleeps until a worker ends (or the download is cancelled) instead of polling the counter.
    changed_.wait(lock, [this] { return stop_ || runningWorkers_ < workerLimit_; });
    JoinFinishedWorkers();
    if (stop_) break;
    // Counted before the thread exists, so the count never reads below zero; taken back when no thread came.
    ++runningWorkers_;
    try {
      std::thread worker(&DownloadManager::RunWorker, this, std::cref(*book), row, std::ref(report.outcomes[row]),
                         std::cref(onChapter));
      workers_.emplace_back(row, std::move(worker));
    } catch (const std::system_error&) {
      --runningWorkers_;
      if (runningWorkers_ > 0) {
        // Out of threads for now: try the same row again once a running worker has ended.
        changed_.wait(lock, [this] { return stop_ || !finishedRows_.empty(); });
        continue;
      }
      report.outcomes[row] = controls_.RowChecked(row) ? ChapterOutcome::kEmpty : ChapterOutcome::kUnticked;
      ++row;
      continue;
    }
    downloadStarted_ = true;
    ++row;
  }
  // Draining: the merge waits for the last worker, whatever order the workers end in.
  changed_.wait(lock, [this] { return runningWorkers_ == 0; });
  JoinFinishedWorkers();
  lock.unlock();

  report.cancelled = stop_;
  for (int row = 0; row < rows; ++row) {
    ChapterOutcome& outcome = report.outcomes[row];
    if (outcome == ChapterOutcome::kPending) {
      outcome = controls_.RowChecked(row) ? ChapterOutcome::kCancelled : ChapterOutcome::kUnticked;
    }
    if (outcome != ChapterOutcome::kUnticked) ++report.ticked;
    if (outcome == ChapterOutcome::kWritten) ++report.written;
  }
  // A download that wrote nothing does not replace an existing book with a title line alone.
  if (!report.cancelled && report.written > 0) {
    downloadStarted_ = false;
    try {
      report.merge = MergeAfterDownload(folders_, book->title, rows);
      report.merged = true;
    } catch (...) {
    }
  }
  downloadStarted_ = false;
  Finish(report, onFinished);
}

void DownloadManager::Finish(const DownloadReport& report, const CompletionHandler& onFinished) {
  CallQuietly(onFinished, report);
  std::lock_guard lock(mutex_);
  busy_ = false;
  changed_.notify_all();
}

void DownloadManager::RunWorker(const Book& book, int row, ChapterOutcome& outcome, const ChapterHandler& onChapter) {
  // Once the download is cancelled every further request of this worker fails at once, so the worker ends after
  // the request it is in.
  bool interrupted = false;
  const Fetcher fetch = [this, &interrupted](const std::string& url) -> http::Response {
    if (stop_) {
      interrupted = true;
      return {};
    }
    return fetch_(url);
  };
  try {
    const bool ticked = controls_.RowChecked(row);
    const bool written = DownloadChapter(row, book, controls_, fetch, folders_.temp);
    if (interrupted) {
      // A chapter cut short may be missing its later pages: no file rather than half a chapter.
      std::error_code error;
      std::filesystem::remove(ChapterFilePath(folders_.temp, row), error);
      outcome = ChapterOutcome::kCancelled;
    } else if (written) {
      outcome = ChapterOutcome::kWritten;
    } else {
      outcome = ticked ? ChapterOutcome::kEmpty : ChapterOutcome::kUnticked;
    }
  } catch (...) {
    outcome = ChapterOutcome::kEmpty;
  }
  CallQuietly(onChapter, row, outcome);

  // The worker's last act, taken on every path: the count drops exactly once and the dispatcher learns of it.
  std::lock_guard lock(mutex_);
  finishedRows_.push_back(row);
  --runningWorkers_;
  changed_.notify_all();
}

void DownloadManager::JoinFinishedWorkers() {
  for (int row : finishedRows_) {
    auto it = std::find_if(workers_.begin(), workers_.end(), [row](const auto& worker) { return worker.first == row; });
    if (it == workers_.end()) continue;
    it->second.join();
    workers_.erase(it);
  }
  finishedRows_.clear();
}

}  // namespace lekto
