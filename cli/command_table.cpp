#include "cli/command.h"

namespace lekto::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"toc", "toc URL", "list the chapters: the book title, then ID, title and link per line", RunTocCommand},
      {"show", "show URL ID", "print the chapter with that ID as the viewer shows it", RunShowCommand},
  };
  return commands;
}

}  // namespace lekto::cli
