#include "chapter/body_cleanup.h"

#include <utility>

#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

namespace lekto {

namespace {

// Deletes every match of a fixed pattern; the text stays as it is should the engine fail.
std::string DeleteMatches(std::string_view pattern, std::string text) {
  RegexEngine engine;
  if (!engine.Compile(pattern, text)) return text;
  if (engine.MatchCount() == 0) return text;
  return engine.Replace();
}

}  // namespace

std::string CleanBody(std::string_view body) {
  static const std::string kBreakAndIndent = "<br>" + text::Gbk(u8"　　");
  static const std::pair<std::string_view, std::string_view> kChain[] = {
      {"<br><br>", "\r\n"}, {kBreakAndIndent, "\r\n"}, {"<br/><br/>", "\r\n"}, {"<br />", ""},   {"<br/>", ""},
      {"&nbsp;", ""},       {"p&amp;gt;", ""},         {"<p>", "\r\n"},        {"</p>", "\r\n"}, {"&lt;", ""},
      {"/br&gt;", ""},
  };
  std::string text(body);
  for (const auto& [from, to] : kChain) {
    if (text::Contains(text, from)) text = text::ReplaceAll(text, from, to);
  }
  return RemoveTags(TrimOuterBreaks(text));
}

std::string TrimOuterBreaks(std::string_view text) {
  if (text::StartsWith(text, "\r\n")) text.remove_prefix(2);
  if (text::EndsWith(text, "\r\n")) text.remove_suffix(2);
  return DeleteMatches(R"(\n\s*\r)", std::string(text));
}

std::string RemoveTags(std::string_view text) {
  return DeleteMatches(R"(<[\w\s\.=\-,:;%"'/\(\)]+>)", std::string(text));
}

std::string ApplyUserFilters(std::string_view body, std::string_view rules) {
  std::string result(body);
  for (const std::string& rule : text::Split(rules, "\r\n")) {
    // An empty rule matches only empty strings: it changes nothing.
    if (rule.empty()) continue;
    RegexEngine engine;
    // A rule that is no valid pattern, or that runs into the engine's limits, gives no match collection.
    // Its Replace would give the empty text and lose the chapter, so the rule is skipped instead.
    if (!engine.Compile(rule, result)) continue;
    if (engine.MatchCount() == 0) continue;
    result = engine.Replace();
  }
  return result;
}

}  // namespace lekto
