#include "cli/command.h"

#include "download/download_manager.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"
#include "toc/toc_in_browser.h"

#include <charconv>

namespace lekto::cli {

std::optional<std::string> CommandContext::Value(std::string_view option) const {
  const auto it = values.find(option);
  if (it == values.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

int UsageError(const CommandContext& context, std::string_view message) {
  context.err << "lekto-cli: " << message << "\n"
              << "usage: lekto-cli " << context.command.synopsis
              << (context.command.takesSwitches ? " [--transcode] [--preprocess] [--filter PATTERN]..." : "") << "\n";
  return kExitUsage;
}

std::optional<Book> LoadBook(const CommandContext& context, const Controls& controls) {
  std::vector<FetchFailure> failures;
  PageProblem problem = PageProblem::kNone;
  std::optional<Book> book =
      ParseTocWithBrowser(controls, RecordingFailures(context.fetch, failures), context.browser, &problem);
  if (!book) {
    context.err << "lekto-cli: enter the address of a table-of-contents page (http:// or https://)\n";
  } else if (book->RowCount() == 0 && problem == PageProblem::kCheckPage) {
    context.err << "lekto-cli: the site shows a browser check (\"checking your browser\") instead of the page; "
                << (context.browser.use == BrowserUse::kNever ? "--browser never does not try to pass it"
                    : context.browser.read                    ? "the browser did not pass it"
                                                              : "this build has no browser to pass it")
                << "\n";
  } else if (book->RowCount() == 0 && !failures.empty() && failures.front().fetch == 1) {
    context.err << "lekto-cli: the table of contents at " << ToTerminalCell(controls.Address())
                << " could not be fetched: " << failures.front().what << "\n";
  } else if (book->RowCount() == 0) {
    context.err << "lekto-cli: the page at " << ToTerminalCell(controls.Address())
                << " arrived but holds no chapter list (no chapter links found)\n";
  } else if (!failures.empty() && failures.front().fetch > 1) {
    // A first page that failed and still gave rows was read in the browser; only later pages can be missing.
    context.err << "lekto-cli: the chapter list may be incomplete: table-of-contents page " << failures.front().fetch
                << " could not be fetched: " << failures.front().what << "\n";
  }
  return book;
}

std::string DescribeResponse(const http::Response& response) {
  if (response.error != http::TransferError::kNone) return DescribeTransferError(response.error);
  if (response.status <= 0) return "no answer";
  if (response.status >= 400) return "HTTP " + std::to_string(response.status);
  if (response.body.empty()) return "empty page";
  return {};
}

Fetcher RecordingFailures(const Fetcher& fetch, std::vector<FetchFailure>& failures) {
  return [&fetch, &failures, count = 0](const std::string& url) mutable {
    http::Response response = fetch(url);
    ++count;
    if (std::string what = DescribeResponse(response); !what.empty()) failures.push_back({count, std::move(what)});
    return response;
  };
}

std::optional<int> ParseChapterId(std::string_view text) {
  int id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || id < 1) return std::nullopt;
  return id;
}

namespace {

// Control bytes in a page's text would reach the terminal as commands: an escape sequence, a carriage return
// that overwrites the line. GBK never uses these bytes inside a two-byte character, so they can be replaced
// one by one.
bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string ToTerminal(std::string_view gbk) {
  std::string text = text::ReplaceAll(gbk, "\r\n", "\n");
  for (char& c : text) {
    if (IsControl(c) && c != '\n' && c != '\t') c = ' ';
  }
  return text::AnsiToUtf8(text);
}

std::string ToTerminalCell(std::string_view gbk) {
  std::string cell(gbk);
  for (char& c : cell) {
    if (IsControl(c)) c = ' ';
  }
  return text::AnsiToUtf8(cell);
}

}  // namespace lekto::cli
