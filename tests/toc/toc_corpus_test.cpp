// ParseToc over tables of contents saved from real novel sites, served at addresses that keep their relative
// links working, against what MANIFEST.tsv says a reader sees on each page.
#include "toc/toc_parser.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include "support/corpus.h"
#include "support/fake_controls.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
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

}  // namespace
}  // namespace lekto
