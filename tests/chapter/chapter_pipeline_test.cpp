#include "chapter/chapter_pipeline.h"

#include "chapter/page_loop.h"
#include "regex/regex_engine.h"
#include "site_test_support.h"
#include "support/fake_controls.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace lekto::chaptertest {
namespace {

using testsupport::FakeControls;
using text::Gbk;

const std::string kCrLf = "\r\n";

class PipelineTest : public SiteTest {
 protected:
  std::string Text(const Book& book, int row, ChapterMode mode) {
    return BuildChapterText(row, ChapterJob{book, controls_, fetch_}, mode);
  }

  FakeControls controls_;
  Fetcher fetch_ = DefaultFetcher();
};

TEST_F(PipelineTest, EveryRowOfTheFixtureBooksGivesItsExpectedText) {
  for (const std::string name : {"gbk", "utf8", "xbiquge"}) {
    const Book book = LoadBook(name);
    controls_.SetAddress(Url("/" + name + "/index.html"));
    ASSERT_GT(book.RowCount(), 1) << name;
    for (int row = 0; row < book.RowCount(); ++row) {
      const std::string expected = Expected(name + "/" + std::to_string(row + 1) + ".txt");
      EXPECT_EQ(Text(book, row, ChapterMode::kDownload), expected) << name << " row " << row;
    }
  }
}

TEST_F(PipelineTest, ViewerFollowsTheContinueReadingButtonAndTheDownloadDoesNot) {
  const Book book = LoadBook("gbk");
  controls_.SetAddress(Url("/gbk/index.html"));
  const int row = 11;  // chapter 12
  EXPECT_EQ(Text(book, row, ChapterMode::kViewer), Expected("gbk-viewer/12.txt"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/gbk/12.html", "/gbk/12_2.html"}));
  server_->ClearRequests();
  EXPECT_EQ(Text(book, row, ChapterMode::kDownload), Expected("gbk/12.txt"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/gbk/12.html"}));
  // Elsewhere both modes agree.
  for (int other : {0, 2, 4, 7, 18, 38}) {
    EXPECT_EQ(Text(book, other, ChapterMode::kViewer), Expected("gbk/" + std::to_string(other + 1) + ".txt"));
  }
}

// Each page of the body book carries one thing a chapter body keeps or loses: a watermark line among good
// paragraphs, "<" and "&" of the prose beside markup left in a sentence, bare text only the browser-like reading
// finds, headings printed twice over, a short English chapter under longer comments. Each row's text is the
// book's expected text byte for byte, in the viewer and the download alike: the written layout (two-space
// indents, one paragraph a line) throughout, whichever reading took the body.
TEST_F(PipelineTest, BodyBookRowsReadAsTheirPagesShowThem) {
  const Book book = LoadBook("body");
  controls_.SetAddress(Url("/body/index.html"));
  ASSERT_EQ(book.RowCount(), 5);
  for (int row = 0; row < book.RowCount(); ++row) {
    const std::string expected = Expected("body/" + std::to_string(row + 1) + ".txt");
    EXPECT_EQ(Text(book, row, ChapterMode::kDownload), expected) << "row " << row;
    EXPECT_EQ(Text(book, row, ChapterMode::kViewer), expected) << "row " << row;
    EXPECT_FALSE(text::Contains(expected, "www.")) << "row " << row;
    EXPECT_FALSE(text::Contains(expected, "&lt;")) << "row " << row;
  }
}

// NextPageLink and NextChapterLink run their patterns over the few bytes around each anchor text; on
// generated pages they must find what the patterns find over the whole page.
TEST(PageLinks, AgreeWithTheirPatternsOverTheWholePage) {
  const std::vector<std::string> pieces = {Gbk(u8"<a href=\"/b/2_2.html\">下一页</a>"),
                                           Gbk(u8"<a href=5.html>下一章</a>"),
                                           "<a href=\"/b/2.html\">",
                                           "<A HREF='3_2.html' class=\"next\">",
                                           "href=",
                                           "href=4.html",
                                           "<a href=\"?p=2\">",
                                           Gbk(u8">下一页"),
                                           Gbk(u8">下一章"),
                                           Gbk(u8"下一页"),
                                           Gbk(u8"(第2页)"),
                                           Gbk(u8"：上"),
                                           "</a>",
                                           "</A>",
                                           "<",
                                           ">",
                                           " ",
                                           "\r\n",
                                           "x",
                                           "\"",
                                           "=",
                                           "<b>"};
  auto byRegex = [](const std::string& pattern, const std::string& page) {
    RegexEngine engine;
    engine.Compile(pattern, page);
    return engine.GroupText(1, 1);
  };
  const std::string nextPage = Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一页[:\u4e00-\u9fa5\s\(\)\w]*</a>)");
  const std::string nextChapter = Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一章</a>)");
  std::mt19937 random(1208);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 30);
  int found = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string page;
    for (int n = length(random); n > 0; --n) page += pieces[piece(random)];
    ASSERT_EQ(NextPageLink(page), byRegex(nextPage, page)) << "page: " << page;
    ASSERT_EQ(NextChapterLink(page), byRegex(nextChapter, page)) << "page: " << page;
    if (!NextPageLink(page).empty()) ++found;
  }
  EXPECT_GT(found, 50) << "the generated pages should hold links often enough to test anything";
}

TEST(PageLinks, ManyAnchorTextsWithoutTagsAreOnePass) {
  std::string page;
  for (int i = 0; i < 200'000; ++i) page += Gbk(u8">下一页 ");
  page += Gbk(u8"<a href=\"x_2.html\">下一页</a>");
  EXPECT_EQ(NextPageLink(page), "x_2.html");
}

struct LoopCase {
  const char* name;
  const char* book;
  int row;
  std::vector<std::string> fetched;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LoopCase& c, std::ostream* os) {
  *os << c.name;
}

class PageLoopTest : public PipelineTest, public testing::WithParamInterface<LoopCase> {};

TEST_P(PageLoopTest, FetchesThePagesOfTheChapter) {
  const LoopCase& c = GetParam();
  const Book book = LoadBook(c.book);
  controls_.SetAddress(Url("/" + std::string(c.book) + "/index.html"));
  Text(book, c.row, ChapterMode::kDownload);
  EXPECT_EQ(Fetched(), c.fetched);
}

INSTANTIATE_TEST_SUITE_P(
    Fixture, PageLoopTest,
    testing::Values(
        // "下一章" to the next row's chapter ends the chapter.
        LoopCase{"NextRowStops", "gbk", 0, {"/gbk/1.html"}},
        LoopCase{"ThreePagesByNextPage", "gbk", 4, {"/gbk/5.html", "/gbk/5_2.html", "/gbk/5_3.html"}},
        // "下一章" to a later page of the same chapter ("8.html" -> "8_2.html") continues it.
        LoopCase{"NextChapterLinkToALaterPageContinues", "gbk", 7, {"/gbk/8.html", "/gbk/8_2.html"}},
        // Chapter 20 lost its row to the later 番外; row 19's "下一章" names that chapter, not a page of 19.
        LoopCase{"NextChapterLinkToAnUnlistedChapterEnds", "gbk", 18, {"/gbk/19.html"}},
        // The last row follows "下一页" but not "下一章" into the unlisted chapter 41.
        LoopCase{"LastRowStopsAtTheNextChapter", "gbk", 38, {"/gbk/40.html", "/gbk/40_2.html"}},
        LoopCase{"Utf8SecondPage", "utf8", 3, {"/utf8/4.html", "/utf8/4_2.html"}},
        LoopCase{"SpecialSitePages", "xbiquge", 0, {"/xbiquge/1.html", "/xbiquge/1_2.html", "/xbiquge/1_3.html"}}),
    [](const testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.name); });

TEST_F(PipelineTest, LinksBackToEarlierPagesEndTheChapter) {
  const Book book = PagesBook({"/misc/self.html", "/misc/loop_a.html", "/misc/endless/1.html"});
  controls_.SetAddress(Url("/misc/index.html"));
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "/misc/self.html" + kCrLf + Expected("misc/self.txt"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/misc/self.html"}));

  server_->ClearRequests();
  EXPECT_EQ(Text(book, 1, ChapterMode::kDownload), "/misc/loop_a.html" + kCrLf + Expected("misc/loop_a.txt"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/misc/loop_a.html", "/misc/loop_b.html"}));

  // The last row follows on and on: the page cap ends it.
  server_->ClearRequests();
  EXPECT_EQ(Text(book, 2, ChapterMode::kDownload), "/misc/endless/1.html" + kCrLf + Expected("misc/endless.txt"));
  EXPECT_EQ(static_cast<int>(Fetched().size()), kMaxChapterPages);
}

// A continuation stays on the chapter's host, and "下一章" continues a chapter only into a later page of it
// ("2.html" -> "2_2.html", here written with the scheme in capitals); a "下一页" to a sister host (localhost for
// 127.0.0.1) and a "下一章" to the next, not yet listed chapter after the last row both end the chapter.
TEST_F(PipelineTest, ContinuationsStayOnTheChaptersHostAndPages) {
  TempFolder folder;
  const std::string port = std::to_string(server_->HttpPort());
  const auto page = [&](const std::string& name, const char8_t* body, const std::string& link, const char8_t* label) {
    testsupport::WriteFileBytes(
        folder.Path() / name, Gbk(u8"<html><head><meta charset=\"gbk\"></head><body><div id=\"content\">") + Gbk(body) +
                                  "</div><a href=\"" + link + "\">" + Gbk(label) + "</a></body></html>");
  };
  page("1.html", u8"第一章正文在此。", "http://localhost:" + port + "/stay/1_2.html", u8"下一页");
  page("1_2.html", u8"别处的一页。", "", u8"");
  page("2.html", u8"第二章第一页。", "HTTP://127.0.0.1:" + port + "/stay/2_2.html", u8"下一章");
  page("2_2.html", u8"第二章第二页。", "./3.html", u8"下一章");
  page("3.html", u8"第三章尚未列出。", "", u8"");
  server_->ServeStatic("/stay/", folder.Path().string());
  const Book book = PagesBook({"/stay/1.html", "/stay/2.html"});
  controls_.SetAddress(Url("/stay/index.html"));

  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "/stay/1.html" + kCrLf + Gbk(u8"第一章正文在此。"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/stay/1.html"}));
  server_->ClearRequests();
  EXPECT_EQ(Text(book, 1, ChapterMode::kDownload),
            "/stay/2.html" + kCrLf + Gbk(u8"第二章第一页。") + kCrLf + Gbk(u8"第二章第二页。"));
  EXPECT_EQ(Fetched(), (std::vector<std::string>{"/stay/2.html", "/stay/2_2.html"}));
}

// References the written cleanup leaves reach the reader as the characters they stand for; the ones it removes
// stay removed.
TEST_F(PipelineTest, CharacterReferencesAreReadAsTheirCharacters) {
  TempFolder folder;
  testsupport::WriteFileBytes(folder.Path() / "1.html",
                              Gbk(u8"<html><head><meta charset=\"gbk\"></head><body><div id=\"content\">"
                                  u8"&nbsp;&nbsp;&quot;走吧。&quot;他说&hellip;&#8226;A&amp;B&#x2605;&lt;"
                                  u8"<br/><br/>&#31532;二行正文在此，够长。</div></body></html>"));
  server_->ServeStatic("/refs/", folder.Path().string());
  const Book book = PagesBook({"/refs/1.html"});
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload),
            "/refs/1.html" + kCrLf + text::Utf8ToText(reinterpret_cast<const char*>(u8"\"走吧。\"他说…•A&B★<")) +
                kCrLf + Gbk(u8"第二行正文在此，够长。"));
}

// The charset the HTTP header names reads a page that names none: four Big5 bytes, too few for a guess.
TEST_F(PipelineTest, HeaderCharsetReadsAPageThatNamesNone) {
  TempFolder folder;
  testsupport::WriteFileBytes(folder.Path() / "1.html", "<html><body><div>\xA4\xA4\xA4\xE5</div></body></html>");
  testsupport::WriteFileBytes(folder.Path() / "1.html.headers", "Content-Type: text/html; charset=big5\r\n");
  server_->ServeStatic("/big5/", folder.Path().string());
  const Book book = PagesBook({"/big5/1.html"});
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "/big5/1.html" + kCrLf + Gbk(u8"中文"));
}

TEST_F(PipelineTest, TranscodeReadsAPercentEncodedPage) {
  const Book book = PagesBook({"/misc/percent.html"});
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "");
  EXPECT_EQ(Text(book, 0, ChapterMode::kViewer), "/misc/percent.html" + kCrLf);
  controls_.SetTranscode(true);
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "/misc/percent.html" + kCrLf + Expected("misc/percent.txt"));
}

// Without "预处理" the written search takes the navigation bar, which holds far less text than the hidden body:
// the page read as a browser reads it gives the body's paragraphs instead. With "预处理" the written search finds
// the body itself.
TEST_F(PipelineTest, PreprocessUncoversAHiddenBody) {
  const Book book = PagesBook({"/misc/preprocess.html"});
  const std::string paragraphs = Expected("misc/preprocess.txt");  // " ", then one paragraph a line
  const std::string without = Text(book, 0, ChapterMode::kDownload);
  EXPECT_FALSE(text::Contains(without, Gbk(u8"首页 书架 排行")));
  EXPECT_EQ(without + kCrLf, "/misc/preprocess.html" + kCrLf + paragraphs.substr(3));
  controls_.SetPreprocess(true);
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "/misc/preprocess.html" + kCrLf + paragraphs);
}

TEST_F(PipelineTest, EmptyBodyGivesTheTitleInTheViewerAndNothingInTheDownload) {
  const Book book = PagesBook({"/misc/nodiv.html", "/misc/missing.html"});
  for (int row : {0, 1}) {
    EXPECT_EQ(Text(book, row, ChapterMode::kViewer), book.chapterTitles[row] + kCrLf);
    EXPECT_EQ(Text(book, row, ChapterMode::kDownload), "");
  }
}

TEST_F(PipelineTest, RowOutsideTheListFetchesNothing) {
  const Book book = LoadBook("gbk");
  EXPECT_EQ(Text(book, -1, ChapterMode::kViewer), "");
  EXPECT_EQ(Text(book, book.RowCount(), ChapterMode::kDownload), "");
  // The row after the last representable one is no row either.
  EXPECT_EQ(Text(book, std::numeric_limits<int>::max(), ChapterMode::kViewer), "");
  EXPECT_TRUE(Fetched().empty());
}

TEST_F(PipelineTest, FiltersRunOnlyWhenEnabledAndABrokenRuleLosesNothing) {
  const Book book = LoadBook("gbk");
  controls_.SetAddress(Url("/gbk/index.html"));
  const std::string plain = Text(book, 0, ChapterMode::kDownload);
  ASSERT_TRUE(text::Contains(plain, Gbk(u8"灯笼的光")));

  controls_.SetFilters(false, Gbk(u8"灯笼的光"));
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), plain);
  controls_.SetFilters(true, "(\r\n" + Gbk(u8"灯笼的光") + "\r\n[");
  const std::string filtered = Text(book, 0, ChapterMode::kDownload);
  EXPECT_FALSE(text::Contains(filtered, Gbk(u8"灯笼的光")));
  EXPECT_EQ(filtered, text::ReplaceAll(plain, Gbk(u8"灯笼的光"), ""));

  // A rule that removes everything leaves the download with nothing, and the viewer with the title.
  controls_.SetFilters(true, R"([\s\S]*)");
  EXPECT_EQ(Text(book, 0, ChapterMode::kDownload), "");
  EXPECT_EQ(Text(book, 0, ChapterMode::kViewer), book.chapterTitles[0] + kCrLf);
}

TEST(BuildChapterText, TitleGoesInFrontOnlyWhenTheTextLacksIt) {
  const std::string page = Gbk(u8"<div id=\"content\">正文开始，第1章在此，正文结束</div>");
  const Fetcher fetch = [&page](const std::string&) { return http::Response::Answered(page); };
  FakeControls controls;
  Book book;
  book.chapterTitles = {Gbk(u8"第1章"), Gbk(u8"第2章")};
  book.chapterLinks = {"http://h/1.html", "http://h/2.html"};
  const ChapterJob job{book, controls, fetch};
  EXPECT_EQ(BuildChapterText(0, job, ChapterMode::kDownload), Gbk(u8"正文开始，第1章在此，正文结束"));
  EXPECT_EQ(BuildChapterText(1, job, ChapterMode::kDownload), Gbk(u8"第2章\r\n正文开始，第1章在此，正文结束"));
}

class DownloadChapterTest : public PipelineTest {
 protected:
  bool Download(const Book& book, int row) { return DownloadChapter(row, book, controls_, fetch_, folder_.Path()); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempFolder folder_;
  const std::string done_ = Gbk(u8"下载完成");
};

TEST_F(DownloadChapterTest, WritesTheChapterFileAndMarksTheRowDone) {
  const Book book = LoadBook("gbk");
  controls_.SetAddress(Url("/gbk/index.html"));
  ASSERT_TRUE(Download(book, 9));
  EXPECT_EQ(Files(), std::vector<std::string>{"10.txt"});
  EXPECT_EQ(ReadFileBytes(folder_.Path() / "10.txt"), Expected("gbk/10.txt") + kCrLf);
  EXPECT_EQ(controls_.RowState(9), done_);
  EXPECT_EQ(controls_.RowStates().size(), 1u);
}

TEST_F(DownloadChapterTest, UntickedRowFetchesNothing) {
  const Book book = LoadBook("gbk");
  controls_.SetRowChecked(0, false);
  EXPECT_FALSE(Download(book, 0));
  EXPECT_TRUE(Fetched().empty());
  EXPECT_TRUE(Files().empty());
  EXPECT_TRUE(controls_.RowStates().empty());
}

TEST_F(DownloadChapterTest, EmptyTextWritesNothingAndKeepsTheState) {
  const Book book = PagesBook({"/misc/nodiv.html"});
  EXPECT_FALSE(Download(book, 0));
  EXPECT_EQ(Fetched().size(), 1u);
  EXPECT_TRUE(Files().empty());
  EXPECT_TRUE(controls_.RowStates().empty());
}

TEST_F(DownloadChapterTest, MissingFolderIsNoSuccess) {
  const Book book = LoadBook("gbk");
  EXPECT_FALSE(DownloadChapter(0, book, controls_, fetch_, folder_.Path() / "gone"));
  EXPECT_TRUE(controls_.RowStates().empty());
}

TEST_F(DownloadChapterTest, RowOutsideTheListIsNoSuccess) {
  const Book book = LoadBook("gbk");
  EXPECT_FALSE(Download(book, book.RowCount()));
  EXPECT_TRUE(Files().empty());
}

TEST(ChapterFile, IsNamedByTheRowCountedFromOne) {
  EXPECT_EQ(ChapterFilePath("/t", 0), std::filesystem::path("/t/1.txt"));
  EXPECT_EQ(ChapterFilePath("/t", 9), std::filesystem::path("/t/10.txt"));
  EXPECT_EQ(ChapterFilePath("/t", std::numeric_limits<int>::max()), std::filesystem::path("/t/2147483648.txt"));
}

TEST(ChapterFile, ReplacesTheOldFileWholeAndLeavesNoTemporaryFile) {
  TempFolder folder;
  ASSERT_TRUE(WriteChapterFile(folder.Path(), 2, "a much longer first text"));
  ASSERT_TRUE(WriteChapterFile(folder.Path(), 2, Gbk(u8"短")));
  EXPECT_EQ(ReadFileBytes(folder.Path() / "3.txt"), Gbk(u8"短") + kCrLf);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++files;
  EXPECT_EQ(files, 1);
  EXPECT_FALSE(WriteChapterFile(folder.Path() / "gone", 0, "x"));
}

}  // namespace
}  // namespace lekto::chaptertest
