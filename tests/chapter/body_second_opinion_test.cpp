// The chapter body's second opinion on pages written in the test: a written pick that holds the body and page
// residue gives way to the page's best text block; a pick without residue, or one whose best block is another
// text, stays as the written rule took it.
#include "chapter/body_second_opinion.h"

#include "chapter/body_cleanup.h"
#include "html/page_reading.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lekto {
namespace {

using text::Gbk;

const std::u8string_view kParagraphs[] = {
    u8"山风从谷口吹进来，带着一股潮湿的松木气味，少年把油灯拨亮了一些。",
    u8"院门外传来几声犬吠，随后又归于寂静，只剩下檐角的铁马偶尔轻响。",
    u8"他翻开那本泛黄的旧书，书页间夹着一片早已干枯的枫叶，叶脉清晰可见。",
    u8"窗外的雨下得更大了，屋檐下积起一汪浅浅的水洼，映着昏黄的灯光。",
    u8"直到三更时分，他才合上书本，吹熄了灯，在黑暗里静静地坐了很久。",
};

// The paragraphs as a site writes them in its body element: indents and line breaks.
std::string BodyHtml() {
  std::string html;
  for (std::u8string_view p : kParagraphs) html += "&nbsp;&nbsp;&nbsp;&nbsp;" + Gbk(p) + "<br />\r\n<br />\r\n";
  return html;
}

// The paragraphs as the reader should get them: one line each.
std::string BodyText() {
  std::string text;
  for (std::u8string_view p : kParagraphs) text += (text.empty() ? "" : "\r\n") + Gbk(p);
  return text;
}

std::string Page(const std::string& content) {
  return Gbk(u8"<html><head><meta charset=\"gbk\"><title>第二十九章 大老板</title></head><body>\r\n"
             u8"<div class=\"nav\"><a href=\"/\">首页</a> <a href=\"/book/7/\">原来我是书名</a></div>\r\n"
             u8"<div id=\"content\">") +
         content + Gbk(u8"</div>\r\n<div class=\"foot\"><a href=\"/book/7/\">返回目录</a></div></body></html>");
}

struct ResidueCase {
  const char* name;
  std::u8string_view before;  // residue ahead of the paragraphs, inside the body element
  std::u8string_view after;   // residue behind them
};

void PrintTo(const ResidueCase& c, std::ostream* os) {
  *os << c.name;
}

class ResidueTest : public testing::TestWithParam<ResidueCase> {};

// Each kind of residue alone makes the pick give way, and the reader gets the paragraphs and nothing else.
TEST_P(ResidueTest, TheBestBlockReplacesAPickWithResidue) {
  const ResidueCase& c = GetParam();
  const std::string page = Page(Gbk(c.before) + BodyHtml() + Gbk(c.after));
  EXPECT_EQ(CleanBody(PickChapterBody(page)), BodyText());
}

const ResidueCase kResidueCases[] = {
    // The cleanup removes the script's tags and leaves its code; a string in it may even hold Chinese.
    {"ScriptCode", u8"<script>document.getElementById(\"content\").className = \"广告位\";</script>\r\n",
     u8"<style>.ad { display: none }</style>"},
    // A comment is no simple tag: the cleanup leaves all of it.
    {"Comment", u8"<!-- 正常输出文章内容 -->\r\n", u8"<!--over-->"},
    // The book's link carries Chinese in its title attribute, so its tag stays; the chapter's name follows it.
    {"RawTagHeading",
     u8"请记住本站域名：某某书屋<br />\r\n"
     u8"<a href=\"/book/7/\" title=\"原来我是书名\">原来我是书名</a>&nbsp;第二十九章 大老板<br />\r\n",
     u8""},
    // The same kind of line without a chapter marker, at the head of the body.
    {"RawTagAtTheHead",
     u8"<a href=\"/book/7/\" title=\"原来我是书名\">原来我是书名</a>&nbsp;楔子 山雨欲来风满楼<br />\r\n", u8""},
};

INSTANTIATE_TEST_SUITE_P(Residue, ResidueTest, testing::ValuesIn(kResidueCases),
                         [](const testing::TestParamInfo<ResidueCase>& info) { return info.param.name; });

// A pick whose cleanup leaves nothing but text stays byte for byte as the written rule took it, even where a
// browser would read it otherwise: a link inside a sentence whose address the cleanup cannot remove, an empty
// script, an address inside a long line of prose.
TEST(BodySecondOpinion, APickWithoutResidueStaysAsItIs) {
  const std::string content =
      BodyHtml() +
      Gbk(u8"他想起那天<a href=\"/book/7/2.html?from=top\">山路上的雨</a>，想起师父说过的话，想起山门外那条长长的"
          u8"石阶，想起自己第一次下山时回头望见的云雾。<br />\r\n"
          u8"<script src=\"/ad.js\"></script>\r\n"
          u8"后来他在一块石碑上看见有人刻下了www.example.com这样的字样，不知是哪个顽童的手笔，风吹雨打了许多年，"
          u8"字迹早已模糊，却仍能辨认出那几个歪歪扭扭的字母，他站在碑前看了很久，又想起了许多往事。<br />\r\n");
  EXPECT_EQ(PickChapterBody(Page(content)), content);
}

// A site's watermark at both ends of the body, in an element the cleanup removes, sends nothing to the second
// reading: the pick stays, and the watermark lines go where they stand.
TEST(BodySecondOpinion, AWatermarkStaysInThePickAndItsLinesGo) {
  const std::string content =
      Gbk(u8"<ul id=\"mark\">本文来自 某某文库(http://www.example.com)</ul>\r\n") + BodyHtml() +
      Gbk(u8"<ul id=\"mark\">最新最全的小说 某某文库(HTTPS://www.example.com) 为你一网打尽！</ul>");
  EXPECT_EQ(PickChapterBody(Page(content)), content);
  EXPECT_EQ(DeleteWatermarkLines(CleanBody(content)), BodyText());
}

// A pick with residue whose best block is not the same body stays: here the written rule's pick runs over two
// elements, and the best block holds only one of them.
TEST(BodySecondOpinion, APickTheBestBlockHoldsOnlyPartOfStays) {
  const std::string content =
      Gbk(u8"<script>var ad = 1;</script>") + BodyHtml() + Gbk(u8"<div class=\"more\">") + BodyHtml() + BodyHtml();
  EXPECT_EQ(PickChapterBody(Page(content + "</div>")), content);
}

// The page's markup between two block lines lays them out as a pick of them is laid out; where it breaks no
// line for the cleanup a line break comes first, and where the reading left text out (a heading, a box) a line
// break stands instead of it. When the lines' own markup would show characters the block lacks, the block's own
// lines are taken.
TEST(BodySecondOpinion, BlockLinesAreLaidOutLikeAPick) {
  const std::string a = Gbk(u8"　　山风从谷口吹进来。"), b = Gbk(u8"　　院门外传来几声犬吠。"),
                    c = Gbk(u8"　　他翻开旧书。");
  html::BlockSource source{{a, b, c}, {"<br>\r\n<br>\r\n", "<br>"}};
  const std::string blockText = a + "\r\n" + b + "\r\n" + c;
  // "<br>" and two ideographic spaces are one line break for the cleanup: the indent goes, as in a pick.
  EXPECT_EQ(CleanBody(LayOutLikeAPick(source, blockText)), a + "\r\n\r\n" + b + "\r\n" + Gbk(u8"他翻开旧书。"));
  source.gaps = {"<br />\r\n" + Gbk(u8"<h3>小标题</h3>"), "</p><div class=\"ad\"></div><p>"};
  EXPECT_EQ(CleanBody(LayOutLikeAPick(source, blockText)), blockText);
  source.lines[1] = Gbk(u8"　　院门外<select><option>下拉</option></select>传来几声犬吠。");
  EXPECT_EQ(LayOutLikeAPick(source, blockText), blockText);
  EXPECT_EQ(LayOutLikeAPick(html::BlockSource{}, blockText), blockText);
}

// A comment that holds more Chinese than the chapter wins the written search; it is discussion, and the
// chapter's block replaces it. A chapter whose prose says "回复" stays as the written rule took it.
TEST(BodySecondOpinion, CommentsLoseToTheChapter) {
  std::string comments = "<div class=\"comments\">";
  for (int i = 1; i <= 4; ++i) {
    comments += Gbk(u8"<div class=\"c\"><span>书友") + std::to_string(i) + Gbk(u8"</span> <span>2024-01-0") +
                std::to_string(i) + Gbk(u8" 12:30</span>写得真好，等更新等了一个星期，作者大大辛苦了，") +
                Gbk(u8"期待后面的故事，一定要坚持写下去，别太监了，我们都在等着看结局呢。") +
                Gbk(u8"写得真好，等更新等了一个星期，作者大大辛苦了，期待后面的故事。") +
                Gbk(u8"前面几章埋下的伏笔终于有了回应，老人说的那片林子到底藏着什么，师父为什么只说守住本心，") +
                Gbk(u8"还有那封写得很短的信，我猜和书院里那扇一直亮着灯的窗有关，大家觉得呢？") +
                Gbk(u8"<a href=\"/r\">回复</a> <a href=\"/z\">举报</a></div>");
  }
  comments += "</div>";
  const std::string page = Page(BodyHtml()) + comments;
  EXPECT_EQ(CleanBody(PickChapterBody(page)), BodyText());
  const std::string prose = BodyHtml() + Gbk(u8"他没有回复那封信，只是把它压在了枕头底下。<br />\r\n");
  EXPECT_EQ(PickChapterBody(Page(prose)), prose);
}

}  // namespace
}  // namespace lekto
