// ParseToc over small pages served by the local test server: title, site root, link collection and filtering,
// and the walk over "下一页" pages.
#include "toc/toc_parser.h"

#include "support/fake_controls.h"
#include "support/temp_folder.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace lekto {
namespace {

using testsupport::FakeControls;
using testsupport::TempFolder;
using testsupport::TestServer;

std::string G(std::u8string_view utf8) {
  return text::Gbk(utf8);
}

std::string ChapterTitle(int n) {
  return G(u8"第") + std::to_string(n) + G(u8"章");
}

// The link of chapter `n`: root-relative, all of the same length.
std::string ChapterHref(int n) {
  return "/book/7/" + std::to_string(1000000 + n) + ".html";
}

// Chapters `from` to `to` as the list items most sites use.
std::string ChapterItems(int from, int to) {
  std::string items;
  for (int n = from; n <= to; ++n) items += "<dd><a href=\"" + ChapterHref(n) + "\">" + ChapterTitle(n) + "</a></dd>\n";
  return items;
}

// A GBK page with the site's navigation above `list`.
std::string TocPage(std::u8string_view title, const std::string& list, const std::string& after = {}) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n<title>" + G(title) +
         "</title></head>\n<body><div class=\"nav\"><a href=\"/\">" + G(u8"首页") + "</a> <a href=\"/xuanhuan/\">" +
         G(u8"玄幻小说") + "</a></div>\n<div id=\"list\"><dl>\n" + list + "</dl></div>\n" + after + "</body></html>\n";
}

std::string NextPageLink(const std::string& href) {
  return "<a href=\"" + href + "\">" + G(u8"下一页") + "</a>\n";
}

// One server and one page folder for the suite; every test writes pages of its own names.
class TocParserTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    pages_ = new TempFolder("lekto-toc");
    server_ = new TestServer;
    server_->ServeStatic("/toc/", pages_->Path().string());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete pages_;
  }
  void SetUp() override { server_->ClearRequests(); }

  std::optional<Book> Parse(const std::string& page) {
    return ParseToc(FakeControls(server_->HttpUrl("/toc/" + page)), DefaultFetcher());
  }
  std::string Root() const { return "http://127.0.0.1:" + std::to_string(server_->HttpPort()); }
  int RequestsFor(const std::string& path) const {
    const auto requests = server_->Requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                          [&](const testsupport::RecordedRequest& r) { return r.target == path; }));
  }

  static inline TempFolder* pages_ = nullptr;
  static inline TestServer* server_ = nullptr;
};

TEST_F(TocParserTest, TitleSiteRootAndChaptersInPageOrder) {
  pages_->Write("index.html", TocPage(u8"测试书最新章节_某站", ChapterItems(1, 20)));
  const std::optional<Book> book = Parse("index.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, G(u8"测试书"));
  EXPECT_EQ(book->siteRoot, Root());
  ASSERT_EQ(book->RowCount(), 20);
  ASSERT_EQ(book->chapterTitles.size(), book->chapterLinks.size());
  for (int n = 1; n <= 20; ++n) {
    EXPECT_EQ(book->chapterTitles[n - 1], ChapterTitle(n));
    EXPECT_EQ(book->chapterLinks[n - 1], Root() + ChapterHref(n));
  }
}

// Titles as the page shows them: references read, in the book's title and in every row's.
TEST_F(TocParserTest, CharacterReferencesInTitlesAreRead) {
  std::string list;
  for (int n = 1; n <= 6; ++n) {
    list +=
        "<dd><a href=\"" + ChapterHref(n) + "\">&#31532;" + std::to_string(n) + G(u8"章 甲&amp;乙&hellip;</a></dd>\n");
  }
  pages_->Write("refs.html", TocPage(u8"书名&#x4E2D;最新章节", list));
  const std::optional<Book> book = Parse("refs.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, G(u8"书名中"));
  ASSERT_EQ(book->RowCount(), 6);
  EXPECT_EQ(book->chapterTitles[0], G(u8"第1章 甲&乙…"));
  EXPECT_EQ(book->chapterTitles[5], G(u8"第6章 甲&乙…"));
}

TEST_F(TocParserTest, UpperCaseTitleTagAndHref) {
  std::string list;
  for (int n = 1; n <= 6; ++n) list += "<DD><A HREF='" + ChapterHref(n) + "'>" + ChapterTitle(n) + "</A></DD>\n";
  pages_->Write("upper.html",
                "<HTML><HEAD><TITLE>" + G(u8"大写书章节列表") + "</TITLE></HEAD><BODY>" + list + "</BODY></HTML>");
  const std::optional<Book> book = Parse("upper.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, G(u8"大写书"));
  ASSERT_EQ(book->RowCount(), 6);
  EXPECT_EQ(book->chapterLinks[5], Root() + ChapterHref(6));
}

TEST_F(TocParserTest, LatestBlockAboveTheFullListIsDropped) {
  std::string latest = "<div class=\"latest\">";
  for (int n = 300; n > 288; --n) latest += "<a href=\"" + ChapterHref(n) + "\">" + ChapterTitle(n) + "</a>\n";
  latest += "</div>\n";
  pages_->Write("latest.html", TocPage(u8"某书", latest + ChapterItems(1, 300)));
  const std::optional<Book> book = Parse("latest.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 300);
  EXPECT_EQ(book->chapterTitles.front(), ChapterTitle(1));
  EXPECT_EQ(book->chapterTitles[288], ChapterTitle(289));
  EXPECT_EQ(book->chapterTitles.back(), ChapterTitle(300));
}

TEST_F(TocParserTest, LinkTextStopsAtANestedTagButNotAtTheRemovedSpans) {
  const std::string list = "<dd><a href=\"" + ChapterHref(1) + "\"><span class=\"title\">" + ChapterTitle(1) +
                           "</span></a></dd>\n<dd><a href=\"" + ChapterHref(2) + "\"><span>" + ChapterTitle(2) +
                           "</span></a></dd>\n<dd><a href=\"" + ChapterHref(3) + "\">" + ChapterTitle(3) + "<em>" +
                           G(u8"新") + "</em></a></dd>\n" + ChapterItems(4, 6);
  pages_->Write("nested.html", TocPage(u8"某书", list));
  const std::optional<Book> book = Parse("nested.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 6);
  EXPECT_EQ(book->chapterTitles[0], ChapterTitle(1));
  EXPECT_EQ(book->chapterTitles[1], ChapterTitle(2));
  EXPECT_EQ(book->chapterTitles[2], ChapterTitle(3));
}

TEST_F(TocParserTest, ScriptLinksAreNoChapters) {
  // Bare file names resolve beside the table of contents, as "javascript:" would: same length class.
  std::string list = "<a href=\"javascript:;\">" + G(u8"投推荐票") + "</a> <a href=\"Javascript:void(0);\">" +
                     G(u8"加入书架") + "</a>\n";
  for (int n = 1; n <= 8; ++n) {
    list += "<a href=\"" + std::to_string(1000000 + n) + ".html\">" + ChapterTitle(n) + "</a>\n";
  }
  pages_->Write("script.html", TocPage(u8"某书", list));
  const std::optional<Book> book = Parse("script.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 8);
  EXPECT_EQ(book->chapterTitles.front(), ChapterTitle(1));
  EXPECT_EQ(book->chapterLinks.front(), Root() + "/toc/1000001.html");
}

TEST_F(TocParserTest, ExactlyThreeLinks) {
  std::string list;
  for (int n = 1; n <= 3; ++n) list += "<a href=\"" + ChapterHref(n) + "\">" + ChapterTitle(n) + "</a>\n";
  pages_->Write("three.html", "<title>" + G(u8"三章") + "</title>" + list);
  const std::optional<Book> book = Parse("three.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->chapterTitles, (std::vector<std::string>{ChapterTitle(1), ChapterTitle(2), ChapterTitle(3)}));
}

TEST_F(TocParserTest, ThreePagesLinkedByNextPage) {
  // The first link is a bare file name, the second a path from the site root: both resolve.
  pages_->Write("p1.html", TocPage(u8"分页书", ChapterItems(1, 10), NextPageLink("p2.html")));
  pages_->Write("p2.html", TocPage(u8"分页书", ChapterItems(11, 20), NextPageLink("/toc/p3.html")));
  pages_->Write("p3.html", TocPage(u8"分页书", ChapterItems(21, 30)));
  const std::optional<Book> book = Parse("p1.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 30);
  for (int n = 1; n <= 30; ++n) EXPECT_EQ(book->chapterTitles[n - 1], ChapterTitle(n));
  for (const char* page : {"/toc/p1.html", "/toc/p2.html", "/toc/p3.html"}) EXPECT_EQ(RequestsFor(page), 1) << page;
}

TEST_F(TocParserTest, PagesLinkingBackEndTheWalk) {
  pages_->Write("self.html", TocPage(u8"某书", ChapterItems(1, 5), NextPageLink("self.html")));
  std::optional<Book> book = Parse("self.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->RowCount(), 5);
  EXPECT_EQ(RequestsFor("/toc/self.html"), 1);

  // The first page is the longer one, so that the middle of the joined list falls on a chapter link.
  pages_->Write("a.html", TocPage(u8"某书", ChapterItems(1, 20), NextPageLink("b.html")));
  pages_->Write("b.html", TocPage(u8"某书", ChapterItems(21, 25), NextPageLink("a.html")));
  book = Parse("a.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->RowCount(), 25);
  EXPECT_EQ(RequestsFor("/toc/a.html"), 1);
  EXPECT_EQ(RequestsFor("/toc/b.html"), 1);
}

TEST_F(TocParserTest, UtfDecisionOfTheFirstPageHoldsForTheNext) {
  const std::u8string first =
      u8"<html><head><meta charset=\"utf-8\"><title>统一码书</title></head><body>"
      u8"<a href=\"/book/7/1000001.html\">第1章 开端</a>\n"
      u8"<a href=\"/book/7/1000002.html\">第2章 继续</a>\n"
      u8"<a href=\"/book/7/1000003.html\">第3章 转折</a>\n"
      u8"<a href=\"u2.html\">下一页</a></body></html>";
  // The second page declares nothing; it is UTF-8 all the same.
  const std::u8string second = u8"<html><body><a href=\"/book/7/1000004.html\">第4章 结局</a></body></html>";
  pages_->Write("u1.html", std::string(first.begin(), first.end()));
  pages_->Write("u2.html", std::string(second.begin(), second.end()));
  const std::optional<Book> book = Parse("u1.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, G(u8"统一码书"));
  ASSERT_EQ(book->RowCount(), 4);
  EXPECT_EQ(book->chapterTitles[0], G(u8"第1章 开端"));
  EXPECT_EQ(book->chapterTitles[3], G(u8"第4章 结局"));
}

// A typed address goes out as a browser sends it, Chinese as UTF-8, and the rows it leads to resolve against
// that form.
TEST_F(TocParserTest, TypedAddressIsSentAsUtf8AndPageLinksKeepTheirBytes) {
  std::string list;
  for (int n = 1; n <= 3; ++n)
    list += "<dd><a href=\"" + std::to_string(n) + ".html\">" + ChapterTitle(n) + "</a></dd>\n";
  pages_->Write(std::string(reinterpret_cast<const char*>(u8"书")) + "/index.html", TocPage(u8"书名", list));
  const std::optional<Book> book =
      ParseToc(FakeControls(Root() + "/toc/" + G(u8"书") + "/index.html"), DefaultFetcher());
  ASSERT_TRUE(book);
  ASSERT_EQ(server_->Requests().size(), 1u);
  EXPECT_EQ(server_->Requests()[0].target, "/toc/%E4%B9%A6/index.html");
  EXPECT_EQ(book->title, G(u8"书名"));
  const auto listed = [&](const std::string& link) {
    return std::find(book->chapterLinks.begin(), book->chapterLinks.end(), link) != book->chapterLinks.end();
  };
  EXPECT_TRUE(listed(Root() + "/toc/%E4%B9%A6/1.html"));
  EXPECT_TRUE(listed(Root() + "/toc/%E4%B9%A6/3.html"));
}

TEST_F(TocParserTest, AddressWithoutHttpIsRefused) {
  for (const char* address : {"", "ftp://127.0.0.1/toc/", "127.0.0.1/toc/index.html", "HTTP://127.0.0.1/"}) {
    EXPECT_FALSE(ParseToc(FakeControls(address), DefaultFetcher())) << address;
  }
  EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(TocParserTest, FailedFetchGivesAnEmptyBook) {
  // Nothing listens on port 1 of the loopback address.
  const std::optional<Book> book = ParseToc(FakeControls("http://127.0.0.1:1/toc/"), DefaultFetcher());
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, "");
  EXPECT_EQ(book->siteRoot, "http://127.0.0.1:1");
  EXPECT_EQ(book->RowCount(), 0);
}

// Pages served from memory: the walk must end without a server that would have to answer hundreds of pages.
TEST(TocParserPages, EndlessNextPagesStopAtThePageCap) {
  int fetches = 0;
  const Fetcher endless = [&](const std::string& url) {
    ++fetches;
    const int n = std::stoi(url.substr(url.rfind("/p") + 2));  // .../pN.html
    std::string page;
    for (int k = 3 * n; k < 3 * n + 3; ++k) {
      page += "<a href=\"/chapter/book/" + std::to_string(100000 + k) + ".html\">c" + std::to_string(k) + "</a>\n";
    }
    return http::Response::Answered(page + NextPageLink("p" + std::to_string(n + 1) + ".html"));
  };
  const std::optional<Book> book = ParseToc(FakeControls("http://127.0.0.1/toc/p1.html"), endless);
  ASSERT_TRUE(book);
  EXPECT_EQ(fetches, kMaxTocPages);
  EXPECT_EQ(book->RowCount(), 3 * kMaxTocPages);
}

}  // namespace
}  // namespace lekto
