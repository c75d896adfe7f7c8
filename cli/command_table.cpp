#include "cli/command.h"

namespace lekto::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"toc", "toc URL", "list the chapters: the book title, then ID, title and link per line", RunTocCommand},
      {"show", "show URL ID", "print the chapter with that ID as the viewer shows it", RunShowCommand},
      {"download",
       "download URL [--dir DIR] [--only IDS] [--reverse]",
       "download the chapters (IDS such as 1-10,15, numbered after --reverse) and merge them into DIR/TITLE.txt",
       RunDownloadCommand,
       {"--dir", "--only"},
       {"--reverse"}},
  };
  return commands;
}

}  // namespace lekto::cli
