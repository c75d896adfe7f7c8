#pragma once
// The words of the progress strip: how many ticked chapters a download has finished, how many failed, and about
// how long the rest will take at the pace so far.
#include <QString>
#include <optional>

namespace lekto {

struct ProgressCounts {
  int total = 0;     // ticked chapters
  int finished = 0;  // written now or kept from an earlier run
  int kept = 0;      // of `finished`, kept: they took no time and say nothing about the pace
  int failed = 0;
};

// Seconds the chapters still to come will take, at the pace of those fetched in `elapsedSeconds` so far;
// std::nullopt before the first chapter fetched (no pace yet) and when none remain.
std::optional<double> SecondsLeft(const ProgressCounts& counts, double elapsedSeconds);

// "约剩 3 分钟", "约剩 40 秒", "约剩 2 小时 5 分钟"; rounded up, so a download never claims to be closer than it is.
QString TimeLeftText(double seconds);

// "已完成 1234/5000，失败 2，约剩 3 分钟", with "（保留 1200 章）" after the count when chapters were kept and
// without the time when none is known.
QString ProgressText(const ProgressCounts& counts, std::optional<double> secondsLeft);

}  // namespace lekto
