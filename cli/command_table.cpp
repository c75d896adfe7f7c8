#include "cli/command.h"

namespace lekto::cli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"toc", "toc URL", "list the chapters: the book title, then ID, title and link per line", RunTocCommand},
      {"show", "show URL ID", "print the chapter with that ID as the viewer shows it", RunShowCommand},
      {"download",
       "download URL [--dir DIR] [--only IDS] [--reverse] [--resume] [--jobs N] [--delay MS] [--format F]",
       "download the chapters (IDS such as 1-10,15, numbered after --reverse) and merge them into DIR/TITLE.txt\n"
       "      (DIR: the current folder unless --dir names one);\n"
       "      --resume keeps the chapters an earlier run of the same book wrote and fetches the rest,\n"
       "      --jobs N fetches N chapters at once (1-6, default 6), --delay MS waits MS ms between two requests\n"
       "      to one site, --format gbk|utf8|epub writes GBK text with CR LF (the default), UTF-8 text with LF\n"
       "      or an EPUB book (DIR/TITLE.epub)",
       RunDownloadCommand,
       {"--dir", "--only", "--jobs", "--delay", "--format"},
       {"--reverse", "--resume"}},
      {"update",
       "update BOOK [--jobs N] [--delay MS]",
       "add to BOOK (a book written by download, or its BOOK.lekto record) the chapters its table of contents\n"
       "      lists now and the book lacks, with the switches and filters it was downloaded with; chapters the\n"
       "      site no longer lists stay in the book",
       RunUpdateCommand,
       {"--jobs", "--delay"},
       {},
       false},
  };
  return commands;
}

}  // namespace lekto::cli
