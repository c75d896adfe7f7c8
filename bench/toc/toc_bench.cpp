// Table-of-contents parsing of a page with 10,000 chapter links, served from memory: the whole parse (fetch,
// title, link pattern, resolution, filter) and the filter alone.
#include "text/text_codec.h"
#include "toc/toc_parser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace lekto {
namespace {

constexpr int kChapters = 10000;

std::string ChapterTitle(int n) {
  return text::Gbk(u8"第") + std::to_string(n) + text::Gbk(u8"章 标题文字");
}

// A GBK page with navigation, a latest-chapters block and the full list, relative links as most sites write.
std::string BigTocPage() {
  std::string page = "<html><head><meta charset=gbk><title>" + text::Gbk(u8"长篇小说最新章节_某站") +
                     "</title></head><body><a href=\"/\">" + text::Gbk(u8"首页") + "</a>\n<div class=\"latest\">";
  for (int n = kChapters; n > kChapters - 12; --n) {
    page += "<a href=\"" + std::to_string(20000000 + n) + ".html\">" + ChapterTitle(n) + "</a>\n";
  }
  page += "</div><div id=\"list\"><dl>\n";
  for (int n = 1; n <= kChapters; ++n) {
    page += "<dd><a href=\"" + std::to_string(20000000 + n) + ".html\"><span>" + ChapterTitle(n) + "</span></a></dd>\n";
  }
  return page + "</dl></div></body></html>\n";
}

class BenchControls final : public Controls {
 public:
  std::string Address() const override { return "http://127.0.0.1/book/42/index.html"; }
  bool Transcode() const override { return false; }
  bool Preprocess() const override { return false; }
  bool FiltersEnabled() const override { return false; }
  std::string FilterRules() const override { return {}; }
  bool RowChecked(int) const override { return true; }
  void SetRowState(int, const std::string&) override {}
};

void BM_ParseToc10k(benchmark::State& state) {
  const std::string page = BigTocPage();
  const Fetcher fetch = [&](const std::string&) { return http::Response::Answered(page); };
  const BenchControls controls;
  for (auto _ : state) {
    std::optional<Book> book = ParseToc(controls, fetch);
    if (!book || book->RowCount() != kChapters) state.SkipWithError("wrong row count");
    benchmark::DoNotOptimize(book);
  }
}
BENCHMARK(BM_ParseToc10k)->Unit(benchmark::kMillisecond);

void BM_FilterChapterLinks10k(benchmark::State& state) {
  std::vector<std::string> titles = {text::Gbk(u8"首页")};
  std::vector<std::string> links = {"http://127.0.0.1/"};
  for (int n = 1; n <= kChapters; ++n) {
    titles.push_back(ChapterTitle(n));
    links.push_back("http://127.0.0.1/book/42/" + std::to_string(20000000 + n) + ".html");
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> t = titles, l = links;
    state.ResumeTiming();
    FilterChapterLinks(t, l);
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_FilterChapterLinks10k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lekto

BENCHMARK_MAIN();
