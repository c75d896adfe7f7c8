#include "cli/cli_controls.h"
#include "cli/command.h"

namespace lekto::cli {

// The book title on the first line, then one line per row: ID, TAB, title, TAB, link.
int RunTocCommand(const CommandContext& context) {
  if (context.args.size() != 1) return UsageError(context, "toc takes one address");
  const CliControls controls(context.args[0], context.options);
  const std::optional<Book> book = LoadBook(context, controls);
  if (!book) return kExitUsage;

  context.out << ToTerminalCell(book->title) << "\n";
  for (int row = 0; row < book->RowCount(); ++row) {
    context.out << row + 1 << "\t" << ToTerminalCell(book->chapterTitles[row]) << "\t"
                << ToTerminalCell(book->chapterLinks[row]) << "\n";
  }
  // Said once, on the error stream, so that the rows stay one per line for whatever reads them.
  if (book->listedNewestFirst) {
    context.err << "lekto-cli: the page lists the newest chapter first; the rows are given in reading order\n";
  }
  if (book->RowCount() == 0) return kExitNothingFound;  // LoadBook has said why
  return kExitOk;
}

}  // namespace lekto::cli
