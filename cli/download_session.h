#pragma once
// One download run from the command line, as `download` and `update` both run it: the download manager started on
// the ticked rows, progress on stderr (a bar on a terminal, a line per chapter otherwise), and Ctrl-C turned into
// a clean stop (the running chapters are dropped whole, nothing is merged).
#include <memory>

#include "chapter/book.h"
#include "chapter/controls.h"
#include "cli/command.h"
#include "download/download_manager.h"
#include "download/work_folders.h"

namespace lekto::cli {

inline constexpr int kExitSomeMissing = 3;    // the book was written without some chapters that failed
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report a command stopped by Ctrl-C

// Reads --jobs N and --delay MS into `options`. False after telling the user what was wrong with them.
bool ReadPacingOptions(const CommandContext& context, DownloadOptions& options);

struct SessionOutcome {
  bool started = false;      // false: the user was told why the download could not start
  bool interrupted = false;  // stopped by Ctrl-C
  DownloadReport report;
};

// Lists on stderr each chapter of the report that failed, with its reason, and each written without a page.
void ListFailedChapters(const CommandContext& context, const DownloadReport& report);

// Says once, when a GBK book turned `lost` characters into "?", how many and which formats keep them.
void SayLostCharacters(const CommandContext& context, std::size_t lost);

// Runs the download of `book`'s rows that `controls` ticks (`ticked` of them) to its end.
SessionOutcome RunDownloadSession(const CommandContext& context, Controls& controls, const WorkFolders& folders,
                                  std::shared_ptr<const Book> book, const DownloadOptions& options, int ticked);

}  // namespace lekto::cli
