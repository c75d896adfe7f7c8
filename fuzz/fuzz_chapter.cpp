// The chapter pipeline over pages served from the input: the first page of a row and the pages its links lead
// to come from the input in the order they are asked for, through every path of the controls. On each page the
// hand-written scanners must agree with the patterns they replace. Input: one byte of flags (转码, 预处理,
// 启用, viewer or download mode, first or last row), then the filter rules and the pages, separated by NUL bytes.
#include "chapter/body_cleanup.h"
#include "chapter/body_location.h"
#include "chapter/chapter_pipeline.h"
#include "chapter/page_loop.h"
#include "fuzz/fuzz_support.h"
#include "regex/regex_engine.h"
#include "support/fake_controls.h"
#include "text/text_codec.h"

namespace {

using lekto::RegexEngine;
using lekto::fuzz::Check;

// The regex runs of one comparison; a run the engine gave up counts as no answer, and the comparison is skipped.
struct Runs {
  bool complete = true;

  RegexEngine Run(const std::string& pattern, std::string_view subject) {
    RegexEngine engine;
    complete = engine.Compile(pattern, subject) && complete;
    return engine;
  }
  int CountHan(std::string_view subject) { return Run(R"([\u4e00-\u9fa5])", subject).MatchCount(); }
  std::string Delete(const std::string& pattern, std::string_view subject) {
    const RegexEngine engine = Run(pattern, subject);
    return engine.MatchCount() == 0 ? std::string(subject) : engine.Replace();
  }
};

// The body candidate as its rule states it, with the patterns.
std::string PickByPattern(const std::string& page, Runs& runs) {
  const int total = runs.CountHan(page);
  const RegexEngine candidates = runs.Run(R"(<div.*?>([\s\S]*?)</div>|<span.*?>([\s\S]*?)</span>)", page);
  std::string pick;
  int best = 0;
  for (int i = 1; i <= candidates.MatchCount(); ++i) {
    std::string candidate = candidates.GroupText(i, 1);
    if (candidate.empty()) candidate = candidates.GroupText(i, 2);
    const int n = runs.CountHan(candidate);
    if (n > best) {
      best = n;
      pick = candidate;
    }
    if (n * 2 > total) break;
  }
  return pick;
}

void CheckScanners(const std::string& page) {
  Runs runs;
  const int han = runs.CountHan(page);
  const std::string pick = PickByPattern(page, runs);
  const std::string collapsed = runs.Delete(R"(\n\s*\r)", page);
  const std::string untagged = runs.Delete(R"(<[\w\s\.=\-,:;%"'/\(\)]+>)", page);
  static const std::string kNextPage =
      lekto::text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一页[:\u4e00-\u9fa5\s\(\)\w]*</a>)");
  static const std::string kNextChapter = lekto::text::Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一章</a>)");
  const std::string nextPage = runs.Run(kNextPage, page).GroupText(1, 1);
  const std::string nextChapter = runs.Run(kNextChapter, page).GroupText(1, 1);
  if (!runs.complete) return;
  Check(lekto::CountHan(page) == han, "CountHan counts what the pattern matches");
  Check(lekto::PickBodyCandidate(page) == pick, "PickBodyCandidate picks what the patterns pick");
  Check(lekto::CollapseBlankLines(page) == collapsed, "CollapseBlankLines deletes what its pattern matches");
  Check(lekto::RemoveTags(page) == untagged, "RemoveTags deletes what its pattern matches");
  Check(lekto::NextPageLink(page) == nextPage, "NextPageLink finds what its pattern finds");
  Check(lekto::NextChapterLink(page) == nextChapter, "NextChapterLink finds what its pattern finds");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::vector<std::string> pieces =
      lekto::fuzz::Pieces(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 8);
  const std::vector<std::string> pages(pieces.begin() + 1, pieces.end());

  lekto::testsupport::FakeControls controls("http://fuzz.test/b/");
  controls.SetTranscode(flags & 1);
  controls.SetPreprocess(flags & 2);
  controls.SetFilters(flags & 4, pieces[0]);
  lekto::Book book;
  book.title = lekto::text::Gbk(u8"书名");
  book.siteRoot = "http://fuzz.test";
  for (int i = 1; i <= 3; ++i) {
    book.chapterTitles.push_back(lekto::text::Gbk(u8"第") + std::to_string(i) + lekto::text::Gbk(u8"章"));
    book.chapterLinks.push_back("http://fuzz.test/b/" + std::to_string(i) + ".html");
  }
  std::size_t served = 0;
  // An empty page is answered "404 Not Found"; past the last page nothing arrives at all.
  const lekto::Fetcher fetch = [&](const std::string&) {
    if (served >= pages.size()) return lekto::http::Response();
    const std::string& page = pages[served++];
    return lekto::http::Response::Answered(page, page.empty() ? 404 : 200);
  };
  const int row = flags & 16 ? 2 : 0;
  lekto::BuildChapterText(row, lekto::ChapterJob{book, controls, fetch},
                          flags & 8 ? lekto::ChapterMode::kViewer : lekto::ChapterMode::kDownload);
  Check(served <= static_cast<std::size_t>(lekto::kMaxChapterPages), "no chapter reads more pages than its cap");

  for (std::size_t i = 0; i < pages.size() && i < 2; ++i) CheckScanners(pages[i]);
  if (!pieces[0].empty()) lekto::ApplyUserFilters(pages.empty() ? std::string() : pages[0], pieces[0]);
  return 0;
}
