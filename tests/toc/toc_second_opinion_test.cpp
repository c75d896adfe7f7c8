// The table of contents' second opinion on lists and pages built in the test: chapter markers, link shapes, the
// menu rows dropped at the ends of the written list, the decision that the list failed, and the run of
// chapter links that replaces it.
#include "toc/toc_second_opinion.h"

#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lekto {
namespace {

using text::Gbk;

TEST(ChapterMarker, TellsChapterTitlesFromOtherLinks) {
  for (const char8_t* title :
       {u8"第一章 穿越", u8"第 12 节", u8"第1678章 拖出去杀了！", u8"第二十九回", u8"第三卷 风起",
        u8"第6话 往哈特家的后门", u8"第１２章", u8"序章 Prologue", u8"楔子", u8"番外：除夕", u8"Chapter 1 Big Sis",
        u8"CHAPTER 12", u8"chapter  3", u8"Prologue", u8"书名 第九百章"}) {
    EXPECT_TRUE(HasChapterMarker(Gbk(title))) << text::AnsiToUtf8(Gbk(title));
  }
  for (const char8_t* title : {u8"书架", u8"用户中心", u8"排行榜单", u8"第一", u8"第几章", u8"上架感言", u8"完本感言！",
                               u8"Chapters", u8"Chapter list", u8"七百八十九 斗转星移", u8""}) {
    EXPECT_FALSE(HasChapterMarker(Gbk(title))) << text::AnsiToUtf8(Gbk(title));
  }
}

TEST(LinkShape, KeepsTheFolderAndNumbersTheFile) {
  EXPECT_EQ(LinkShape("http://h/17_17275/8142.html"), "http://h/17_17275/#.html");
  EXPECT_EQ(LinkShape("http://h/Book/Read/37176,15476202"), "http://h/Book/Read/#,#");
  EXPECT_EQ(LinkShape("https://h/admin/novelReading?cid=72460"), "https://h/admin/novelReading?cid=#");
  EXPECT_EQ(LinkShape("http://h/a/b?next=/c/1"), "http://h/a/b?next=/c/#");
  EXPECT_EQ(LinkFolder("http://h/novel/x/hjc-book-1-chapter-1-01"), "http://h/novel/x/");
  EXPECT_EQ(LinkFolder("http://h"), "http://h");
}

Book ListOf(const std::vector<std::pair<const char8_t*, std::string>>& rows) {
  Book book;
  for (const auto& [title, link] : rows) {
    book.chapterTitles.push_back(Gbk(title));
    book.chapterLinks.push_back(link);
  }
  return book;
}

// Menus at both ends go; an author's note between chapters, a note at an end that shares the chapters' shape,
// and a chapter at an end whose address is written another way all stay.
TEST(DropMenuRows, DropsMenusAtTheEndsOnly) {
  Book book = ListOf({{u8"书架", "http://h/modules/bookcase.php"},
                      {u8"用户中心", "http://h/user/"},
                      {u8"完本感言！", "http://h/b/1/90.html"},
                      {u8"第1章 开端", "http://h/b/1/100.html"},
                      {u8"请假一天", "http://h/b/1/101.html"},
                      {u8"感谢诸位", "http://h/thanks.html"},
                      {u8"第2章 风起", "http://h/b/1/102.html"},
                      {u8"二之一", "http://h/b/1/103.html"},
                      {u8"二之二", "http://h/b/1/104.html"},
                      {u8"二之三", "http://h/b/1/105.html"},
                      {u8"第3章 后来", "http://h/b/1/x-106"},
                      {u8"排行榜单", "http://h/top/"},
                      {u8"点击删除", "javascript:del()"}});
  DropMenuRows(book);
  ASSERT_EQ(book.RowCount(), 9);
  EXPECT_EQ(book.chapterTitles.front(), Gbk(u8"完本感言！"));
  EXPECT_EQ(book.chapterTitles[3], Gbk(u8"感谢诸位"));
  EXPECT_EQ(book.chapterTitles.back(), Gbk(u8"第3章 后来"));
  EXPECT_EQ(book.chapterLinks.front(), "http://h/b/1/90.html");
  EXPECT_EQ(book.chapterLinks.back(), "http://h/b/1/x-106");

  // Without a shape most rows share, nothing is told apart and nothing goes.
  Book mixed = ListOf({{u8"书架", "http://h/a.php"}, {u8"关于", "http://h/b/"}, {u8"第1章", "http://h/c/1.html"}});
  DropMenuRows(mixed);
  EXPECT_EQ(mixed.RowCount(), 3);

  // A new serial under a longer site menu: three marked rows of one shape are the run.
  Book young = ListOf({{u8"首页", "http://h/"},
                       {u8"玄幻", "http://h/sort/1/"},
                       {u8"仙侠", "http://h/sort/2/"},
                       {u8"排行榜", "http://h/top/"},
                       {u8"第1章 灯火", "http://h/s/1.html"},
                       {u8"第2章 野", "http://h/s/2.html"},
                       {u8"第3章 晚钟", "http://h/s/3.html"},
                       {u8"关于", "http://h/about/"}});
  DropMenuRows(young);
  ASSERT_EQ(young.RowCount(), 3);
  EXPECT_EQ(young.chapterLinks.front(), "http://h/s/1.html");
  EXPECT_EQ(young.chapterLinks.back(), "http://h/s/3.html");
}

TEST(TocRowsFailed, AsksForTheRunOnlyWhenMostRowsAreNoChapters) {
  int asked = 0;
  const auto run = [&](std::size_t size) {
    return [&asked, size] {
      ++asked;
      return size;
    };
  };
  // Bare numbers without a marker count as chapters when they share the marked rows' shape.
  const Book good =
      ListOf({{u8"第1章", "http://h/b/1.html"}, {u8"二", "http://h/b/2.html"}, {u8"三", "http://h/b/3.html"}});
  EXPECT_FALSE(TocRowsFailed(good, run(500)));
  EXPECT_EQ(asked, 0);

  const Book menus = ListOf({{u8"首页", "http://h/"}, {u8"书架", "http://h/shelf/"}, {u8"第1章", "http://h/b/1.html"}});
  EXPECT_TRUE(TocRowsFailed(menus, run(544)));
  EXPECT_FALSE(TocRowsFailed(menus, run(1))) << "a run no bigger than the chapter rows changes nothing";
  EXPECT_TRUE(TocRowsFailed(Book(), run(3)));
  EXPECT_FALSE(TocRowsFailed(Book(), run(0)));
  EXPECT_EQ(asked, 4);
}

// The run: chapter links laid out in table cells, their texts over several lines, a latest-chapters block that
// repeats two of them above the list, a recommendation of another book, a menu, and a last chapter whose address
// is written another way.
TEST(FindChapterRun, TakesTheChapterLinksInDocumentOrder) {
  std::string page =
      Gbk(u8"<html><body><a href=\"/\">首页</a><a href=\"/shelf/\">书架</a>"
          u8"<div>最新章节：<a href=\"/b/9/5.html\">第5章 尾声</a><a href=\"/b/9/4.html\">第4章 将近</a></div>"
          u8"<table>");
  for (int n = 1; n <= 5; n += 2) {
    page += "<tr><td><a href=\"/b/9/" + std::to_string(n) + Gbk(u8".html\">\n第") + std::to_string(n) +
            Gbk(u8"章\n<b>题</b>\n</a>\n</td><td><a href=\"/b/9/") + std::to_string(n + 1) + Gbk(u8".html\">第") +
            std::to_string(n + 1) + Gbk(u8"章 题</a></td></tr>");
  }
  page +=
      Gbk(u8"</table><a href=\"/b/9/special-7\">第7章 终</a>"
          u8"<a href=\"/b/12/1.html\">第1章 别的书</a><a href=\"javascript:void(0)\">第8章</a></body></html>");
  const ChapterRun run = FindChapterRun({{"http://h/b/9/", html::ReadPage(page)}}, "http://h/b/9/", "http://h");
  std::vector<std::string> titles, links;
  for (int n = 1; n <= 6; ++n) {
    titles.push_back(Gbk(u8"第") + std::to_string(n) + Gbk(u8"章 题"));
    links.push_back("http://h/b/9/" + std::to_string(n) + ".html");
  }
  titles.push_back(Gbk(u8"第7章 终"));
  links.push_back("http://h/b/9/special-7");
  EXPECT_EQ(run.titles, titles);
  EXPECT_EQ(run.links, links);

  EXPECT_TRUE(
      FindChapterRun({{"http://h/", html::ReadPage(Gbk(u8"<a href=/1.html>第1章</a><a href=/2.html>第2章</a>"))}},
                     "http://h/", "http://h")
          .links.empty())
      << "two chapter links are no run";
}

TEST(BookTitleFailed, OnlyAMissingOrCutTitle) {
  const std::string english = "<head><title>Heavenly Jewel Change - WuxiaWorld</title>";
  EXPECT_TRUE(BookTitleFailed("", english));
  EXPECT_TRUE(BookTitleFailed("Heavenly", english));
  EXPECT_FALSE(BookTitleFailed("Heavenly", "<title>Heavenly - WuxiaWorld</title>"));
  EXPECT_FALSE(BookTitleFailed("Heavenly", "<title>Heavenly  </title>"));
  // A Chinese name ends at a blank by design: what follows is the author or the site.
  EXPECT_FALSE(BookTitleFailed(Gbk(u8"书名"), Gbk(u8"<title>书名 作者 Novel</title>")));
}

TEST(FallbackBookTitle, TakesTheFirstPlaceThatNamesTheBook) {
  html::PageReading page;
  page.titleElement = Gbk(u8"书名最新章节_作者_某某小说网");
  EXPECT_EQ(FallbackBookTitle(page), Gbk(u8"书名"));
  page.titleElement = Gbk(u8"Heavenly Jewel Change - WuxiaWorld");
  EXPECT_EQ(FallbackBookTitle(page), "Heavenly Jewel Change");
  page.heading = Gbk(u8" 扑杀魔女的游戏日记~听说攻击力是魔法师的性命，所以就全点了 ");
  EXPECT_EQ(FallbackBookTitle(page), Gbk(u8"扑杀魔女的游戏日记~听说攻击力是魔法师的性命，所以就全点了"));
  page.ogTitle = Gbk(u8"书名在线阅读");
  EXPECT_EQ(FallbackBookTitle(page), Gbk(u8"书名"));
  EXPECT_EQ(FallbackBookTitle(html::PageReading()), "");
}

}  // namespace
}  // namespace lekto
