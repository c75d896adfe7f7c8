#pragma once
// What a command of lekto-cli receives, and the table that names the commands. A new command is one function
// `int RunXxxCommand(const CommandContext&)` in its own file, declared below and listed in command_table.cpp.
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "chapter/book.h"
#include "chapter/controls.h"
#include "chapter/page_browser.h"
#include "http/response.h"

namespace lekto::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNothingFound = 1;
inline constexpr int kExitUsage = 2;

// The options every command shares, as typed (UTF-8).
struct CommonOptions {
  bool transcode = false;                  // "--transcode": "转码"
  bool preprocess = false;                 // "--preprocess": "预处理"
  std::vector<std::string> filters;        // "--filter PATTERN", repeatable: one rule each, all enabled
  BrowserUse browser = BrowserUse::kAuto;  // "--browser auto|always|never": when pages are read in a browser
  std::string cookieFile;                  // "--cookies FILE": the reader's cookies.txt
};

struct Command;

struct CommandContext {
  const Command& command;
  std::vector<std::string> args;  // positional arguments after the command name, UTF-8
  CommonOptions options;
  // Values of the command's own options (Command::valueOptions), keyed by the option as written ("--out"),
  // in the order given; a given flag (Command::flagOptions) has one empty value.
  std::map<std::string, std::vector<std::string>, std::less<>> values;
  const Fetcher& fetch;  // through the browser where the --browser choice says so
  const BrowserChoice& browser;
  std::ostream& out;
  std::ostream& err;

  // The last value given for `option`, if any.
  std::optional<std::string> Value(std::string_view option) const;
};

struct Command {
  std::string_view name;      // as typed after the program name
  std::string_view synopsis;  // for the help text, e.g. "toc URL"
  std::string_view summary;   // one line for the help text
  int (*run)(const CommandContext&);
  std::vector<std::string_view> valueOptions = {};  // options of this command alone that take a value
  std::vector<std::string_view> flagOptions = {};   // options of this command alone that take no value
  bool takesSwitches = true;  // reads --transcode, --preprocess and --filter (update takes its book's own)
};

// Every command, in the order the help text lists them.
const std::vector<Command>& Commands();

int RunTocCommand(const CommandContext& context);
int RunShowCommand(const CommandContext& context);
int RunDownloadCommand(const CommandContext& context);
int RunUpdateCommand(const CommandContext& context);

// The browser engine of this build as a PageBrowser; empty where the build has none (browser_access.cpp). The
// engine is ended by EndBuiltInBrowser, before the program returns.
PageBrowser BuiltInBrowser();
void EndBuiltInBrowser();

// Helpers the commands share (command_support.cpp).

// Tells the user what was wrong and how the command is used; returns kExitUsage.
int UsageError(const CommandContext& context, std::string_view message);
// Parses the table of contents at the controls' address, read in the browser where it is built by script.
// std::nullopt, after asking the user for a table-of-contents address, when the address is empty or lacks
// "http". A book without rows comes back after the user was told why: the first page could not be fetched (and
// what happened), the site showed a browser check, or the page arrived but holds no chapter list.
std::optional<Book> LoadBook(const CommandContext& context, const Controls& controls);
// What happened to a fetch that gave no page, in a few words: "HTTP 404", "connection refused or host not
// found", "timed out", "empty page"; empty when it gave one.
std::string DescribeResponse(const http::Response& response);
// `fetch`, telling `failures` of every fetch that gave no page: its 1-based number among the fetches and what
// happened. `failures` must outlive the fetcher.
struct FetchFailure {
  int fetch = 0;
  std::string what;
};
Fetcher RecordingFailures(const Fetcher& fetch, std::vector<FetchFailure>& failures);
// A chapter ID as `toc` lists it: a whole number from 1 up, nothing else around it. std::nullopt otherwise.
std::optional<int> ParseChapterId(std::string_view text);
// GBK text as the terminal wants it: UTF-8, lines ending in LF alone, other control characters but the tab
// shown as spaces.
std::string ToTerminal(std::string_view gbk);
// One table cell: tabs and line breaks inside a title would break the columns, so they and every other control
// character become spaces.
std::string ToTerminalCell(std::string_view gbk);

}  // namespace lekto::cli
