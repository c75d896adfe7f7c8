#include "regex/regex_engine.h"

#include "regex/regex_tuning.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace lekto {
namespace {

using text::Gbk;

const std::string kCandidate = Gbk(u8R"(<div.*?>([\s\S]*?)</div>|<span.*?>([\s\S]*?)</span>)");
const std::string kTitle = Gbk(u8R"(<title>([\u4e00-\u9fa5-a-z-A-Z\d]+).*?</title>)");
const std::string kNextPage = Gbk(u8R"(href=["']*([\w/:\-\.]+)["']*["'\w\s=]*>下一页[:\u4e00-\u9fa5\s\(\)\w]*</a>)");
const std::string kTag = Gbk(u8R"(<[\w\s\.=\-,:;%"'/\(\)]+>)");
const std::string kLinks = Gbk(u8R"(href\s*=["']*([\w/:\-\.\?&=]+)["'\s]*.*?>(.*?)<)");

// A chapter-like stretch of Chinese text: at most `size` bytes of GBK, paragraphs separated by line breaks.
const std::string kParagraph = Gbk(u8"　　他抬头望向远处的山峰，心中暗暗下定决心。\r\n");
constexpr int kHanPerParagraph = 18;

std::string ChineseText(std::size_t size) {
  const std::string& paragraph = kParagraph;
  std::string out;
  while (out.size() + paragraph.size() <= size) out += paragraph;
  return out;
}

TEST(RegexEngine, EmptySubjectIsARunWithoutMatches) {
  RegexEngine engine;
  EXPECT_TRUE(engine.Compile(kCandidate, ""));
  EXPECT_EQ(engine.MatchCount(), 0);
  EXPECT_EQ(engine.GroupText(1, 1), "");
  EXPECT_EQ(engine.MatchText(1), "");
  EXPECT_EQ(engine.GroupCount(), 0);
  EXPECT_EQ(engine.Replace(), "");
}

TEST(RegexEngine, InvalidPatternFailsQuietly) {
  for (std::string_view pattern : {"(a", "a)", "[a", "*a", "a**", "a{2,1}", "\\"}) {
    SCOPED_TRACE(pattern);
    RegexEngine engine;
    EXPECT_FALSE(engine.Compile(pattern, "aaa (a) [a] *a"));
    EXPECT_EQ(engine.MatchCount(), 0);
    EXPECT_EQ(engine.MatchText(1), "");
    EXPECT_EQ(engine.GroupText(1, 1), "");
    EXPECT_EQ(engine.GroupCount(), 0);
    // A failed run has no subject to give back: callers that must keep their text check Compile's result.
    EXPECT_EQ(engine.Replace(), "");
    EXPECT_EQ(engine.PatternText(), pattern);
    EXPECT_FALSE(IsValidPattern(pattern));
  }
  EXPECT_TRUE(IsValidPattern(Gbk(u8"下一页\\s*")));
  EXPECT_TRUE(IsValidPattern(""));
}

TEST(RegexEngine, DeeplyNestedPatternFailsQuietly) {
  // A filter rule pasted with a runaway of parentheses is refused, not a crash of the thread.
  constexpr std::size_t kDepth = 1'000'000;
  for (const std::string& pattern :
       {std::string(kDepth, '(') + "a" + std::string(kDepth, ')'), std::string(kDepth, '(') + "a"}) {
    RegexEngine engine;
    EXPECT_FALSE(engine.Compile(pattern, "aaa"));
    EXPECT_EQ(engine.MatchCount(), 0);
    EXPECT_FALSE(IsValidPattern(pattern));
  }
  // Nesting as deep as anyone writes stays valid.
  EXPECT_TRUE(IsValidPattern(std::string(100, '(') + "a" + std::string(100, ')')));
}

TEST(RegexEngine, NothingCompiledYet) {
  RegexEngine engine;
  EXPECT_EQ(engine.PatternText(), "");
  EXPECT_EQ(engine.MatchCount(), 0);
  EXPECT_EQ(engine.GroupText(1, 1), "");
  EXPECT_EQ(engine.Replace("x"), "");
}

TEST(RegexEngine, TitlePattern) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kTitle, Gbk(u8"<html><TITLE>书名_某站</TITLE>")));
  EXPECT_EQ(engine.GroupText(1, 1), Gbk(u8"书名"));
  ASSERT_TRUE(engine.Compile(kTitle, Gbk(u8"<title>\r\n书名</title>")));
  EXPECT_EQ(engine.MatchCount(), 0);
}

TEST(RegexEngine, CandidateGroupsAreNumberedAcrossTheAlternation) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kCandidate, Gbk(u8"<div class=\"c\">第一段\r\n第二段</div><SPAN>旁注</SPAN>")));
  ASSERT_EQ(engine.MatchCount(), 2);
  EXPECT_EQ(engine.GroupText(1, 1), Gbk(u8"第一段\r\n第二段"));
  EXPECT_EQ(engine.GroupText(1, 2), "");
  EXPECT_EQ(engine.GroupText(2, 1), "");
  EXPECT_EQ(engine.GroupText(2, 2), Gbk(u8"旁注"));
  EXPECT_EQ(engine.GroupCount(), 2);
}

TEST(RegexEngine, LinkTextDoesNotCrossALineFeed) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kLinks, Gbk(u8"<a href=\"/1.html\">第一章</a><a href='/2.html'>第二\n章</a>")));
  ASSERT_EQ(engine.MatchCount(), 1);
  EXPECT_EQ(engine.GroupText(1, 1), "/1.html");
  EXPECT_EQ(engine.GroupText(1, 2), Gbk(u8"第一章"));
}

TEST(RegexEngine, NextPagePattern) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kNextPage, Gbk(u8"<a href=\"/b/1.html\">上一页</a> <a href=\"/b/1_2.html\">下一页</a>")));
  EXPECT_EQ(engine.GroupText(1, 1), "/b/1_2.html");
}

TEST(RegexEngine, TagRemoval) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kTag, "a<b>c<i>d"));
  EXPECT_EQ(engine.Replace(), "acd");
  ASSERT_TRUE(engine.Compile(kTag, Gbk(u8"<a href=\"x?y\">链接</a><br />")));
  EXPECT_EQ(engine.Replace(), Gbk(u8"<a href=\"x?y\">链接"));
}

TEST(RegexEngine, BlankLinesCollapse) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile("\\n\\s*\\r", Gbk(u8"甲\r\n\r\n　　\r\n乙\r\n丙")));
  EXPECT_EQ(engine.Replace(), Gbk(u8"甲\r\n乙\r\n丙"));
}

TEST(RegexEngine, SecondCompileReplacesTheFirstRun) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile("(a)(b)", "ab ab"));
  ASSERT_TRUE(engine.Compile("(x)", "x"));
  EXPECT_EQ(engine.MatchCount(), 1);
  EXPECT_EQ(engine.GroupText(1, 1), "x");
  EXPECT_EQ(engine.GroupText(1, 2), "");
  EXPECT_EQ(engine.GroupText(2, 1), "");
  EXPECT_EQ(engine.PatternText(), "(x)");
  EXPECT_FALSE(engine.Compile("(", "x"));
  EXPECT_EQ(engine.MatchCount(), 0);
}

TEST(RegexEngine, OutOfRangeIndexesGiveEmptyText) {
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile("(a)(b)?", "a ab"));
  ASSERT_EQ(engine.MatchCount(), 2);
  for (auto [match, group] : {std::pair{0, 1}, {-1, 1}, {3, 1}, {1, 0}, {1, -1}, {1, 3}, {1, 2}}) {
    EXPECT_EQ(engine.GroupText(match, group), "") << match << "," << group;
  }
  EXPECT_EQ(engine.MatchText(0), "");
  EXPECT_EQ(engine.MatchText(3), "");
  EXPECT_EQ(engine.MatchText(2), "ab");
}

TEST(RegexEngine, Options) {
  RegexEngine engine;
  EXPECT_TRUE(engine.Compile("A", "a A", true));
  EXPECT_EQ(engine.MatchCount(), 1);
  EXPECT_TRUE(engine.Compile("^b", "a\nb", false, false));
  EXPECT_EQ(engine.MatchCount(), 0);
  EXPECT_TRUE(engine.Compile("a", "a a a", false, true, false));
  EXPECT_EQ(engine.MatchCount(), 1);
  EXPECT_EQ(engine.Replace("x"), "x a a");
}

TEST(RegexEngine, ReusedPatternsKeepTheirOptions) {
  // Compiled patterns are cached per thread: the same pattern under other options is another pattern.
  RegexEngine engine;
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(engine.Compile("^b", "a\nb", false, true));
    EXPECT_EQ(engine.MatchCount(), 1);
    ASSERT_TRUE(engine.Compile("^b", "a\nb", false, false));
    EXPECT_EQ(engine.MatchCount(), 0);
    ASSERT_TRUE(engine.Compile("a", "aA", true));
    EXPECT_EQ(engine.MatchCount(), 1);
    ASSERT_TRUE(engine.Compile("a", "aA"));
    EXPECT_EQ(engine.MatchCount(), 2);
    EXPECT_FALSE(engine.Compile("(", "("));
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(engine.Compile("x{" + std::to_string(i) + "}", "xx"));
  }
}

TEST(RegexEngine, QuotePlaceholder) {
  const std::string pattern = Gbk(u8"id=#引号content#引号>(.*?)<");
  const std::string page = Gbk(u8"<div id=\"content\">正文<");
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(pattern, page, false, true, true, true));
  EXPECT_EQ(engine.GroupText(1, 1), Gbk(u8"正文"));
  EXPECT_EQ(engine.PatternText(), "id=\"content\">(.*?)<");
  ASSERT_TRUE(engine.Compile(pattern, page));
  EXPECT_EQ(engine.MatchCount(), 0);
}

TEST(RegexEngine, TextOutsideTheMatchesKeepsItsBytes) {
  // Bytes that are no GBK character (a lone lead byte, a lead byte before a space) survive a replacement
  // untouched, and match texts are cut from the original bytes.
  const std::string subject = std::string("\x81 x") + Gbk(u8"中x") + "\xFE";
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile("x", subject));
  EXPECT_EQ(engine.MatchCount(), 2);
  EXPECT_EQ(engine.Replace("y"), std::string("\x81 y") + Gbk(u8"中y") + "\xFE");
  ASSERT_TRUE(engine.Compile(Gbk(u8"(中)"), subject));
  EXPECT_EQ(engine.GroupText(1, 1), Gbk(u8"中"));
  // The euro sign is one byte in this code page and one character for the pattern.
  ASSERT_TRUE(engine.Compile("\\u20ac(.)", "\x80\x80z"));
  EXPECT_EQ(engine.GroupText(1, 1), "\x80");
}

TEST(RegexEngine, ManyMatchesMapBackToTheirBytes) {
  // Offsets are mapped from UTF-8 back to GBK through checkpoints; matches far into a mixed text must still be
  // cut at the right bytes.
  std::string subject;
  for (int i = 0; i < 3000; ++i) subject += Gbk(u8"第") + std::to_string(i) + Gbk(u8"章x");
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(Gbk(u8"第(\\d+)章"), subject));
  ASSERT_EQ(engine.MatchCount(), 3000);
  EXPECT_EQ(engine.GroupText(2999, 1), "2998");
  EXPECT_EQ(engine.MatchText(1234), Gbk(u8"第1233章"));
  std::string replaced = engine.Replace("$1,");
  EXPECT_EQ(replaced.substr(0, 8), "0,x1,x2,");
  EXPECT_EQ(replaced.substr(replaced.size() - 6), "2999,x");
}

TEST(RegexEngine, CopiesKeepTheirOwnRuns) {
  RegexEngine original;
  ASSERT_TRUE(original.Compile("(b)", "abc"));
  RegexEngine copy = original;
  EXPECT_EQ(copy.GroupText(1, 1), "b");
  ASSERT_TRUE(copy.Compile("(c)", "abc"));
  EXPECT_EQ(original.GroupText(1, 1), "b");
  EXPECT_EQ(copy.GroupText(1, 1), "c");
  RegexEngine moved = std::move(copy);
  EXPECT_EQ(moved.GroupText(1, 1), "c");
  original = moved;
  EXPECT_EQ(original.GroupText(1, 1), "c");
}

TEST(RegexEngine, CatastrophicPatternFailsInsteadOfHanging) {
  // Each subject holds the letter the pattern needs, so PCRE2 cannot rule the match out before trying.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(a+)+b", std::string(30, 'a') + "!b"},
      {"(a+)+b", std::string(200000, 'a') + "!b"},
      {"(x+x+)+y", std::string(5000, 'x') + "!y"},
      {"(\\w+\\s?)+$", std::string(40, 'a') + "!"},
  };
  for (const auto& [pattern, subject] : cases) {
    SCOPED_TRACE(pattern + " over " + std::to_string(subject.size()));
    RegexEngine engine;
    EXPECT_FALSE(engine.Compile(pattern, subject));
    EXPECT_EQ(engine.MatchCount(), 0);
    EXPECT_TRUE(engine.Replace().empty());
  }
}

class BothMatchers : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { regex::SetJitEnabled(GetParam()); }
  void TearDown() override { regex::SetJitEnabled(true); }
};

TEST_P(BothMatchers, LazyScanAcrossAOneMegabyteDiv) {
  const std::string body = ChineseText(1 << 20);
  const std::string page = "<html><div id=\"x\">" + body + "</div><span>" + Gbk(u8"尾") + "</span></html>";
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kCandidate, page));
  ASSERT_EQ(engine.MatchCount(), 2);
  EXPECT_EQ(engine.GroupText(1, 1), body);
  EXPECT_EQ(engine.GroupText(2, 2), Gbk(u8"尾"));
  ASSERT_TRUE(engine.Compile(Gbk(u8"[\\u4e00-\\u9fa5]"), page));
  EXPECT_EQ(engine.MatchCount(), static_cast<int>(body.size() / kParagraph.size()) * kHanPerParagraph + 1);
}

TEST_P(BothMatchers, LinearScanOfALargePageStaysWithinTheLimits) {
  std::string page;
  const std::string block = "<div class=\"p\">" + ChineseText(2000) + "</div><span>" + Gbk(u8"注") + "</span>\r\n";
  int blocks = 0;
  for (; page.size() < (4u << 20); ++blocks) page += block;
  page += "<span>" + ChineseText(1 << 20);  // never closed: the last attempt runs to the end
  RegexEngine engine;
  ASSERT_TRUE(engine.Compile(kCandidate, page));
  EXPECT_EQ(engine.MatchCount(), blocks * 2);
}

// Runs that would take seconds to hours are given up as a whole, however the work is spread: over many start
// positions within one search, over many matches of the global run, or within one start position.
TEST_P(BothMatchers, RunsThatBacktrackWithoutEndAreGivenUpAsAWhole) {
  const std::string html =
      Gbk(u8"<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
          u8"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\r\n"
          u8"<title>第1章 夜雨_星河旧梦_测试小说网</title>\r\n</head>\r\n<body>\r\n<div id=\"wrapper\">\r\n"
          u8"<div class=\"header\"><a href=\"/\">首页</a> | <a href=\"/sort/1/\">玄幻小说</a> | "
          u8"<a href=\"/sort/2/\">修真小说</a> | <a href=\"/top/\">排行榜</a></div>\r\n"
          u8"<div class=\"bookname\"><h1>第1章 夜雨</h1></div>\r\n<div class=\"bottem1\"><a href=");
  std::string runs;
  for (int i = 0; i < 200; ++i) runs += std::string(20, 'a') + " ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"((.*)(.*)(.*)\3\2\1)", html},                 // back references, over 409 bytes
      {"(?:a|a){22}c", std::string(3000, 'a') + "c"},  // it matches in the end, after 2^22 tries per position
      {"(a+)+b|a", runs},                              // one cheap match after every expensive failure
      {"(?:.|.){20}\r", ChineseText(20000)},           // a reader's rule over a chapter
  };
  for (const auto& [pattern, subject] : cases) {
    SCOPED_TRACE(pattern);
    RegexEngine engine;
    EXPECT_FALSE(engine.Compile(pattern, subject));
    EXPECT_EQ(engine.MatchCount(), 0);
    // The same engine runs the next pattern with a budget of its own.
    ASSERT_TRUE(engine.Compile("a", subject));
  }
}

INSTANTIATE_TEST_SUITE_P(JitAndInterpreter, BothMatchers, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Jit" : "Interpreter");
                         });

TEST(RegexEngine, EnginesOnSeveralThreads) {
  const std::string page = "<div>" + ChineseText(20000) + "</div><span>" + Gbk(u8"下一页") + "</span>";
  auto work = [&page] {
    std::vector<std::string> results;
    RegexEngine engine;
    engine.Compile(kCandidate, page);
    results.push_back(engine.GroupText(2, 2));
    engine.Compile(Gbk(u8"[\\u4e00-\\u9fa5]"), page);
    results.push_back(std::to_string(engine.MatchCount()));
    engine.Compile(kTag, page);
    results.push_back(engine.Replace());
    return results;
  };
  const std::vector<std::string> expected = work();
  std::vector<std::vector<std::string>> got(4);
  std::vector<std::thread> threads;
  for (auto& slot : got) {
    threads.emplace_back([&slot, &work] {
      for (int i = 0; i < 20; ++i) slot = work();
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : got) EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace lekto
