// Character references read as a browser reads them, in GBK text.
#include "text/character_references.h"

#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace lekto::text {
namespace {

struct ReferenceCase {
  const char* name;
  std::u8string_view text;
  std::u8string_view shown;  // what the reader sees, UTF-8
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
  *os << c.name;
}

class ReferenceTest : public testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceTest, ShowsWhatABrowserShows) {
  const ReferenceCase& c = GetParam();
  const std::string text(c.text.begin(), c.text.end());
  EXPECT_EQ(AnsiToUtf8(DecodeCharacterReferences(Utf8ToText(text))), std::string(c.shown.begin(), c.shown.end()));
}

INSTANTIATE_TEST_SUITE_P(
    References, ReferenceTest,
    testing::Values(ReferenceCase{"NamedBesideChinese", u8"“甲&amp;乙”&quot;丙&quot;&hellip;&mdash;&middot;",
                                  u8"“甲&乙”\"丙\"…—·"},
                    ReferenceCase{"DecimalAndHex", u8"&#31532;1&#x7AE0;&#X4E2D;&#39;", u8"第1章中'"},
                    // Past GBK: kept whole; the numbers browsers read as Windows-1252; what names no character.
                    ReferenceCase{"OutsideGbkAndWindows1252", u8"&#x1F600;&#x20BB7;&#151;&#147;x&#148;",
                                  u8"\U0001F600\U00020BB7—“x”"},
                    ReferenceCase{"NoCharacter", u8"a&#0;b&#xD800;c&#99999999999;d", u8"a\uFFFDb\uFFFDc\uFFFDd"},
                    ReferenceCase{"SpacesAndInvisibles", u8"a&nbsp;b&zwj;c&shy;d&#8203;e", u8"a bcde"},
                    // Not references: prose, unknown names, a missing ";", names in another case, a bare "&#".
                    ReferenceCase{"LeftAsTheyStand", u8"A & B &bogus; &amp &Amp; &#; &#x; &#12a; 甲&乙",
                                  u8"A & B &bogus; &amp &Amp; &#; &#x; &#12a; 甲&乙"},
                    ReferenceCase{"NestedOnlyOnce", u8"&amp;lt; &amp;amp;", u8"&lt; &amp;"}),
    [](const testing::TestParamInfo<ReferenceCase>& info) { return info.param.name; });

}  // namespace
}  // namespace lekto::text
