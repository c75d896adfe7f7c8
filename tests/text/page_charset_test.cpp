#include "text/page_charset.h"

#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace lekto::text {
namespace {

using Kind = PageCharset::Kind;

std::string Utf8(std::u8string_view s) {
  return std::string(s.begin(), s.end());
}

// A Traditional-Chinese sentence in Big5, as a Taiwanese site serves it, and the same sentence as GBK text.
const std::string kBig5Sentence = [] {
  const char* hex =
      "a54cbba1a147a175b36fac4fa440add3c163c5e9a4a4a4e5aabab4fab8d5adb6adb1a141a853a6b3abc5a769a5f4a6f3a672a4b8b6b0"
      "a143a176a7daadccacddacddc273c4fdbeb9b77cabe7bbf2c5aaa5a6a143";
  std::string bytes;
  for (const char* p = hex; *p; p += 2) bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
  return bytes;
}();
const std::u8string_view kSentence =
    u8"他說：「這是一個繁體中文的測試頁面，沒有宣告任何字元集。」我們看看瀏覽器會怎麼讀它。";
// "中文" in GBK; the same four bytes in Big5 read "笢恅".
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";

struct Case {
  const char* name;
  std::string body;
  const char* contentType;
  std::string text;  // the page as GBK text
  bool declaresUtf;
};

// How pages come out as GBK text: the written rule's results stay byte for byte (declared or undeclared GBK,
// declared UTF-8); the rest is read as a browser reads it.
TEST(PageCharset, PagesReadAsABrowserReadsThem) {
  const std::string gbkPage = "<meta charset=gbk>" + kZhongWenGbk + "\x80\xFF\x81";
  const Case cases[] = {
      {"GbkStaysByteForByte", gbkPage, "", gbkPage, false},
      {"UndeclaredGbkStays", "<p>" + Gbk(kSentence) + "</p>", "", "<p>" + Gbk(kSentence) + "</p>", false},
      {"ShortUndeclaredGbkStays", kZhongWenGbk, "", kZhongWenGbk, false},
      {"DeclaredUtf8", Utf8(u8"<meta charset=utf-8>中文"), "", "<meta charset=utf-8>" + kZhongWenGbk, true},
      {"ByteOrderMarkBeatsTheMeta", Utf8(u8"\uFEFF<meta charset=gbk>中文"), "", "<meta charset=gbk>" + kZhongWenGbk,
       true},
      {"Utf16ByteOrderMark", std::string("\xFF\xFE<\0p\0>\0\x2D\x4E\x87\x65", 12), "", "<p>" + kZhongWenGbk, true},
      // Valid UTF-8 with Chinese in it is UTF-8, whatever a meta tag or the header claims.
      {"Utf8BytesUnderAGbkMeta", Utf8(u8"<meta charset=gbk>中文"), "", "<meta charset=gbk>" + kZhongWenGbk, false},
      {"Utf8BytesUnderAGbkHeader", Utf8(u8"中文"), "text/html; charset=GBK", kZhongWenGbk, false},
      {"UndeclaredUtf8", Utf8(u8"<p>中文</p>"), "", "<p>" + kZhongWenGbk + "</p>", false},
      {"UndeclaredUtf8WithoutChinese", Utf8(u8"caf\u00e9"), "", "caf" + Gbk(u8"\u00e9"), false},
      // The header speaks when the page does not; a UTF-8 meta over GBK bytes yields to a GBK header.
      {"HeaderBig5", kBig5Sentence, "text/html; charset=big5", Gbk(kSentence), false},
      {"Utf8MetaOverGbkBytesYieldsToTheHeader", "<meta charset=utf-8>" + Gbk(kSentence), "text/html;charset=\"gbk\"",
       "<meta charset=utf-8>" + Gbk(kSentence), true},
      {"MetaBig5", "<meta charset=\"Big5\">" + kBig5Sentence, "", "<meta charset=\"Big5\">" + Gbk(kSentence), false},
      {"UndeclaredBig5IsDetected", "<div>" + kBig5Sentence + "</div>", "", "<div>" + Gbk(kSentence) + "</div>", false},
      // Latin-1 labels read as windows-1252 (0x80 the euro sign, which GBK has); a character GBK lacks (U+0178)
      // is kept as its four-byte form, which a GBK book turns into "?".
      {"Latin1", "caf\xE9 \x80 \x9F", "text/html; charset=ISO-8859-1",
       "caf" + Gbk(u8"\u00e9") + " \x80 \xE4\x30\xA6\x36", false},
      {"UnknownCharsetIsIgnored", "<meta charset=x-unheard-of>" + kZhongWenGbk, "",
       "<meta charset=x-unheard-of>" + kZhongWenGbk, false},
  };
  for (const Case& c : cases) {
    const PageCharset charset = DecidePageCharset(c.body, c.contentType);
    EXPECT_EQ(PageToGbk(c.body, charset), c.text) << c.name;
    EXPECT_EQ(charset.declaresUtf, c.declaresUtf) << c.name;
  }
}

// A UTF-8 declaration over bytes that are plainly not UTF-8, with nothing else named, never makes them UTF-8:
// a later page reads as the first page of its chapter or table of contents was read, and where no earlier page
// decides (a first page, or a first page that was UTF-8) the bytes do. The text ends at its first NUL in every
// charset.
TEST(PageCharset, Utf8DeclarationOverOtherBytesGivesWay) {
  const std::string body = "<meta charset=utf-8>" + Gbk(kSentence);
  const PageCharset alone = DecidePageCharset(body, "");
  EXPECT_EQ(alone.kind, Kind::kGbk);
  EXPECT_TRUE(alone.declaresUtf);  // "转码" still does not apply
  EXPECT_EQ(PageToGbk(body, alone), body);

  const PageCharset gbkFirst = DecidePageCharset("<meta charset=gbk>" + Gbk(kSentence), "");
  const PageCharset next = DecidePageCharset(body, "text/html; charset=utf-8", &gbkFirst);
  EXPECT_EQ(PageToGbk(body, next), body);
  const PageCharset big5First = DecidePageCharset("<div>" + kBig5Sentence + "</div>", "");
  ASSERT_EQ(big5First.kind, Kind::kOther);
  const std::string big5Page = "<meta charset=utf-8><p>" + kBig5Sentence + "</p>";
  EXPECT_EQ(DecidePageCharset(big5Page, "", &big5First).name, big5First.name);
  const PageCharset utf8First = DecidePageCharset(Utf8(u8"<meta charset=utf-8>中文"), "");
  EXPECT_EQ(PageToGbk(body, DecidePageCharset(body, "", &utf8First)), body);

  EXPECT_EQ(PageToGbk(std::string("a\0b", 3), DecidePageCharset("x", "text/html; charset=big5")), "a");
  EXPECT_EQ(PageToGbk(std::string("\xFF\xFE"
                                  "a\0\0\0b\0",
                                  8),
                      DecidePageCharset("\xFF\xFE", "")),
            "a");
}

// A continuation page that names no charset reads as the first page did: four Big5 bytes alone are too few
// for anyone to tell them from GBK.
TEST(PageCharset, ContinuationPagesInheritTheFirstPagesCharset) {
  const PageCharset first = DecidePageCharset("<div>" + kBig5Sentence + "</div>", "");
  ASSERT_EQ(first.kind, Kind::kOther);
  const std::string shortBig5 = "\xA4\xA4\xA4\xE5";  // 中文
  EXPECT_EQ(PageToGbk(shortBig5, DecidePageCharset(shortBig5, "", &first)), kZhongWenGbk);
  EXPECT_EQ(PageToGbk(shortBig5, DecidePageCharset(shortBig5, "")), shortBig5);
  // What a continuation page names itself wins, and so do its UTF-8 bytes.
  EXPECT_EQ(PageToGbk(kZhongWenGbk, DecidePageCharset(kZhongWenGbk, "text/html; charset=gbk", &first)), kZhongWenGbk);
  EXPECT_EQ(PageToGbk(Utf8(u8"中文"), DecidePageCharset(Utf8(u8"中文"), "", &first)), kZhongWenGbk);
  // A UTF-8 first page hands on its "转码" exemption, not its charset, to GBK bytes.
  const PageCharset utf8First = DecidePageCharset(Utf8(u8"<meta charset=utf-8>中文"), "");
  const PageCharset gbkNext = DecidePageCharset("<p>" + Gbk(kSentence) + "</p>", "", &utf8First);
  EXPECT_EQ(gbkNext.kind, Kind::kGbk);
}

}  // namespace
}  // namespace lekto::text
