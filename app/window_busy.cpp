// The window while a job runs off its thread: it keeps painting, shows what it waits for, ignores every other
// click and key (they are dropped, not kept for later, so nothing runs in the middle of the job), and stops
// waiting on Esc or the "取消" button.
#include "app/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QShortcutEvent>
#include <utility>

namespace lekto {

void MainWindow::StartJob(BackgroundJob::Work work, BackgroundJob::FetchNote onFetch, std::function<void()> onCancel) {
  undoJobStart_ = std::move(onCancel);
  // The result ends the busy state before the window shows it.
  BackgroundJob::Work ending = [this, work = std::move(work)](const Fetcher& fetch,
                                                              const FetchLog& log) -> std::function<void()> {
    std::function<void()> finish = work(fetch, log);
    return [this, finish = std::move(finish)] {
      EndJob();
      finish();
    };
  };
  job_ = BackgroundJob::Start(this, fetch_, std::move(ending), std::move(onFetch));
  button11_->show();
  setCursor(Qt::BusyCursor);
  QApplication::instance()->installEventFilter(this);
}

void MainWindow::CancelJob() {
  if (!job_) return;
  job_->Cancel();
  const std::function<void()> undo = std::move(undoJobStart_);
  EndJob();
  if (undo) undo();
}

void MainWindow::EndJob() {
  job_.reset();
  undoJobStart_ = nullptr;
  button11_->hide();
  unsetCursor();
  QApplication::instance()->removeEventFilter(this);
}

bool MainWindow::FilterWhileBusy(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
      break;
    default:
      return false;
  }
  // Only this window's own controls wait; a message box it shows meanwhile works as usual.
  const auto* widget = qobject_cast<const QWidget*>(watched);
  if (const auto* shortcut = qobject_cast<const QShortcut*>(watched))
    widget = qobject_cast<QWidget*>(shortcut->parent());
  if (widget == nullptr || widget->window() != this) return false;
  if (widget == button11_ && event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  // Esc reaches the window as a key press, or as the shortcut that stops a download.
  if ((event->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) ||
      (event->type() == QEvent::Shortcut &&
       static_cast<const QShortcutEvent*>(event)->key() == QKeySequence(Qt::Key_Escape))) {
    CancelJob();
  }
  return true;
}

}  // namespace lekto
