#pragma once
// DownloadManager: runs one download of a book's ticked rows and merges the chapter files into the book.
//
// StartDownload takes a snapshot of the controls (address, switches, filter rules, check marks), locks the chapter
// folder against every other download, prepares it (emptied, or on resume pruned to the chapter files of this
// same book) and starts the dispatcher thread. The dispatcher starts a fixed set of workers (six unless fewer are
// asked for) that live for the whole download: each takes the next row in row order, runs it and takes the next,
// so rows start in list order and never more than the limit run at once, while each worker keeps its HTTP
// connection, regex JIT stack and compiled patterns from row to row. When every row is done the dispatcher merges
// the chapter files (MergeAfterDownload) and calls the completion handler. The window keeps its timer, captions
// and message box to itself: its tick reads RunningWorkers(), and the completion handler, called on the
// dispatcher thread, queues the window's reaction onto the window's own thread.
//
// Every request waits its turn at a per-host pacer (host_pacer.h: the --delay gap, and a slow-down while the host
// answers 429 or 503) and is retried after a growing, jittered wait when it failed in a way that may pass
// (request_retry.h). A chapter is written only when every page of it arrived: a page that still fails (an HTTP
// error status, a time-out, a broken connection) fails the whole chapter, which gets no file and the row state
// "下载失败". A chapter file that cannot be written stops the download. A record of the download
// (download_record.h) beside the chapter files says which book they belong to, so a resumed download keeps only
// the files of the same book and rows. Destroying the manager cancels the download and joins its threads.
// The Controls passed in must outlive the manager.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chapter/book.h"
#include "chapter/controls.h"
#include "download/book_assembler.h"
#include "download/request_retry.h"
#include "download/work_folders.h"

namespace lekto {

enum class ChapterOutcome {
  kPending,    // no worker has finished this row (yet)
  kUnticked,   // the row was not ticked: nothing fetched
  kWritten,    // the chapter file was written
  kKept,       // resumed: the chapter file of an earlier run of the same book was kept, nothing fetched
  kFailed,     // ticked, but no chapter file: see the row's ChapterFailure
  kCancelled,  // the download was stopped before or while this row ran: no file
};

// Why a ticked row has no chapter file.
struct ChapterFailure {
  enum class Kind {
    kNone,
    kHttpStatus,  // a page was answered with status 400 or above
    kTimeout,     // a page did not arrive in time
    kNetwork,     // no connection, a reset, a body cut short
    kEmptyBody,   // every page arrived, but no text came out
    kWriteError,  // the chapter file could not be written
  };
  Kind kind = Kind::kNone;
  int httpStatus = 0;  // for kHttpStatus
  std::string detail;  // for kWriteError: the system's words (UTF-8)
};

// How one download runs.
struct DownloadOptions {
  int jobs = 6;         // workers, 1 to 6
  int delayMs = 0;      // the least time between the starts of two requests to one host
  bool resume = false;  // keep the chapter files of an earlier run of the same book; fetch only the rest
  RetryPolicy retry;    // how often and after what wait a failed request is tried again
  BookFormat format = BookFormat::kGbk;  // of the book the merge writes
  bool merge = true;          // false: the chapter files are left for the caller (an update assembles its book)
  bool reversedList = false;  // the book's rows are the list's in reverse order: said in the record
  bool fetchCover = true;     // an EPUB's cover picture is fetched (once, after the chapters) when the page names one
};

struct DownloadReport {
  std::shared_ptr<const Book> book;
  std::vector<ChapterOutcome> outcomes;  // one per row
  std::vector<ChapterFailure> failures;  // one per row; kind kNone unless the outcome is kFailed
  int ticked = 0;                        // rows that were ticked at the start
  int written = 0;                       // chapter files the book holds: written now or kept
  int kept = 0;                          // of `written`, kept from an earlier run
  bool cancelled = false;                // stopped by Cancel() or by a write error
  bool writeError = false;               // a chapter file could not be written: the download stopped
  bool merged = false;  // false when cancelled, when no chapter file was written (an old book stays), or not asked
  MergeResult merge;    // meaningful when `merged`
  std::string cover;    // the cover picture fetched for an EPUB (checked to be one); empty when none

  std::vector<int> FailedRows() const;  // 0-based rows that were ticked but gave no chapter file
};

class DownloadManager {
 public:
  static constexpr int kWorkerLimit = 6;
  // Called on the worker's thread as soon as its row's outcome is known (every row, ticked or not).
  using ChapterHandler = std::function<void(int row, ChapterOutcome outcome)>;
  // Called once per download on the dispatcher thread, after the merge. It must not call back into the manager
  // synchronously (the window queues its reaction onto its own thread).
  using CompletionHandler = std::function<void(const DownloadReport& report)>;

  enum class StartResult {
    kStarted,
    kBusy,         // this manager's earlier download (or its merge) still runs
    kFolderInUse,  // another download (another process or manager) works in the same folder
    kFolderError,  // the chapter folder could not be created or locked
    kNoBook,
  };

  DownloadManager(Controls& controls, Fetcher fetch, WorkFolders folders);
  ~DownloadManager();
  DownloadManager(const DownloadManager&) = delete;
  DownloadManager& operator=(const DownloadManager&) = delete;

  // May be set at any time; a download uses the handlers that were set when it started.
  void SetChapterHandler(ChapterHandler handler);
  void SetCompletionHandler(CompletionHandler handler);

  // Snapshots the controls, prepares the chapter folder and starts the dispatcher. Anything but kStarted leaves
  // every file as it was. An empty book finishes at once: no worker, no merge, the completion handler is still
  // called.
  StartResult StartDownload(std::shared_ptr<const Book> book, DownloadOptions options = {});

  // For the progress tick: workers busy with a row right now (never negative, never above the limit), and whether
  // the current download has handed out a row and not yet begun its merge.
  int RunningWorkers() const { return runningWorkers_.load(); }
  bool DownloadStarted() const { return downloadStarted_.load(); }
  // True from StartDownload until the completion handler has returned.
  bool Busy() const { return busy_.load(); }

  // Blocks until the current download, its merge and its completion handler have ended.
  void Wait();
  // Asks the running download to stop: no new row starts, running rows fail their next request, no merge.
  void Cancel();

 private:
  struct Run;
  void DispatchWorkers(std::shared_ptr<Run> run);
  void WorkRows(Run& run);
  void RunRow(Run& run, int row);
  // One page: paced per host and retried by the policy; the last answer when every try failed. `stopped` is set
  // when the download was stopped before a try.
  http::Response FetchWithRetries(Run& run, const std::string& url, bool& stopped);
  // The book's cover picture for an EPUB, fetched like a page; empty unless it arrived whole and is a picture.
  std::string FetchCover(Run& run);
  void Finish(Run& run);

  Controls& controls_;
  const Fetcher fetch_;
  const WorkFolders folders_;

  std::atomic<int> runningWorkers_{0};
  std::atomic<bool> downloadStarted_{false};
  std::atomic<bool> busy_{false};
  std::atomic<bool> stop_{false};

  std::mutex mutex_;  // guards the handlers and the waits on changed_
  std::condition_variable changed_;
  ChapterHandler chapterHandler_;
  CompletionHandler completionHandler_;
  std::thread dispatcher_;
};

// Says in a few words why a row failed, for the command line: "HTTP 404", "timed out", "connection failed",
// "no text", "write error: No space left on device".
std::string DescribeFailure(const ChapterFailure& failure);

}  // namespace lekto
