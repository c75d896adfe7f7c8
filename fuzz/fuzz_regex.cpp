// The pattern dialect and the engine: any pattern over any subject compiles or is refused without a fault,
// the JIT and the interpreter find the same matches, groups and replacement, and no run outlasts its budget
// by much. Input: one byte of flags, then the pattern, the subject and a replacement, separated by NUL bytes.
#include "fuzz/fuzz_support.h"
#include "regex/compiled_pattern.h"
#include "regex/regex_engine.h"
#include "regex/regex_tuning.h"

#include <chrono>
#include <ctime>

namespace {

using lekto::RegexEngine;
using lekto::fuzz::Check;

std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

struct Outcome {
  bool compiled = false;
  bool gaveUp = false;  // valid, yet no match collection: the budget or a limit ended the run
  RegexEngine engine;
};

Outcome Run(bool jit, const std::string& pattern, const std::string& subject, std::uint8_t flags) {
  lekto::regex::SetJitEnabled(jit);
  Outcome outcome;
  const std::chrono::nanoseconds start = ThreadTime();
  outcome.compiled = outcome.engine.Compile(pattern, subject, flags & 1, flags & 2, !(flags & 4), flags & 8);
  const std::chrono::nanoseconds spent = ThreadTime() - start;
  // The budget covers the matching; compiling and converting the subject come on top. A subject of n GBK bytes
  // is at most 3n bytes of UTF-8.
  Check(spent < 2 * lekto::regex::RunBudget(3 * subject.size()) + std::chrono::milliseconds(500),
        "a run stays within its budget");
  outcome.gaveUp = !outcome.compiled && lekto::IsValidPattern(outcome.engine.PatternText());
  lekto::regex::SetJitEnabled(true);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Hopeless patterns are what fuzzing finds most; a shorter budget lets it try many more.
  static const bool shortBudget = [] {
    lekto::regex::SetRunBudgetBase(std::chrono::milliseconds(5));
    return true;
  }();
  (void)shortBudget;
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::vector<std::string> pieces =
      lekto::fuzz::Pieces(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 3);
  const std::string& pattern = pieces[0];
  const std::string subject = pieces.size() > 1 ? pieces[1] : std::string();
  const std::string replacement = pieces.size() > 2 ? pieces[2] : "$&<$1$<a>$'>";

  const Outcome jit = Run(true, pattern, subject, flags);
  const Outcome interpreter = Run(false, pattern, subject, flags);
  if (jit.gaveUp || interpreter.gaveUp) return 0;  // one may finish where the other runs out of budget
  Check(jit.compiled == interpreter.compiled, "both matchers accept the same patterns");
  if (!jit.compiled) return 0;
  const RegexEngine& a = jit.engine;
  const RegexEngine& b = interpreter.engine;
  Check(a.MatchCount() == b.MatchCount() && a.GroupCount() == b.GroupCount(), "both find as many matches");
  for (int m = 1; m <= a.MatchCount(); ++m) {
    Check(a.MatchText(m) == b.MatchText(m), "both find the same matches");
    for (int g = 1; g <= a.GroupCount(); ++g) Check(a.GroupText(m, g) == b.GroupText(m, g), "and the same groups");
  }
  Check(a.Replace(replacement) == b.Replace(replacement), "both replace alike");
  return 0;
}
