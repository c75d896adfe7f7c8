// The update of the window's last book: its table of contents read again and the chapters it lacks downloaded on
// the job's thread (download/book_update.h), then the book written and the reader told on the window's thread.
// The window's own list, chapter folder and download stay untouched: the update has its own rows and works in the
// chapter folder beside the book.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "download/book_update.h"
#include "download/download_manager.h"

#include <QLabel>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace lekto {

// What the job's thread hands the window.
struct WindowUpdate {
  std::optional<UpdatePlan> plan;  // std::nullopt: the table of contents gave no rows
  bool started = false;            // the download of the new rows started (the chapter folder was free)
  DownloadReport report;
};

namespace {

// Reads the list again and downloads the rows the book lacks, waiting for the download's end. `stop`, set when
// the reader cancels, stops the download at once (its rows would otherwise wait out their retries).
WindowUpdate DownloadNewChapters(const RecordedBook& book, const Fetcher& fetch, const std::atomic<bool>& stop) {
  WindowUpdate update;
  update.plan = PlanUpdate(book, fetch);
  if (!update.plan || update.plan->rows.empty() || stop) return update;
  UpdateControls controls(book.record, update.plan->rows);
  DownloadManager manager(controls, fetch, UpdateFolders(book));
  manager.SetCompletionHandler([&update](const DownloadReport& report) { update.report = report; });
  update.started =
      manager.StartDownload(update.plan->toc, UpdateDownloadOptions(book)) == DownloadManager::StartResult::kStarted;
  while (manager.Busy()) {
    if (stop) manager.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  manager.Wait();
  return update;
}

}  // namespace

void MainWindow::UpdateLastBook() {
  if (Busy() || DownloadRunning() || lastBookFile_.empty()) return;
  OpenProblem problem = OpenProblem::kNone;
  std::optional<RecordedBook> opened = OpenRecordedBook(lastBookFile_, problem);
  if (!opened) {
    const QString file = FromPath(lastBookFile_);
    ShowLastingMessage(this, QStringLiteral("标题"),
                       problem == OpenProblem::kNoBook ? QStringLiteral("书籍文件已不存在：") + file
                       : problem == OpenProblem::kBookChanged
                           ? QStringLiteral("书籍下载后已被改动，无法更新，请重新下载：") + file
                           : QStringLiteral("找不到书籍的下载记录，无法更新：") + file);
    return;
  }
  auto book = std::make_shared<const RecordedBook>(std::move(*opened));
  const QString title = Quoted(book->record.bookTitle);
  const QString labelBefore = label1_->text();
  label1_->setText(title + QStringLiteral("更新中，目录页获取中。。。"));
  auto stop = std::make_shared<std::atomic<bool>>(false);
  StartJob(
      [this, book, stop](const Fetcher& fetch, const FetchLog& /*log*/) -> std::function<void()> {
        auto update = std::make_shared<WindowUpdate>(DownloadNewChapters(*book, fetch, *stop));
        return [this, book, update] { FinishUpdate(*book, *update); };
      },
      [this, title](int fetchNumber, const std::string& /*url*/) {
        label1_->setText(title + QStringLiteral("更新中，已获取 %1 页。。。").arg(fetchNumber));
      },
      [this, labelBefore, stop] {
        *stop = true;
        label1_->setText(labelBefore);
      });
}

void MainWindow::FinishUpdate(const RecordedBook& book, const WindowUpdate& update) {
  const QString title = Quoted(book.record.bookTitle);
  ShowBookFile(book.bookFile);
  if (!update.plan) {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("目录获取失败，书籍未改动！"));
    return;
  }
  if (update.plan->rows.empty()) {
    ShowTimedMessage(this, QStringLiteral("标题"), title + QStringLiteral("没有新章节！"));
    return;
  }
  const DownloadReport& report = update.report;
  if (!update.started) {
    ShowLastingMessage(this, QStringLiteral("提示："),
                       QStringLiteral("另一个下载正在使用下载文件夹，请等它结束后再试！"));
    return;
  }
  if (report.writeError) {
    ShowLastingMessage(this, QStringLiteral("标题"),
                       title + QStringLiteral("写入章节文件失败，更新已停止，书籍未改动！"));
    return;
  }
  if (report.written == 0) {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("新章节下载失败，书籍未改动！"));
    return;
  }
  const UpdateResult result = ApplyUpdate(book, *update.plan, report);
  if (!result.write.bookWritten) {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("写入书籍文件失败，书籍未改动！"));
    return;
  }
  QString message = title + QStringLiteral("更新完成，新增 %1 章").arg(result.added);
  const auto failed = static_cast<int>(report.FailedRows().size());
  if (failed > 0) message += QStringLiteral("，%1 章下载失败，再次更新可重试").arg(failed);
  if (!result.write.recordWritten) message += QStringLiteral("；下载记录写入失败，下次无法更新");
  message += QStringLiteral("！");
  if (failed > 0 || !result.write.recordWritten) {
    ShowLastingMessage(this, QStringLiteral("标题"), message);
  } else {
    ShowTimedMessage(this, QStringLiteral("标题"), message);
  }
}

}  // namespace lekto
