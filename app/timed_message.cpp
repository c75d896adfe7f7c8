#include "app/timed_message.h"

#include <QMessageBox>
#include <QTimer>

namespace lekto {

void ShowTimedMessage(QWidget* owner, const QString& caption, const QString& text, int timeoutMs) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  // The timer belongs to the box, so a box closed early takes its timer with it.
  QTimer::singleShot(timeoutMs, box, &QMessageBox::close);
  box->open();
}

}  // namespace lekto
