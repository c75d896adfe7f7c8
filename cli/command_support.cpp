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
              << " [--transcode] [--preprocess] [--filter PATTERN]..."
              << "\n";
  return kExitUsage;
}

std::optional<Book> LoadBook(const CommandContext& context, const Controls& controls) {
  std::optional<Book> book = ParseToc(controls, context.fetch);
  if (!book) context.err << "请输入章节目录地址！\n";
  return book;
}

std::optional<int> ParseChapterId(std::string_view text) {
  int id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || id < 1) return std::nullopt;
  return id;
}

std::string ToTerminal(std::string_view gbk) {
  return text::AnsiToUtf8(text::ReplaceAll(gbk, "\r\n", "\n"));
}

std::string ToTerminalCell(std::string_view gbk) {
  std::string cell(gbk);
  for (char& c : cell) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text::AnsiToUtf8(cell);
}

}  // namespace lekto::cli
