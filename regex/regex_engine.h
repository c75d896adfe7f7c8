#pragma once
// RegexEngine: compiles one pattern, runs it once over one GBK subject, keeps the run, and answers questions
// about it. The dialect is ECMAScript's (what users type into the filter box), matched on Unicode code points
// of the GBK text. Every failure is quiet: Compile gives false, counts 0, texts empty.
#include <memory>
#include <string>
#include <string_view>

namespace lekto {

class RegexEngine {
 public:
  RegexEngine();
  ~RegexEngine();
  RegexEngine(const RegexEngine&);
  RegexEngine& operator=(const RegexEngine&);
  RegexEngine(RegexEngine&&) noexcept;
  RegexEngine& operator=(RegexEngine&&) noexcept;

  // Defaults: case-insensitive, multi-line, global. With `quotePlaceholder`, every "#引号" in the pattern
  // stands for a double quote. True when the run produced a match collection (also when nothing matched); false
  // for a pattern that is not valid in the dialect and for a run given up at the backtracking limits (a pattern
  // such as "(a+)+b" over a run of letters), which then counts as matching nothing.
  bool Compile(std::string_view pattern, std::string_view subject, bool caseSensitive = false, bool multiLine = true,
               bool global = true, bool quotePlaceholder = false);
  std::string PatternText() const;
  // The subject with the matches replaced ($1, $&, $$ ... as in ECMAScript). Empty after a failed Compile.
  std::string Replace(std::string_view replacement = {}) const;
  int MatchCount() const;
  // 1-based indexes; out of range gives the empty text.
  std::string MatchText(int match) const;
  std::string GroupText(int match, int group) const;
  int GroupCount() const;

 private:
  struct Run;
  std::shared_ptr<Run> run_;
};

// True when `pattern` is valid in the dialect. Callers that must never lose text (a user's filter rule deletes
// its matches from a chapter) check this, or Compile's result, before using Replace: Replace after a failed
// Compile gives the empty text.
bool IsValidPattern(std::string_view pattern);

}  // namespace lekto
