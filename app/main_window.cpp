#include "app/main_window.h"

#include "app/qt_text.h"
#include "download/download_manager.h"
#include "download/work_folders.h"
#include "regex/regex_engine.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <utility>

namespace lekto {

MainWindow::MainWindow(std::filesystem::path baseFolder, Fetcher fetch, QWidget* parent)
    : QWidget(parent),
      baseFolder_(std::move(baseFolder)),
      fetch_(std::move(fetch)),
      book_(std::make_shared<const Book>()) {
  BuildControls();
  controls_.SetAddress(ToGbk(edit1_->text()));
  controls_.SetFilterRules(ToGbkLines(edit3_->toPlainText()));
  controls_.SetReceiver(this, [this](int row, const std::string& state) { SetRowState(row, state); });
  downloads_ = std::make_unique<DownloadManager>(controls_, fetch_, FoldersUnder(baseFolder_));
  // Called on the dispatcher thread: the window reacts on its own thread.
  downloads_->SetCompletionHandler(
      [this](const DownloadReport& report) { controls_.Post([this, report] { FinishDownload(report); }); });
  // Called on the worker threads, as each row's outcome is known: the progress strip counts on the window's.
  downloads_->SetChapterHandler([this](int row, ChapterOutcome outcome) {
    controls_.Post([this, row, outcome] { CountChapter(row, outcome); });
  });
  WireEvents();
  LoadSettings();
  CreateWorkFolder();
}

MainWindow::~MainWindow() {
  // Workers that are still running post nothing more to the window; then they are stopped and joined while the
  // controls they read still exist.
  controls_.SetReceiver(nullptr, {});
  // A job still fetching delivers nothing more; its thread ends on its own.
  if (job_) job_->Cancel();
  QApplication::instance()->removeEventFilter(this);
  downloads_.reset();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (downloadRunning_) {
    QMessageBox question(QMessageBox::Question, tr("提示"), tr("下载尚未完成，确定退出吗？"),
                         QMessageBox::Ok | QMessageBox::Cancel, this);
    question.button(QMessageBox::Ok)->setText(tr("确定"));
    question.button(QMessageBox::Cancel)->setText(tr("取消"));
    question.setDefaultButton(QMessageBox::Cancel);
    if (question.exec() != QMessageBox::Ok) {
      event->ignore();
      return;
    }
  }
  CancelJob();
  SaveSettings();
  event->accept();
}

void MainWindow::CreateWorkFolder() {
  lekto::CreateWorkFolder(FoldersUnder(baseFolder_));
}

void MainWindow::WireEvents() {
  connect(button1_, &QPushButton::clicked, this, &MainWindow::ParseToc);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &MainWindow::OpenChapterRow);
  connect(check1_, &QCheckBox::clicked, this, &MainWindow::ToggleFilterBox);
  connect(button7_, &QPushButton::clicked, this, [this] { QuickInsert(button7_); });
  connect(button8_, &QPushButton::clicked, this, [this] { QuickInsert(button8_); });
  connect(button5_, &QPushButton::clicked, this, &MainWindow::SelectAllRows);
  connect(button6_, &QPushButton::clicked, this, &MainWindow::InvertRowChecks);
  connect(button9_, &QPushButton::clicked, this, &MainWindow::ReverseChapterOrder);
  connect(button4_, &QPushButton::clicked, this, &MainWindow::StartDownload);
  connect(button10_, &QPushButton::clicked, this, &MainWindow::MergeByHand);
  for (QPushButton* button : {button4_, button10_}) {
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this,
            [this, button](const QPoint& at) { ShowBookMenu(button->mapToGlobal(at)); });
  }
  connect(button2_, &QPushButton::clicked, this, &MainWindow::PreviousChapter);
  connect(button3_, &QPushButton::clicked, this, &MainWindow::NextChapter);
  connect(timer1_, &QTimer::timeout, this, &MainWindow::ProgressTick);
  connect(button11_, &QPushButton::clicked, this, [this] {
    if (Busy()) {
      CancelJob();
    } else {
      StopDownload();
    }
  });
  // Esc stops a download as it stops the wait for a parse or a chapter (that one is handled while the window is
  // busy, see FilterWhileBusy).
  auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(stop, &QShortcut::activated, this, &MainWindow::StopDownload);

  // The keyboard: Enter in the address box parses, Enter on a row opens it (see eventFilter), and the chapter
  // keys step through the list from anywhere in the window; in the content box and the list Ctrl+Left and
  // Ctrl+Right do the same.
  connect(edit1_, &QLineEdit::returnPressed, this, &MainWindow::ParseToc);
  auto* previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
  auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
  connect(previous, &QShortcut::activated, this, &MainWindow::PreviousChapter);
  connect(next, &QShortcut::activated, this, &MainWindow::NextChapter);

  // Double-clicks, the right button and leaving the filter-rule box have no signal of their own.
  edit1_->installEventFilter(this);
  edit2_->viewport()->installEventFilter(this);
  edit3_->viewport()->installEventFilter(this);
  edit3_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  list_->installEventFilter(this);
  edit2_->installEventFilter(this);
  label1_->installEventFilter(this);
  label2_->installEventFilter(this);

  // The mirror the core reads, kept in step with every change of the controls.
  connect(edit1_, &QLineEdit::textChanged, this, [this](const QString& text) { controls_.SetAddress(ToGbk(text)); });
  connect(check2_, &QCheckBox::toggled, this, [this](bool on) { controls_.SetTranscode(on); });
  connect(check3_, &QCheckBox::toggled, this, [this](bool on) { controls_.SetPreprocess(on); });
  connect(check1_, &QCheckBox::toggled, this, [this](bool on) { controls_.SetFiltersEnabled(on); });
  connect(edit3_, &QPlainTextEdit::textChanged, this, [this] {
    controls_.SetFilterRules(ToGbkLines(edit3_->toPlainText()));
    CheckFilterRules();
  });
  connect(check1_, &QCheckBox::toggled, this, &MainWindow::CheckFilterRules);
  connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == 0) controls_.SetRowChecked(item->row(), item->checkState() == Qt::Checked);
  });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (job_ && FilterWhileBusy(watched, event)) return true;
  switch (event->type()) {
    case QEvent::Resize:
      if (watched == client_) LayOutControls();
      break;
    case QEvent::MouseButtonDblClick:
      if (watched == edit1_) {
        ClearEditBox(edit1_);
        return true;
      }
      if (watched == edit2_->viewport()) {
        ClearEditBox(edit2_);
        return true;
      }
      if (watched == edit3_->viewport()) {
        ClearEditBox(edit3_);
        return true;
      }
      break;
    case QEvent::MouseButtonPress:
      if (watched == list_->viewport() && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        // The link copied is the one of the row that was right-clicked: select it first.
        const int row = list_->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
        if (row >= 0) SelectRow(row);
        CopyChapterLink();
        return true;
      }
      break;
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (watched == list_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        OpenChapterRow();
        return true;
      }
      if ((watched == list_ || watched == edit2_) && key->modifiers() == Qt::ControlModifier) {
        if (key->key() == Qt::Key_Left) {
          PreviousChapter();
          return true;
        }
        if (key->key() == Qt::Key_Right) {
          NextChapter();
          return true;
        }
      }
      break;
    }
    case QEvent::FocusOut:
      if (watched == edit3_) SnapshotFilterBox();
      break;
    case QEvent::ToolTip:
      if (watched == list_->viewport() || watched == label1_ || watched == label2_) {
        ShowCutTextTip(watched, static_cast<QHelpEvent*>(event));
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::CheckFilterRules() {
  // Only rules that take part say so: with "启用" off no rule is applied.
  QStringList invalid;
  if (check1_->isChecked()) {
    const QStringList lines = edit3_->toPlainText().split(QLatin1Char('\n'));
    for (int line = 0; line < lines.size(); ++line) {
      if (!lines[line].isEmpty() && !IsValidPattern(ToGbk(lines[line]))) {
        invalid << tr("第%1行“%2”").arg(line + 1).arg(lines[line]);
      }
    }
  }
  const QString text = invalid.isEmpty() ? QString() : tr("无效的正则，不会使用：") + invalid.join(tr("，"));
  label6_->setText(text);
  label6_->setToolTip(text);
}

void MainWindow::ShowCutTextTip(QObject* watched, const QHelpEvent* event) {
  // A tip only where the text is cut: a long chapter title in its cell, a long book title in a status line.
  QString text;
  QRect room;
  QWidget* owner = nullptr;
  if (watched == list_->viewport()) {
    if (const QTableWidgetItem* item = list_->itemAt(event->pos())) {
      text = item->text();
      room = list_->visualItemRect(item);
      // The cell's own padding and, in the first column, the check box take part of the width.
      const int used = list_->fontMetrics().horizontalAdvance(text) + (item->column() == 0 ? 24 : 8);
      if (used <= room.width()) text.clear();
    }
    owner = list_->viewport();
  } else {
    auto* label = static_cast<QLabel*>(watched);
    if (label->fontMetrics().horizontalAdvance(label->text()) > label->width()) text = label->text();
    room = label->rect();
    owner = label;
  }
  if (text.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  QToolTip::showText(event->globalPos(), text, owner, room);
}

}  // namespace lekto
