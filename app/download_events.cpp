// The download button, the progress tick and the merges, as the window runs them. The download manager does the
// work on its own threads; its completion report comes back to the window's thread as a queued call.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "download/book_assembler.h"
#include "download/book_name.h"
#include "download/download_manager.h"

#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <utility>

namespace lekto {

namespace {

QString Quoted(const std::string& bookTitle) {
  return QStringLiteral("《") + FromGbk(bookTitle) + QStringLiteral("》");
}

}  // namespace

void MainWindow::StartDownload() {
  // A download still running keeps its temp folder and its workers; the click is refused.
  if (downloadRunning_) return;
  // The last download's report has reached the window, but its dispatcher may still be returning from handing
  // it over; that takes a moment, and the manager would refuse the new download until then.
  downloads_->Wait();
  // A book without a usable title is named here, once, so that its file is never the hidden ".txt".
  if (std::string named = NamedBookTitle(book_->title, LocalTimeNow()); named != book_->title) {
    auto retitled = std::make_shared<Book>(*book_);
    retitled->title = std::move(named);
    book_ = std::move(retitled);
  }
  if (!downloads_->StartDownload(book_)) return;
  downloadRunning_ = true;
  button4_->setText(QStringLiteral("下载中"));
  // The rows stay as they are until the download ends: its workers' states land on them by number.
  button1_->setEnabled(false);
  button9_->setEnabled(false);
  // The tick shows the running workers; after an automatic merge stopped it, a later download restarts it.
  if (!timer1_->isActive()) timer1_->start(kProgressIntervalMs);
}

void MainWindow::ProgressTick() {
  label3_->setText(QStringLiteral("线程：") + QString::number(downloads_->RunningWorkers()));
}

void MainWindow::FinishDownload(const DownloadReport& report) {
  downloadRunning_ = false;
  button4_->setText(QStringLiteral("下载"));
  button1_->setEnabled(true);
  button9_->setEnabled(true);
  ProgressTick();
  timer1_->stop();
  if (report.cancelled) return;
  const QString title = Quoted(report.book->title);
  if (report.merged && report.merge.written) {
    ShowTimedMessage(this, QStringLiteral("标题"), title + QStringLiteral("下载完毕，合并完成！"));
  } else if (report.written == 0) {
    ShowTimedMessage(this, QStringLiteral("标题"), title + QStringLiteral("没有下载到任何章节，未合并！"));
  } else {
    ShowTimedMessage(this, QStringLiteral("标题"), title + QStringLiteral("合并失败，无法写入书籍文件！"));
  }
}

void MainWindow::MergeByHand() {
  QInputDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("提示"));
  dialog.setLabelText(QStringLiteral("请输入书名"));
  dialog.setTextValue(FromGbk(book_->title));
  dialog.setOkButtonText(QStringLiteral("确定"));
  dialog.setCancelButtonText(QStringLiteral("取消"));
  if (dialog.exec() != QDialog::Accepted) return;
  // The typed title names this merge's book only; the list keeps the title it was parsed with.
  const std::string title = NamedBookTitle(ToGbk(dialog.textValue()), LocalTimeNow());

  const MergeResult merged = lekto::MergeByHand(FoldersUnder(baseFolder_), title);
  if (merged.written) {
    ShowTimedMessage(this, QStringLiteral("标题"), Quoted(title) + QStringLiteral("合并完成！"));
  } else {
    ShowTimedMessage(this, QStringLiteral("标题"), Quoted(title) + QStringLiteral("合并失败，无法写入书籍文件！"));
  }
}

}  // namespace lekto
