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
  if (book->RowCount() == 0) {
    context.err << "lekto-cli: no chapter links found at " << context.args[0] << "\n";
    return kExitNothingFound;
  }
  if (*id > book->RowCount()) {
    context.err << "lekto-cli: no chapter with ID " << *id << ": the list has " << book->RowCount() << " chapters\n";
    return kExitNothingFound;
  }

  const int row = *id - 1;
  PageProblem problem = PageProblem::kNone;
  const std::string text = BuildChapterText(row, ChapterJob{*book, controls, context.fetch, &context.browser, &problem},
                                            ChapterMode::kViewer);
  context.out << ToTerminal(text);
  if (!text.ends_with('\n')) context.out << "\n";
  // The viewer shows the title line alone when the page gave no text; that is nothing found.
  if (text.empty() || text == book->chapterTitles[row] + "\r\n") {
    context.err << "lekto-cli: chapter " << *id
                << (problem == PageProblem::kNeedsLogin
                        ? " needs a login: its page asks to log in; give the site's cookies with --cookies FILE\n"
                    : problem == PageProblem::kCheckPage ? " has no text: the site's browser check was not passed\n"
                                                         : " has no text\n");
    return kExitNothingFound;
  }
  return kExitOk;
}

}  // namespace lekto::cli
