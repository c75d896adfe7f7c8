#include "app/download_progress.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace lekto {

std::optional<double> SecondsLeft(const ProgressCounts& counts, double elapsedSeconds) {
  const int fetched = counts.finished - counts.kept + counts.failed;
  const int remaining = counts.total - counts.finished - counts.failed;
  if (fetched <= 0 || remaining <= 0) return std::nullopt;
  return elapsedSeconds / fetched * remaining;
}

QString TimeLeftText(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 1.0)));
  if (whole < 60) return QCoreApplication::translate("lekto::MainWindow", "约剩 %1 秒").arg(whole);
  const long long minutes = (whole + 59) / 60;
  if (minutes < 60) return QCoreApplication::translate("lekto::MainWindow", "约剩 %1 分钟").arg(minutes);
  return QCoreApplication::translate("lekto::MainWindow", "约剩 %1 小时 %2 分钟").arg(minutes / 60).arg(minutes % 60);
}

QString ProgressText(const ProgressCounts& counts, std::optional<double> secondsLeft) {
  QString text =
      QCoreApplication::translate("lekto::MainWindow", "已完成 %1/%2").arg(counts.finished).arg(counts.total);
  if (counts.kept > 0) text += QCoreApplication::translate("lekto::MainWindow", "（保留 %1 章）").arg(counts.kept);
  text += QCoreApplication::translate("lekto::MainWindow", "，失败 %1").arg(counts.failed);
  if (secondsLeft) text += QCoreApplication::translate("lekto::MainWindow", "，") + TimeLeftText(*secondsLeft);
  return text;
}

}  // namespace lekto
