// The edit-box commands: emptying a box, switching the filter-rule box, and the quick insert at the caret the
// filter-rule box had when the user last left it.
#include "app/main_window.h"

#include "app/filter_box.h"
#include "app/qt_text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace lekto {

void MainWindow::ClearEditBox(QWidget* box) {
  if (auto* line = qobject_cast<QLineEdit*>(box)) line->clear();
  if (auto* text = qobject_cast<QPlainTextEdit*>(box)) text->clear();
}

void MainWindow::ToggleFilterBox() {
  edit3_->setEnabled(check1_->isChecked());
}

void MainWindow::SnapshotFilterBox() {
  const QString text = edit3_->toPlainText();
  filterBoxCaret_ = CoreCaret(text, edit3_->textCursor().position());
  filterBoxItems_ = SplitTextItems(ToGbkLines(text));
}

void MainWindow::QuickInsert(const QPushButton* button) {
  const std::string fragment = ToGbk(button->text());
  edit3_->setPlainText(FromGbkLines(InsertAtCaret(filterBoxItems_, filterBoxCaret_, fragment)));
}

}  // namespace lekto
