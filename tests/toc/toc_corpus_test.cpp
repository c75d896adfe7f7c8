// ParseToc over tables of contents saved from real novel sites, served at addresses that keep their relative
// links working, against what MANIFEST.tsv says a reader sees on each page.
#include "toc/toc_parser.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include "support/corpus.h"
#include "support/fake_controls.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace lekto {
namespace {

const std::string kCorpus = testsupport::CorpusFolder().string();

struct ManifestToc {
  int chapterLinks = 0;
  std::string firstTitle;  // UTF-8
  std::string lastTitle;
};

// The table-of-contents rows of MANIFEST.tsv by file, columns found by their header names.
std::map<std::string, ManifestToc> ReadManifest() {
  std::ifstream in(kCorpus + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = text::Split(line, "\t");
  const auto column = [&](std::string_view name) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  const std::size_t file = column("file"), links = column("toc_chapter_links"), first = column("toc_first_title"),
                    last = column("toc_last_title");
  std::map<std::string, ManifestToc> tocs;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
    if (cells.size() <= std::max({file, links, first, last}) || cells[links].empty()) continue;
    // "3325 in ul#chapterList (+5 ...)": the leading number is the count.
    tocs[cells[file]] = ManifestToc{std::atoi(cells[links].c_str()), cells[first], cells[last]};
  }
  return tocs;
}

struct CorpusCase {
  const char* file;     // in MANIFEST.tsv
  const char* address;  // path on the test server
  const char8_t* bookTitle;
  // Chapters the rules drop from the list a reader sees, and why.
  int dropped;
};

// biquge_com_tw links chapters from the site root (/17_17275/NNN.html) and biquge_info by bare file name, so
// both are served under their book folder; the mirror's "./NNN.html" resolves against the folder of its page.
// Under "/74_74132/" the addresses have the same length as on the real site, so the length test of the filter
// sees what it would see there.
const CorpusCase kCases[] = {
    {"biquge_com_tw/toc.html", "/17_17275/toc.html", u8"主神崛起", 0},
    {"biquge_info/toc.html", "/74_74132/toc.html", u8"我师兄实在太稳健了", 0},
    // 26 chapters carry the title of a later one (the site numbers two consecutive chapters 第767章, and so
    // on): two links, two chapters, all listed.
    {"mirror_52mb/toc.html", "/52mb/toc.html", u8"上门龙婿叶辰", 0},
};

class TocCorpusTest : public testing::TestWithParam<CorpusCase> {
 protected:
  static void SetUpTestSuite() {
    if (!testsupport::HaveCorpus()) return;
    server_ = new testsupport::TestServer;
    server_->ServeStatic("/17_17275/", kCorpus + "/biquge_com_tw");
    server_->ServeStatic("/74_74132/", kCorpus + "/biquge_info");
    server_->ServeStatic("/52mb/", kCorpus + "/mirror_52mb");
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { LEKTO_SKIP_WITHOUT_CORPUS(); }

  static inline testsupport::TestServer* server_ = nullptr;
};

TEST_P(TocCorpusTest, RowsAndTitlesMatchTheManifest) {
  const CorpusCase& c = GetParam();
  const std::map<std::string, ManifestToc> manifest = ReadManifest();
  ASSERT_TRUE(manifest.contains(c.file));
  const ManifestToc& expected = manifest.at(c.file);

  const std::optional<Book> book = ParseToc(testsupport::FakeControls(server_->HttpUrl(c.address)), DefaultFetcher());
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, text::Gbk(c.bookTitle));
  ASSERT_EQ(book->RowCount(), expected.chapterLinks - c.dropped);
  EXPECT_EQ(text::AnsiToUtf8(book->chapterTitles.front()), expected.firstTitle);
  EXPECT_EQ(text::AnsiToUtf8(book->chapterTitles.back()), expected.lastTitle);
  // Every row lies in the book's folder on the server.
  const std::string folder = std::string(c.address).substr(0, std::string(c.address).rfind('/') + 1);
  for (const std::string& link : book->chapterLinks) {
    ASSERT_TRUE(text::StartsWith(link, server_->HttpUrl(folder))) << link;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, TocCorpusTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CorpusCase>& info) {
                           return std::string(info.param.file).substr(0, std::string(info.param.file).find('/'));
                         });

TEST(TocCorpus, MirrorKeepsBothChaptersOfOneTitle) {
  LEKTO_SKIP_WITHOUT_CORPUS();
  testsupport::TestServer server;
  server.ServeStatic("/52mb/", kCorpus + "/mirror_52mb");
  const std::optional<Book> book =
      ParseToc(testsupport::FakeControls(server.HttpUrl("/52mb/toc.html")), DefaultFetcher());
  ASSERT_TRUE(book);
  const std::string title = text::Gbk(u8"第767章");
  const auto found = std::find(book->chapterTitles.begin(), book->chapterTitles.end(), title);
  ASSERT_NE(found, book->chapterTitles.end());
  ASSERT_EQ(std::count(book->chapterTitles.begin(), book->chapterTitles.end(), title), 2);
  const std::size_t row = found - book->chapterTitles.begin();
  EXPECT_EQ(book->chapterTitles[row + 1], title);
  EXPECT_EQ(book->chapterLinks[row], server.HttpUrl("/52mb/1123372.html"));
  EXPECT_EQ(book->chapterLinks[row + 1], server.HttpUrl("/52mb/1123373.html"));
  EXPECT_FALSE(book->listedNewestFirst);
}

// Tables of contents the written rules read wrong, each a kind of failure the second opinion mends: a menu row
// ahead of the chapters (ptwxz), menus at both ends of a list that runs newest first (uukanshu), chapter links in
// table cells (tw_hjwzw), link texts over several lines with a date after the title and a title element the
// written rule cannot read (masiro), and an English list (wuxiaworld). Served from the corpus root, so the links
// keep their folders.
struct SecondOpinionCase {
  const char* file;
  const char8_t* bookTitle;
  int dropped;       // rows of the manifest's count that are not chapters
  bool newestFirst;  // the site lists the last chapter first; the rows stand in reading order
};

const SecondOpinionCase kSecondOpinionCases[] = {
    {"ptwxz_com/toc.html", u8"全球高武", 0, false},
    // "血裔实习生" and one more title are listed twice, each time for two chapters: all stay.
    {"uukanshu_com/toc.html", u8"原来我是妖二代", 0, true},
    {"tw_hjwzw_com/toc.html", u8"原來我是妖二代", 0, false},
    {"masiro_me/toc.html",
     u8"扑杀魔女的游戏日记~听说攻击力是魔法师的性命，所以就全点在这种感觉的属性上了，结果成为了力量点满的死脑筋魔女~",
     0, false},
    // The written title rule stops at the first blank ("Heavenly"): og:title names the book.
    {"EN_wuxiaworld_com/toc.html", u8"Heavenly Jewel Change", 0, false},
};

class TocSecondOpinionTest : public testing::TestWithParam<SecondOpinionCase> {};

TEST_P(TocSecondOpinionTest, RowsAndTitlesMatchTheManifest) {
  LEKTO_SKIP_WITHOUT_CORPUS();
  const SecondOpinionCase& c = GetParam();
  const std::map<std::string, ManifestToc> manifest = ReadManifest();
  ASSERT_TRUE(manifest.contains(c.file));
  const ManifestToc& expected = manifest.at(c.file);
  testsupport::TestServer server;
  server.ServeStatic("/", kCorpus);

  const std::optional<Book> book =
      ParseToc(testsupport::FakeControls(server.HttpUrl("/" + std::string(c.file))), DefaultFetcher());
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, text::Gbk(c.bookTitle));
  ASSERT_EQ(book->RowCount(), expected.chapterLinks - c.dropped);
  const std::string first = text::AnsiToUtf8(book->chapterTitles.front());
  const std::string last = text::AnsiToUtf8(book->chapterTitles.back());
  // The manifest may add a note after the title: "关于标题 (杂项 section); first numbered: ...".
  std::string firstCell = expected.firstTitle;
  if (firstCell.find(';') != std::string::npos) firstCell.erase(firstCell.find(" ("));
  EXPECT_EQ(first, firstCell);
  EXPECT_EQ(last, expected.lastTitle);
  EXPECT_EQ(book->listedNewestFirst, c.newestFirst);
}

INSTANTIATE_TEST_SUITE_P(Corpus, TocSecondOpinionTest, testing::ValuesIn(kSecondOpinionCases),
                         [](const testing::TestParamInfo<SecondOpinionCase>& info) {
                           return std::string(info.param.file).substr(0, std::string(info.param.file).find('/'));
                         });

// The chapter list as one run on the pages of the newer sites: a block of other chapters above page 1 of a list
// (bqgyy), a "latest" link above the first thirty (novelbin), a bare fragment of 309 links, a fragment whose rows
// carry a row number and a date and whose second half a numbered link names (readwn), a list newest first under
// buttons with dates and prices in the rows (reaperscans), a second link-like tag in every row (royalroadl), an
// aggregator's numbered releases inside menus (novelupdates), and numbered titles without a chapter marker (999wx).
// The titles are the ones a reader sees on the page, written out here.
struct RunCase {
  const char* file;
  int rows;
  const char8_t* first;
  const char8_t* last;
  bool newestFirst;
};

const RunCase kRunCases[] = {
    {"www_bqgyy_net/toc.html", 20, u8"第1章 我在做梦", u8"第20章 路遇顽石", false},
    {"EN_novelbin_net/toc.html", 30, u8"Chapter 1. Prologue", u8"Chapter 30. Confession of the Dead (1)", false},
    {"EN_novelbin_net/toc_ajax.html", 309, u8"Chapter 1. Prologue",
     u8"Chapter 309. Those Who Meet Must Part, And Those Who Part Will Meet Again (2)", false},
    {"EN_www_readwn_com/toc.html", 172, u8"Chapter 001", u8"Chapter 172", false},
    {"EN_reaperscans_com/toc.html", 32, u8"Chapter 131 - Apostle of Evil (2)", u8"Chapter 162 - Declaring War (1)",
     true},
    {"EN_royalroadl_com/toc.html", 94, u8"Prologue: The Shattering of Ways", u8"Rolling the Dice 3", false},
    {"EN_www_novelupdates_com/toc.html", 15, u8"c182", u8"c196", true},
    {"www_999wx_com/toc.html", 93, u8"故事梗概", u8"92、悬浮一族", false},
};

class TocRunCorpusTest : public testing::TestWithParam<RunCase> {};

TEST_P(TocRunCorpusTest, RowsInReadingOrderWithTheirTitles) {
  LEKTO_SKIP_WITHOUT_CORPUS();
  const RunCase& c = GetParam();
  testsupport::TestServer server;
  server.ServeStatic("/", kCorpus);
  const std::string loopback = server.HttpUrl("/");
  const Fetcher fetch = [&](const std::string& url) {
    // The saved pages link to their sites: only the loopback server is asked. The fragment's second half is
    // loaded from the address its numbered link names.
    if (!text::StartsWith(url, loopback)) return http::Response::Answered({}, 404);
    if (text::Contains(url, "/e/extend/fy.php?page=1&"))
      return DefaultFetcher()(server.HttpUrl("/EN_www_readwn_com/toc_p2.html"));
    return DefaultFetcher()(url);
  };
  const std::optional<Book> book =
      ParseToc(testsupport::FakeControls(server.HttpUrl("/" + std::string(c.file))), fetch);
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), c.rows);
  EXPECT_EQ(text::AnsiToUtf8(book->chapterTitles.front()), reinterpret_cast<const char*>(c.first));
  EXPECT_EQ(text::AnsiToUtf8(book->chapterTitles.back()), reinterpret_cast<const char*>(c.last));
  EXPECT_EQ(book->listedNewestFirst, c.newestFirst);
  const std::set<std::string> links(book->chapterLinks.begin(), book->chapterLinks.end());
  EXPECT_EQ(links.size(), book->chapterLinks.size()) << "a chapter listed twice";
}

INSTANTIATE_TEST_SUITE_P(Corpus, TocRunCorpusTest, testing::ValuesIn(kRunCases),
                         [](const testing::TestParamInfo<RunCase>& info) {
                           std::string name = info.param.file;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace lekto
