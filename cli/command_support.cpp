#include "cli/command.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"
#include "toc/toc_parser.h"

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
  std::optional<Book> book = ParseToc(controls, context.fetch);
  if (!book) context.err << "lekto-cli: enter the address of a table-of-contents page (http:// or https://)\n";
  return book;
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
