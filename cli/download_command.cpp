// `lekto-cli download URL`: the window's "下载" without the window. Parses the table of contents, ticks the rows
// asked for, and runs the same download manager the window uses: chapter folder lock and reset (or, with
// --resume, only the missing chapters), workers, merge. Ctrl-C stops the download cleanly: the running chapters
// are dropped whole, nothing is merged, and --resume carries on from there.
#include "cli/command.h"

#include "book/book_format.h"
#include "chapter/book.h"
#include "cli/cli_controls.h"
#include "cli/download_session.h"
#include "download/book_assembler.h"
#include "download/book_backup.h"
#include "download/book_name.h"
#include "download/download_manager.h"
#include "download/work_folders.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lekto::cli {
namespace {

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
  if (book->RowCount() == 0) return kExitNothingFound;  // LoadBook has said why
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
  if (!ReadPacingOptions(context, options)) return kExitUsage;
  options.reversedList = context.Value("--reverse").has_value();
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
  // A book of the same name may hold chapters this one lacks: it is kept beside the new one.
  BookBackup backup(BookFilePath(folders, snapshot->title, options.format));
  const SessionOutcome session = RunDownloadSession(context, controls, folders, snapshot, options, ticked);
  if (!session.started) return kExitNothingFound;
  const DownloadReport& report = session.report;
  if (session.interrupted) {
    context.err << "lekto-cli: interrupted; " << report.written
                << " chapter files are kept, run the same command with --resume to fetch the rest\n";
    return kExitInterrupted;
  }
  ListFailedChapters(context, report);
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
  if (const std::filesystem::path kept = backup.Keep(); !kept.empty()) {
    context.err << "lekto-cli: the book that was there before is kept as " << kept.string() << "\n";
  }
  const int failed = report.ticked - report.written;
  if (failed > 0) {
    context.err << "lekto-cli: " << failed << " of " << report.ticked
                << " chapters failed; the book marks where they are missing. Run the same command with --resume to "
                   "retry them\n";
  }
  if (report.incomplete > 0) {
    context.err << "lekto-cli: " << report.incomplete << " of " << report.ticked
                << " chapters lack a page; the book holds what arrived. --resume fetches them again\n";
  }
  SayLostCharacters(context, report.merge.lostCharacters);
  return failed > 0 || report.incomplete > 0 ? kExitSomeMissing : kExitOk;
}

}  // namespace lekto::cli
