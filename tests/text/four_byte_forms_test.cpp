// Characters GBK lacks, kept in the working text as four-byte forms until a book is written.
#include "text/four_byte_forms.h"

#include <gtest/gtest.h>

#include <string>

#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

namespace lekto::text {
namespace {

// A Chinese sentence with an emoji, a rare ideograph of plane 2, an Ä (Latin, outside GBK), a kana GBK lacks (ゔ),
// a private-use character some sites draw with their own font, and the euro sign (which GBK has, as 0x80).
const std::string kUtf8 =
    "\xE4\xB8\xAD\xF0\x9F\x98\x80\xF0\xA0\x80\x80\xC3\x84\xE3\x82\x94\xEE\x80\x80\xE2\x82\xAC\xE6\x96\x87";

TEST(FourByteForms, KeepCharactersGbkLacksUntilAGbkBookDropsThem) {
  const std::string kept = Utf8ToText(kUtf8);
  // 中 and 文 keep their GBK bytes, the euro sign its one byte; the rest take four bytes each.
  ASSERT_EQ(kept.size(), 2u + 4 * 5 + 1 + 2);
  EXPECT_EQ(kept.substr(0, 2), "\xD6\xD0");
  EXPECT_EQ(kept.substr(kept.size() - 3), "\x80\xCE\xC4");
  for (std::size_t i = 2; i < 22; i += 4) {
    EXPECT_TRUE(IsFourByteFormAt(reinterpret_cast<const unsigned char*>(kept.data()), kept.size(), i)) << i;
  }

  EXPECT_EQ(AnsiToUtf8(kept), kUtf8);  // nothing lost on the way to a UTF-8 book
  EXPECT_EQ(FromWide(ToWide(kUtf8), 65001), AnsiToUtf8(kept));
  EXPECT_EQ(ToWide(kept, 936), ToWide(kUtf8));
  // The GBK book: byte for byte what the page conversion gave before characters were kept.
  EXPECT_EQ(DropKeptCharacters(kept), Utf8ToAnsi(kUtf8));
  EXPECT_EQ(DropKeptCharacters(kept), "\xD6\xD0?????\x80\xCE\xC4");

  std::size_t pos = 2;
  EXPECT_EQ(NextGbkChar(kept, pos), U'\U0001F600');
  EXPECT_EQ(pos, 6u);
}

TEST(FourByteForms, RealGb18030BytesOfAGbkPageDecodeAndStayInAGbkBook) {
  // Sites declaring GBK sometimes send GB18030: 😀 94 39 FC 36, Ä 81 30 87 32, 𠀀 95 32 82 36.
  const std::string page = "a\x94\x39\xFC\x36\x81\x30\x87\x32\x95\x32\x82\x36z";
  EXPECT_EQ(AnsiToUtf8(page), "a\xF0\x9F\x98\x80\xC3\x84\xF0\xA0\x80\x80z");
  EXPECT_EQ(DropKeptCharacters(page), page);
  // Characters outside the planes kept (15 and 16: private use) and broken UTF-8 still become "?".
  EXPECT_EQ(Utf8ToText("\xF3\xB0\x80\x80|\xE4\xB8"), "?|?");
  // A kept form never starts in the middle of a character: the trail byte E4 of D6 E4 is no lead.
  const std::string pairThenDigits = "\xD6\xE4\x30\x81\x30";
  EXPECT_EQ(DropKeptCharacters(pairThenDigits), pairThenDigits);
}

TEST(FourByteForms, SearchesStepOverWholeForms) {
  const std::string kept = Utf8ToText("\xF0\x9F\x98\x80\xF0\x9F\x98\x81\xF0\x9F\x98\x82");  // three emoji
  ASSERT_EQ(kept.size(), 12u);
  // The middle four bytes of two neighbouring forms have a form's shape, but begin inside a character.
  const std::string straddling = kept.substr(2, 4);
  ASSERT_TRUE(IsFourByteFormAt(reinterpret_cast<const unsigned char*>(straddling.data()), 4, 0));
  EXPECT_EQ(Find(kept, straddling), -1);
  EXPECT_EQ(Find(kept, kept.substr(6, 4) + kept.substr(10, 2)), -1);
  EXPECT_EQ(ReplaceAll(kept, straddling, "x"), kept);
  EXPECT_EQ(Find(kept, kept.substr(4, 4)), 5);
  EXPECT_EQ(FindLast(kept + kept, kept.substr(8, 4)), 21);
  // Digits inside forms are no digits of the text.
  EXPECT_EQ(Find(kept, "0"), -1);
  EXPECT_EQ(Split(kept + "0" + kept, "0").size(), 2u);
  EXPECT_TRUE(EndsWith("1" + kept, kept.substr(8)));
  EXPECT_FALSE(EndsWith(kept, kept.substr(10)));
  // A form after a Chinese character and a digit: the digit ends a character of its own.
  const std::string mixed = Gbk(u8"第") + "3" + kept + Gbk(u8"章");
  EXPECT_EQ(Find(mixed, Gbk(u8"章")), 16);
  EXPECT_EQ(Find(mixed, kept.substr(4, 4) + kept.substr(8, 4)), 8);
}

TEST(FourByteForms, PatternsMatchAKeptCharacterAsOneCharacter) {
  const std::string kept = Utf8ToText("\xE4\xB8\xAD\xF0\x9F\x98\x80\xE6\x96\x87 7");
  RegexEngine dot;
  ASSERT_TRUE(dot.Compile(Gbk(u8"中.文"), kept));
  EXPECT_EQ(dot.MatchCount(), 1);
  RegexEngine digits;
  ASSERT_TRUE(digits.Compile("\\d", kept));
  EXPECT_EQ(digits.Replace(), kept.substr(0, kept.size() - 1));  // only the real digit goes
  RegexEngine emoji;
  ASSERT_TRUE(emoji.Compile(Utf8ToText("\xF0\x9F\x98\x80"), kept));
  EXPECT_EQ(emoji.Replace("[$&]"), Gbk(u8"中") + "[" + kept.substr(2, 4) + "]" + Gbk(u8"文") + " 7");
}

}  // namespace
}  // namespace lekto::text
