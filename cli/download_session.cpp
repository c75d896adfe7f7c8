#include "cli/download_session.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace lekto::cli {
namespace {

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
                               (outcome == ChapterOutcome::kWritten      ? ""
                                : outcome == ChapterOutcome::kKept       ? "  (kept)"
                                : outcome == ChapterOutcome::kIncomplete ? "  (incomplete)"
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

}  // namespace

bool ReadPacingOptions(const CommandContext& context, DownloadOptions& options) {
  if (const std::optional<std::string> jobs = context.Value("--jobs")) {
    const std::optional<int> value = ParseBounded(*jobs, 1, DownloadManager::kWorkerLimit);
    if (!value) {
      UsageError(context, "--jobs takes a number from 1 to 6");
      return false;
    }
    options.jobs = *value;
  }
  if (const std::optional<std::string> delay = context.Value("--delay")) {
    const std::optional<int> value = ParseBounded(*delay, 0, 600000);
    if (!value) {
      UsageError(context, "--delay takes milliseconds from 0 to 600000");
      return false;
    }
    options.delayMs = *value;
  }
  return true;
}

void ListFailedChapters(const CommandContext& context, const DownloadReport& report) {
  for (int row : report.FailedRows()) {
    context.err << "lekto-cli: chapter " << row + 1 << " " << ToTerminalCell(report.book->TitleAt(row))
                << " failed: " << DescribeFailure(report.failures[row]) << "\n";
  }
  for (int row : report.IncompleteRows()) {
    const MissingPage& missing = report.missingPages[row];
    context.err << "lekto-cli: chapter " << row + 1 << " " << ToTerminalCell(report.book->TitleAt(row))
                << " is incomplete: page " << missing.page << " is gone (" << ToTerminalCell(missing.reason)
                << "); the book holds the pages before it\n";
  }
}

void SayLostCharacters(const CommandContext& context, std::size_t lost) {
  if (lost == 0) return;
  context.err << "lekto-cli: " << lost << (lost == 1 ? " character" : " characters")
              << " that GBK lacks became \"?\" in the book; \"UTF-8 文本\" (--format utf8) or EPUB (--format epub) "
                 "keeps them\n";
}

SessionOutcome RunDownloadSession(const CommandContext& context, Controls& controls, const WorkFolders& folders,
                                  std::shared_ptr<const Book> book, const DownloadOptions& options, int ticked) {
  SessionOutcome outcome;
  const bool terminal = &context.err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  std::atomic<long> pages{0};
  const Fetcher countingFetch = [&](const std::string& url) {
    ++pages;
    return context.fetch(url);
  };
  DownloadManager manager(controls, countingFetch, folders);
  manager.SetBrowser(context.browser);
  Progress progress(context, manager, *book, ticked, terminal, pages);
  manager.SetChapterHandler([&](int row, ChapterOutcome chapter) { progress.ChapterFinished(row, chapter); });
  manager.SetCompletionHandler([&](const DownloadReport& finished) {
    outcome.report = finished;
    progress.DownloadFinished();
  });

  SignalScope signals;
  switch (manager.StartDownload(book, options)) {
    case DownloadManager::StartResult::kStarted:
      outcome.started = true;
      break;
    case DownloadManager::StartResult::kFolderInUse:
      context.err << "lekto-cli: another download is using the folder " << folders.temp.string()
                  << "; try again when it has finished\n";
      return outcome;
    default:
      context.err << "lekto-cli: the download could not be started in " << folders.temp.string() << "\n";
      return outcome;
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

  outcome.interrupted = interruptRequested;
  return outcome;
}

}  // namespace lekto::cli
