#include "chapter/chapter_pipeline.h"
#include "cli/cli_controls.h"
#include "cli/command.h"

namespace lekto::cli {

// The chapter of one row exactly as the viewer shows it: cleaned, filtered, with the title line in front when
// the text lacks the title.
int RunShowCommand(const CommandContext& context) {
  if (context.args.size() != 2) return UsageError(context, "show takes an address and a chapter ID");
  const std::optional<int> id = ParseChapterId(context.args[1]);
  if (!id) return UsageError(context, "the chapter ID must be a number from 1 up, as toc lists it");

  const CliControls controls(context.args[0], context.options);
  const std::optional<Book> book = LoadBook(context, controls);
  if (!book) return kExitUsage;
  if (book->RowCount() == 0) return kExitNothingFound;  // LoadBook has said why
  if (*id > book->RowCount()) {
    context.err << "lekto-cli: no chapter with ID " << *id << ": the list has " << book->RowCount() << " chapters\n";
    return kExitNothingFound;
  }

  const int row = *id - 1;
  std::vector<FetchFailure> failures;
  const Fetcher fetch = RecordingFailures(context.fetch, failures);
  PageProblem problem = PageProblem::kNone;
  const std::string text =
      BuildChapterText(row, ChapterJob{*book, controls, fetch, &context.browser, &problem}, ChapterMode::kViewer);
  context.out << ToTerminal(text);
  if (!text.ends_with('\n')) context.out << "\n";
  // The viewer shows the title line alone when the page gave no text; that is nothing found. A first page that
  // failed but still gave text was read in the browser.
  if (text.empty() || text == book->chapterTitles[row] + "\r\n") {
    context.err << "lekto-cli: chapter " << *id;
    if (problem == PageProblem::kNeedsLogin) {
      context.err << " needs a login: its page asks to log in; give the site's cookies with --cookies FILE\n";
    } else if (problem == PageProblem::kCheckPage) {
      context.err << " has no text: the site's browser check was not passed\n";
    } else if (!failures.empty() && failures.front().fetch == 1) {
      context.err << " could not be fetched: " << failures.front().what << "\n";
    } else {
      context.err << " arrived but has no text\n";
    }
    return kExitNothingFound;
  }
  if (!failures.empty() && failures.front().fetch > 1) {
    context.err << "lekto-cli: chapter " << *id << " is incomplete: page " << failures.front().fetch
                << " could not be fetched: " << failures.front().what << "\n";
  }
  return kExitOk;
}

}  // namespace lekto::cli
