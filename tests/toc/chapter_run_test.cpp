// A chapter list read as one run of chapters, on small pages of the kinds that went wrong, served by the local test
// server: a block of other chapters above page 1 of a list, an English list newest first with buttons, dates and
// prices, a bare fragment whose rows carry a row number and a date and whose next page is a numbered link, a list
// spread over the pages of a page menu, and an aggregator's numbered releases among a bigger menu.
#include "toc/toc_parser.h"
#include "toc/toc_row_ends.h"

#include "support/fake_controls.h"
#include "support/temp_folder.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lekto {
namespace {

using testsupport::FakeControls;
using testsupport::TempFolder;
using testsupport::TestServer;
using text::Gbk;

TEST(ChapterNumber, ReadsTheNumberATitleGives) {
  const std::pair<const char8_t*, long> numbered[] = {
      {u8"第1678章 拖出去杀了！", 1678},
      {u8"第一百二十三章 归来", 123},
      {u8"第 12 节", 12},
      {u8"七百八十九 斗转星移", 789},
      {u8"92、悬浮一族", 92},
      {u8"Chapter 2. 25 Years Later (1)", 2},
      {u8"c196", 196},
      {u8"Ep. 3", 3},
      {u8"001 Chapter 001", 1},
      {u8"第十章", 10},
      {u8"第两千零一章", 2001},
  };
  for (const auto& [title, number] : numbered)
    EXPECT_EQ(ChapterNumber(Gbk(title)), number) << text::AnsiToUtf8(Gbk(title));
  for (const char8_t* title : {u8"完本感言！", u8"一念之间", u8"Read First Chapter", u8"Prologue", u8"", u8"番外"}) {
    EXPECT_EQ(ChapterNumber(Gbk(title)), std::nullopt) << text::AnsiToUtf8(Gbk(title));
  }
}

TEST(StripRowExtras, KeepsTheTitleAsThePageShowsIt) {
  const std::pair<const char8_t*, const char8_t*> cases[] = {
      {u8"Chapter 12 3 days ago", u8"Chapter 12"},
      {u8"Chapter 162 - Declaring War (1) Released 1 day ago", u8"Chapter 162 - Declaring War (1)"},
      {u8"Chapter 5 · 2,301 words", u8"Chapter 5"},
      {u8"001 Chapter 001 6 hours ago", u8"Chapter 001"},
      {u8"第3章 归来 2023-05-01 12:30", u8"第3章 归来"},
      {u8"第4章 风起 3000字", u8"第4章 风起"},
      // What a title says of itself stays.
      {u8"Chapter 7 - Part 1/2", u8"Chapter 7 - Part 1/2"},
      {u8"第1章 1999年", u8"第1章 1999年"},
      {u8"12 Days Later", u8"12 Days Later"},
      {u8"3 days ago", u8"3 days ago"},  // nothing would be left of it
      {u8"第8章 你好", u8"第8章 你好"},
  };
  for (const auto& [title, stripped] : cases)
    EXPECT_EQ(StripRowExtras(Gbk(title)), Gbk(stripped)) << text::AnsiToUtf8(Gbk(title));
}

class ChapterRunTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    pages_ = new TempFolder("lekto-run");
    server_ = new TestServer;
    server_->ServeStatic("/run/", pages_->Path().string());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete pages_;
  }
  void SetUp() override { server_->ClearRequests(); }

  static std::optional<Book> Parse(const std::string& page) {
    return ParseToc(FakeControls(server_->HttpUrl("/run/" + page)), DefaultFetcher());
  }
  static std::string Url(const std::string& path) { return server_->HttpUrl(path); }
  static int Requests() { return static_cast<int>(server_->Requests().size()); }

  static inline TempFolder* pages_ = nullptr;
  static inline TestServer* server_ = nullptr;
};

std::string Link(const std::string& href, const std::string& text) {
  return "<a href=\"" + href + "\">" + text + "</a>";
}

std::string Utf8Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body>" +
         "<div class=\"nav\">" + Link("/", "Home") + Link("/ranking/", "Ranking") + Link("/login/", "Login") +
         "</div>" + body + "<div class=\"foot\">" + Link("/contact/", "Contact Us") + "</div></body></html>";
}

std::vector<std::string> Titles(const Book& book) {
  std::vector<std::string> titles;
  for (const std::string& t : book.chapterTitles) titles.push_back(text::AnsiToUtf8(t));
  return titles;
}

// Page 1 of a list of twenty chapters a page, under a block of the six newest (not on this page), with a reading
// button and the page menu; the later pages are gone.
TEST_F(ChapterRunTest, NewestBlockAndButtonAbovePageOneGo) {
  std::string latest = "<div class=\"latest\"><a href=\"/run/b/1.html\">开始阅读</a><ul>";
  for (int n = 360; n > 354; --n)
    latest += "<li>" + Link("/run/b/" + std::to_string(16526450 + n) + ".html", "第" + std::to_string(n) + "章 新章") +
              "</li>";
  std::string list = "</ul></div><div class=\"list\"><ul>";
  for (int n = 1; n <= 20; ++n)
    list += "<li>" + Link("/run/b/" + std::to_string(16526450 + n) + ".html", "第" + std::to_string(n) + "章 旧章") +
            "</li>";
  list += "</ul><a href=\"/run/b/index_2.html\">下一页</a></div>";
  pages_->Write("b/index.html", Utf8Page("梦书最新章节", latest + list));
  const std::optional<Book> book = Parse("b/index.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 20);
  EXPECT_EQ(Titles(*book).front(), "第1章 旧章");
  EXPECT_EQ(Titles(*book).back(), "第20章 旧章");
  EXPECT_EQ(book->chapterLinks.front(), Url("/run/b/16526451.html"));
  EXPECT_FALSE(book->listedNewestFirst);
}

// An English list newest first: a title box, a date box and a price in every link, "Read First Chapter" and
// "Read Latest Chapter" buttons above it. The rows come in reading order with their titles alone.
TEST_F(ChapterRunTest, EnglishListNewestFirstWithButtonsDatesAndPrices) {
  std::string body = "<div class=\"hero\">" + Link("/run/n/chapters/11-chapter-1", "Read First Chapter") +
                     Link("/run/n/chapters/90-chapter-40", "Read Latest Chapter") + "</div><ul>";
  for (int n = 40; n >= 9; --n) {
    body += "<li><a href=\"/run/n/chapters/" + std::to_string(50 + n) + "-chapter-" + std::to_string(n) +
            "\"><div class=\"row\"><div class=\"t\"><div><p>Chapter " + std::to_string(n) + " - Part " +
            std::to_string(n % 3) + "</p></div><div><p>Released " + std::to_string(n) +
            " days ago</p></div></div><div class=\"price\"><span>12</span></div></div></a></li>";
  }
  body += "</ul>";
  pages_->Write("n/index.html", Utf8Page("Returned Player", body));
  const std::optional<Book> book = Parse("n/index.html");
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, "Returned Player");
  ASSERT_EQ(book->RowCount(), 32);
  EXPECT_TRUE(book->listedNewestFirst);
  EXPECT_EQ(Titles(*book).front(), "Chapter 9 - Part 0");
  EXPECT_EQ(Titles(*book)[1], "Chapter 10 - Part 1");
  EXPECT_EQ(Titles(*book).back(), "Chapter 40 - Part 1");
  EXPECT_EQ(book->chapterLinks.front(), Url("/run/n/chapters/59-chapter-9"));
}

// A bare fragment, as a site loads it by script: no head, no title, a link to the newest chapter above rows of a
// row number, the title and a time, and a numbered link "2" to the second half of the list.
TEST_F(ChapterRunTest, BareFragmentOverTwoNumberedPagesReadsWhole) {
  const auto fragment = [](int from, int to, const std::string& pager) {
    std::string page = "<div id=\"pages\">" + Link("/run/f/novel_120.html", "Chapter 120") + "<ul class=\"list\">";
    for (int n = from; n <= to; ++n) {
      char number[8];
      std::snprintf(number, sizeof number, "%03d", n);
      page += "<li><a href=\"/run/f/novel_" + std::string(number) + ".html\"><span class=\"no\">" + number +
              "</span> <strong>Chapter " + number + "</strong> <time>" + std::to_string(n % 7 + 1) +
              " hours ago</time></a></li>";
    }
    return page + "</ul>" + pager + "</div>";
  };
  pages_->Write("f/list.html", fragment(1, 100, "<div>" + Link("/run/f/list_2.html?page=1&amp;n=x", "2") + "</div>"));
  pages_->Write("f/list_2.html", fragment(101, 120, "<div>" + Link("/run/f/list.html", "1") + "</div>"));
  const std::optional<Book> book = Parse("f/list.html");
  ASSERT_TRUE(book);
  EXPECT_TRUE(book->title.empty());
  ASSERT_EQ(book->RowCount(), 120);
  EXPECT_EQ(Titles(*book).front(), "Chapter 001");
  EXPECT_EQ(Titles(*book)[99], "Chapter 100");
  EXPECT_EQ(Titles(*book).back(), "Chapter 120");
  EXPECT_EQ(book->chapterLinks.back(), Url("/run/f/novel_120.html"));
  EXPECT_EQ(Requests(), 2);  // page 2's link back to page 1 ends the walk
}

// No "下一页": a page menu names pages 2 and 3 (beside a menu of colours); each page's menu names all three, and
// page 3 also links to a page of reviews whose number follows it but which brings no chapters.
TEST_F(ChapterRunTest, PageMenuSpreadsTheListOverPages) {
  const auto page = [](int p) {
    std::string list =
        "<select id=\"color\"><option value=\"#FFF\">白</option><option value=\"16px\">16</option>"
        "</select><select id=\"pages\">";
    for (int q = 1; q <= 3; ++q) {
      list += "<option value=\"/run/m/" +
              (q == 1 ? std::string("index.html") : "index_" + std::to_string(q) + ".html") + "\">第" +
              std::to_string(q) + "页</option>";
    }
    list += "</select><dl>";
    for (int n = 10 * p - 9; n <= 10 * p; ++n)
      list +=
          "<dd>" + Link("/run/m/" + std::to_string(5000 + n) + ".html", "第" + std::to_string(n) + "章 章名") + "</dd>";
    list += "</dl>";
    if (p == 3) list += "<div>" + Link("/run/m/reviews.html", "4") + "</div>";
    return Utf8Page("页书", list);
  };
  for (int p = 1; p <= 3; ++p)
    pages_->Write(p == 1 ? "m/index.html" : "m/index_" + std::to_string(p) + ".html", page(p));
  pages_->Write("m/reviews.html", Utf8Page("页书", Link("/run/m/5030.html", "第30章 章名") + Link("/run/m/x", "好书")));
  const std::optional<Book> book = Parse("m/index.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 30);
  for (int n = 1; n <= 30; ++n) {
    EXPECT_EQ(Titles(*book)[n - 1], "第" + std::to_string(n) + "章 章名");
    EXPECT_EQ(book->chapterLinks[n - 1], Url("/run/m/" + std::to_string(5000 + n) + ".html"));
  }
  EXPECT_EQ(Requests(), 4);
}

// An aggregator's releases, newest first, titled "c15" … "c1", each row with a second link to the translator's
// group, inside menus of more links than rows.
TEST_F(ChapterRunTest, NumberedReleasesAmongABiggerMenu) {
  std::string menu = "<div class=\"menu\">";
  for (int i = 0; i < 40; ++i)
    menu += Link("/run/u/genre/g" + std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i / 26) + "/",
                 "Genre " + std::string(1, static_cast<char>('A' + i % 26)));
  menu += "</div><table>";
  for (int n = 15; n >= 1; --n) {
    menu += "<tr><td>" + Link("/run/u/group/moon/", "Moon Group") + "</td><td>" +
            Link("//" + Url("/run/u/extnu/" + std::to_string(7000 + 13 * n) + "/").substr(7), "c" + std::to_string(n)) +
            "</td></tr>";
  }
  pages_->Write("u/series.html", Utf8Page("Sky Road", menu + "</table>"));
  const std::optional<Book> book = Parse("u/series.html");
  ASSERT_TRUE(book);
  ASSERT_EQ(book->RowCount(), 15);
  EXPECT_TRUE(book->listedNewestFirst);
  EXPECT_EQ(Titles(*book).front(), "c1");
  EXPECT_EQ(Titles(*book).back(), "c15");
  EXPECT_EQ(book->chapterLinks.front(), Url("/run/u/extnu/7013/"));
}

}  // namespace
}  // namespace lekto
