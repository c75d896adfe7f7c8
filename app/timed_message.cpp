#include "app/timed_message.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

namespace lekto {

namespace {

QMessageBox* OpenMessage(QWidget* owner, const QString& caption, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  // The buttons speak the window's language, not the platform's.
  box->button(QMessageBox::Ok)->setText(QCoreApplication::translate("lekto::MainWindow", "确定"));
  box->button(QMessageBox::Cancel)->setText(QCoreApplication::translate("lekto::MainWindow", "取消"));
  box->open();
  return box;
}

}  // namespace

void ShowTimedMessage(QWidget* owner, const QString& caption, const QString& text, int timeoutMs) {
  QMessageBox* box = OpenMessage(owner, caption, text);
  // The timer belongs to the box, so a box closed early takes its timer with it.
  QTimer::singleShot(timeoutMs, box, &QMessageBox::close);
}

void ShowLastingMessage(QWidget* owner, const QString& caption, const QString& text) {
  OpenMessage(owner, caption, text);
}

}  // namespace lekto
