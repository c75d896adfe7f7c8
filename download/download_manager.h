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
// "下载失败：" with the reason, and the book a line saying the chapter is missing. A later page of a chapter that
// is gone (a "下一页" answered with 404: no retry can help) only ends the chapter: it is written with the pages
// that arrived, as the viewer shows it, and marked incomplete, so that a resumed download or an update fetches
// it again. A chapter file that cannot be written stops the download. A record of the download
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
#include "chapter/page_browser.h"
#include "download/book_assembler.h"
#include "download/request_retry.h"
#include "download/work_folders.h"
#include "http/response.h"

namespace lekto {

enum class ChapterOutcome {
  kPending,     // no worker has finished this row (yet)
  kUnticked,    // the row was not ticked: nothing fetched
  kWritten,     // the chapter file was written
  kIncomplete,  // the chapter file was written with the pages that arrived; a later page is gone (404)
  kKept,        // resumed: the chapter file of an earlier run of the same book was kept, nothing fetched
  kFailed,      // ticked, but no chapter file: see the row's ChapterFailure
  kCancelled,   // the download was stopped before or while this row ran: no file
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
    // The page asks the reader to log in: the text is behind a login.
    kNeedsLogin,
    // The site's "checking your browser" page was not passed.
    kCheckNotPassed,
  };
  Kind kind = Kind::kNone;
  int httpStatus = 0;                                         // for kHttpStatus
  http::TransferError transfer = http::TransferError::kNone;  // for kNetwork: what broke
  std::string detail;                                         // for kWriteError: the system's words (UTF-8)
  std::string reason;  // in words for the reader (GBK): "HTTP 404", "连接超时", "没有正文", ...
};

// A chapter written without a later page that is gone: which page, counted from 1 for the chapter's first page,
// and why it is missing.
struct MissingPage {
  int page = 0;        // 0 when no page is missing
  std::string reason;  // GBK: "HTTP 404"
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
  std::vector<ChapterOutcome> outcomes;   // one per row
  std::vector<ChapterFailure> failures;   // one per row; kind kNone unless the outcome is kFailed
  std::vector<MissingPage> missingPages;  // one per row; page 0 unless the outcome is kIncomplete
  int ticked = 0;                         // rows that were ticked at the start
  int written = 0;                        // chapter files the book holds: written now (whole or not) or kept
  int incomplete = 0;                     // of `written`, chapters that lack a later page
  int kept = 0;                           // of `written`, kept from an earlier run
  bool cancelled = false;                 // stopped by Cancel() or by a write error
  bool writeError = false;                // a chapter file could not be written: the download stopped
  bool merged = false;  // false when cancelled, when no chapter file was written (an old book stays), or not asked
  MergeResult merge;    // meaningful when `merged`
  std::string cover;    // the cover picture fetched for an EPUB (checked to be one); empty when none

  std::vector<int> FailedRows() const;      // 0-based rows that were ticked but gave no chapter file
  std::vector<int> IncompleteRows() const;  // 0-based rows written without a later page
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

  // Where chapter pages whose text is put in by script are read; none unless set. Set it before StartDownload.
  void SetBrowser(BrowserChoice browser) { browser_ = std::move(browser); }

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
  BrowserChoice browser_{BrowserUse::kNever, {}};

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

// Says in a few words why a row failed, for the command line: "HTTP 404", "timed out", "connection refused or
// host not found", "connection broken off", "no text", "needs a login", "browser check not passed",
// "write error: No space left on device".
std::string DescribeFailure(const ChapterFailure& failure);
// The same words for a transfer that gave no response: "timed out", "connection refused or host not found", ...;
// empty for kNone.
std::string DescribeTransferError(http::TransferError error);

// The row states the download writes (GBK): "下载完成", "下载完成（缺第3页）", "下载失败：HTTP 404".
std::string IncompleteState(const MissingPage& missing);
std::string FailedState(const ChapterFailure& failure);

// The line a book holds where a chapter could not be downloaded (GBK, ending in CR LF):
// "（第4章 远行 下载失败：HTTP 404）". `title` empty: the chapter is named by its row, "第4章".
std::string MissingChapterMarker(int row, const std::string& title, const ChapterFailure& failure);
// The line a book holds after the pages of a chapter that lacks a later page: "（第4章 远行 缺第3页：HTTP 404）".
std::string MissingPageMarker(int row, const std::string& title, const MissingPage& missing);

}  // namespace lekto
