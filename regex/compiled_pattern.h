#pragma once
// The PCRE2 side of the engine: a pattern of the ECMAScript dialect compiled (and JIT-compiled) by PCRE2, and a
// matcher that runs it under a budget, so that a pattern with catastrophic backtracking fails fast instead of
// hanging a download worker.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace lekto::regex {

inline constexpr std::size_t kNoOffset = PCRE2_UNSET;

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};

struct CompiledPattern {
  std::unique_ptr<pcre2_code, CodeFree> code;
  bool jit = false;
  int groups = 0;
  std::vector<std::pair<std::string, int>> names;  // named groups and their numbers

  int GroupNumber(std::string_view name) const;  // 0 when there is no such group
};

// The compiled form of a GBK pattern, or nullptr when the pattern is not valid in the dialect (or PCRE2 cannot
// represent it). Safe to call from any thread.
std::shared_ptr<const CompiledPattern> CompilePattern(std::string_view gbkPattern, bool caseSensitive, bool multiLine);

// The processor time one run may take: every start position and every match of one global run, together.
// Honest patterns take microseconds to milliseconds for a page; a run that backtracks without end is given up
// after this, which keeps any run over a 100 KB text well under 0.2 seconds.
std::chrono::nanoseconds RunBudget(std::size_t subjectLength);

// Runs one compiled pattern repeatedly over one UTF-8 subject (the matches of one global run), all of it within
// one RunBudget. The budget is checked at the checkpoints the dialect puts into every pattern, which the matcher
// passes all through its backtracking, and once per match.
class Matcher {
 public:
  Matcher(const CompiledPattern& pattern, std::size_t subjectLength);
  ~Matcher();
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // The number of ovector pairs set (> 0) and the ovector, 0 for no match from `start` on, or -1 for a run that
  // failed (the budget is spent, a depth or heap limit was hit, or another PCRE2 error); after a failure every
  // further call fails too.
  int Match(const std::string& subject, std::size_t start, const std::size_t*& ovector);

 private:
  static int OnCheckpoint(pcre2_callout_block* block, void* matcher);
  // Counts one checkpoint; true once the budget is spent. The clock is read every kStepsPerClockRead steps.
  bool Spent();

  const CompiledPattern& pattern_;
  pcre2_match_data* data_ = nullptr;
  pcre2_match_context* context_ = nullptr;
  bool checked_ = false;                 // the subject's UTF-8 has been validated once
  std::chrono::nanoseconds deadline_{};  // on the thread's processor-time clock
  std::uint32_t steps_ = 0;
  bool spent_ = false;
};

}  // namespace lekto::regex
