#include "text/line_ends.h"

namespace lekto::text {
namespace {

// Position of the first line end in `text` at or after `from` that is not CR LF; npos when there is none.
std::size_t NextBareLineEnd(std::string_view text, std::size_t from) {
  for (std::size_t i = text.find_first_of("\r\n", from); i != std::string_view::npos;
       i = text.find_first_of("\r\n", i)) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      i += 2;
      continue;
    }
    return i;
  }
  return std::string_view::npos;
}

}  // namespace

void AppendWithCrLf(std::string& out, std::string_view text) {
  std::size_t copied = 0;
  for (std::size_t i = NextBareLineEnd(text, 0); i != std::string_view::npos; i = NextBareLineEnd(text, copied)) {
    out.append(text, copied, i - copied);
    out += "\r\n";
    copied = i + 1;
  }
  out.append(text, copied, std::string_view::npos);
}

std::string WithCrLf(std::string text) {
  if (NextBareLineEnd(text, 0) == std::string_view::npos) return text;
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  AppendWithCrLf(out, text);
  return out;
}

}  // namespace lekto::text
