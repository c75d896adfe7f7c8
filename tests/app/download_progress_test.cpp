// The words of the progress strip: the counts, the pace that leaves out chapters kept from an earlier run, and a
// time left that is rounded up and never shown before there is a pace.
#include "app/download_progress.h"

#include <gtest/gtest.h>

namespace lekto {
namespace {

TEST(DownloadProgressTest, TimeLeftFollowsThePaceOfTheChaptersFetched) {
  // Nothing fetched yet, or nothing left: no time.
  EXPECT_FALSE(SecondsLeft({5000, 0, 0, 0}, 3.0));
  EXPECT_FALSE(SecondsLeft({10, 9, 0, 1}, 30.0));
  // 1234 finished and 2 failed in 618 s: half a second a chapter, 3764 to go.
  EXPECT_DOUBLE_EQ(*SecondsLeft({5000, 1234, 0, 2}, 618.0), 1882.0);
  // 1545 chapters kept took no time: the pace is that of the 5 fetched since.
  EXPECT_DOUBLE_EQ(*SecondsLeft({5000, 1550, 1545, 0}, 10.0), 6900.0);
  // All kept so far: no pace yet.
  EXPECT_FALSE(SecondsLeft({5000, 1545, 1545, 0}, 0.2));
}

TEST(DownloadProgressTest, TextCountsAndRoundsTheTimeUp) {
  EXPECT_EQ(ProgressText({5000, 1234, 0, 2}, 170.0), QStringLiteral("已完成 1234/5000，失败 2，约剩 3 分钟"));
  EXPECT_EQ(ProgressText({5000, 1234, 0, 2}, 180.0), QStringLiteral("已完成 1234/5000，失败 2，约剩 3 分钟"));
  EXPECT_EQ(ProgressText({5000, 1234, 0, 2}, 180.5), QStringLiteral("已完成 1234/5000，失败 2，约剩 4 分钟"));
  EXPECT_EQ(ProgressText({6, 1, 0, 0}, 0.2), QStringLiteral("已完成 1/6，失败 0，约剩 1 秒"));
  EXPECT_EQ(ProgressText({6, 1, 0, 0}, 59.0), QStringLiteral("已完成 1/6，失败 0，约剩 59 秒"));
  EXPECT_EQ(ProgressText({5000, 1550, 1545, 0}, 7500.0),
            QStringLiteral("已完成 1550/5000（保留 1545 章），失败 0，约剩 2 小时 5 分钟"));
  EXPECT_EQ(ProgressText({39, 39, 12, 0}, std::nullopt), QStringLiteral("已完成 39/39（保留 12 章），失败 0"));
}

}  // namespace
}  // namespace lekto
