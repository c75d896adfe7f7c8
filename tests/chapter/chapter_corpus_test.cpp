// The pipeline on pages saved from real novel sites: each chapter's text must begin with the body a reader
// sees (the first 30 Chinese characters named in MANIFEST.tsv).
#include "chapter/chapter_pipeline.h"
#include "site_test_support.h"
#include "support/corpus.h"
#include "support/fake_controls.h"
#include "support/test_server.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"
#include "toc/toc_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace lekto::chaptertest {
namespace {

namespace fs = std::filesystem;
using testsupport::FakeControls;

const fs::path kCorpus = testsupport::CorpusFolder();
const std::string kTitle = "corpus-row";  // never part of a page: the title line always goes in front

// file -> first 30 Chinese characters of its body, from the manifest.
std::map<std::string, std::u16string> ManifestBodies() {
  std::map<std::string, std::u16string> bodies;
  std::istringstream lines(ReadFileBytes(kCorpus / "MANIFEST.tsv"));
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    if (fields.size() > 10 && !fields[10].empty()) bodies[fields[0]] = text::ToWide(fields[10], 65001);
  }
  return bodies;
}

// The Chinese characters of GBK text, in order.
std::u16string HanOf(const std::string& gbk) {
  std::u16string han;
  for (char16_t c : text::ToWide(gbk, 936)) {
    if (c >= 0x4E00 && c <= 0x9FA5) han += c;
  }
  return han;
}

// A page the residue tests read: its text must begin with the manifest's body, end with `lastLine` (the page's
// last line of story, line breaks after it aside) and hold none of `junk`.
struct WholeBody {
  std::string file;
  std::u8string_view lastLine;
  std::vector<std::u8string_view> junk;
};

class CorpusTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testsupport::HaveCorpus()) return;
    // The mirror's pages link each other as "./1047591_2.html", which resolves against the folder of the page,
    // so they are served in a folder of their own under the names they had.
    mirror_ = std::make_unique<TempFolder>();
    const std::pair<const char*, const char*> names[] = {{"ch1.html", "1047591.html"},
                                                         {"ch1_p2.html", "1047591_2.html"},
                                                         {"ch1_p3.html", "1047591_3.html"},
                                                         {"ch2.html", "1047592.html"},
                                                         {"toc.html", "mulu.html"}};
    for (const auto& [from, to] : names) fs::copy_file(kCorpus / "mirror_52mb" / from, mirror_->Path() / to);
    server_ = std::make_unique<testsupport::TestServer>();
    server_->ServeStatic("/corpus/", kCorpus.string());
    server_->ServeStatic("/52mb/", mirror_->Path().string());
  }
  static void TearDownTestSuite() {
    server_.reset();
    mirror_.reset();
  }
  void SetUp() override { LEKTO_SKIP_WITHOUT_CORPUS(); }

  // The text of row 0 of a book whose rows are `links` (paths on the server), read with `controls`.
  std::string FirstRowText(const std::vector<std::string>& links, const FakeControls& controls) {
    Book book;
    book.siteRoot = server_->HttpUrl("");
    for (const std::string& link : links) {
      book.chapterTitles.push_back(kTitle);
      book.chapterLinks.push_back(server_->HttpUrl(link));
    }
    return RowText(book, 0, controls);
  }

  // The text of `row` of `book` without the title line put in front of it.
  std::string RowText(const Book& book, int row, const FakeControls& controls) {
    const std::string title = book.TitleAt(row);
    const std::string text = BuildChapterText(row, ChapterJob{book, controls, fetch_}, ChapterMode::kViewer);
    EXPECT_TRUE(text::StartsWith(text, title + "\r\n"));
    return text.substr(std::min(text.size(), title.size() + 2));
  }

  // Each page's text begins with the manifest's body, ends with the page's last line of story and holds none of
  // its junk.
  void ExpectWholeBodies(const std::vector<WholeBody>& pages) {
    const auto bodies = ManifestBodies();
    for (const WholeBody& page : pages) {
      SCOPED_TRACE(page.file);
      const std::string folder = fs::path(page.file).parent_path().string();
      FakeControls controls(server_->HttpUrl("/corpus/" + folder + "/toc.html"));
      const std::string text = FirstRowText({"/corpus/" + page.file, "/corpus/next.html"}, controls);
      EXPECT_EQ(HanOf(text).substr(0, 30), bodies.at(page.file));
      // A continuation page that is not there (wenku8_net links one) adds an empty line at the end.
      const std::string_view story = std::string_view(text).substr(0, text.find_last_not_of("\r\n") + 1);
      EXPECT_TRUE(text::EndsWith(story, text::Gbk(page.lastLine)));
      for (std::u8string_view junk : page.junk) EXPECT_FALSE(text::Contains(text, text::Gbk(junk))) << Utf8(junk);
    }
  }

  static std::string Utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

  // The paths the server was asked for since the last ClearRequests.
  static std::vector<std::string> Fetched() {
    std::vector<std::string> paths;
    for (const auto& request : server_->Requests()) paths.push_back(request.target);
    return paths;
  }

  Fetcher fetch_ = DefaultFetcher();
  static std::unique_ptr<TempFolder> mirror_;
  static std::unique_ptr<testsupport::TestServer> server_;
};

std::unique_ptr<TempFolder> CorpusTest::mirror_;
std::unique_ptr<testsupport::TestServer> CorpusTest::server_;

TEST_F(CorpusTest, SinglePageChaptersBeginWithTheirBody) {
  const auto bodies = ManifestBodies();
  for (const std::string file : {"biquge_com_tw/ch1.html", "biquge_info/ch1.html"}) {
    SCOPED_TRACE(file);
    FakeControls controls(server_->HttpUrl("/corpus/" + fs::path(file).parent_path().string() + "/toc.html"));
    const std::u16string han = HanOf(FirstRowText({"/corpus/" + file, "/corpus/next.html"}, controls));
    EXPECT_EQ(han.substr(0, 30), bodies.at(file));
  }
}

// Pages read in the charset of their bytes, as a browser reads them, with no switch ticked: zongheng_com
// declares no charset (its server names UTF-8 in a header) and wenku8_net's meta tag says gbk over UTF-8
// bytes. Both once needed "转码", and wenku8_net stayed garbled even with it. Ticked, "转码" still reads the
// page as percent-encoded UTF-8, which gives the same text here.
TEST_F(CorpusTest, PagesAreReadInTheCharsetOfTheirBytes) {
  const auto bodies = ManifestBodies();
  for (const std::string file : {"zongheng_com/ch1.html", "wenku8_net/ch1.html"}) {
    SCOPED_TRACE(file);
    const std::vector<std::string> rows = {"/corpus/" + file, "/corpus/next.html"};
    FakeControls controls(server_->HttpUrl("/corpus/" + fs::path(file).parent_path().string() + "/toc.html"));
    const std::string text = FirstRowText(rows, controls);
    EXPECT_LE(HanOf(text).find(bodies.at(file)), 10u);
    controls.SetTranscode(true);
    EXPECT_EQ(FirstRowText(rows, controls), text);
  }
}

// The body elements of these pages hold the body and also what the written cleanup leaves in the text: the
// code of scripts and comments (zongheng_com: two scripts and "<!-- 正常输出文章内容 -->" ahead of the
// paragraphs; biquge_info: the body wrapped in "<!--go-->" and "<!--over-->").
TEST_F(CorpusTest, ScriptsAndCommentsInTheBodyElementAreNotRead) {
  ExpectWholeBodies({{"zongheng_com/ch1.html",
                      u8"走在泥瓶巷里的少年，好像想起了谁，一下子就泪流满面了。",
                      {u8"getElementById", u8"<!--", u8"正常输出"}},
                     {"biquge_info/ch1.html", u8"果然，是自己想象中……\r\n英武的大师兄！", {u8"<!--"}}});
}

// tw_hjwzw_com's body element opens with "請記住本站域名" and a line of the book's link, whose tag keeps its
// Chinese title attribute through the cleanup, and the chapter's name.
TEST_F(CorpusTest, AHeadingLineWithARawTagIsNotRead) {
  ExpectWholeBodies({{"tw_hjwzw_com/ch1.html",
                      u8"男人的身影閃了閃，與熒光同化，他在那邊關閉了通訊。",
                      {u8"<a", u8"請記住", u8"第二十九章"}}});
}

// wenku8_net's body element holds the site's watermark, with its address, at its head and at its end.
TEST_F(CorpusTest, WatermarkLinesAreNotRead) {
  ExpectWholeBodies({{"wenku8_net/ch1.html", u8"从这天起，我成为了哈特家的佣人。", {u8"wenku8", u8"轻小说文库"}}});
}

// EN_royalroadl_com's chapter is six paragraphs on a page that is mostly readers' comments, each with a name, a
// date and "Reply": the comments hold more words and lose to the chapter.
TEST_F(CorpusTest, CommentsLoseToAShortChapter) {
  FakeControls controls(server_->HttpUrl("/corpus/EN_royalroadl_com/toc.html"));
  const std::string text = FirstRowText({"/corpus/EN_royalroadl_com/ch1.html", "/corpus/next.html"}, controls);
  EXPECT_TRUE(text::StartsWith(text, "Blood poured from the man")) << text.substr(0, 80);
  EXPECT_TRUE(text::Contains(text, "how it had all began"));
  EXPECT_FALSE(text::Contains(text, "Wrote:"));
  EXPECT_FALSE(text::Contains(text, "Reply"));
}

// The mirror's chapter 1 spans three pages whose links to the next page are labelled "下一章"
// ("./1047591_2.html", then "./1047591_3.html": the first page's name with a page suffix), so both are followed
// as pages of the chapter; page 3's "下一章" ("./1047592.html") names the next chapter and ends it. Read through
// the mirror's own table of contents, and again as the last row, where the next chapter is not listed.
TEST_F(CorpusTest, MirrorChapterFollowsItsNextChapterLabelledPagesAndStopsAtTheNextChapter) {
  const auto bodies = ManifestBodies();
  FakeControls controls(server_->HttpUrl("/52mb/mulu.html"));
  const std::optional<Book> parsed = ParseToc(controls, fetch_);
  ASSERT_TRUE(parsed);
  ASSERT_GT(parsed->RowCount(), 3000);
  ASSERT_EQ(parsed->LinkAt(0), server_->HttpUrl("/52mb/1047591.html"));
  Book whole = *parsed;
  whole.chapterTitles[0] = kTitle;  // the page holds its own title "第1章"; this one always goes in front
  Book lastRow = whole;
  lastRow.chapterTitles.resize(1);
  lastRow.chapterLinks.resize(1);

  const Book* const books[] = {&whole, &lastRow};
  for (const Book* book : books) {
    SCOPED_TRACE(book->RowCount());
    server_->ClearRequests();
    const std::u16string han = HanOf(RowText(*book, 0, controls));
    std::size_t from = 0;
    for (const char* page : {"mirror_52mb/ch1.html", "mirror_52mb/ch1_p2.html", "mirror_52mb/ch1_p3.html"}) {
      const std::size_t at = han.find(bodies.at(page), from);
      EXPECT_NE(at, std::u16string::npos) << page;
      if (from == 0) {
        EXPECT_EQ(at, 0u) << "the text begins with the first page";
      }
      if (at != std::u16string::npos) from = at + 30;
    }
    EXPECT_EQ(han.find(bodies.at("mirror_52mb/ch2.html")), std::u16string::npos);
    EXPECT_EQ(Fetched(),
              (std::vector<std::string>{"/52mb/1047591.html", "/52mb/1047591_2.html", "/52mb/1047591_3.html"}));
  }
}

// Bodies the written search misses, read as a browser reads the page: a chapter that stands bare in the page
// beside a boxed disclaimer (the search takes the disclaimer), and English chapters (the search counts Chinese
// characters only and finds nothing). The cleanup chain runs over them as over any body.
TEST_F(CorpusTest, BodiesTheWrittenSearchMissesAreReadAsABrowserShowsThem) {
  const auto bodies = ManifestBodies();
  FakeControls controls(server_->HttpUrl("/corpus/ptwxz_com/index.html"));
  const std::string bare = FirstRowText({"/corpus/ptwxz_com/ch1.html", "/corpus/next.html"}, controls);
  EXPECT_EQ(HanOf(bare).substr(0, 30), bodies.at("ptwxz_com/ch1.html"));
  EXPECT_FALSE(text::Contains(bare, text::Gbk(u8"重要声明"))) << "the disclaimer is not the body";
  EXPECT_FALSE(text::Contains(bare, "&nbsp;"));

  for (const std::string file : {"EN_wuxiaworld_com/ch1.html", "EN_wuxiaworld_com/ch3.html"}) {
    SCOPED_TRACE(file);
    // The manifest holds "(English) " and the first words of the prose.
    const std::string words = text::Mid(text::FromWide(bodies.at(file), 65001), 11, 30);
    controls.SetAddress(server_->HttpUrl("/corpus/EN_wuxiaworld_com/toc.html"));
    const std::string english = FirstRowText({"/corpus/" + file, "/corpus/next.html"}, controls);
    const int at = text::Find(english, words);
    EXPECT_GT(at, 0);
    EXPECT_LT(at, 200) << "the prose comes first, after at most its heading";
    EXPECT_FALSE(text::Contains(english, "Next Chapter"));
    EXPECT_GT(english.size(), 5000u);
  }
}

}  // namespace
}  // namespace lekto::chaptertest
