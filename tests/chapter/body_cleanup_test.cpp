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

TEST_P(CleanBodyTest, Cleans) {
  EXPECT_EQ(CleanBody(GetParam().body), GetParam().text);
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
        CleanCase{"ParagraphClose", "a</p>b", "a\r\nb"}, CleanCase{"LessThanVanishes", "a&lt;b", "ab"},
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
