// ReadPage on pages written in the test: what a browser shows, as links, text blocks and title places.
#include "html/page_reading.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace lekto::html {
namespace {

using text::Gbk;

std::string Repeat(std::u8string_view line, int times) {
  std::string lines;
  for (int i = 0; i < times; ++i) lines += Gbk(line);
  return lines;
}

// One page with the layouts that defeat a line-by-line reading: a link whose text runs over lines and inner tags,
// a link laid out as title and date boxes, a body of bare text beside a boxed disclaimer, navigation and
// address lines inside the body, a script, and the three places of a title.
TEST(PageReading, ReadsAPageAsABrowserShowsIt) {
  const std::string page =
      Gbk(u8"<html><head><title>书名最新章节_某某小说网</title>"
          u8"<meta property=\"og:title\" content=\" 书名 \"><style>div{color:red}</style></head><body>"
          u8"<h1><a href=\"/book/\">书名</a> 第一章 开端</h1>"
          u8"<a href=\"/1.html\">\r\n  <span>第一章</span>\r\n  开端\r\n  <small>2024-01-01</small>\r\n</a>"
          u8"<a href=\"/2.html\"><li><span>第二章&nbsp;\n</span><span><span>24-01-02</span> (更新)</span></li></a>"
          u8"<div class=\"box\">本站所有小说均由网友上传，如有侵权请联系删除。</div>"
          u8"请记住本站域名：www.example.com<br>"
          u8"<script>var x = '这段脚本不是正文，也不算字数，从来不算。';</script>") +
      Repeat(u8"&nbsp;&nbsp;&nbsp;&nbsp;山风从谷口吹进来，带着一股潮湿的松木气味。<br/><br/>", 6) +
      Gbk(u8"<a href=\"/0.html\">上一章</a> <a href=\"/\">目录</a> <a href=\"/2.html\">下一章</a>"
          u8"<div><p>English words in a Chinese page count for nothing.</p></div></body></html>");
  const PageReading reading = ReadPage(page);

  ASSERT_EQ(reading.links.size(), 6u);
  EXPECT_EQ(reading.links[0].href, "/book/");
  EXPECT_EQ(reading.links[1].href, "/1.html");
  EXPECT_EQ(reading.links[1].text, Gbk(u8"第一章 开端 2024-01-01"));
  EXPECT_EQ(reading.links[1].leadText, reading.links[1].text) << "bare text between the boxes keeps the whole";
  EXPECT_EQ(reading.links[2].text, Gbk(u8"第二章 24-01-02 (更新)"));
  EXPECT_EQ(reading.links[2].leadText, Gbk(u8"第二章"));
  EXPECT_EQ(reading.links[5].text, Gbk(u8"下一章"));

  EXPECT_TRUE(reading.chinese);
  const TextBlock* best = BestBlock(reading);
  ASSERT_NE(best, nullptr);
  // The bare text that no element wraps: the heading, the address line, the script and the chapter links are
  // no body lines.
  std::string lines;
  for (int i = 0; i < 6; ++i) lines += (i ? "\r\n" : "") + Gbk(u8"山风从谷口吹进来，带着一股潮湿的松木气味。");
  EXPECT_EQ(best->text, lines);
  EXPECT_EQ(best->units, 6 * 19);
  EXPECT_EQ(best->paragraphs, 6);
  EXPECT_EQ(best->punctuation, 12);

  EXPECT_EQ(reading.ogTitle, Gbk(u8"书名"));
  EXPECT_EQ(reading.heading, Gbk(u8"书名 第一章 开端"));
  EXPECT_EQ(reading.titleElement, Gbk(u8"书名最新章节_某某小说网"));
}

// A page without Chinese is scored by words; a percent-encoded blob or a number is no word, and a menu of links
// is no body however long.
TEST(PageReading, LatinPagesCountWords) {
  std::string prose;
  for (int i = 0; i < 5; ++i) prose += "<p>The wind came down the valley, and the lamp burned low.</p>\n";
  const std::string page =
      "<body><div class=nav><a href=/a>Home</a> <a href=/b>Novels</a> <a href=/c>Forum</a> "
      "<a href=/d>Bookmarks</a></div><div id=blob>%E5%B1%B1%E8%B7%AF%E8%B6%8A 2024 12:30</div>"
      "<div class=chapter><p><a href=/prev>Previous Chapter</a></p>" +
      prose + "<p><a href=/next>Next Chapter</a></p></div></body>";
  const PageReading reading = ReadPage(page);
  EXPECT_FALSE(reading.chinese);
  const TextBlock* best = BestBlock(reading);
  ASSERT_NE(best, nullptr);
  EXPECT_EQ(best->units, 5 * 11);
  EXPECT_EQ(best->text.find("Chapter"), std::string::npos);
  EXPECT_EQ(best->text.substr(0, 28), "The wind came down the valle");
  for (const TextBlock& block : reading.blocks) {
    EXPECT_EQ(block.text.find("Home"), std::string::npos);
    EXPECT_EQ(block.text.find("%E5"), std::string::npos);
  }
}

// Readers' comments repeat one shape (a name, a date, "Reply" or "回复", votes) and lose to the chapter however
// much longer they are, in English and in Chinese; sentences marked up in tags of the site's own are text and
// beat the navigation line; a box hidden by its style shows nothing.
TEST(PageReading, CommentListsLoseToTheChapterAndCustomTagsAreText) {
  const std::string said = "Thanks for the chapter, I waited all week and the ending kept me up at night again. ";
  std::string english =
      "<body><div class=nav><a href=/1>Previous Chapter</a> | <a href=/>Index</a> | <a href=/3>Next Chapter</a> "
      "| report errors on this page please</div><div class=text>"
      "<cs>The wind came down the valley.</cs><cs>The lamp burned low.</cs><cs>She did not look back.</cs>"
      "<p style=\"display: none\">tokentokentoken and more hidden words <a href=/tab>that nobody reads</a></p></div>"
      "<section class=comments>";
  for (int i = 1; i <= 4; ++i) {
    english += "<div class=comment><div class=meta><a href=/u/" + std::to_string(i) + ">reader</a> <time>" +
               std::to_string(i) + " days ago</time></div><div class=said>" + said + said + said +
               "</div><button><span>Reply</span></button> <span>12</span></div>";
  }
  const PageReading en = ReadPage(english + "</section></body>");
  const TextBlock* best = BestBlock(en);
  ASSERT_NE(best, nullptr);
  EXPECT_FALSE(best->discussion);
  EXPECT_EQ(best->text, "The wind came down the valley.The lamp burned low.She did not look back.");
  EXPECT_EQ(std::count_if(en.blocks.begin(), en.blocks.end(), [](const TextBlock& b) { return b.discussion; }), 4);
  // The hidden box's link is still one of the page's links (a tab a script reveals).
  EXPECT_TRUE(std::any_of(en.links.begin(), en.links.end(), [](const PageLink& l) { return l.href == "/tab"; }));

  std::string chinese =
      Gbk(u8"<body><div id=content>　　山风从谷口吹进来，带着一股潮湿的松木气味。<br>"
          u8"　　少年把油灯拨亮了一些，低头看着桌上那张发黄的地图。</div><ul>");
  for (int i = 1; i <= 3; ++i) {
    chinese += Gbk(u8"<li class=\"c\"><b>书友</b><span>2024-01-0") + std::to_string(i) + Gbk(u8" 12:30</span><p>") +
               Repeat(u8"写得真好，等更新等了一个星期，作者大大辛苦了，期待后面的故事。", 4) +
               Gbk(u8"</p><a href=\"/r\">回复</a> <a href=\"/z\">赞(3)</a></li>");
  }
  const PageReading zh = ReadPage(chinese + "</ul></body>");
  best = BestBlock(zh);
  ASSERT_NE(best, nullptr);
  EXPECT_EQ(best->text, Gbk(u8"　　山风从谷口吹进来，带着一股潮湿的松木气味。\r\n"
                            u8"　　少年把油灯拨亮了一些，低头看着桌上那张发黄的地图。"));

  // One list item that happens to carry a date and "回复" is no comment list, and one shape alone repeats
  // nothing: a page of several chapters' previews (dates, no reply control) keeps its longest block.
  std::string previews = "<body><div id=content>" + Repeat(u8"山风从谷口吹进来。", 3) + "</div>";
  for (int i = 1; i <= 3; ++i) {
    previews +=
        Gbk(u8"<div class=p><span>2024-01-02 12:30</span><p>") + Repeat(u8"预告的文字很长很长，", 10) + "</p></div>";
  }
  EXPECT_TRUE(text::Contains(BestBlock(ReadPage(previews + "</body>"))->text, Gbk(u8"预告的文字")));
}

// Each body line can be followed back to the page: its own text with its inline markup and references as the
// page writes them, and the markup between two lines.
TEST(PageReading, BlockLinesLeadBackToThePage) {
  const std::string page =
      Gbk(u8"<body><div id=c>\r\n　　第一行&amp;正文<a href=\"/x?a=1\">链接</a>。<br>\r\n<br>\r\n"
          u8"　　第二行正文，够长。  \r\n<h3>小标题</h3>\r\n　　第三行正文。</div></body>");
  const PageReading reading = ReadPage(page);
  const TextBlock* best = BestBlock(reading);
  ASSERT_NE(best, nullptr);
  const BlockSource source = SourceOf(reading, *best);
  ASSERT_EQ(source.lines.size(), 3u);
  EXPECT_EQ(source.lines[0], Gbk(u8"　　第一行&amp;正文<a href=\"/x?a=1\">链接</a>。"));
  EXPECT_EQ(source.lines[1], Gbk(u8"　　第二行正文，够长。"));
  EXPECT_EQ(source.lines[2], Gbk(u8"　　第三行正文。"));
  ASSERT_EQ(source.gaps.size(), 2u);
  EXPECT_EQ(source.gaps[0], "<br>\r\n<br>\r\n");
  EXPECT_EQ(source.gaps[1], Gbk(u8"  \r\n<h3>小标题</h3>\r\n"));
  // Preformatted text breaks inside one text node: its lines have no spans of their own.
  const PageReading pre = ReadPage(Gbk(u8"<body><pre>第一行正文。\n第二行正文。</pre></body>"));
  ASSERT_NE(BestBlock(pre), nullptr);
  EXPECT_TRUE(SourceOf(pre, *BestBlock(pre)).lines.empty());
}

// Nesting far deeper than any page is read without exhausting the stack, nesting that would make the parse
// crawl is refused, and bytes that are no HTML give an empty reading, not a failure.
TEST(PageReading, SurvivesHostilePages) {
  std::string deep;
  for (int i = 0; i < 3000; ++i) deep += "<div><span>";
  deep += Gbk(u8"深处的字");
  EXPECT_NO_THROW(ReadPage(deep));
  // Deeper still, the parse would take minutes (its work grows with the square of the depth): it is refused.
  std::string deeper;
  for (int i = 0; i < 400000; ++i) deeper += "<div>";
  deeper += "<div>" + Repeat(u8"深处的字，", 100) + "</div>";
  EXPECT_TRUE(ReadPage(deeper).blocks.empty());
  // Paragraphs and breaks left open, as sloppy sites write them, nest nothing.
  std::string open;
  for (int i = 0; i < 20000; ++i) open += Gbk(u8"<p>　　山风从谷口吹进来，带着一股潮湿的松木气味。<br>");
  EXPECT_EQ(ReadPage("<div>" + open + "</div>").blocks.size(), 1u);
  EXPECT_EQ(ReadPage(std::string("\0\x01\xff\xfe<<>>", 8)).blocks.size(), 0u);
  EXPECT_EQ(BestBlock(ReadPage("")), nullptr);
}

}  // namespace
}  // namespace lekto::html
