// The download button, the progress tick and the merges, as the window runs them. The download manager does the
// work on its own threads; its completion report comes back to the window's thread as a queued call.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "download/book_assembler.h"
#include "download/book_name.h"
#include "download/download_manager.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <utility>

namespace lekto {

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
  // "下载" clicked again on the very list whose download left failed chapters retries those (and any row ticked
  // since) and keeps the chapters already written; any other click starts clean.
  DownloadOptions options;
  options.resume = retryBook_ != nullptr && retryBook_ == book_;
  options.format = bookFormat_;
  options.reversedList = listReversed_;
  switch (downloads_->StartDownload(book_, options)) {
    case DownloadManager::StartResult::kStarted:
      break;
    case DownloadManager::StartResult::kFolderInUse:
      ShowLastingMessage(this, QStringLiteral("提示："),
                         QStringLiteral("另一个下载正在使用下载文件夹，请等它结束后再试！"));
      return;
    default:
      return;
  }
  downloadRunning_ = true;
  retryBook_ = nullptr;
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
  const QString title = Quoted(report.book->title);
  if (report.writeError) {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("写入章节文件失败，下载已停止！"));
    return;
  }
  if (report.cancelled) return;
  if (report.merged && report.merge.written) {
    ShowBookFile(report.merge.bookFile);
    lastBookFile_ = report.merge.bookFile;
  }
  const auto failed = static_cast<int>(report.FailedRows().size());
  if (failed > 0) retryBook_ = report.book;
  if (failed > 0 && report.merged && report.merge.written) {
    ShowLastingMessage(this, QStringLiteral("标题"),
                       title + QStringLiteral("下载完毕，%1 章下载失败（共 %2 章），再点“下载”可重试失败的章节！")
                                   .arg(failed)
                                   .arg(report.ticked));
  } else if (report.merged && report.merge.written) {
    ShowTimedMessage(this, QStringLiteral("标题"), title + QStringLiteral("下载完毕，合并完成！"));
  } else if (report.written == 0) {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("没有下载到任何章节，未合并！"));
  } else {
    ShowLastingMessage(this, QStringLiteral("标题"), title + QStringLiteral("合并失败，无法写入书籍文件！"));
  }
}

void MainWindow::ShowBookFile(const std::filesystem::path& bookFile) {
  // The message box closes after a second; the label keeps the book's full path until its next status (its tip
  // shows the whole path when the label cuts it).
  label1_->setText(QStringLiteral("已保存到：") + FromPath(bookFile));
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

  // The book page's author and description come along; the cover is fetched by a download only.
  const BookMetadata& metadata = book_->metadata;
  const MergeResult merged = lekto::MergeByHand(
      FoldersUnder(baseFolder_), title,
      {bookFormat_, ToGbk(edit1_->text()), book_->chapterTitles, metadata.author, metadata.description, {}});
  if (merged.written) {
    ShowBookFile(merged.bookFile);
    ShowTimedMessage(this, QStringLiteral("标题"), Quoted(title) + QStringLiteral("合并完成！"));
  } else {
    ShowLastingMessage(this, QStringLiteral("标题"), Quoted(title) + QStringLiteral("合并失败，无法写入书籍文件！"));
  }
}

void MainWindow::ShowBookMenu(const QPoint& at) {
  QMenu menu(this);
  QActionGroup group(&menu);
  const std::pair<BookFormat, QString> choices[] = {
      {BookFormat::kGbk, QStringLiteral("GBK 文本（默认）")},
      {BookFormat::kUtf8, QStringLiteral("UTF-8 文本")},
      {BookFormat::kEpub, QStringLiteral("EPUB 电子书")},
  };
  menu.addSection(QStringLiteral("书籍格式"));
  for (const auto& [format, label] : choices) {
    QAction* action = menu.addAction(label);
    action->setCheckable(true);
    action->setChecked(format == bookFormat_);
    group.addAction(action);
    connect(action, &QAction::triggered, this, [this, format = format] { bookFormat_ = format; });
  }
  menu.addSeparator();
  QAction* update =
      menu.addAction(lastBookFile_.empty() ? QStringLiteral("更新上次下载的书")
                                           : QStringLiteral("更新上次下载的书：") + FromPath(lastBookFile_.filename()));
  update->setEnabled(!lastBookFile_.empty() && !DownloadRunning() && !Busy());
  connect(update, &QAction::triggered, this, [this] { UpdateLastBook(); });
  menu.exec(at);
}

}  // namespace lekto
