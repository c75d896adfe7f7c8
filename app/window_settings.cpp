// What the window keeps between runs, in Qt's settings in the user's config folder: the filter rules, the three
// switches, the last table-of-contents address, the book the last download wrote (for its update) and the
// window's place and size. Nothing else is kept; a first run, or a key that is missing, leaves the control as
// the window builds it.
#include "app/main_window.h"
#include "app/qt_text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

namespace lekto {

namespace {

const QString kAddressKey = QStringLiteral("toc/address");
const QString kRulesKey = QStringLiteral("filter/rules");
const QString kFiltersEnabledKey = QStringLiteral("filter/enabled");
const QString kTranscodeKey = QStringLiteral("switches/transcode");
const QString kPreprocessKey = QStringLiteral("switches/preprocess");
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kLastBookKey = QStringLiteral("book/last");

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
  LoadBrowserSettings();
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
  SaveBrowserSettings();
}

}  // namespace lekto
