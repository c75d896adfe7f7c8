// The patterns of the chapter pipeline over chapter-like GBK pages of 1 MB and 10 MB, with PCRE2's JIT and
// with its interpreter (second argument 1 / 0). Run: bench_regex --benchmark_filter=... (MB/s is "bytes_per_second").
#include "regex/regex_engine.h"
#include "regex/regex_tuning.h"
#include "text/text_codec.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using lekto::RegexEngine;
using lekto::text::Gbk;

const std::string kCandidate = Gbk(u8R"(<div.*?>([\s\S]*?)</div>|<span.*?>([\s\S]*?)</span>)");
const std::string kHan = Gbk(u8R"([\u4e00-\u9fa5])");

// A page as novel sites serve them: navigation divs and spans with links, then the chapter text in a div with
// <br /> line breaks, a few ads, all repeated until `size` bytes.
std::string ChapterPage(std::size_t size) {
  const std::string block =
      Gbk(u8"<div class=\"header\"><span class=\"logo\"><a href=\"/\">笔趣阁</a></span><span>收藏本站</span></div>\r\n"
          u8"<div class=\"nav\"><a href=\"/1_1/\">目录</a> <a href=\"/1_1/2.html\">下一章</a></div>\r\n"
          u8"<div id=\"content\">") +
      [] {
        std::string paragraphs;
        for (int i = 0; i < 40; ++i) {
          paragraphs += Gbk(u8"　　夜色渐深，山风吹过林梢，少年握紧了手中的长剑，目光坚定地望向远方的城池。<br />\r\n");
        }
        return paragraphs;
      }() +
      Gbk(u8"</div>\r\n<div class=\"ad\"><span>推荐阅读</span><span><a href=\"/2_2/\">另一本书</a></span></div>\r\n");
  std::string page = "<html><head><title>" + Gbk(u8"第一章") + "</title></head><body>\r\n";
  while (page.size() + block.size() < size) page += block;
  return page + "</body></html>";
}

const std::string& Page(std::int64_t megabytes) {
  static const std::string one = ChapterPage(1 << 20);
  static const std::string ten = ChapterPage(10 << 20);
  return megabytes == 1 ? one : ten;
}

void Run(benchmark::State& state, const std::string& pattern) {
  const std::string& page = Page(state.range(0));
  lekto::regex::SetJitEnabled(state.range(1) != 0);
  int matches = 0;
  for (auto _ : state) {
    RegexEngine engine;
    engine.Compile(pattern, page);
    matches = engine.MatchCount();
    benchmark::DoNotOptimize(matches);
  }
  lekto::regex::SetJitEnabled(true);
  state.counters["matches"] = matches;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void BM_CountHan(benchmark::State& state) {
  Run(state, kHan);
}
void BM_CandidateScan(benchmark::State& state) {
  Run(state, kCandidate);
}

// The candidate scan as the body locator uses it: every group text of every match read back as GBK.
void BM_CandidateScanWithGroups(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) {
    RegexEngine engine;
    engine.Compile(kCandidate, page);
    std::size_t total = 0;
    for (int m = 1; m <= engine.MatchCount(); ++m)
      total += engine.GroupText(m, 1).size() + engine.GroupText(m, 2).size();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

// The Chinese-character count of one candidate element, as the body locator runs it once per element: compiling
// the pattern each time (above all JIT-compiling it) used to cost some 55 us, far more than matching a short text;
// the per-thread cache of compiled patterns removes that.
void BM_CountHanSmallText(benchmark::State& state) {
  std::string text;
  while (text.size() < static_cast<std::size_t>(state.range(0)))
    text += Gbk(u8"　　夜色渐深，山风吹过林梢。<br />\r\n");
  for (auto _ : state) {
    RegexEngine engine;
    engine.Compile(kHan, text);
    benchmark::DoNotOptimize(engine.MatchCount());
  }
  state.SetItemsProcessed(state.iterations());
}

// Patterns that repeat and alternate, where the run's budget is checked: a reader's filter rule with a lazy run
// deleted from every paragraph of a chapter, and the table-of-contents link pattern over a list of chapter links.
void BM_LazyFilterRule(benchmark::State& state) {
  Run(state, Gbk(u8R"(夜色.*?城池|推荐阅读)"));
}
void BM_ChapterLinks(benchmark::State& state) {
  static const std::string kLinks = R"(href\s*=["']*([\w/:\-\.\?&=]+)["'\s]*.*?>(.*?)<)";
  std::string page;
  for (int i = 0; page.size() < static_cast<std::size_t>(state.range(0)) << 20; ++i) {
    page += "<dd><a href=\"/1_1/" + std::to_string(i) + ".html\">" + Gbk(u8"第") + std::to_string(i) +
            Gbk(u8"章 夜色渐深") + "</a></dd>\r\n";
  }
  lekto::regex::SetJitEnabled(state.range(1) != 0);
  int matches = 0;
  for (auto _ : state) {
    RegexEngine engine;
    engine.Compile(kLinks, page);
    matches = engine.MatchCount();
    benchmark::DoNotOptimize(matches);
  }
  lekto::regex::SetJitEnabled(true);
  state.counters["matches"] = matches;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

BENCHMARK(BM_CountHan)->ArgsProduct({{1, 10}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CandidateScan)->ArgsProduct({{1, 10}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CandidateScanWithGroups)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LazyFilterRule)->ArgsProduct({{1, 10}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChapterLinks)->ArgsProduct({{1}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountHanSmallText)->Arg(64)->Arg(2048)->Unit(benchmark::kMicrosecond);

}  // namespace
