#include "chapter/body_cleanup.h"

#include "regex/regex_engine.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace lekto {
namespace {

using text::Gbk;

struct CleanCase {
  const char* name;
  std::string body;
  std::string text;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CleanCase& c, std::ostream* os) {
  *os << c.name;
}

class CleanBodyTest : public testing::TestWithParam<CleanCase> {};

// The chain and its tag pattern alone; CleanBody then removes the markup they leave (see below).
TEST_P(CleanBodyTest, Cleans) {
  EXPECT_EQ(CleanBodyKeepingMarkup(GetParam().body), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Chain, CleanBodyTest,
    testing::Values(
        // One case per step of the chain, in its order.
        CleanCase{"DoubleBreak", "a<br><br>b", "a\r\nb"},
        CleanCase{"BreakAndIndent", "a<br>" + Gbk(u8"\u3000\u3000") + "b", "a\r\nb"},
        CleanCase{"DoubleSlashBreak", "a<br/><br/>b", "a\r\nb"}, CleanCase{"SpacedBreakVanishes", "a<br />b", "ab"},
        CleanCase{"SlashBreakVanishes", "a<br/>b", "ab"}, CleanCase{"NbspVanishes", "a&nbsp;&nbsp;b", "ab"},
        CleanCase{"EscapedGreaterThanVanishes", "ap&amp;gt;b", "ab"}, CleanCase{"ParagraphOpen", "a<p>b", "a\r\nb"},
        CleanCase{"ParagraphClose", "a</p>b", "a\r\nb"}, CleanCase{"LessThanStaysForTheDecoding", "a&lt;b", "a&lt;b"},
        CleanCase{"EscapedBreakTagVanishes", "a&lt;/br&gt;b", "ab"},
        CleanCase{"EscapedBreakVanishes", "a/br&gt;b", "ab"},
        // A lone break is no line break: the tag removal deletes it.
        CleanCase{"LoneBreakGoesWithTags", "a<br>b", "ab"}, CleanCase{"TripleBreak", "a<br><br><br>b", "a\r\nb"},
        // The doubled break is replaced before the break-and-indent step sees it.
        CleanCase{"DoubleBreakBeforeIndent", "a<br><br>" + Gbk(u8"\u3000\u3000") + "b",
                  "a\r\n" + Gbk(u8"\u3000\u3000") + "b"},
        CleanCase{"OtherEntitiesStay", "a&amp;lt;b&quot;", "a&amp;lt;b&quot;"},
        CleanCase{"ParagraphsBecomeLines", "<p>a</p><p>b</p>\r\n", "a\r\nb\r\n"}),
    [](const testing::TestParamInfo<CleanCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Lines, CleanBodyTest,
    testing::Values(CleanCase{"Empty", "", ""}, CleanCase{"OnlyBreaks", "\r\n\r\n", ""},
                    CleanCase{"TwoLeadingBreaksKeepOne", "\r\n\r\n\r\na\r\n", "\r\na"},
                    CleanCase{"ThreeBreaksCollapse", "a\r\n\r\n\r\nb", "a\r\nb"},
                    CleanCase{"BlankLinesWithWhiteSpace", "a\r\n \t\r\n" + Gbk(u8"\u3000") + "\r\nb", "a\r\nb"},
                    CleanCase{"IndentAndTrailingBlanksStay", "a  \r\n\r\n" + Gbk(u8"\u3000\u3000") + "b",
                              "a  \r\n" + Gbk(u8"\u3000\u3000") + "b"},
                    CleanCase{"BareLineFeedsUntouched", "a\n\n\nb", "a\n\n\nb"},
                    // Tags go after the blank lines collapse: a line of only a tag stays as an empty line.
                    CleanCase{"TagOnlyLineStaysEmpty", "a\r\n<b>\r\nc", "a\r\n\r\nc"}),
    testing::PrintToStringParamName());

INSTANTIATE_TEST_SUITE_P(Tags, CleanBodyTest,
                         testing::Values(CleanCase{"SimpleTags", "a<b>c</b><i class=\"x-1; y:2%\">d</i>", "acd"},
                                         CleanCase{"AnchorWithQuestionMarkStays", "<a href=\"/x.html?id=1\">t</a>",
                                                   "<a href=\"/x.html?id=1\">t"},
                                         CleanCase{"CommentStays", "a<!-- c -->b", "a<!-- c -->b"},
                                         CleanCase{"ChineseInsideTagStays", "<img alt=" + Gbk(u8"图") + ">",
                                                   "<img alt=" + Gbk(u8"图") + ">"},
                                         CleanCase{"AmpersandAndHashStay", "<a href=#top>x</a><a href=a&b>y",
                                                   "<a href=#top>x<a href=a&b>y"}),
                         testing::PrintToStringParamName());

// What the chain leaves of the page's markup goes, a "<" of the prose stays, and everything else is the chain's
// result byte for byte: the text a reader gets holds the page's characters, never its markup.
TEST(CleanBody, RemovesWhatABrowserReadsAsMarkup) {
  const std::string han = Gbk(u8"山路上的雨");
  // A link inside a sentence whose address the tag pattern cannot take, and a tag with Chinese in it.
  EXPECT_EQ(CleanBody("a<a href=\"/gbk/3.html?from=top\">" + han + "</a>b"), "a" + han + "b");
  EXPECT_EQ(CleanBody("<img alt=" + han + ">x<a href=a&b>y</A>"), "xy");
  // A quoted value may hold ">" and "<".
  EXPECT_EQ(CleanBody("a<span title=\"" + han + " > 0 <i>\">b</span>c"), "abc");
  // Comments, declarations, and scripts and styles with their content, wherever they stand.
  EXPECT_EQ(CleanBody("a<!-- " + han + " -->b<!DOCTYPE html><?xml x?>c"), "abc");
  EXPECT_EQ(CleanBody("<script>var s = '" + han + "</p>';</script>\r\n" + han + "<STYLE>p{}</STYLE>"), han);
  EXPECT_EQ(CleanBody("a<script src=\"/ad.js\"/>b"), "ab");
  // A "<" that opens no tag is prose, and so is markup that never closes.
  for (const std::string& prose : std::vector<std::string>{"1 < 2", "a <3 b", "<" + han + ">", "x&lt;y", "a<!-- open",
                                                           "a</ b", "<a href=\"x", "i<j"}) {
    EXPECT_EQ(CleanBody(prose), prose);
  }
  // The chain's line breaks and blank-line collapse are as they were.
  EXPECT_EQ(CleanBody("\r\n&nbsp;&nbsp;a<br />\r\n<br />\r\n<a href=\"?p=1\">b</a>\r\n"), "a\r\nb");
}

// A short line that carries a web address is a site's watermark: it goes with its line end, and every other
// byte of the text stays. A line of prose that names an address is longer, and stays.
TEST(DeleteWatermarkLines, DeletesShortAddressLinesWhereTheyStand) {
  const std::string a = Gbk(u8"\u3000\u3000山风从谷口吹进来，带着一股潮湿的松木气味。");
  const std::string b = Gbk(u8"\u3000\u3000少年把油灯拨亮了一些。");
  const std::string mark = Gbk(u8"天才一秒记住本站地址：www.example.com，最快更新！");
  EXPECT_EQ(DeleteWatermarkLines(a + "\r\n" + mark + "\r\n" + b), a + "\r\n" + b);
  EXPECT_EQ(DeleteWatermarkLines(Gbk(u8"\u3000") + mark + " \r\n" + a + "\r\n"), a + "\r\n");
  EXPECT_EQ(DeleteWatermarkLines(a + "\r\n" + mark), a);
  EXPECT_EQ(DeleteWatermarkLines(a + "\r\nHTTPS://m.example.com/\r\n" + b), a + "\r\n" + b);
  EXPECT_EQ(DeleteWatermarkLines(mark), "");
  std::string prose = Gbk(u8"他在石碑上看见有人刻下了www.example.com这样的字样");
  while (prose.size() < 170) prose += Gbk(u8"，风吹雨打了许多年");
  const std::string kept = a + "\r\n" + prose + "\r\n" + b + "\r\n\r\nhttp:/" + "\r\n";
  EXPECT_EQ(DeleteWatermarkLines(kept), kept);
}

// Heading lines at the head of a text that repeat an earlier one (the title, a volume) go, with the blank lines
// after them; a short line of prose said twice, a repeat after the prose began, and a differing heading stay.
TEST(DropRepeatedHeadingLines, GivesEachHeadingOnce) {
  const std::string title = Gbk(u8"第7章 归途"), volume = Gbk(u8"第一卷 山门");
  const std::string prose =
      Gbk(u8"山风从谷口吹进来，带着一股潮湿的松木气味，少年把油灯拨亮了一些，低头看着桌上那张发黄的地图。");
  const std::string indent = Gbk(u8"　　");
  EXPECT_EQ(DropRepeatedHeadingLines(title + "\r\n" + volume + "\r\n" + Gbk(u8"第7章归途") + "\r\n\r\n" + prose, title),
            title + "\r\n" + volume + "\r\n" + prose);
  EXPECT_EQ(DropRepeatedHeadingLines(
                title + "\r\n" + indent + title + "\r\n" + indent + volume + "\r\n" + indent + volume + "\r\n" + prose,
                title),
            title + "\r\n" + indent + volume + "\r\n" + prose);
  EXPECT_EQ(DropRepeatedHeadingLines("Chapter 3 The Road\r\nChapter 3  The Road\r\nThe wind came.", "Chapter 3"),
            "Chapter 3 The Road\r\nThe wind came.");
  for (const std::string& kept : {Gbk(u8"噹！\r\n噹！\r\n") + prose, title + "\r\n" + prose + "\r\n" + title,
                                  title + "\r\n" + Gbk(u8"原来我是书名 第7章 归途") + "\r\n" + prose, std::string()}) {
    EXPECT_EQ(DropRepeatedHeadingLines(kept, title), kept);
  }
}

TEST(TrimOuterBreaks, RemovesOneBreakAtEachEnd) {
  EXPECT_EQ(TrimOuterBreaks("\r\n"), "");
  EXPECT_EQ(TrimOuterBreaks("\r\n\r\na\r\n\r\n"), "\r\na\r\n");
  EXPECT_EQ(TrimOuterBreaks("\na\r"), "\na\r");
}

// The scanners stand for "\n\s*\r" and the tag pattern; on generated texts they must delete what the regex
// engine deletes.
std::string DeleteByRegex(const char* pattern, const std::string& text) {
  RegexEngine engine;
  engine.Compile(pattern, text);
  return engine.Replace();
}

TEST(CleanupScanners, AgreeWithTheirPatternsOnGeneratedTexts) {
  const std::vector<std::string> pieces = {"\r",
                                           "\n",
                                           "\r\n",
                                           " ",
                                           "\t",
                                           "\v",
                                           Gbk(u8"\u3000"),
                                           "a",
                                           "Z_9",
                                           Gbk(u8"字"),
                                           "<",
                                           ">",
                                           "<b>",
                                           "</p>",
                                           "<a href=\"x.html?i=1\">",
                                           "<i class='c' style=\"w:1%;\">",
                                           "<!-- c -->",
                                           ".",
                                           "=",
                                           "-",
                                           ",",
                                           ":",
                                           ";",
                                           "%",
                                           "\"",
                                           "'",
                                           "/",
                                           "(",
                                           ")",
                                           "#",
                                           "&",
                                           "\x81",
                                           "\x80",
                                           "\xff"};
  std::mt19937 random(815);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[piece(random)];
    ASSERT_EQ(CollapseBlankLines(text), DeleteByRegex(R"(\n\s*\r)", text)) << "text: " << text;
    ASSERT_EQ(RemoveTags(text), DeleteByRegex(R"(<[\w\s\.=\-,:;%"'/\(\)]+>)", text)) << "text: " << text;
  }
}

TEST(CollapseBlankLines, LongRunsOfBareLineFeedsAreOnePass) {
  // A rescan of the run from every line feed would take hours.
  const std::string text = "a" + std::string(2'000'000, '\n') + "b\r\n\r\nc";
  EXPECT_EQ(CollapseBlankLines(text), "a" + std::string(2'000'000, '\n') + "b\r\nc");
}

// Plain-word rules skip the regex engine; on well-formed GBK they must delete exactly what it deletes. (In a
// stray lead byte followed by ASCII the two part ways: the engine reads the ASCII byte as a character of its
// own, the program's plain replacements take the pair as one character.)
TEST(ApplyUserFilters, PlainWordRulesDeleteWhatTheEngineDeletes) {
  const std::vector<std::string> pieces = {"a",
                                           "A",
                                           "b",
                                           "Z9",
                                           " ",
                                           "-",
                                           "<",
                                           "&",
                                           "/",
                                           Gbk(u8"广告"),
                                           Gbk(u8"字"),
                                           Gbk(u8"，"),
                                           Gbk(u8"\u3000"),
                                           Gbk(u8"ａ"),
                                           Gbk(u8"Ａ"),
                                           Gbk(u8"！"),
                                           "\r\n",
                                           "\t",
                                           "\x80",
                                           "\xFF"};
  std::mt19937 random(2026);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 5);  // rules: no line breaks or stray bytes
  std::uniform_int_distribution<std::size_t> anyPiece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> ruleLength(1, 3);
  std::uniform_int_distribution<int> bodyLength(0, 40);
  for (int round = 0; round < 1500; ++round) {
    std::string rule;
    for (int n = ruleLength(random); n > 0; --n) rule += pieces[piece(random)];
    std::string body;
    for (int n = bodyLength(random); n > 0; --n) body += pieces[anyPiece(random)];
    RegexEngine engine;
    ASSERT_TRUE(engine.Compile(rule, body));
    const std::string byEngine = engine.MatchCount() == 0 ? body : engine.Replace();
    ASSERT_EQ(ApplyUserFilters(body, rule), byEngine) << "rule: " << rule << " body: " << body;
  }
}

struct FilterCase {
  const char* name;
  std::string rules;
  std::string body;
  std::string text;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FilterCase& c, std::ostream* os) {
  *os << c.name;
}

class ApplyUserFiltersTest : public testing::TestWithParam<FilterCase> {};

TEST_P(ApplyUserFiltersTest, Filters) {
  EXPECT_EQ(ApplyUserFilters(GetParam().body, GetParam().rules), GetParam().text);
}

const std::string kAd = Gbk(u8"广告");
const std::string kEnd = Gbk(u8"结束");
const std::string kChapter = [] {
  std::string chapter;
  for (int i = 0; i < 200; ++i) chapter += Gbk(u8"　　夜色渐深，山风吹过林梢，少年握紧了手中的长剑，望向远方。\r\n");
  return chapter;
}();

INSTANTIATE_TEST_SUITE_P(
    Rules, ApplyUserFiltersTest,
    testing::Values(
        FilterCase{"NoRules", "", "abc", "abc"},
        FilterCase{"DefaultRulesMatchTheirOwnWords", Gbk(u8"过滤规则1\r\n过滤规则2\r\n过滤规则3"),
                   Gbk(u8"正文过滤规则2正文"), Gbk(u8"正文正文")},
        FilterCase{"LatinLettersInEitherCase", "www.abc.com", "aWWW.ABC.COMb", "ab"},
        FilterCase{"EveryRuleInOrder", "b\r\nac", "abc", ""},
        FilterCase{"EmptyLinesBetweenRules", "a\r\n\r\nc\r\n", "abc", "b"},
        FilterCase{"LazyRunStaysWithinALine", kAd + ".*?" + kEnd,
                   "x" + kAd + "a" + kEnd + "y\r\n" + kAd + "b\r\n" + kEnd + "z",
                   "xy\r\n" + kAd + "b\r\n" + kEnd + "z"},
        FilterCase{"LazyRunAcrossLines", kAd + R"([\s\S]*?)" + kEnd,
                   "x" + kAd + "a" + kEnd + "y\r\n" + kAd + "b\r\n" + kEnd + "z", "xy\r\nz"},
        FilterCase{"ValidRuleMayEmptyTheBody", R"([\s\S]*)", "abc", ""},
        // A broken rule is skipped; the rules after it still run.
        FilterCase{"InvalidRuleSkipped", "(\r\nb", "abc", "ac"},
        FilterCase{"UnbalancedClassSkipped", "[a\r\nc", "abc", "ab"},
        // After the euro sign (0x80) and 0xFF, each a character of one byte, a word is found by the
        // plain replacement as by the engine.
        FilterCase{"PlainWordAfterOneByteCharacters", kAd, "9\x80" + kAd + "\xFF" + kAd + "!", "9\x80\xFF!"},
        FilterCase{"PatternAfterOneByteCharacters", "(" + kAd + ")", "9\x80" + kAd + "\xFF" + kAd + "!", "9\x80\xFF!"},
        // Exponential backtracking runs into the engine's limit: the rule is skipped, the body kept.
        FilterCase{"CatastrophicRuleSkipped", "(a+)+$", std::string(40, 'a') + "!", std::string(40, 'a') + "!"},
        // A rule whose tries explode over a chapter's lines is given up and skipped; the rules after it still run.
        FilterCase{"ExplodingRuleSkipped", "(?:.|.){20}\r\r\n" + kAd, kChapter + kAd, kChapter}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lekto
