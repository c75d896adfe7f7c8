#pragma once
// DownloadManager: runs one download of a book's ticked rows and merges the chapter files into the book.
//
// StartDownload empties the temp folder and starts the dispatcher thread. The dispatcher hands the rows out in
// row order, one worker thread per row (an unticked row's worker ends at once), never more than the worker limit
// running at a time; each worker runs DownloadChapter for its row. When the dispatcher has handed out the last
// row and every worker has ended, the dispatcher thread itself merges the chapter files (MergeAfterDownload) and
// calls the completion handler. The window keeps its timer, captions and message box to itself: the 300 ms tick
// reads RunningWorkers() and DownloadStarted(), and the completion handler, called on the dispatcher thread,
// queues the window's reaction onto the window's own thread.
//
// Every download works on its own Book snapshot, so rows cannot disappear under a running download. A second
// StartDownload while one runs is refused, so the temp folder is never emptied under running workers.
// Destroying the manager asks the workers to stop after their current request and joins them; no merge follows
// a cancelled download. The Controls passed in must outlive the manager.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "chapter/book.h"
#include "chapter/controls.h"
#include "download/book_assembler.h"
#include "download/work_folders.h"

namespace lekto {

enum class ChapterOutcome {
  kPending,    // no worker has finished this row (yet)
  kUnticked,   // the row was not ticked: nothing fetched
  kWritten,    // the chapter file was written
  kEmpty,      // ticked, but no text came out (page not fetched, empty body): no file
  kCancelled,  // the download was cancelled before or while this row ran: no file
};

struct DownloadReport {
  std::shared_ptr<const Book> book;
  std::vector<ChapterOutcome> outcomes;  // one per row
  int ticked = 0;                        // rows that were ticked when their worker ran
  int written = 0;                       // chapter files written
  bool cancelled = false;
  bool merged = false;  // false when cancelled, or when no chapter file was written (an old book stays)
  MergeResult merge;    // meaningful when `merged`

  std::vector<int> EmptyRows() const;  // 0-based rows that were ticked but gave no chapter file
};

class DownloadManager {
 public:
  static constexpr int kWorkerLimit = 6;
  // Called on the worker's thread as soon as its row's outcome is known (every row, ticked or not).
  using ChapterHandler = std::function<void(int row, ChapterOutcome outcome)>;
  // Called once per download on the dispatcher thread, after the merge. It must not call back into the manager
  // synchronously (the window queues its reaction onto its own thread).
  using CompletionHandler = std::function<void(const DownloadReport& report)>;

  DownloadManager(Controls& controls, Fetcher fetch, WorkFolders folders, int workerLimit = kWorkerLimit);
  ~DownloadManager();
  DownloadManager(const DownloadManager&) = delete;
  DownloadManager& operator=(const DownloadManager&) = delete;

  // May be set at any time; a download uses the handlers that were set when it started.
  void SetChapterHandler(ChapterHandler handler);
  void SetCompletionHandler(CompletionHandler handler);

  // Empties the temp folder and starts the dispatcher. False, with nothing touched, while an earlier download
  // (or its merge) still runs, or when `book` is null. An empty book finishes at once: no worker, no merge,
  // the completion handler is still called.
  bool StartDownload(std::shared_ptr<const Book> book);

  // For the progress tick: workers running right now (never negative, never above the limit), and whether the
  // current download has started a worker and not yet begun its merge.
  int RunningWorkers() const { return runningWorkers_.load(); }
  bool DownloadStarted() const { return downloadStarted_.load(); }
  // True from StartDownload until the completion handler has returned.
  bool Busy() const { return busy_.load(); }

  // Blocks until the current download, its merge and its completion handler have ended.
  void Wait();
  // Asks the running download to stop: no new worker starts, running workers fail their next request, no merge.
  void Cancel();

 private:
  void DispatchWorkers(std::shared_ptr<const Book> book, ChapterHandler onChapter, CompletionHandler onFinished);
  void RunWorker(const Book& book, int row, ChapterOutcome& outcome, const ChapterHandler& onChapter);
  void JoinFinishedWorkers();  // with mutex_ held
  void Finish(const DownloadReport& report, const CompletionHandler& onFinished);

  Controls& controls_;
  const Fetcher fetch_;
  const WorkFolders folders_;
  const int workerLimit_;

  std::atomic<int> runningWorkers_{0};
  std::atomic<bool> downloadStarted_{false};
  std::atomic<bool> busy_{false};
  std::atomic<bool> stop_{false};

  std::mutex mutex_;  // guards everything below and the waits on changed_
  std::condition_variable changed_;
  ChapterHandler chapterHandler_;
  CompletionHandler completionHandler_;
  std::vector<std::pair<int, std::thread>> workers_;  // row and thread of every worker not yet joined
  std::vector<int> finishedRows_;                     // rows whose workers have ended and wait to be joined
  std::thread dispatcher_;
};

}  // namespace lekto
