// The chapter pipeline on one core, pages served from memory: decoding, the body pick, cleanup and filters.
// Throughput counts the bytes of the pages fetched.
#include "chapter/body_cleanup.h"
#include "chapter/body_location.h"
#include "chapter/chapter_pipeline.h"
#include "text/text_codec.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace lekto {
namespace {

using text::Gbk;

constexpr const char* kHost = "http://mem";

class BenchControls final : public Controls {
 public:
  std::string address;
  bool filters = false;
  std::string rules;
  std::string Address() const override { return address; }
  bool Transcode() const override { return false; }
  bool Preprocess() const override { return false; }
  bool FiltersEnabled() const override { return filters; }
  std::string FilterRules() const override { return rules; }
  bool RowChecked(int) const override { return true; }
  void SetRowState(int, const std::string&) override {}
};

// Pages by address, and how many bytes were handed out.
struct MemorySite {
  std::map<std::string, std::string> pages;
  mutable std::size_t served = 0;
  mutable std::size_t count = 0;

  Fetcher Fetch() const {
    return [this](const std::string& url) {
      const auto it = pages.find(url);
      if (it == pages.end()) return http::Response::Answered({}, 404);
      served += it->second.size();
      ++count;
      return http::Response::Answered(it->second);
    };
  }
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A chapter-like page of about `size` bytes: 2,000 div and span elements of navigation, links and
// advertisements before the body, so the pick must look at every one of them; the body itself is Chinese
// paragraphs with the usual indents and line breaks.
std::string BigPage(std::size_t size, bool utf8) {
  const std::string sentence = Gbk(u8"山风从谷口吹进来，带着一股潮湿的松木气味。少年把油灯拨亮了一些。");
  std::string page = "<html><head><meta charset=\"" + std::string(utf8 ? "utf-8" : "gbk") +
                     "\"><title>bench</title></head>\r\n<body>\r\n";
  for (int i = 0; i < 1000; ++i) {
    page += "<div class=\"item\"><a href=\"/b/" + std::to_string(i) + ".html\">" + Gbk(u8"第") + std::to_string(i) +
            Gbk(u8"章 推荐阅读") + "</a></div>\r\n";
    page += "<span class=\"ad\">" + Gbk(u8"广告位招租，联系客服") + "</span>\r\n";
  }
  page += "<div id=\"content\">";
  while (page.size() < size) {
    page += "&nbsp;&nbsp;&nbsp;&nbsp;" + sentence + sentence + sentence + "<br />\r\n<br />\r\n";
  }
  page += "</div>\r\n</body></html>\r\n";
  return utf8 ? text::AnsiToUtf8(page) : page;
}

void ReportRate(benchmark::State& state, const MemorySite& site) {
  state.SetBytesProcessed(static_cast<int64_t>(site.served));
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(site.count), benchmark::Counter::kIsRate);
}

// The filter box as it starts ("过滤规则1..3": plain words), and a box with two patterns and one word.
enum class Rules { kNone, kDefault, kPatterns };

void RunBigPage(benchmark::State& state, bool utf8, Rules rules) {
  MemorySite site;
  site.pages[std::string(kHost) + "/b/1.html"] = BigPage(1 << 20, utf8);
  Book book;
  book.siteRoot = kHost;
  book.chapterTitles = {Gbk(u8"第1章")};
  book.chapterLinks = {std::string(kHost) + "/b/1.html"};
  BenchControls controls;
  controls.address = std::string(kHost) + "/b/index.html";
  controls.filters = rules != Rules::kNone;
  controls.rules = rules == Rules::kDefault ? Gbk(u8"过滤规则1\r\n过滤规则2\r\n过滤规则3")
                                            : Gbk(u8"广告.*?结束\r\nwww\\.\\w+\\.com\r\n过滤规则3");
  const Fetcher fetch = site.Fetch();
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildChapterText(0, ChapterJob{book, controls, fetch}, ChapterMode::kDownload));
  }
  ReportRate(state, site);
}

void BM_BigPageGbk(benchmark::State& state) {
  RunBigPage(state, false, Rules::kNone);
}
void BM_BigPageGbkDefaultRules(benchmark::State& state) {
  RunBigPage(state, false, Rules::kDefault);
}
void BM_BigPageGbkPatternRules(benchmark::State& state) {
  RunBigPage(state, false, Rules::kPatterns);
}
void BM_BigPageUtf8(benchmark::State& state) {
  RunBigPage(state, true, Rules::kNone);
}
BENCHMARK(BM_BigPageGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPageGbkDefaultRules)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPageGbkPatternRules)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPageUtf8)->Unit(benchmark::kMillisecond);

// What `lekto-cli show` does with a 4 MB chapter page, the fetch left out: 2,000 decoy blocks (recommended
// chapters, advertisements) and the body. `layout` puts the body where the written search finds it (in a div),
// as bare text that no element wraps, or writes it in English: the last two need the page read as a browser
// reads it.
enum class Layout { kInDiv, kBare, kEnglish };

std::string DecoyPage(Layout layout) {
  constexpr std::size_t kSize = 4 << 20;
  const std::string sentence = layout == Layout::kEnglish
                                   ? std::string("The wind came down the valley, and the lamp burned low. ")
                                   : Gbk(u8"山风从谷口吹进来，带着一股潮湿的松木气味。少年把油灯拨亮了一些。");
  std::string page = "<html><head><meta charset=\"gbk\"><title>bench</title></head>\r\n<body>\r\n";
  for (int i = 0; i < 1000; ++i) {
    page += "<div class=\"item\"><a href=\"/b/" + std::to_string(i) + ".html\">" + Gbk(u8"第") + std::to_string(i) +
            Gbk(u8"章 推荐阅读") + "</a></div>\r\n";
    page += "<span class=\"ad\">" + Gbk(u8"广告位招租，联系客服") + "</span>\r\n";
  }
  page += layout == Layout::kBare ? "<br/>" : "<div id=\"content\">";
  while (page.size() < kSize) page += "&nbsp;&nbsp;&nbsp;&nbsp;" + sentence + sentence + "<br />\r\n<br />\r\n";
  page += layout == Layout::kBare ? "" : "</div>";
  page += "\r\n</body></html>\r\n";
  return page;
}

void RunDecoyPage(benchmark::State& state, Layout layout) {
  MemorySite site;
  site.pages[std::string(kHost) + "/b/1.html"] = DecoyPage(layout);
  Book book;
  book.siteRoot = kHost;
  book.chapterTitles = {Gbk(u8"第1章")};
  book.chapterLinks = {std::string(kHost) + "/b/1.html"};
  BenchControls controls;
  controls.address = std::string(kHost) + "/b/index.html";
  const Fetcher fetch = site.Fetch();
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildChapterText(0, ChapterJob{book, controls, fetch}, ChapterMode::kViewer));
  }
  ReportRate(state, site);
}

void BM_Show4MbDecoys(benchmark::State& state) {
  RunDecoyPage(state, Layout::kInDiv);
}
void BM_Show4MbDecoysBareBody(benchmark::State& state) {
  RunDecoyPage(state, Layout::kBare);
}
void BM_Show4MbDecoysEnglish(benchmark::State& state) {
  RunDecoyPage(state, Layout::kEnglish);
}
BENCHMARK(BM_Show4MbDecoys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show4MbDecoysBareBody)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show4MbDecoysEnglish)->Unit(benchmark::kMillisecond);

#ifdef LEKTO_CORPUS_DIR
// Every chapter page of the saved real pages, one row each, as `show` reads it.
void BM_CorpusChapters(benchmark::State& state) {
  const std::filesystem::path root = std::getenv("LEKTO_CORPUS") ? std::getenv("LEKTO_CORPUS") : LEKTO_CORPUS_DIR;
  MemorySite site;
  Book book;
  book.siteRoot = kHost;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name.rfind("ch", 0) != 0) continue;
    const std::string link = std::string(kHost) + "/" + std::filesystem::relative(entry.path(), root).generic_string();
    site.pages[link] = ReadFile(entry.path());
    book.chapterTitles.push_back(name);
    book.chapterLinks.push_back(link);
  }
  if (book.RowCount() == 0) state.SkipWithError("no corpus");
  BenchControls controls;
  controls.address = std::string(kHost) + "/index.html";
  const Fetcher fetch = site.Fetch();
  for (auto _ : state) {
    // The last row follows every link; each row alone is what `show` reads.
    for (int row = 0; row < book.RowCount(); ++row) {
      Book one = book;
      one.chapterTitles = {book.chapterTitles[row]};
      one.chapterLinks = {book.chapterLinks[row]};
      benchmark::DoNotOptimize(BuildChapterText(0, ChapterJob{one, controls, fetch}, ChapterMode::kViewer));
    }
  }
  ReportRate(state, site);
}
BENCHMARK(BM_CorpusChapters)->Unit(benchmark::kMillisecond);
#endif

// The pieces on the same page, to see where the time goes.
void BM_PickBigPage(benchmark::State& state) {
  const std::string page = BigPage(1 << 20, false);
  for (auto _ : state) benchmark::DoNotOptimize(PickBodyCandidate(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PickBigPage)->Unit(benchmark::kMillisecond);

void BM_CleanBigBody(benchmark::State& state) {
  const std::string body = PickBodyCandidate(BigPage(1 << 20, false)) + "\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(CleanBody(body));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_CleanBigBody)->Unit(benchmark::kMillisecond);

#ifdef LEKTO_FIXTURE_SITE
// Every row of the fixture's GBK and UTF-8 books, continuation pages included.
void RunFixtureBook(benchmark::State& state, const std::string& name) {
  const std::filesystem::path root = LEKTO_FIXTURE_SITE;
  MemorySite site;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root / name)) {
    if (entry.is_regular_file()) {
      site.pages[std::string(kHost) + "/" + std::filesystem::relative(entry.path(), root).generic_string()] =
          ReadFile(entry.path());
    }
  }
  Book book;
  book.siteRoot = kHost;
  std::istringstream rows(ReadFile(root / "expected" / name / "rows.tsv"));
  for (std::string line; std::getline(rows, line);) {
    const std::size_t tab = line.find('\t');
    book.chapterTitles.push_back(text::Utf8ToAnsi(line.substr(0, tab)));
    book.chapterLinks.push_back(kHost + line.substr(tab + 1));
  }
  BenchControls controls;
  controls.address = std::string(kHost) + "/" + name + "/index.html";
  const Fetcher fetch = site.Fetch();
  for (auto _ : state) {
    for (int row = 0; row < book.RowCount(); ++row) {
      benchmark::DoNotOptimize(BuildChapterText(row, ChapterJob{book, controls, fetch}, ChapterMode::kDownload));
    }
  }
  ReportRate(state, site);
}

void BM_FixtureGbkBook(benchmark::State& state) {
  RunFixtureBook(state, "gbk");
}
void BM_FixtureUtf8Book(benchmark::State& state) {
  RunFixtureBook(state, "utf8");
}
BENCHMARK(BM_FixtureGbkBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FixtureUtf8Book)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace lekto
