#pragma once
// Driving MainWindow the way a person does, for the window tests and the screenshot driver: the window every test
// function starts from, controls found by their form names, clicks, typing, double-clicks on rows, and a small
// novel site written for the local test server.
#include "app/main_window.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace lekto::apptest {

// The fixture of the window tests: before each test function a fresh MainWindow over its own empty temporary
// program folder, shown and active; after it the window goes, then the folder. A test class that needs more
// before each function declares its own init() and calls WindowTest::init() first.
class WindowTest : public QObject {
  Q_OBJECT

 protected slots:
  void init();
  void cleanup();

 protected:
  std::unique_ptr<QTemporaryDir> folder_;
  std::filesystem::path base_;  // the window's program folder: the temporary folder's path
  std::unique_ptr<MainWindow> window_;
};

// Points the settings the window keeps between runs at `folder`, so that no test reads or writes the user's own.
// WindowTest does this before each test function, with a folder inside its temporary program folder.
void IsolateSettings(const QString& folder);

// The control named `name` (its form name, UTF-8) inside `window`; null when there is none.
template <typename Control>
Control* Find(const QWidget& window, const char* name) {
  return window.findChild<Control*>(QString::fromUtf8(name));
}

inline QPushButton* Button(const QWidget& window, const char* name) {
  return Find<QPushButton>(window, name);
}
inline QLabel* Label(const QWidget& window, const char* name) {
  return Find<QLabel>(window, name);
}
inline QTableWidget* ChapterList(const QWidget& window) {
  return Find<QTableWidget>(window, "超级列表框2");
}
inline QLineEdit* AddressBox(const QWidget& window) {
  return Find<QLineEdit>(window, "编辑框1");
}
inline QPlainTextEdit* ContentBox(const QWidget& window) {
  return Find<QPlainTextEdit>(window, "编辑框2");
}
inline QPlainTextEdit* FilterBox(const QWidget& window) {
  return Find<QPlainTextEdit>(window, "编辑框3");
}

// Shows the window and waits until it is active, so that clicks move the keyboard focus as they do for a person.
bool ShowActive(QWidget& window);

// Waits until `window` (a MainWindow) no longer waits for a parse or a chapter. False on time-out.
bool WaitIdle(const QWidget& window, int timeoutMs = 30000);

// Clicks and keys as a person gives them; each waits until the window has finished the parse or the chapter it
// started.
void Click(QWidget* widget);
// Types `text` key by key, Chinese characters included (QTest::keyClicks takes Latin-1 only).
void TypeText(QWidget* widget, const QString& text);
void ClickButton(const QWidget& window, const char* name);
// Presses and releases `key` on `widget`.
void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Empties the address box by a double-click, types `address` and clicks "目录解析"; StartParse returns at once,
// ParseAddress when the parse has ended.
void StartParse(const QWidget& window, const QString& address);
void ParseAddress(const QWidget& window, const QString& address);
// Double-clicks the title cell of `row`.
void DoubleClickRow(QTableWidget* list, int row);
// Presses the right mouse button over the title cell of `row`.
void RightClickRow(QTableWidget* list, int row);
// Makes `row` current with a click on its title and presses Space, which flips its check mark.
void ToggleRowCheck(QTableWidget* list, int row);

// The check marks of the rows, and the texts of column `column`.
std::vector<bool> RowChecks(const QTableWidget* list);
QStringList ColumnTexts(const QTableWidget* list, int column);

// The message box the window is showing, or null.
QMessageBox* ShownMessageBox(const QWidget& window);
// Its text; empty when no box is shown.
QString ShownMessageText(const QWidget& window);

// A small GBK novel site for the test server: `Chapters().size()` chapters listed on index.html, each chapter
// page holding its paragraphs in one div. Links are site-absolute under `urlPrefix` (e.g. "/novel/").
struct DemoChapter {
  QString title;
  QStringList paragraphs;
};
inline const QString kDemoPageTitle = QStringLiteral("青山夜话最新章节_书友小站");
inline const QString kDemoBookTitle = QStringLiteral("青山夜话");
const std::vector<DemoChapter>& DemoChapters();
void WriteDemoSite(const std::filesystem::path& folder, const std::string& urlPrefix);

using testsupport::ReadFileBytes;

}  // namespace lekto::apptest
