#include "regex/compiled_pattern.h"

#include "regex/ecma_dialect.h"
#include "regex/gbk_subject.h"
#include "regex/regex_tuning.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace lekto::regex {
namespace {

std::atomic<bool>& JitSwitch() {
  static std::atomic<bool> enabled{std::getenv("LEKTO_REGEX_NO_JIT") == nullptr};
  return enabled;
}

// The budget of one run: a fixed part for the smallest texts and a part that grows with the subject (of UTF-8
// bytes, up to 1.5 per GBK byte), ten times what the interpreter takes per byte for the program's own patterns
// and far more than the JIT does; a run over 100 KB of Chinese text gets 115 ms. Processor time of the thread,
// not wall time: six download workers share the machine's cores, and a run must not fail because others ran
// meanwhile.
constexpr std::chrono::milliseconds kDefaultBudgetBase{40};
constexpr std::chrono::nanoseconds kBudgetPerByte{500};
// Reading the thread's clock is a system call; a checkpoint costs a few nanoseconds.
constexpr std::uint32_t kStepsPerClockRead = 256;

std::atomic<std::int64_t>& BudgetBaseMs() {
  static std::atomic<std::int64_t> base{kDefaultBudgetBase.count()};
  return base;
}

// Limits of one search besides the budget. The match limit grows with the subject so that an honest scan of a
// 10 MB page never reaches it; the heap limit bounds the interpreter's memory.
constexpr std::uint32_t kMatchLimitBase = 10'000'000;
constexpr std::uint32_t kMatchLimitPerByte = 16;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;
// The JIT stack: a lazy "[\s\S]*?" over a 1 MB element needs far more than PCRE2's default 32 KB.
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 64 * 1024 * 1024;

struct JitStackFree {
  void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

// One JIT stack per thread: a stack may serve only one match at a time, and a thread runs one match at a time.
// The memory is reserved, not committed, until a match needs it.
pcre2_jit_stack* ThreadJitStack() {
  thread_local std::unique_ptr<pcre2_jit_stack, JitStackFree> stack(
      pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
  return stack.get();
}

std::chrono::nanoseconds ThreadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

std::chrono::nanoseconds RunBudget(std::size_t subjectLength) {
  return std::chrono::milliseconds(BudgetBaseMs().load(std::memory_order_relaxed)) +
         kBudgetPerByte * static_cast<std::int64_t>(subjectLength);
}

void SetJitEnabled(bool enabled) {
  JitSwitch().store(enabled);
}
bool JitEnabled() {
  return JitSwitch().load(std::memory_order_relaxed);
}
void SetRunBudgetBase(std::chrono::milliseconds base) {
  BudgetBaseMs().store(base.count());
}

int CompiledPattern::GroupNumber(std::string_view name) const {
  for (const auto& [groupName, number] : names) {
    if (groupName == name) return number;
  }
  return 0;
}

namespace {

std::shared_ptr<const CompiledPattern> Build(std::string_view gbkPattern, bool caseSensitive, bool multiLine) {
  std::optional<std::string> translated = TranslateEcmaPattern(DecodeGbk(gbkPattern), multiLine);
  if (!translated) return nullptr;

  // No PCRE2_UCP: with it \w, \d and \b would take in Chinese characters, which ECMAScript's never do.
  std::uint32_t options = PCRE2_UTF | PCRE2_MATCH_UNSET_BACKREF;
  if (!caseSensitive) options |= PCRE2_CASELESS;
  if (multiLine) options |= PCRE2_MULTILINE;
  std::unique_ptr<pcre2_compile_context, CompileContextFree> context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);

  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  auto result = std::make_shared<CompiledPattern>();
  result->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated->data()), translated->size(), options,
                                   &error, &errorOffset, context.get()));
  if (!result->code) return nullptr;
  pcre2_code* code = result->code.get();
  result->jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;

  std::uint32_t captures = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures);
  result->groups = static_cast<int>(captures);
  std::uint32_t nameCount = 0;
  std::uint32_t entrySize = 0;
  PCRE2_SPTR table = nullptr;
  pcre2_pattern_info(code, PCRE2_INFO_NAMECOUNT, &nameCount);
  pcre2_pattern_info(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
  pcre2_pattern_info(code, PCRE2_INFO_NAMETABLE, &table);
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    PCRE2_SPTR entry = table + i * entrySize;
    int number = entry[0] << 8 | entry[1];
    result->names.emplace_back(reinterpret_cast<const char*>(entry + 2), number);
  }
  return result;
}

// The patterns a thread compiled last. The body locator counts the Chinese characters of every candidate element
// with the same pattern, and compiling (above all JIT-compiling) costs far more than matching a short text.
// Per thread, so no lock is needed; the compiled code itself is read-only and may outlive its cache entry.
constexpr std::size_t kCacheSize = 16;
struct CacheEntry {
  std::string pattern;
  bool caseSensitive = false;
  bool multiLine = false;
  std::shared_ptr<const CompiledPattern> compiled;  // nullptr: the pattern is invalid
};

}  // namespace

std::shared_ptr<const CompiledPattern> CompilePattern(std::string_view gbkPattern, bool caseSensitive, bool multiLine) {
  thread_local std::vector<CacheEntry> cache;  // most recently used first
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].pattern == gbkPattern && cache[i].caseSensitive == caseSensitive && cache[i].multiLine == multiLine) {
      std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                  cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return cache.front().compiled;
    }
  }
  auto compiled = Build(gbkPattern, caseSensitive, multiLine);
  if (cache.size() == kCacheSize) cache.pop_back();
  cache.insert(cache.begin(), CacheEntry{std::string(gbkPattern), caseSensitive, multiLine, compiled});
  return compiled;
}

Matcher::Matcher(const CompiledPattern& pattern, std::size_t subjectLength) : pattern_(pattern) {
  data_ = pcre2_match_data_create_from_pattern(pattern.code.get(), nullptr);
  context_ = pcre2_match_context_create(nullptr);
  if (!context_) return;
  std::uint64_t limit = kMatchLimitBase + static_cast<std::uint64_t>(kMatchLimitPerByte) * subjectLength;
  auto matchLimit = static_cast<std::uint32_t>(std::min<std::uint64_t>(limit, UINT32_MAX));
  pcre2_set_match_limit(context_, matchLimit);
  pcre2_set_depth_limit(context_, matchLimit);
  pcre2_set_heap_limit(context_, kHeapLimitKiB);
  pcre2_jit_stack_assign(context_, nullptr, ThreadJitStack());
  pcre2_set_callout(context_, &Matcher::OnCheckpoint, this);
  deadline_ = ThreadTime() + RunBudget(subjectLength);
}

int Matcher::OnCheckpoint(pcre2_callout_block* /*block*/, void* matcher) {
  // A negative answer abandons the whole search with that error.
  return static_cast<Matcher*>(matcher)->Spent() ? PCRE2_ERROR_CALLOUT : 0;
}

bool Matcher::Spent() {
  if (++steps_ % kStepsPerClockRead == 0 && ThreadTime() > deadline_) spent_ = true;
  return spent_;
}

Matcher::~Matcher() {
  pcre2_match_context_free(context_);
  pcre2_match_data_free(data_);
}

int Matcher::Match(const std::string& subject, std::size_t start, const std::size_t*& ovector) {
  if (!data_ || !context_ || Spent()) return -1;
  // The subject is checked for valid UTF-8 once; checking again on every call of a global run made counting the
  // matches in a 200 KB page take seconds.
  std::uint32_t options = checked_ ? PCRE2_NO_UTF_CHECK : 0;
  if (!pattern_.jit || !JitEnabled()) options |= PCRE2_NO_JIT;
  auto run = [&](std::uint32_t extra) {
    return pcre2_match(pattern_.code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), start,
                       options | extra, data_, context_);
  };
  int rc = run(0);
  // The JIT stack has a ceiling; the interpreter keeps its backtracking on the heap, under the heap limit.
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT) rc = run(PCRE2_NO_JIT);
  checked_ = true;
  if (rc == PCRE2_ERROR_NOMATCH) return 0;
  if (rc <= 0) return -1;
  ovector = pcre2_get_ovector_pointer(data_);
  return rc;
}

}  // namespace lekto::regex
