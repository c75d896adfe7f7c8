// `lekto-cli download URL`: the window's "下载" without the window. Parses the table of contents, ticks the rows
// asked for, and runs the same download manager the window uses: chapter folder lock and reset (or, with
// --resume, only the missing chapters), workers, merge. Ctrl-C stops the download cleanly: the running chapters
// are dropped whole, nothing is merged, and --resume carries on from there.
#include "cli/command.h"

#include "book/book_format.h"
#include "chapter/book.h"
#include "cli/cli_controls.h"
#include "download/book_name.h"
#include "download/download_manager.h"
#include "download/work_folders.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lekto::cli {
namespace {

constexpr int kExitSomeMissing = 3;
constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report a command stopped by Ctrl-C

// Set by the SIGINT handler; the command's watcher thread turns it into a cancelled download. A lock-free atomic
// is safe to set from a signal handler and to read from another thread.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  interruptRequested = true;
}

// For the length of a download: the first Ctrl-C asks the download to stop (a second one ends the program at
// once, the default again), and a file-size limit makes writes fail with an error instead of killing the
// program, so a full disk is reported as a write error.
class SignalScope {
 public:
  SignalScope() {
    interruptRequested = false;
    struct sigaction onInterrupt {};
    onInterrupt.sa_handler = OnInterrupt;
    onInterrupt.sa_flags = SA_RESETHAND;
    sigemptyset(&onInterrupt.sa_mask);
    ::sigaction(SIGINT, &onInterrupt, &oldInterrupt_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &oldFileSize_);
  }
  ~SignalScope() {
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGXFSZ, &oldFileSize_, nullptr);
  }
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldFileSize_ {};
};

// A whole number in [low, high] and nothing else; std::nullopt otherwise.
std::optional<int> ParseBounded(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

struct IdRange {
  int first;
  int last;
};

// "1-10,15" -> the ranges 1..10 and 15..15. std::nullopt when the list is malformed. Kept as ranges so a
// mistyped 1-999999999 costs nothing before it is checked against the list.
std::optional<std::vector<IdRange>> ParseIdList(std::string_view list) {
  std::vector<IdRange> ranges;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string_view item = list.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    const std::optional<int> first = ParseChapterId(item.substr(0, dash));
    const std::optional<int> last = dash == std::string_view::npos ? first : ParseChapterId(item.substr(dash + 1));
    if (!first || !last || *last < *first) return std::nullopt;
    ranges.push_back({*first, *last});
    start = comma + 1;
  }
  return ranges;
}

// Progress on stderr: a bar redrawn in place on a terminal, one plain line per finished chapter otherwise.
class Progress {
 public:
  Progress(const CommandContext& context, const DownloadManager& manager, const Book& book, int ticked, bool terminal,
           const std::atomic<long>& pages)
      : context_(context),
        manager_(manager),
        book_(book),
        ticked_(ticked),
        terminal_(terminal),
        pages_(pages),
        start_(Clock::now()) {}

  // Unticked rows end at once and are no chapters done: they neither count nor redraw the bar.
  void ChapterFinished(int row, ChapterOutcome outcome) {
    if (outcome == ChapterOutcome::kUnticked) return;
    std::lock_guard lock(mutex_);
    ++done_;
    if (!terminal_) {
      // One write per line: stderr is unbuffered, and a thousand chapters would otherwise cost eight thousand.
      const std::string line = "[" + std::to_string(done_) + "/" + std::to_string(ticked_) + "] " +
                               std::to_string(row + 1) + " " + ToTerminalCell(book_.chapterTitles[row]) +
                               (outcome == ChapterOutcome::kWritten ? ""
                                : outcome == ChapterOutcome::kKept  ? "  (kept)"
                                                                    : "  (failed)") +
                               "\n";
      context_.err << line;
    }
    changed_.notify_all();
  }

  void DownloadFinished() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

  // On a terminal: the bar, redrawn on every finished chapter and a few times a second for the rate, until the
  // download ends.
  void DrawUntilDone() {
    if (!terminal_) return;
    std::unique_lock lock(mutex_);
    while (!finished_) {
      Draw();
      const int done = done_;
      changed_.wait_for(lock, std::chrono::milliseconds(250), [&] { return finished_ || done_ != done; });
    }
    Draw();
    context_.err << "\n";
  }

 private:
  using Clock = std::chrono::steady_clock;

  // With mutex_ held.
  void Draw() {
    constexpr int kWidth = 30;
    const int filled = ticked_ > 0 ? done_ * kWidth / ticked_ : kWidth;
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", seconds > 0 ? pages_.load() / seconds : 0.0);
    context_.err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << done_ << "/"
                 << ticked_ << " chapters, " << (finished_ ? 0 : manager_.RunningWorkers()) << " workers, " << rate
                 << " pages/s " << std::flush;
  }

  const CommandContext& context_;
  const DownloadManager& manager_;
  const Book& book_;
  const int ticked_;
  const bool terminal_;
  const std::atomic<long>& pages_;  // pages fetched so far
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int done_ = 0;
  bool finished_ = false;
};

}  // namespace

int RunDownloadCommand(const CommandContext& context) {
  if (context.args.size() != 1) return UsageError(context, "download takes the address of a table of contents");
  std::optional<std::vector<IdRange>> onlyIds;
  if (const std::optional<std::string> only = context.Value("--only")) {
    onlyIds = ParseIdList(*only);
    if (!onlyIds) return UsageError(context, "--only takes chapter IDs such as 1-10,15");
  }

  CliControls controls(context.args[0], context.options);
  std::optional<Book> book = LoadBook(context, controls);
  if (!book) return kExitUsage;
  if (book->RowCount() == 0) {
    context.err << "lekto-cli: no chapter links found at " << context.args[0] << "\n";
    return kExitNothingFound;
  }
  if (context.Value("--reverse")) {
    std::reverse(book->chapterTitles.begin(), book->chapterTitles.end());
    std::reverse(book->chapterLinks.begin(), book->chapterLinks.end());
  }
  int ticked = book->RowCount();
  if (onlyIds) {
    std::set<int> rows;
    for (const IdRange& range : *onlyIds) {
      if (range.last > book->RowCount()) {
        return UsageError(context, "--only names ID " + std::to_string(range.last) + " but the list has " +
                                       std::to_string(book->RowCount()) + " chapters");
      }
      for (int id = range.first; id <= range.last; ++id) rows.insert(id - 1);
    }
    controls.CheckOnly(std::vector<int>(rows.begin(), rows.end()));
    ticked = static_cast<int>(rows.size());
  }

  DownloadOptions options;
  if (const std::optional<std::string> jobs = context.Value("--jobs")) {
    const std::optional<int> value = ParseBounded(*jobs, 1, DownloadManager::kWorkerLimit);
    if (!value) return UsageError(context, "--jobs takes a number from 1 to 6");
    options.jobs = *value;
  }
  if (const std::optional<std::string> delay = context.Value("--delay")) {
    const std::optional<int> value = ParseBounded(*delay, 0, 600000);
    if (!value) return UsageError(context, "--delay takes milliseconds from 0 to 600000");
    options.delayMs = *value;
  }
  options.resume = context.Value("--resume").has_value();
  if (const std::optional<std::string> name = context.Value("--format")) {
    const std::optional<BookFormat> format = ParseBookFormat(*name);
    if (!format) return UsageError(context, "--format takes gbk, utf8 or epub");
    options.format = *format;
  }

  const std::optional<std::string> dir = context.Value("--dir");
  // The book goes into the current folder unless --dir names another, as command-line downloaders do; the path
  // is made absolute so that the line printed at the end names the book wherever the reader goes next.
  std::error_code noCurrentFolder;
  const WorkFolders folders = FoldersAt(
      (dir ? std::filesystem::absolute(*dir, noCurrentFolder) : std::filesystem::current_path(noCurrentFolder))
          .lexically_normal());
  if (!CreateWorkFolder(folders)) {
    context.err << "lekto-cli: cannot create the work folder " << folders.work.string() << "\n";
    return kExitNothingFound;
  }

  // A page without a usable title would otherwise give the hidden book file ".txt".
  book->title = NamedBookTitle(book->title, LocalTimeNow());
  const auto snapshot = std::make_shared<const Book>(std::move(*book));
  const bool terminal = &context.err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  std::atomic<long> pages{0};
  const Fetcher countingFetch = [&](const std::string& url) {
    ++pages;
    return context.fetch(url);
  };
  DownloadManager manager(controls, countingFetch, folders);
  Progress progress(context, manager, *snapshot, ticked, terminal, pages);
  DownloadReport report;
  manager.SetChapterHandler([&](int row, ChapterOutcome outcome) { progress.ChapterFinished(row, outcome); });
  manager.SetCompletionHandler([&](const DownloadReport& finished) {
    report = finished;
    progress.DownloadFinished();
  });

  SignalScope signals;
  switch (manager.StartDownload(snapshot, options)) {
    case DownloadManager::StartResult::kStarted:
      break;
    case DownloadManager::StartResult::kFolderInUse:
      context.err << "lekto-cli: 另一个下载正在使用文件夹 " << folders.temp.string() << "，请等它结束后再试\n";
      return kExitNothingFound;
    default:
      context.err << "lekto-cli: the download could not be started in " << folders.temp.string() << "\n";
      return kExitNothingFound;
  }
  // Watches for Ctrl-C while the download runs; Cancel lets the running chapters end without a file.
  std::atomic<bool> watching{true};
  std::thread watcher([&] {
    while (watching) {
      if (interruptRequested) {
        manager.Cancel();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  progress.DrawUntilDone();
  manager.Wait();
  watching = false;
  watcher.join();

  if (interruptRequested) {
    context.err << "lekto-cli: interrupted; " << report.written
                << " chapter files are kept, run the same command with --resume to fetch the rest\n";
    return kExitInterrupted;
  }
  for (int row : report.FailedRows()) {
    context.err << "lekto-cli: chapter " << row + 1 << " " << ToTerminalCell(snapshot->chapterTitles[row])
                << " failed: " << DescribeFailure(report.failures[row]) << "\n";
  }
  if (report.writeError) {
    context.err << "lekto-cli: a chapter file could not be written in " << folders.temp.string()
                << "; download stopped, no book written\n";
    return kExitNothingFound;
  }
  if (report.written == 0) {
    context.err << "lekto-cli: no chapter could be downloaded; no book written\n";
    return kExitNothingFound;
  }
  if (!report.merge.written) {
    context.err << "lekto-cli: the book file " << report.merge.bookFile.string() << " could not be written\n";
    return kExitNothingFound;
  }
  context.out << report.merge.bookFile.string() << "\n";
  if (report.written == report.ticked) return kExitOk;
  context.err << "lekto-cli: " << report.ticked - report.written << " of " << report.ticked
              << " chapters failed; the book holds the others. Run the same command with --resume to retry them\n";
  return kExitSomeMissing;
}

}  // namespace lekto::cli
