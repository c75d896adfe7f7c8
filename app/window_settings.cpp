// What the window keeps between runs, in Qt's settings in the user's config folder: the filter rules, the three
// switches, the last table-of-contents address, the book format, the book the last download wrote (for its
// update), the list's column widths and the window's place and size. A first run, or a key that is missing or
// not understood, leaves the control as the window builds it.
#include "app/main_window.h"
#include "app/qt_text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableWidget>
#include <optional>
#include <string_view>

namespace lekto {

namespace {

const QString kAddressKey = QStringLiteral("toc/address");
const QString kRulesKey = QStringLiteral("filter/rules");
const QString kFiltersEnabledKey = QStringLiteral("filter/enabled");
const QString kTranscodeKey = QStringLiteral("switches/transcode");
const QString kPreprocessKey = QStringLiteral("switches/preprocess");
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kLastBookKey = QStringLiteral("book/last");
const QString kFormatKey = QStringLiteral("book/format");
const QString kColumnsKey = QStringLiteral("list/columns");

}  // namespace

void MainWindow::LoadSettings() {
  const QSettings settings;
  if (settings.contains(kAddressKey)) edit1_->setText(settings.value(kAddressKey).toString());
  if (settings.contains(kRulesKey)) edit3_->setPlainText(settings.value(kRulesKey).toString());
  check1_->setChecked(settings.value(kFiltersEnabledKey, false).toBool());
  check2_->setChecked(settings.value(kTranscodeKey, false).toBool());
  check3_->setChecked(settings.value(kPreprocessKey, false).toBool());
  // The rule box is enabled exactly while "启用" is ticked.
  ToggleFilterBox();
  if (settings.contains(kGeometryKey)) restoreGeometry(settings.value(kGeometryKey).toByteArray());
  if (settings.contains(kLastBookKey)) lastBookFile_ = ToPath(settings.value(kLastBookKey).toString());
  if (const std::optional<BookFormat> format = ParseBookFormat(settings.value(kFormatKey).toString().toStdString())) {
    bookFormat_ = *format;
  }
  // The widths the reader gave the columns, before the window's extra room is added to the title column.
  const QList<QVariant> widths = settings.value(kColumnsKey).toList();
  if (widths.size() == list_->columnCount()) {
    for (int column = 0; column < widths.size(); ++column) {
      const int width = widths[column].toInt();
      if (width > 0 && width < 2000) list_->setColumnWidth(column, width + (column == 1 ? titleColumnShare_ : 0));
    }
  }
}

void MainWindow::ChooseBookFormat(BookFormat format) {
  bookFormat_ = format;
  // Kept at once: the next run writes the format chosen, even if this one does not end cleanly.
  const std::string_view name = BookFormatName(format);
  QSettings().setValue(kFormatKey, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

void MainWindow::SaveSettings() const {
  QSettings settings;
  settings.setValue(kAddressKey, edit1_->text());
  settings.setValue(kRulesKey, edit3_->toPlainText());
  settings.setValue(kFiltersEnabledKey, check1_->isChecked());
  settings.setValue(kTranscodeKey, check2_->isChecked());
  settings.setValue(kPreprocessKey, check3_->isChecked());
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kLastBookKey, FromPath(lastBookFile_));
  const std::string_view format = BookFormatName(bookFormat_);
  settings.setValue(kFormatKey, QString::fromUtf8(format.data(), static_cast<qsizetype>(format.size())));
  QList<QVariant> widths;
  for (int column = 0; column < list_->columnCount(); ++column) {
    widths << list_->columnWidth(column) - (column == 1 ? titleColumnShare_ : 0);
  }
  settings.setValue(kColumnsKey, widths);
}

}  // namespace lekto
