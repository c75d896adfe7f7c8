#include "chapter/body_location.h"

#include "regex/regex_engine.h"
#include "support/fake_controls.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace lekto {
namespace {

using testsupport::FakeControls;
using text::Gbk;

// n Chinese characters.
std::string Han(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += Gbk(u8"字");
  return out;
}

TEST(CountHan, CountsTheUnifiedIdeographsOnly) {
  EXPECT_EQ(CountHan(""), 0);
  EXPECT_EQ(CountHan(Gbk(u8"第1章，豪华的萧家别墅！")), 9);
  // Ideographic space, full-width punctuation, kana and Greek are no Chinese characters.
  EXPECT_EQ(CountHan(Gbk(u8"\u3000「」あα")), 0);
  // U+4E00 and U+9FA5 are the ends of the range; U+9FA6.. lie outside GBK's table.
  EXPECT_EQ(CountHan(Gbk(u8"一龥")), 2);
  // A lead byte at the end is no character.
  EXPECT_EQ(CountHan(Han(2) + "\x81"), 2);
}

TEST(CountHan, Gb2312ShortcutAgreesWithTheCodePage) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string c = {static_cast<char>(lead), static_cast<char>(trail)};
      std::size_t pos = 0;
      const char32_t code = text::NextGbkChar(c, pos);
      if (IsGb2312Han(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))) {
        EXPECT_TRUE(code >= 0x4E00 && code <= 0x9FA5) << std::hex << lead << " " << trail;
      }
      EXPECT_EQ(CountHan(c), code >= 0x4E00 && code <= 0x9FA5 && pos == 2 ? 1 : 0) << std::hex << lead << " " << trail;
    }
  }
}

struct PickCase {
  const char* name;
  std::string page;
  std::string pick;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PickCase& c, std::ostream* os) {
  *os << c.name;
}

class PickBodyCandidateTest : public testing::TestWithParam<PickCase> {};

TEST_P(PickBodyCandidateTest, Picks) {
  EXPECT_EQ(PickBodyCandidate(GetParam().page), GetParam().pick);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PickBodyCandidateTest,
    testing::Values(
        PickCase{"Empty", "", ""}, PickCase{"NoDivOrSpan", "<p>" + Han(5) + "</p>", ""},
        PickCase{"NoChineseInAnyCandidate", "<div>abc</div><span>def</span>" + Han(3), ""},
        PickCase{"MajorityWinsAtOnce", "<div>" + Han(6) + "</div><div>" + Han(4) + "x</div>", Han(6)},
        // 10 on the page: 5 is not more than half, so the scan goes on and the later 5 does not replace it.
        PickCase{"HalfDoesNotStop", "<div>" + Han(5) + "</div><div>" + Han(5) + "b</div>", Han(5)},
        PickCase{"FirstOfEqualsWins", "<div>" + Han(3) + "a</div><div>" + Han(3) + "b</div>" + Han(4), Han(3) + "a"},
        PickCase{"LaterBiggerWins", "<div>" + Han(2) + "</div><span>" + Han(3) + "</span>" + Han(5), Han(3)},
        PickCase{"EmptyDivNeverWins", "<div></div><span></span>" + Han(1), ""},
        // The candidate runs to the first closing tag of its kind, nested markup included.
        PickCase{"NestedUpToFirstClose", "<div id=a><div class=b>" + Han(4) + "</div>" + Han(9) + "</div>",
                 "<div class=b>" + Han(4)},
        PickCase{"TagLettersInEitherCase", "<DIV Class=\"x\">" + Han(3) + "</Div>", Han(3)},
        PickCase{"TagNameOnlyBeginsWithDiv", "<divider>" + Han(3) + "</div>", Han(3)},
        // An opening tag broken over lines is no candidate; the div after it is.
        PickCase{"OpeningTagOverTwoLines", "<div\r\nid=a>" + Han(3) + "</div><div>" + Han(2) + "</div>", Han(2)},
        PickCase{"UnclosedDivIsSkipped", "<div>" + Han(3) + "<span>" + Han(2) + "</span>", Han(2)},
        // ">" inside the opening tag's line: the first one ends the tag.
        PickCase{"FirstGreaterThanEndsTag", "<div a>b>" + Han(3) + "</div>", "b>" + Han(3)}),
    [](const testing::TestParamInfo<PickCase>& info) { return std::string(info.param.name); });

// The statement of the rule, run the slow way with the regex engine, for comparison with the scanner.
std::string PickByRegex(const std::string& page) {
  auto countHan = [](const std::string& text) {
    RegexEngine engine;
    engine.Compile(R"([\u4e00-\u9fa5])", text);
    return engine.MatchCount();
  };
  const int total = countHan(page);
  RegexEngine engine;
  engine.Compile(R"(<div.*?>([\s\S]*?)</div>|<span.*?>([\s\S]*?)</span>)", page);
  std::string pick;
  int best = 0;
  for (int i = 1; i <= engine.MatchCount(); ++i) {
    std::string candidate = engine.GroupText(i, 1);
    if (candidate.empty()) candidate = engine.GroupText(i, 2);
    const int n = countHan(candidate);
    if (n > best) {
      best = n;
      pick = candidate;
    }
    if (n * 2 > total) {
      pick = candidate;
      break;
    }
  }
  return pick;
}

TEST(PickBodyCandidate, AgreesWithThePatternOnGeneratedPages) {
  const std::vector<std::string> pieces = {"<div>",      "<div class=\"c\">",
                                           "<DIV id=x>", "</div>",
                                           "</DIV>",     "<span>",
                                           "<SPAN a=b>", "</span>",
                                           "<divx>",     "<div",
                                           "<span",      ">",
                                           "<",          "\r\n",
                                           "\n",         "\r",
                                           "<p>",        "</p>",
                                           "abc",        " ",
                                           Han(1),       Han(3),
                                           Gbk(u8"，"),  Gbk(u8"\u3000\u3000")};
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 60);
  for (int round = 0; round < 600; ++round) {
    std::string page;
    for (int n = length(random); n > 0; --n) page += pieces[piece(random)];
    ASSERT_EQ(PickBodyCandidate(page), PickByRegex(page)) << "page: " << page;
  }
}

TEST(PickBodyCandidate, ManyOpenTagsWithoutCloseAreOnePass) {
  // 20,000 spans that never close, then one small div: searching for the closing tag afresh from every
  // opening would scan 8 GB.
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<span a>" + Han(1) + "<div a\n>";
  page += "<div>" + Han(3) + "</div>";
  EXPECT_EQ(PickBodyCandidate(page), Han(3));
}

TEST(DecodePage, DeclaredUtf8WinsOverTranscode) {
  FakeControls controls;
  const std::string utf8 = "\xe4\xb8\xad%e4%b8%ad";  // 中 in UTF-8, then its percent-encoded form
  controls.SetTranscode(true);
  const text::PageCharset declaredUtf8{text::PageCharset::Kind::kUtf8, {}, true};
  const text::PageCharset gbk;
  EXPECT_EQ(DecodePage(utf8, declaredUtf8, controls), Gbk(u8"中%e4%b8%ad"));
  EXPECT_EQ(DecodePage("a%e4%b8%adb", gbk, controls), "a" + Gbk(u8"中") + "b");
  controls.SetTranscode(false);
  EXPECT_EQ(DecodePage("a%e4%b8%adb", gbk, controls), "a%e4%b8%adb");
}

TEST(PreprocessPage, RemovesTheClosingDivMarkersInOrder) {
  FakeControls controls;
  const std::string page = "a</script></div></div>b<br></div>c</div>\r\n<table>d</table>\r\n</div>e<div id=x></div>";
  EXPECT_EQ(PreprocessPage(page, controls), page);
  controls.SetPreprocess(true);
  // The line-break tag keeps its bare start and a blank; the ">" of the tag before a closing div goes with it.
  EXPECT_EQ(PreprocessPage(page, controls), "a b<br c>de<div id=x ");
}

TEST(PreprocessPage, TableMarkersGoWhenNoTagEndsBeforeThem) {
  FakeControls controls;
  controls.SetPreprocess(true);
  EXPECT_EQ(PreprocessPage("x</div>\r\n<table>y</table>\r\n</div>z", controls), "x>yz");
}

TEST(NormaliseContinueButton, MakesTheButtonANextPageLink) {
  const std::string page = Gbk(u8"<a href=\"/b/1_2.html\" class=\"ldgbtn\">本章未完点击此处继续阅读</a>");
  EXPECT_EQ(NormaliseContinueButton(page), Gbk(u8"<a href=\"/b/1_2.html\">下一页</a>"));
  EXPECT_EQ(NormaliseContinueButton("<a class=\"ldgbtn\">x</a>"), "<a class=\"ldgbtn\">x</a>");
}

}  // namespace
}  // namespace lekto
