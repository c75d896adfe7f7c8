// The edit-box commands: emptying a box, switching the filter-rule box, and the quick insert at the caret the
// filter-rule box had when the user last left it.
#include "app/main_window.h"

#include "app/filter_box.h"
#include "app/qt_text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace lekto {

void MainWindow::ClearEditBox(QWidget* box) {
  // Emptied as an edit of the reader's own, so that Ctrl+Z brings the text back.
  if (auto* line = qobject_cast<QLineEdit*>(box)) {
    line->selectAll();
    line->del();
  }
  if (auto* text = qobject_cast<QPlainTextEdit*>(box)) {
    QTextCursor cursor(text->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
  }
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
  if (!edit3_->isEnabled()) return;
  // Back into the box, the caret after the inserted fragment, so that typing goes on where it left off.
  QTextCursor cursor = edit3_->textCursor();
  cursor.setPosition(
      static_cast<int>(FromGbkLines(TextBeforeCaret(filterBoxItems_, filterBoxCaret_) + fragment).size()));
  edit3_->setTextCursor(cursor);
  edit3_->setFocus(Qt::OtherFocusReason);
}

}  // namespace lekto
