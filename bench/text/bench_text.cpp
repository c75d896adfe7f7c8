// Throughput of the conversions and searches that run over whole pages.
#include <benchmark/benchmark.h>

#include <string>

#include "text/gbk_text.h"
#include "text/text_codec.h"

namespace {

using namespace lekto::text;

constexpr std::size_t kPageBytes = 10 * 1024 * 1024;

// About 10 MB of GBK novel-like text: runs of level-1 hanzi (B0A1-D7F9) with full-width punctuation, some
// ASCII markup and CR LF line ends.
const std::string& ChinesePage() {
  static const std::string page = [] {
    std::string s;
    s.reserve(kPageBytes + 256);
    unsigned lead = 0xB0, trail = 0xA1;
    int column = 0;
    while (s.size() < kPageBytes) {
      s += static_cast<char>(lead);
      s += static_cast<char>(trail);
      if (++trail > 0xFE) {
        trail = 0xA1;
        if (++lead > 0xD7) lead = 0xB0;
      }
      if (++column % 37 == 0) s += "\xA3\xAC";  // full-width comma
      if (column % 120 == 0) s += "<br />\r\n&nbsp;&nbsp;";
    }
    return s;
  }();
  return page;
}

const std::string& Utf8Page() {
  static const std::string page = AnsiToUtf8(ChinesePage());
  return page;
}

void BM_AnsiToUtf8(benchmark::State& state) {
  const std::string& page = ChinesePage();
  for (auto _ : state) benchmark::DoNotOptimize(AnsiToUtf8(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_AnsiToUtf8)->Unit(benchmark::kMillisecond);

void BM_Utf8ToAnsi(benchmark::State& state) {
  const std::string& page = Utf8Page();
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToAnsi(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMillisecond);

// A needle that is only at the very end: the whole page is scanned.
void BM_FindAtEnd(benchmark::State& state) {
  const std::string page = ChinesePage() + Gbk(u8"下一页");
  const std::string needle = Gbk(u8"下一页");
  for (auto _ : state) benchmark::DoNotOptimize(Find(page, needle, 1, state.range(0) != 0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FindAtEnd)->Arg(0)->Arg(1)->ArgName("ignoreCase")->Unit(benchmark::kMillisecond);

// The worst case for the character-boundary check: the needle's bytes occur everywhere, but always
// straddling two characters.
void BM_FindStraddling(benchmark::State& state) {
  std::string page;
  page.reserve(kPageBytes);
  while (page.size() < kPageBytes) page += "\xB0\xA1";
  const std::string needle = "\xA1\xB0";
  for (auto _ : state) benchmark::DoNotOptimize(Find(page, needle));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_FindStraddling)->Unit(benchmark::kMillisecond);

void BM_ReplaceAll(benchmark::State& state) {
  const std::string& page = ChinesePage();
  for (auto _ : state) benchmark::DoNotOptimize(ReplaceAll(page, "&nbsp;", " "));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);

}  // namespace
