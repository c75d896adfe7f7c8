#include "app/filter_box.h"

#include "app/qt_text.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>
#include <QString>
#include <string>
#include <vector>

namespace lekto {
namespace {

using Items = std::vector<std::string>;

std::string G(const char8_t* utf8) {
  return text::Utf8ToAnsi(reinterpret_cast<const char*>(utf8));
}

struct SplitCase {
  const char* name;
  std::string text;
  Items items;
};

TEST(SplitTextItems, CutsBytesCharactersAndLineBreaks) {
  const std::string zhong = G(u8"中");
  const std::string wen = G(u8"文");
  const std::vector<SplitCase> cases = {
      {"empty", "", {}},
      {"ascii", "ab", {"a", "b"}},
      {"double-byte", zhong + "a" + wen, {zhong, "a", wen}},
      {"line breaks", "a\r\nb\r\n", {"a", "\r\n", "b", "\r\n"}},
      {"lone CR", "a\rb", {"a", "\r", "b"}},
      {"CR at the end", "a\r", {"a", "\r"}},
      {"0x80 is single",
       "\x80"
       "a",
       {"\x80", "a"}},
      {"lead byte last", "a\x81", {"a", "\x81"}},
      // A lead byte takes the next byte whatever it is, even a CR.
      {"lead byte before CR LF", "\x81\r\n", {"\x81\r", "\n"}},
  };
  for (const SplitCase& c : cases) EXPECT_EQ(SplitTextItems(c.text), c.items) << c.name;
}

TEST(SplitTextItems, WeighsLineBreaksTwo) {
  EXPECT_EQ(ItemWeight("\r\n"), 2);
  EXPECT_EQ(ItemWeight("\r"), 1);
  EXPECT_EQ(ItemWeight(G(u8"中")), 1);
}

struct CaretCase {
  int caret;
  std::string before;
  std::string after;
};

TEST(TextAroundCaret, SplitsWhereTheWeightsReachTheCaret) {
  const Items items = SplitTextItems("ab\r\ncd\r\nef");
  const std::vector<CaretCase> cases = {
      {0, "", "ab\r\ncd\r\nef"},
      {2, "ab", "\r\ncd\r\nef"},
      {3, "ab", "\r\ncd\r\nef"},  // inside a line break: the
                                  // break stays after the caret
      {4, "ab\r\n", "cd\r\nef"},
      {6, "ab\r\ncd", "\r\nef"},
      {10, "ab\r\ncd\r\nef", ""},
      {99, "ab\r\ncd\r\nef", ""},
  };
  for (const CaretCase& c : cases) {
    EXPECT_EQ(TextBeforeCaret(items, c.caret), c.before) << c.caret;
    EXPECT_EQ(TextAfterCaret(items, c.caret), c.after) << c.caret;
    EXPECT_EQ(InsertAtCaret(items, c.caret, ".*?"), c.before + ".*?" + c.after) << c.caret;
  }
}

TEST(TextAroundCaret, CountsADoubleByteCharacterOnce) {
  const Items items = SplitTextItems(G(u8"过滤\r\n规则"));
  EXPECT_EQ(InsertAtCaret(items, 1, "X"), G(u8"过X滤\r\n规则"));
  EXPECT_EQ(InsertAtCaret(items, 4, "X"), G(u8"过滤\r\nX规则"));
}

TEST(TextAroundCaret, EmptySnapshotGivesTheFragmentAlone) {
  EXPECT_EQ(InsertAtCaret({}, 0, "[\\S\\s]*?"), "[\\S\\s]*?");
  EXPECT_EQ(InsertAtCaret({}, 7, ".*?"), ".*?");
}

TEST(CoreCaret, CountsLineBreaksTwoAndCharactersOnce) {
  const QString text = QStringLiteral("ab\n过滤\nef");
  EXPECT_EQ(CoreCaret(text, 0), 0);
  EXPECT_EQ(CoreCaret(text, 2), 2);
  EXPECT_EQ(CoreCaret(text, 3), 4);
  EXPECT_EQ(CoreCaret(text, 5), 6);
  EXPECT_EQ(CoreCaret(text, 6), 8);
  // A character outside the Basic Multilingual Plane is two UTF-16 units in Qt, one character in the core.
  EXPECT_EQ(CoreCaret(QStringLiteral("a\U0001F600b"), 3), 2);
}

TEST(GbkBoundary, TurnsLineFeedsIntoCrLfAndBack) {
  const QString box = QStringLiteral("过滤规则1\n过滤规则2");
  EXPECT_EQ(ToGbkLines(box), G(u8"过滤规则1\r\n过滤规则2"));
  EXPECT_EQ(FromGbkLines(ToGbkLines(box)), box);
  // Characters GBK lacks survive the way into the core and back.
  const QString rare = QStringLiteral("书名😀ゔ𠮷");
  EXPECT_EQ(FromGbk(ToGbk(rare)), rare);
}

}  // namespace
}  // namespace lekto
