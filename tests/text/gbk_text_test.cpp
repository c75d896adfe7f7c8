#include "text/gbk_text.h"

#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lekto::text {
namespace {

// Two-byte GBK characters whose second byte is an ASCII character: 0x81 0x40 (second byte "@"),
// 0x81 0x41 (second byte "A") and 0xB0 0xA1 (second byte 0xA1, the first half of a full-width space).
const std::string kTrailAt = "\x81\x40";
const std::string kTrailA = "\x81\x41";
const std::string kTrailA1 = "\xB0\xA1";
const std::string kZhong = "\xD6\xD0";  // "中"
const std::string kFullWidthSpace = "\xA1\xA1";

struct FindCase {
  std::string text;
  std::string what;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(Find, StepsOverWholeCharacters) {
  const FindCase cases[] = {
      {"hello world", "o", 1, false, 5},
      {"hello world", "O", 1, false, -1},
      {"hello world", "O", 1, true, 5},
      {"hello", "", 3, false, 3},
      {"hello", "", 6, false, 6},  // just past the end
      {"hello", "", 7, false, -1},
      {"hello", "h", 0, false, 1},  // a start before the text starts at the beginning
      {"", "a", 1, false, -1},
      {kZhong + "abc", "b", 1, false, 4},
      // An ASCII byte inside a two-byte character is no match; the real one after it is.
      {kTrailAt, "@", 1, false, -1},
      {kTrailAt + "@", "@", 1, false, 3},
      {kTrailAt + kTrailAt + "x@", "@", 1, false, 6},
      {"a" + kTrailA, "a", 2, true, -1},
      {kTrailA + "a", "A", 1, true, 3},
      // A pair of bytes straddling two characters is no character of the text.
      {kTrailA1 + kTrailA1, "\xA1\xB0", 1, false, -1},
      {kTrailA1 + kFullWidthSpace, kFullWidthSpace, 1, false, 3},
      {"x" + kTrailA1 + kTrailA1 + kTrailA1, "\xA1\xB0", 1, false, -1},
      // Ignoring case leaves second bytes alone: 0x81 0x41 is not 0x81 0x61.
      {kTrailA, "\x81\x61", 1, true, -1},
      {kTrailA + "X", kTrailA + "x", 1, true, 1},
      {"NEXT" + kZhong, "next" + kZhong, 1, true, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, c.what, c.start, c.ignoreCase), c.expected)
        << testing::PrintToString(c.text) << " / " << testing::PrintToString(c.what) << " from " << c.start;
  }
}

// 0x80 (the euro sign) and 0xFF are characters of one byte, as the codec reads them: the byte after them starts a
// character of its own. Every character the codec steps over is found exactly where it starts.
TEST(Find, EuroSignAndFfAreOneByteCharactersAsInTheCodec) {
  EXPECT_EQ(Find("\x80" + kZhong, kZhong), 2);
  EXPECT_EQ(Find("\xFF"
                 "A",
                 "a", 1, true),
            2);
  EXPECT_EQ(FindLast("\x80@\xFF@", "@"), 4);
  EXPECT_EQ(ReplaceAll("\x80" + kZhong + "\xFF" + kZhong, kZhong, "x"), "\x80x\xFFx");
  EXPECT_EQ(ToUpperAscii("\x80"
                         "a\xFF"
                         "b"),
            "\x80"
            "A\xFF"
            "B");
  EXPECT_TRUE(
      EndsWith("\x80"
               "A",
               "A"));
  EXPECT_EQ(Trim("\x80 " + kFullWidthSpace), "\x80");
  // As a trail byte 0x80 still belongs to the character before it.
  EXPECT_EQ(Find("\xB0\x80"
                 "A",
                 "\x80"),
            -1);

  const std::string text = "\x80" + kZhong +
                           "\xFF"
                           "A\x80\x80" +
                           kTrailA + "\xFE\x80\xFF" + kFullWidthSpace + "\x80";
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    NextGbkChar(text, pos);
    const std::string character = text.substr(start, pos - start);
    EXPECT_EQ(Find(text, character, static_cast<int>(start) + 1), static_cast<int>(start) + 1) << "at " << start;
    EXPECT_TRUE(EndsWith(text.substr(0, pos), character)) << "at " << start;
  }
}

TEST(Find, LongRunsOfTwoByteCharactersStayOnTheirBoundaries) {
  // Every "\xA1\xB0" here straddles two characters except the last one, which follows an odd "x".
  std::string text;
  for (int i = 0; i < 100000; ++i) text += kTrailA1;
  const std::string tail = "x\xA1\xB0";
  EXPECT_EQ(Find(text, "\xA1\xB0"), -1);
  EXPECT_EQ(Find(text + tail, "\xA1\xB0"), static_cast<int>(text.size()) + 2);
  EXPECT_EQ(Find(text + tail, "\xA1\xB0", 1, true), static_cast<int>(text.size()) + 2);
  EXPECT_EQ(FindLast(text, kTrailA1), static_cast<int>(text.size()) - 1);
}

TEST(FindLast, FindsTheLastWholeCharacterMatch) {
  EXPECT_EQ(FindLast("a/b/c", "/"), 4);
  EXPECT_EQ(FindLast("aaa", "aa"), 2);
  EXPECT_EQ(FindLast("a/b", "x"), -1);
  EXPECT_EQ(FindLast("abc", ""), -1);
  EXPECT_EQ(FindLast("@" + kTrailAt, "@"), 1);
  EXPECT_EQ(FindLast("A.b.B", "b", true), 5);
  EXPECT_TRUE(Contains("Set-Cookie: x", "set-cookie", true));
  EXPECT_FALSE(Contains(kTrailAt, "@"));
}

TEST(ReplaceAll, ReplacesEveryWholeCharacterMatch) {
  const struct {
    std::string text, from, to;
    bool ignoreCase;
    std::string expected;
  } cases[] = {
      {"a-b-c", "-", "+", false, "a+b+c"},
      {"aaa", "a", "aa", false, "aaaaaa"},  // replaced text is not scanned again
      {"aaaa", "aa", "b", false, "bb"},
      {"abc", "", "x", false, "abc"},
      {"abc", "b", "", false, "ac"},
      {"", "a", "b", false, ""},
      {"Set-Cookie set-cookie SET-COOKIE", "set-cookie", "Set-Cookie", true, "Set-Cookie Set-Cookie Set-Cookie"},
      {kTrailAt + "@", "@", "#", false, kTrailAt + "#"},
      {kTrailA + "a", "A", "b", true, kTrailA + "b"},
      {kZhong + "&nbsp;" + kZhong, "&nbsp;", " ", false, kZhong + " " + kZhong},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAll(c.text, c.from, c.to, c.ignoreCase), c.expected) << testing::PrintToString(c.text);
  }
}

TEST(Split, KeepsInnerEmptyPiecesAndDropsAnEmptyLastOne) {
  using Pieces = std::vector<std::string>;
  const struct {
    std::string text, separator;
    Pieces expected;
  } cases[] = {
      {"", ",", {}},
      {"a", ",", {"a"}},
      {"a,b", ",", {"a", "b"}},
      {"a,,b", ",", {"a", "", "b"}},
      {"a,b,", ",", {"a", "b"}},
      {",a", ",", {"", "a"}},
      {",", ",", {""}},
      {",,", ",", {"", ""}},
      {"abc", "", {"abc"}},
      {kTrailAt + "@x", "@", {kTrailAt, "x"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.text, c.separator), c.expected) << testing::PrintToString(c.text);
}

TEST(Trim, RemovesOnlySpacesAndFullWidthSpaces) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {"  a b  ", "a b"},
      {kFullWidthSpace + " a " + kFullWidthSpace + kFullWidthSpace, "a"},
      {"\ta\r\n", "\ta\r\n"},  // tabs and line breaks stay
      {" \t a", "\t a"},
      {kZhong + kFullWidthSpace + kZhong, kZhong + kFullWidthSpace + kZhong},
      // The last two bytes are A1 A1, but the first belongs to the character B0 A1: nothing to trim.
      {kTrailA1 + "\xA1", kTrailA1 + "\xA1"},
      {kTrailA1 + kTrailA1 + kFullWidthSpace, kTrailA1 + kTrailA1},
      {"x" + kTrailA1 + kFullWidthSpace + " ", "x" + kTrailA1},
      {kTrailA + " ", kTrailA},
  };
  for (const auto& c : cases) EXPECT_EQ(Trim(c.text), c.expected) << testing::PrintToString(c.text);
}

TEST(LeftRightMid, CountBytesAndClamp) {
  EXPECT_EQ(Left("abcdef", 2), "ab");
  EXPECT_EQ(Left("abc", 10), "abc");
  EXPECT_EQ(Left("abc", 0), "");
  EXPECT_EQ(Right("abcdef", 2), "ef");
  EXPECT_EQ(Right("abc", 10), "abc");
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 2), "bcdef");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("abcdef", 7, 1), "");
  EXPECT_EQ(Mid("abcdef", 0, 2), "ab");
  EXPECT_EQ(Left(kZhong + "x", 1), "\xD6");  // byte counts, not characters
}

TEST(CaseMapping, TouchesAsciiLettersOnly) {
  EXPECT_EQ(ToLowerAscii("HeLLo 1-Z"), "hello 1-z");
  EXPECT_EQ(ToUpperAscii("HeLLo 1-z"), "HELLO 1-Z");
  // The second bytes 0x41 and 0x61 are not letters here; changing them would change the character.
  EXPECT_EQ(ToLowerAscii(kTrailA + "A"), kTrailA + "a");
  EXPECT_EQ(ToUpperAscii("\x81\x61"
                         "a"),
            "\x81\x61"
            "A");
  EXPECT_EQ(ToUpperAscii("\xC0\xE0"), "\xC0\xE0");
}

TEST(StartsEndsWith, MatchWholeCharacters) {
  EXPECT_TRUE(StartsWith("http://x", "http"));
  EXPECT_FALSE(StartsWith("ht", "http"));
  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_TRUE(EndsWith("a.txt", ".txt"));
  EXPECT_FALSE(EndsWith("txt", "a.txt"));
  EXPECT_TRUE(EndsWith(kZhong + kZhong, kZhong));
  EXPECT_TRUE(EndsWith("abc", ""));
  // "\xA1" ends the bytes of B0 A1 but not its characters.
  EXPECT_FALSE(EndsWith(kTrailA1, "\xA1"));
  EXPECT_FALSE(EndsWith(kTrailAt, "@"));
  EXPECT_TRUE(EndsWith(kTrailAt + "@", "@"));
}

}  // namespace
}  // namespace lekto::text
