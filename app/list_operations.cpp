// Table-of-contents parsing as the window runs it, the chapter viewer, and the chapter list operations.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "chapter/chapter_pipeline.h"
#include "download/work_folders.h"
#include "text/gbk_text.h"
#include "toc/toc_parser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>
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
  // Download workers read the book they were started with, but their row states land on rows of the list:
  // a new list under a running download would show them on the wrong chapters.
  if (DownloadRunning()) return;
  const std::string address = controls_.Address();
  if (address.empty() || !text::Contains(address, "http")) {
    ShowTimedMessage(this, QStringLiteral("提示："), QStringLiteral("请输入章节目录地址！"));
    edit1_->clear();
    return;
  }
  book_ = std::make_shared<const Book>();
  FillRows();
  button1_->setText(QStringLiteral("解析中"));
  label1_->setText(QStringLiteral("章节列表"));
  // The parse holds the window's thread; paint the new captions before it starts.
  button1_->repaint();
  label1_->repaint();
  list_->repaint();

  std::optional<Book> parsed = lekto::ParseToc(controls_, fetch_);
  book_ = std::make_shared<const Book>(parsed ? std::move(*parsed) : Book{});
  // A new book starts reading from its first row, so "上一章" and "下一章" never step from a row of the old one.
  currentRow_ = 0;
  FillRows();
  label1_->setText(FromGbk(book_->title) + QStringLiteral("--章节列表获取完毕！"));
  button1_->setText(QStringLiteral("目录解析"));
  timer1_->start(kProgressIntervalMs);
}

void MainWindow::FillRows() {
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
    list_->setItem(row, 2, CellItem(QStringLiteral("待下载")));
  }
  controls_.SetRowChecks(std::vector<bool>(rows, true));
}

void MainWindow::ShowChapter(int row) {
  const std::shared_ptr<const Book> book = book_;
  if (row < 0 || row >= book->RowCount()) return;
  label1_->setText(QStringLiteral("章节列表"));
  label2_->setText(QStringLiteral("章节内容加载中。。。"));
  edit2_->clear();
  // Loading holds the window's thread; show the loading state first.
  label1_->repaint();
  label2_->repaint();
  edit2_->repaint();

  const std::string text = BuildChapterText(row, ChapterJob{*book, controls_, fetch_}, ChapterMode::kViewer);
  edit2_->setPlainText(FromGbkLines(text));
  // The chapter file is kept only where a download has made the temp folder.
  const std::filesystem::path temp = TempFolder(baseFolder_);
  std::error_code error;
  if (std::filesystem::is_directory(temp, error)) WriteChapterFile(temp, row, text);
  label2_->setText(FromGbk(book->chapterTitles[row]) + QStringLiteral("--加载完毕！"));
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
  FillRows();
}

void MainWindow::CopyChapterLink() {
  const int row = SelectedRow();
  if (row < 0 || row >= book_->RowCount()) return;
  QGuiApplication::clipboard()->setText(FromGbk(book_->chapterLinks[row]));
}

void MainWindow::OpenChapterRow() {
  const int row = SelectedRow();
  if (row < 0) return;
  currentRow_ = row;
  ShowChapter(row);
}

void MainWindow::PreviousChapter() {
  if (currentRow_ < 1 || currentRow_ > book_->RowCount()) return;
  --currentRow_;
  SelectRow(currentRow_);
  ShowChapter(currentRow_);
}

void MainWindow::NextChapter() {
  if (currentRow_ + 1 >= book_->RowCount()) return;
  ++currentRow_;
  SelectRow(currentRow_);
  ShowChapter(currentRow_);
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
  list_->item(row, 2)->setText(FromGbk(state));
}

}  // namespace lekto
