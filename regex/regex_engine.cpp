#include "regex/regex_engine.h"

#include "regex/compiled_pattern.h"
#include "regex/gbk_subject.h"
#include "regex/regex_tuning.h"
#include "text/gbk_text.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace lekto {
namespace {

constexpr std::uint32_t kUnset = std::numeric_limits<std::uint32_t>::max();

// The start of the character after a UTF-8 offset.
std::size_t NextCharStart(const std::string& utf8, std::size_t offset) {
  ++offset;
  while (offset < utf8.size() && (static_cast<unsigned char>(utf8[offset]) & 0xC0) == 0x80) ++offset;
  return offset;
}

}  // namespace

// One run of one pattern over one subject; never changed after Compile builds it, so copies of an engine may
// share it freely.
struct RegexEngine::Run {
  std::string pattern;
  bool succeeded = false;
  std::shared_ptr<const regex::CompiledPattern> code;
  regex::GbkSubject subject;
  int groups = 0;
  // For every match, (groups + 1) pairs of UTF-8 offsets: the whole match, then each group (kUnset when the
  // group took no part). Offsets instead of copies: the candidate scan of a large page has many long matches.
  std::vector<std::uint32_t> offsets;

  int Matches() const { return succeeded ? static_cast<int>(offsets.size() / (2 * (groups + 1))) : 0; }

  // The GBK text of group `group` (0: the whole match) of the 0-based match `match`.
  std::string Text(int match, int group, regex::GbkSubject::Cursor& cursor) const {
    std::size_t at = 2 * (static_cast<std::size_t>(match) * (groups + 1) + group);
    if (offsets[at] == kUnset) return {};
    std::size_t begin = subject.ToGbkOffset(offsets[at], cursor);
    std::size_t end = subject.ToGbkOffset(offsets[at + 1], cursor);
    return subject.Gbk().substr(begin, end - begin);
  }

  void AppendExpanded(std::string& out, std::string_view replacement, int match, std::size_t begin,
                      std::size_t end) const;
};

RegexEngine::RegexEngine() = default;
RegexEngine::~RegexEngine() = default;
RegexEngine::RegexEngine(const RegexEngine&) = default;
RegexEngine& RegexEngine::operator=(const RegexEngine&) = default;
RegexEngine::RegexEngine(RegexEngine&&) noexcept = default;
RegexEngine& RegexEngine::operator=(RegexEngine&&) noexcept = default;

bool RegexEngine::Compile(std::string_view pattern, std::string_view subject, bool caseSensitive, bool multiLine,
                          bool global, bool quotePlaceholder) {
  auto run = std::make_shared<Run>();
  run->pattern = quotePlaceholder ? text::ExpandQuotePlaceholder(pattern) : std::string(pattern);
  run_ = run;
  run->code = regex::CompilePattern(run->pattern, caseSensitive, multiLine);
  if (!run->code) return false;
  run->groups = run->code->groups;
  run->subject = regex::GbkSubject(std::string(subject));
  if (run->subject.Utf8().size() >= kUnset) return false;  // offsets are kept in 32 bits

  const std::string& utf8 = run->subject.Utf8();
  regex::Matcher matcher(*run->code, utf8.size());
  const std::size_t pairs = static_cast<std::size_t>(run->groups) + 1;
  std::size_t start = 0;
  // ECMAScript's global loop: search again from the end of each match, and one character further after an
  // empty match (not PCRE2's retry at the same place, which finds other matches than a browser does).
  for (;;) {
    const std::size_t* ovector = nullptr;
    int found = matcher.Match(utf8, start, ovector);
    if (found == 0) break;
    if (found < 0) {
      run->offsets.clear();
      return false;  // a limit was hit: the run counts as failed, not as "no match"
    }
    for (std::size_t k = 0; k < pairs; ++k) {
      bool set = static_cast<int>(k) < found && ovector[2 * k] != regex::kNoOffset;
      run->offsets.push_back(set ? static_cast<std::uint32_t>(ovector[2 * k]) : kUnset);
      run->offsets.push_back(set ? static_cast<std::uint32_t>(ovector[2 * k + 1]) : kUnset);
    }
    if (!global) break;
    std::size_t matchStart = ovector[0];
    std::size_t matchEnd = ovector[1];
    if (matchEnd > matchStart) {
      start = matchEnd;
    } else if (matchEnd < utf8.size()) {
      start = NextCharStart(utf8, matchEnd);
    } else {
      break;
    }
  }
  run->succeeded = true;
  return true;
}

std::string RegexEngine::PatternText() const {
  return run_ ? run_->pattern : std::string();
}

int RegexEngine::MatchCount() const {
  return run_ ? run_->Matches() : 0;
}

int RegexEngine::GroupCount() const {
  return MatchCount() > 0 ? run_->groups : 0;
}

std::string RegexEngine::MatchText(int match) const {
  if (match < 1 || match > MatchCount()) return {};
  regex::GbkSubject::Cursor cursor;
  return run_->Text(match - 1, 0, cursor);
}

std::string RegexEngine::GroupText(int match, int group) const {
  if (match < 1 || match > MatchCount() || group < 1 || group > run_->groups) return {};
  regex::GbkSubject::Cursor cursor;
  return run_->Text(match - 1, group, cursor);
}

std::string RegexEngine::Replace(std::string_view replacement) const {
  if (!run_ || !run_->succeeded) return {};
  const Run& run = *run_;
  const std::string& gbk = run.subject.Gbk();
  std::string out;
  out.reserve(gbk.size());
  regex::GbkSubject::Cursor cursor;
  std::size_t copied = 0;
  const int matches = run.Matches();
  for (int m = 0; m < matches; ++m) {
    std::size_t at = 2 * static_cast<std::size_t>(m) * (run.groups + 1);
    std::size_t begin = run.subject.ToGbkOffset(run.offsets[at], cursor);
    std::size_t end = run.subject.ToGbkOffset(run.offsets[at + 1], cursor);
    out.append(gbk, copied, begin - copied);
    run.AppendExpanded(out, replacement, m, begin, end);
    copied = end;
  }
  out.append(gbk, copied);
  return out;
}

// ECMAScript's replacement patterns: $$, $&, $`, $', $n and $nn (when that group exists; "$10" with one group
// is group 1 and a "0"), $<name>; anything else is copied. Scanning GBK bytes for "$" is safe: a second byte of
// a GBK character is never below 0x40.
void RegexEngine::Run::AppendExpanded(std::string& out, std::string_view replacement, int match, std::size_t begin,
                                      std::size_t end) const {
  auto digit = [&](std::size_t i) {
    return i < replacement.size() && replacement[i] >= '0' && replacement[i] <= '9' ? replacement[i] - '0' : -1;
  };
  auto appendGroup = [&](int group) {
    regex::GbkSubject::Cursor cursor;
    out += Text(match, group, cursor);
  };
  for (std::size_t i = 0; i < replacement.size();) {
    char c = replacement[i];
    if (c != '$' || i + 1 == replacement.size()) {
      out += c;
      ++i;
      continue;
    }
    char next = replacement[i + 1];
    if (next == '$') {
      out += '$';
      i += 2;
    } else if (next == '&') {
      out.append(subject.Gbk(), begin, end - begin);
      i += 2;
    } else if (next == '`') {
      out.append(subject.Gbk(), 0, begin);
      i += 2;
    } else if (next == '\'') {
      out.append(subject.Gbk(), end);
      i += 2;
    } else if (int first = digit(i + 1); first >= 0) {
      int second = digit(i + 2);
      int twoDigits = second >= 0 ? first * 10 + second : -1;
      if (twoDigits >= 1 && twoDigits <= groups) {
        appendGroup(twoDigits);
        i += 3;
      } else if (first >= 1 && first <= groups) {
        appendGroup(first);
        i += 2;
      } else {
        out += '$';
        ++i;
      }
    } else if (next == '<' && !code->names.empty()) {
      std::size_t close = replacement.find('>', i + 2);
      if (close == std::string_view::npos) {
        out += '$';
        ++i;
        continue;
      }
      int group = code->GroupNumber(replacement.substr(i + 2, close - i - 2));
      if (group > 0) appendGroup(group);
      i = close + 1;
    } else {
      out += '$';
      ++i;
    }
  }
}

bool IsValidPattern(std::string_view pattern) {
  return regex::CompilePattern(pattern, false, true) != nullptr;
}

}  // namespace lekto
