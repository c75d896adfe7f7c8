// Table-of-contents parsing as the window runs it, the chapter viewer, and the chapter list operations.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "chapter/chapter_pipeline.h"
#include "download/folder_lock.h"
#include "download/work_folders.h"
#include "text/gbk_text.h"
#include "toc/toc_parser.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace lekto {

namespace {

QTableWidgetItem* CellItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

void MainWindow::ParseToc() {
  // One job at a time: a second click while the window waits is ignored.
  if (Busy()) return;
  // Download workers read the book they were started with, but their row states land on rows of the list:
  // a new list under a running download would show them on the wrong chapters.
  if (DownloadRunning()) return;
  const std::string address = controls_.Address();
  if (address.empty() || !text::Contains(address, "http")) {
    ShowTimedMessage(this, tr("提示："), tr("请输入章节目录地址！"));
    edit1_->clear();
    return;
  }
  // The list stays as it is until the new one arrives, so that a cancel leaves the window as it was.
  const QString labelBefore = label1_->text();
  button1_->setText(tr("解析中"));
  label1_->setText(tr("章节列表"));

  auto controls = std::make_shared<const FrozenControls>(controls_);
  StartJob(
      [this, controls](const Fetcher& fetch, const FetchLog& log) -> std::function<void()> {
        auto parsed = std::make_shared<std::optional<Book>>(lekto::ParseToc(*controls, fetch));
        return [this, parsed, log] { FinishParse(std::move(*parsed), log); };
      },
      [this](int fetchNumber, const std::string& /*url*/) {
        label1_->setText(fetchNumber == 1 ? tr("目录页获取中。。。") : tr("目录第%1页获取中。。。").arg(fetchNumber));
      },
      [this, labelBefore] {
        label1_->setText(labelBefore);
        button1_->setText(tr("目录解析"));
      });
}

void MainWindow::FinishParse(std::optional<Book> parsed, const FetchLog& log) {
  book_ = std::make_shared<const Book>(parsed ? std::move(*parsed) : Book{});
  listReversed_ = false;
  // A new book starts reading from its first row, so "上一章" and "下一章" never step from a row of the old one.
  currentRow_ = 0;
  FillRows();
  // A table of contents that could not be read says so and why; one whose later pages failed says which.
  const std::size_t failed = FirstFailure(log);
  if (failed == 0 && !log.empty()) {
    label1_->setText(tr("目录获取失败：") + FromGbk(log[0].failure));
  } else if (failed < log.size()) {
    label1_->setText(FromGbk(book_->title) + tr("--章节列表不完整，目录第%1页获取失败：").arg(failed + 1) +
                     FromGbk(log[failed].failure));
  } else {
    label1_->setText(FromGbk(book_->title) + tr("--章节列表获取完毕！"));
  }
  button1_->setText(tr("目录解析"));
  timer1_->start(kProgressIntervalMs);
}

void MainWindow::FillRows() {
  ShowWindowTitle();
  const QSignalBlocker blocker(list_);
  list_->clearSelection();
  list_->setRowCount(0);
  const int rows = book_->RowCount();
  list_->setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    auto* id = CellItem(QString::number(row + 1));
    id->setFlags(id->flags() | Qt::ItemIsUserCheckable);
    id->setCheckState(Qt::Checked);
    list_->setItem(row, 0, id);
    list_->setItem(row, 1, CellItem(FromGbk(book_->chapterTitles[row])));
    list_->setItem(row, 2, CellItem(tr("待下载")));
  }
  controls_.SetRowChecks(std::vector<bool>(rows, true));
}

void MainWindow::ShowChapter(int row, int rowBefore) {
  const std::shared_ptr<const Book> book = book_;
  if (Busy() || row < 0 || row >= book->RowCount()) return;
  // The content box keeps the chapter shown so far until the new one arrives; a cancel puts back the labels and
  // the row the stepping goes on from.
  const QString label1Before = label1_->text();
  const QString label2Before = label2_->text();
  label1_->setText(tr("章节列表"));
  label2_->setText(tr("章节内容加载中。。。"));

  auto controls = std::make_shared<const FrozenControls>(controls_);
  StartJob(
      [this, book, controls, row](const Fetcher& fetch, const FetchLog& log) -> std::function<void()> {
        auto text = std::make_shared<const std::string>(
            BuildChapterText(row, ChapterJob{*book, *controls, fetch}, ChapterMode::kViewer));
        return [this, book, row, text, log] { FinishChapter(*book, row, *text, log); };
      },
      [this](int fetchNumber, const std::string& /*url*/) {
        label2_->setText(fetchNumber == 1 ? tr("章节内容加载中。。。")
                                          : tr("章节内容加载中。。。第%1页").arg(fetchNumber));
      },
      [this, label1Before, label2Before, rowBefore] {
        label1_->setText(label1Before);
        label2_->setText(label2Before);
        currentRow_ = rowBefore;
        if (rowBefore >= 0 && rowBefore < list_->rowCount()) SelectRow(rowBefore);
      });
}

void MainWindow::FinishChapter(const Book& book, int row, const std::string& text, const FetchLog& log) {
  edit2_->setPlainText(FromGbkLines(text));
  const QString title = FromGbk(book.chapterTitles[row]);
  const std::size_t failed = FirstFailure(log);
  if (failed < log.size()) {
    // Said plainly, and not stored: a chapter file a download wrote whole stays as it is.
    label2_->setText(failed == 0
                         ? title + tr("--加载失败：") + FromGbk(log[0].failure)
                         : title + tr("--加载不完整，第%1页获取失败：").arg(failed + 1) + FromGbk(log[failed].failure));
    return;
  }
  // The chapter file is kept only where a download has made the temp folder, and never while a download (of
  // this window or another) works there: its book must hold its own chapters only.
  const std::filesystem::path temp = TempFolder(baseFolder_);
  std::error_code error;
  std::optional<FolderLock> lock;
  if (std::filesystem::is_directory(temp, error) &&
      FolderLock::Take(temp, lock, FolderLock::Mode::kShared) == FolderLock::Result::kLocked) {
    WriteChapterFile(temp, row, text);
  }
  label2_->setText(title + tr("--加载完毕！"));
}

void MainWindow::SelectAllRows() {
  for (int row = 0; row < list_->rowCount(); ++row) list_->item(row, 0)->setCheckState(Qt::Checked);
}

void MainWindow::InvertRowChecks() {
  for (int row = 0; row < list_->rowCount(); ++row) {
    QTableWidgetItem* item = list_->item(row, 0);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
}

void MainWindow::ReverseChapterOrder() {
  if (book_->chapterLinks.empty()) return;
  // As for a parse: the running download's row states must keep landing on the rows they belong to.
  if (DownloadRunning()) return;
  auto reversed = std::make_shared<Book>(*book_);
  std::reverse(reversed->chapterTitles.begin(), reversed->chapterTitles.end());
  std::reverse(reversed->chapterLinks.begin(), reversed->chapterLinks.end());
  book_ = std::move(reversed);
  listReversed_ = !listReversed_;
  // Each row keeps its tick: a junk row the reader unticked stays unticked in the new order.
  std::vector<bool> checks;
  for (int row = list_->rowCount() - 1; row >= 0; --row)
    checks.push_back(list_->item(row, 0)->checkState() == Qt::Checked);
  FillRows();
  const QSignalBlocker blocker(list_);
  for (int row = 0; row < list_->rowCount() && row < static_cast<int>(checks.size()); ++row) {
    list_->item(row, 0)->setCheckState(checks[static_cast<std::size_t>(row)] ? Qt::Checked : Qt::Unchecked);
  }
  controls_.SetRowChecks(std::move(checks));
}

void MainWindow::CopyChapterLink() {
  const int row = SelectedRow();
  if (row < 0 || row >= book_->RowCount()) return;
  QGuiApplication::clipboard()->setText(FromGbk(book_->chapterLinks[row]));
  // Said beside the pointer, and on the status strip unless a download's progress stands there.
  const QString said = tr("已复制链接：") + FromGbk(book_->chapterLinks[row]);
  QToolTip::showText(QCursor::pos(), said, list_, {}, 2000);
  if (!downloadRunning_) label5_->setText(said);
}

void MainWindow::OpenChapterRow() {
  const int row = SelectedRow();
  if (Busy() || row < 0) return;
  const int rowBefore = currentRow_;
  currentRow_ = row;
  ShowChapter(row, rowBefore);
}

void MainWindow::PreviousChapter() {
  if (Busy() || currentRow_ < 1 || currentRow_ > book_->RowCount()) return;
  const int rowBefore = currentRow_;
  --currentRow_;
  SelectRow(currentRow_);
  ShowChapter(currentRow_, rowBefore);
}

void MainWindow::NextChapter() {
  if (Busy() || currentRow_ + 1 >= book_->RowCount()) return;
  const int rowBefore = currentRow_;
  ++currentRow_;
  SelectRow(currentRow_);
  ShowChapter(currentRow_, rowBefore);
}

int MainWindow::SelectedRow() const {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void MainWindow::SelectRow(int row) {
  list_->setCurrentCell(row, 0);
  list_->selectRow(row);
}

void MainWindow::SetRowState(int row, const std::string& state) {
  if (row < 0 || row >= list_->rowCount()) return;
  // The core's states in the window's language: "下载完成" and "下载失败", with what follows them (a reason, a note)
  // as the core words it.
  QString shown = FromGbk(state);
  for (const char* known : {QT_TR_NOOP("下载完成"), QT_TR_NOOP("下载失败")}) {
    const QString source = QString::fromUtf8(known);
    if (!shown.startsWith(source)) continue;
    QString rest = shown.mid(source.size());
    if (rest.startsWith(QChar(0xFF1A))) rest = tr("：") + rest.mid(1);
    shown = tr(known) + rest;
    break;
  }
  list_->item(row, 2)->setText(shown);
}

}  // namespace lekto
