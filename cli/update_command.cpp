// `lekto-cli update BOOK`: adds to a book the chapters published since it was written. The record beside the book
// says where its table of contents is and with which switches and filters it was read; only the rows whose links
// the book lacks are fetched, and the book is written again in place (download/book_update.h).
#include "cli/command.h"
#include "cli/download_session.h"
#include "download/book_update.h"
#include "download/download_manager.h"
#include "download/work_folders.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lekto::cli {

namespace fs = std::filesystem;

namespace {

void TellWhyNot(const CommandContext& context, const fs::path& path, OpenProblem problem) {
  switch (problem) {
    case OpenProblem::kNoRecord:
      context.err << "lekto-cli: " << path.string()
                  << " has no download record beside it (BOOK.lekto); only books written by download can be updated\n";
      break;
    case OpenProblem::kNoBook:
      context.err << "lekto-cli: the book file of the record " << path.string() << " is missing\n";
      break;
    case OpenProblem::kBookChanged:
      context.err << "lekto-cli: " << path.string()
                  << " is not the book its record describes (changed since it was written); download it again\n";
      break;
    case OpenProblem::kNone:
      break;
  }
}

}  // namespace

int RunUpdateCommand(const CommandContext& context) {
  if (context.args.size() != 1) return UsageError(context, "update takes a book file or its .lekto record");
  if (context.options.transcode || context.options.preprocess || !context.options.filters.empty()) {
    return UsageError(context, "update reads the book with the switches and filters recorded with it");
  }
  DownloadOptions options;
  if (!ReadPacingOptions(context, options)) return kExitUsage;

  std::error_code noCurrentFolder;
  const fs::path path = fs::absolute(context.args[0], noCurrentFolder).lexically_normal();
  OpenProblem problem = OpenProblem::kNone;
  std::optional<RecordedBook> old = OpenRecordedBook(path, problem);
  if (!old) {
    TellWhyNot(context, path, problem);
    return kExitNothingFound;
  }

  std::vector<FetchFailure> failures;
  const std::optional<UpdatePlan> plan = PlanUpdate(*old, RecordingFailures(context.fetch, failures), &context.browser);
  if (!plan) {
    if (!failures.empty() && failures.front().fetch == 1) {
      context.err << "lekto-cli: the table of contents at " << ToTerminalCell(old->record.address)
                  << " could not be fetched: " << failures.front().what << "; the book is left as it is\n";
    } else {
      context.err << "lekto-cli: the page at " << ToTerminalCell(old->record.address)
                  << " arrived but holds no chapter list; the book is left as it is\n";
    }
    return kExitNothingFound;
  }
  if (plan->rows.empty()) {
    context.out << old->bookFile.string() << "\n";
    context.err << "lekto-cli: no new chapters; the book is left as it is\n";
    return kExitOk;
  }

  UpdateControls controls(old->record, plan->rows);
  const WorkFolders folders = UpdateFolders(*old);
  const SessionOutcome session = RunDownloadSession(
      context, controls, folders, plan->toc, UpdateDownloadOptions(*old, options), static_cast<int>(plan->rows.size()));
  if (!session.started) return kExitNothingFound;
  const DownloadReport& report = session.report;
  if (session.interrupted) {
    context.err << "lekto-cli: interrupted; the book is left as it is\n";
    return kExitInterrupted;
  }
  ListFailedChapters(context, report);
  if (report.writeError) {
    context.err << "lekto-cli: a chapter file could not be written in " << folders.temp.string()
                << "; update stopped, the book is left as it is\n";
    return kExitNothingFound;
  }
  if (report.written == 0) {
    context.err << "lekto-cli: no new chapter could be downloaded; the book is left as it is\n";
    return kExitNothingFound;
  }

  const UpdateResult updated = ApplyUpdate(*old, *plan, report);
  const UpdateWrite& written = updated.write;
  if (!written.bookWritten) {
    context.err << "lekto-cli: the book file " << old->bookFile.string()
                << " could not be written; it is left as it was\n";
    return kExitNothingFound;
  }
  if (!written.recordWritten) {
    context.err << "lekto-cli: the record beside the book could not be written; the next update will refuse the book\n";
  }
  context.out << old->bookFile.string() << "\n";
  context.err << "lekto-cli: " << updated.added << " new chapters added";
  if (updated.vanished > 0) context.err << "; " << updated.vanished << " chapters the site no longer lists are kept";
  context.err << "\n";
  const int failed = report.ticked - report.written;
  if (failed > 0) {
    context.err << "lekto-cli: " << failed << " of " << report.ticked
                << " new chapters failed; the book marks where they are missing. Run update again to retry them\n";
  }
  if (report.incomplete > 0) {
    context.err << "lekto-cli: " << report.incomplete << " of " << report.ticked
                << " new chapters lack a page; the book holds what arrived. Run update again to retry them\n";
  }
  SayLostCharacters(context, written.lostCharacters);
  return failed > 0 || report.incomplete > 0 ? kExitSomeMissing : kExitOk;
}

}  // namespace lekto::cli
