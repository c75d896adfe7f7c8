#pragma once
// The PCRE2 side of the engine: a pattern of the ECMAScript dialect compiled (and JIT-compiled) by PCRE2, and a
// matcher that runs it under limits, so that a pattern with catastrophic backtracking fails fast instead of
// hanging a download worker.
#include <cstddef>
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

// Runs one compiled pattern repeatedly over one UTF-8 subject (the matches of one global run).
class Matcher {
 public:
  Matcher(const CompiledPattern& pattern, std::size_t subjectLength);
  ~Matcher();
  Matcher(const Matcher&) = delete;
  Matcher& operator=(const Matcher&) = delete;

  // The number of ovector pairs set (> 0) and the ovector, 0 for no match from `start` on, or -1 for a run that
  // failed (a match, depth or heap limit was hit, or another PCRE2 error).
  int Match(const std::string& subject, std::size_t start, const std::size_t*& ovector);

 private:
  const CompiledPattern& pattern_;
  pcre2_match_data* data_ = nullptr;
  pcre2_match_context* context_ = nullptr;
  bool checked_ = false;  // the subject's UTF-8 has been validated once
};

}  // namespace lekto::regex
