// `lekto-cli download URL`: the window's "下载" without the window. Parses the table of contents, ticks the rows
// asked for, and runs the same download manager the window uses: temp folder reset, dispatcher and workers, merge.
#include "cli/command.h"

#include "chapter/book.h"
#include "cli/cli_controls.h"
#include "download/download_manager.h"
#include "download/work_folders.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lekto::cli {
namespace {

constexpr int kExitSomeMissing = 3;

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
      context_.err << "[" << done_ << "/" << ticked_ << "] " << row + 1 << " "
                   << ToTerminalCell(book_.chapterTitles[row])
                   << (outcome == ChapterOutcome::kWritten ? "" : "  (no text)") << "\n";
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

  const std::optional<std::string> dir = context.Value("--dir");
  const WorkFolders folders = dir ? FoldersAt(*dir) : FoldersUnder(ProgramFolder());
  if (!CreateWorkFolder(folders)) {
    context.err << "lekto-cli: cannot create the work folder " << folders.work.string() << "\n";
    return kExitNothingFound;
  }

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
  if (!manager.StartDownload(snapshot)) {
    context.err << "lekto-cli: the download could not be started\n";
    return kExitNothingFound;
  }
  progress.DrawUntilDone();
  manager.Wait();

  for (int row : report.EmptyRows()) {
    context.err << "lekto-cli: no text for chapter " << row + 1 << " " << ToTerminalCell(snapshot->chapterTitles[row])
                << "\n";
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
  return report.written == report.ticked ? kExitOk : kExitSomeMissing;
}

}  // namespace lekto::cli
