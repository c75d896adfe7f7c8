// The name of a book whose title gives none: blank titles become "未命名" and the time, real titles stay as
// they are, and the book file is never a hidden one.
#include "download/book_name.h"

#include "download/book_assembler.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace lekto {
namespace {

using text::Gbk;

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(NamedBookTitleTest, BlankTitlesAreNamedAfterTheTime) {
  const std::tm time = At(2026, 3, 7, 9, 5, 4);
  const std::string expected = Gbk(u8"未命名_2026-03-07_09-05-04");
  for (const std::string& blank : {std::string(), std::string("   "), Gbk(u8"\u3000 \u3000")}) {
    EXPECT_EQ(NamedBookTitle(blank, time), expected) << blank;
  }
  EXPECT_EQ(BookFileName(NamedBookTitle("", time)), "未命名_2026-03-07_09-05-04.txt");
}

TEST(NamedBookTitleTest, RealTitlesStayByteForByte) {
  const std::tm time = At(2026, 12, 31, 23, 59, 59);
  for (const std::string& title : {Gbk(u8"青山夜话"), std::string(" x "), Gbk(u8"\u3000第一卷")}) {
    EXPECT_EQ(NamedBookTitle(title, time), title);
  }
}

}  // namespace
}  // namespace lekto
