#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

namespace lekto::text {
namespace {

// "中文" in UTF-8 and in GBK.
const std::string kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";

struct CharsetCase {
  const char* page;
  bool utf;
};

TEST(DeclaresUtfCharset, FirstDeclarationDecides) {
  const CharsetCase cases[] = {
      {R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8" />)", true},
      {R"(<META CONTENT="text/html; CHARSET=UTF-8">)", true},
      {R"(<meta charset="UTF-8">)", true},
      {"<meta charset='utf8'>", true},
      {"charset=\"'utf-16le'\"", true},
      {R"(<meta charset="gbk">)", false},
      {"<meta content=\"text/html; charset=gbk\">", false},
      {"<meta charset=gb2312>", false},
      {"<html><head><title>x</title></head></html>", false},
      {"", false},
      // Only the first declaration counts, wherever it stands.
      {"<meta charset=gbk><script>var c = 'charset=utf-8';</script>", false},
      {"<body>charset=utf-8</body><meta charset=gbk>", true},
      // A "charset=" not followed by a charset name is no declaration; the next one decides.
      {"charset=\"\" charset=utf-8", true},
      {"charset= utf-8", false},
      {"charset =utf-8", false},
      {"charset=gb-utf", true},  // the marker may stand anywhere in the name
      // A UTF-8 Chinese character right before the declaration does not hide its "c".
      {"<title>\xE4\xB8\xAD"
       "charset=utf-8",
       true},
  };
  for (const auto& c : cases) EXPECT_EQ(DeclaresUtfCharset(c.page), c.utf) << c.page;
}

struct ConversionCase {
  std::string in;
  std::string out;
};

TEST(Utf8ToAnsi, ConvertsAndReplacesWhatItCannot) {
  const ConversionCase cases[] = {
      {"", ""},
      {"plain ASCII\r\n", "plain ASCII\r\n"},
      {kZhongWenUtf8, kZhongWenGbk},
      {"\xE2\x82\xAC", "\x80"},      // the euro sign is the single byte 0x80
      {"\xE3\x80\x80", "\xA1\xA1"},  // full-width space
      {"a\xF0\x9F\x98\x80"
       "b",
       "a?b"},                // an emoji has no GBK form: one "?"
      {"\xEF\xBF\xBD", "?"},  // nor has the replacement character
      {"\xEF\xBB\xBF"
       "abc",
       "abc"},           // a leading byte order mark is dropped
      {"ab\0cd", "ab"},  // text ends at its first NUL
      // Ill-formed UTF-8: one "?" per maximal subpart, and the rest of the text survives.
      {"\xC0\xAF"
       "x",
       "??x"},  // overlong lead, then a lone continuation byte
      {"\xE4\xB8"
       "x",
       "?x"},                        // a cut-off three-byte character
      {"\xE4\xB8", "?"},             // cut off by the end of the text
      {"\xED\xA0\x80", "???"},       // an encoded surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xF0\x9F\x98"
       "x",
       "?x"},  // a cut-off emoji
      {"\xFF\xFE", "??"},
      {"\x80"
       "\xE4\xB8\xAD",
       "?\xD6\xD0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.in), c.out) << testing::PrintToString(c.in);
}

TEST(Utf8ToAnsi, EmojiInTheMiddleOfAPageKeepsEverythingAfterIt) {
  std::string page = "<html><title>" + kZhongWenUtf8 + "</title><body>";
  std::string expected = "<html><title>" + kZhongWenGbk + "</title><body>";
  for (int i = 0; i < 1000; ++i) {
    page += kZhongWenUtf8;
    expected += kZhongWenGbk;
  }
  page += "\xF0\x9F\x98\x80";
  expected += "?";
  for (int i = 0; i < 1000; ++i) {
    page += kZhongWenUtf8 + "<br/>";
    expected += kZhongWenGbk + "<br/>";
  }
  EXPECT_EQ(Utf8ToAnsi(page), expected);
}

TEST(AnsiToUtf8, DecodesInvalidGbkOneCharacterAtATime) {
  const ConversionCase cases[] = {
      {"", ""},
      {kZhongWenGbk, kZhongWenUtf8},
      {"\x80", "\xE2\x82\xAC"},
      {"\x81\x40@", "\xE4\xB8\x82@"},  // 0x40 as a trail byte, then a real "@"
      {"ab\x81", "ab\xEF\xBF\xBD"},    // a lead byte at the end
      {"\x81"
       "0",
       "\xEF\xBF\xBD"
       "0"},  // a byte that cannot trail stands on its own
      {"\xD6\x7F", "\xEF\xBF\xBD\x7F"},
      {"\xFF\xD6\xD0", "\xEF\xBF\xBD\xE4\xB8\xAD"},  // 0xFF is one invalid byte
      {"\xD6\xD0\0\xD6\xD0", "\xE4\xB8\xAD"},        // text ends at its first NUL
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(c.in), c.out) << testing::PrintToString(c.in);
}

TEST(AnsiToUtf8, EveryGbkCharacterSurvivesTheRoundTrip) {
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      std::size_t pos = 0;
      if (NextGbkChar(gbk, pos) == 0xFFFD) continue;
      ++mapped;
      EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(gbk)), gbk) << std::hex << lead << ' ' << trail;
    }
  }
  EXPECT_GT(mapped, 21000);  // GBK holds about 21,900 characters
}

TEST(NextGbkChar, StepsOverWholeCharacters) {
  const std::string text =
      "a\xD6\xD0\x80\x81"
      "0\xFF\xA1\xA1\x81";
  const std::vector<std::pair<char32_t, std::size_t>> expected = {
      {U'a', 1}, {U'中', 3}, {U'€', 4}, {0xFFFD, 5}, {U'0', 6}, {0xFFFD, 7}, {U'\u3000', 9}, {0xFFFD, 10},
  };
  std::size_t pos = 0;
  for (const auto& [cp, next] : expected) {
    EXPECT_EQ(NextGbkChar(text, pos), cp);
    EXPECT_EQ(pos, next);
  }
  EXPECT_EQ(NextGbkChar(text, pos), 0U);
  EXPECT_EQ(pos, text.size());
}

TEST(ToWide, ReadsTheChosenCodePage) {
  EXPECT_EQ(ToWide(kZhongWenUtf8), u"中文");
  EXPECT_EQ(ToWide(kZhongWenGbk, 936), u"中文");
  EXPECT_EQ(ToWide(kZhongWenGbk, 0), u"中文");
  EXPECT_EQ(ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(ToWide("a\xE4\xB8"
                   "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ToWide(""), u"");
  EXPECT_EQ(ToWide("abc", 1252), u"");  // a code page this system does not know
}

TEST(FromWide, WritesTheChosenCodePage) {
  EXPECT_EQ(FromWide(u"中文"), kZhongWenGbk);
  EXPECT_EQ(FromWide(u"中文", 936), kZhongWenGbk);
  EXPECT_EQ(FromWide(u"中文", 65001), kZhongWenUtf8);
  EXPECT_EQ(FromWide(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(FromWide(u"a\U0001F600b", 65001),
            "a\xF0\x9F\x98\x80"
            "b");
  const std::u16string loneSurrogate = {u'a', 0xD800, u'b'};
  EXPECT_EQ(FromWide(loneSurrogate), "a?b");
  EXPECT_EQ(FromWide(loneSurrogate, 65001),
            "a\xEF\xBF\xBD"
            "b");
  const std::u16string withTerminator = {u'a', 0, u'b'};
  EXPECT_EQ(FromWide(withTerminator), "a");
  EXPECT_EQ(FromWide(u"abc", 1252), "");
}

TEST(PercentDecode, FollowsTheByteRules) {
  const struct {
    std::string in;
    bool fromUtf8;
    std::string out;
  } cases[] = {
      {"%E4%B8%AD", true, "\xD6\xD0"},
      {"%E4%B8%AD", false, "\xE4\xB8\xAD"},
      {"a%2fb", false, "a/b"},
      {"a%2Fb", false, "a/b"},
      {"a+b", false, "a+b"},   // a plus sign stays a plus sign
      {"%zz", false, "\xDE"},  // a non-digit counts as -2
      {"%z1", false, "\xE1"},
      {"abc%", false, "abc"},  // a lone "%" at the end vanishes
      {"%4", false, "@"},      // a missing digit counts as 0
      {"%A", false, "\xA0"},
      {"a%00b", false, "ab"},  // a zero byte appends nothing
      {"\xD6\xD0%41", false,
       "\xD6\xD0"
       "A"},                  // GBK passes through byte by byte
      {"%E4%B8", true, "?"},  // cut-off UTF-8 after decoding
      {"", true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PercentDecode(c.in, c.fromUtf8), c.out) << testing::PrintToString(c.in) << ' ' << c.fromUtf8;
  }
}

// Each test runs in a process of its own, so this is the first use of the conversion tables: threads that
// race to build them all see them complete.
TEST(TextCodec, ConcurrentFirstUseSeesCompleteTables) {
  std::array<std::string, 4> results;
  std::vector<std::thread> threads;
  for (auto& result : results) threads.emplace_back([&result] { result = Utf8ToAnsi(kZhongWenUtf8); });
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, kZhongWenGbk);
}

TEST(Gbk, ConvertsSourceLiterals) {
  EXPECT_EQ(Gbk(u8"中文"), kZhongWenGbk);
  EXPECT_EQ(Gbk(u8"下一页"), "\xCF\xC2\xD2\xBB\xD2\xB3");
  EXPECT_EQ(Gbk(u8""), "");
}

}  // namespace
}  // namespace lekto::text
