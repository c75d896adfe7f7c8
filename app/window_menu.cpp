// The menu bar: every feature that has no control of its own in the layout, where a reader looks for it. "书籍"
// holds the book's format, the update of the last book and the book folder; "选项" the switches and the options
// without a control (cookies and the browser join it there); "帮助" the help text and the About box.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "app/window_language.h"
#include "download/work_folders.h"
#include "lekto/version.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QUrl>
#include <utility>

namespace lekto {

namespace {

// A menu entry that mirrors a check box both ways.
void AddSwitch(QMenu* menu, QCheckBox* box) {
  QAction* action = menu->addAction(box->text());
  action->setCheckable(true);
  action->setChecked(box->isChecked());
  action->setToolTip(box->toolTip());
  QObject::connect(action, &QAction::triggered, box, [box](bool on) {
    // As a click on the box: its own handlers run.
    if (box->isChecked() != on) box->click();
  });
  QObject::connect(box, &QCheckBox::toggled, action, &QAction::setChecked);
}

}  // namespace

void MainWindow::BuildMenus() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("菜单栏"));

  // Filled afresh each time it opens: the format shown is the one chosen, the update names the last book.
  bookMenu_ = menuBar_->addMenu(tr("书籍(&B)"));
  bookMenu_->setObjectName(QStringLiteral("菜单书籍"));
  bookMenu_->setToolTipsVisible(true);
  connect(bookMenu_, &QMenu::aboutToShow, this, [this] {
    bookMenu_->clear();
    FillBookMenu(bookMenu_);
    QAction* folder = bookMenu_->addAction(tr("打开书籍文件夹"));
    folder->setToolTip(FromPath(WorkFolder(baseFolder_)));
    connect(folder, &QAction::triggered, this, &MainWindow::OpenBookFolder);
    bookMenu_->addSeparator();
    connect(bookMenu_->addAction(tr("退出")), &QAction::triggered, this, &QWidget::close);
  });

  optionsMenu_ = menuBar_->addMenu(tr("选项(&O)"));
  optionsMenu_->setObjectName(QStringLiteral("菜单选项"));
  optionsMenu_->setToolTipsVisible(true);
  AddSwitch(optionsMenu_, check2_);
  AddSwitch(optionsMenu_, check3_);
  AddSwitch(optionsMenu_, check1_);
  optionsMenu_->addSeparator();
  // Each language names itself, so that a reader who cannot read the other finds their own.
  languageMenu_ = optionsMenu_->addMenu(tr("界面语言（Language）"));
  languageMenu_->setObjectName(QStringLiteral("菜单语言"));
  auto* languages = new QActionGroup(languageMenu_);
  const std::pair<QString, QString> choices[] = {
      {QString(), tr("跟随系统")}, {kChinese, QStringLiteral("中文")}, {kEnglish, QStringLiteral("English")}};
  for (const auto& [language, label] : choices) {
    QAction* action = languageMenu_->addAction(label);
    action->setCheckable(true);
    action->setData(language);
    action->setChecked(language == KeptLanguageChoice());
    languages->addAction(action);
    connect(action, &QAction::triggered, this, [this, language = language] { ChooseLanguage(language); });
  }
  // Options that have no control of their own (cookies, the browser) follow this separator.
  optionsMenu_->addSeparator();

  helpMenu_ = menuBar_->addMenu(tr("帮助(&H)"));
  helpMenu_->setObjectName(QStringLiteral("菜单帮助"));
  helpAction_ = helpMenu_->addAction(tr("使用说明"));
  connect(helpAction_, &QAction::triggered, this, [this] {
    helpShown_ = HelpText();
    edit2_->setPlainText(helpShown_);
  });
  aboutAction_ = helpMenu_->addAction(tr("关于 Lekto"));
  connect(aboutAction_, &QAction::triggered, this, &MainWindow::ShowAbout);
}

void MainWindow::ChooseLanguage(const QString& language) {
  KeepLanguageChoice(language);
  const QString spoken = language.isEmpty() ? LanguageForLocale(QLocale::system()) : language;
  if (!UseLanguage(spoken)) {
    ShowLastingMessage(this, tr("提示："), tr("找不到英文翻译文件，界面仍用中文。"));
  }
}

void MainWindow::OpenBookFolder() {
  const WorkFolders folders = FoldersUnder(baseFolder_);
  lekto::CreateWorkFolder(folders);
  QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(folders.work)));
}

void MainWindow::ShowAbout() {
  const QString version = QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
  QMessageBox about(QMessageBox::Information, tr("关于 Lekto"), QStringLiteral("Lekto %1").arg(version),
                    QMessageBox::Ok, this);
  about.setObjectName(QStringLiteral("关于"));
  about.setInformativeText(
      tr("把网上连载的小说逐章下载，合并成一本书（文本或 EPUB）。\n\n"
         "许可证：GPL-3.0-or-later\n"
         "本程序是自由软件：你可以按自由软件基金会发布的 GNU 通用公共许可证第 3 版或（由你选择）任何"
         "更新的版本重新发布和修改它。本程序不提供任何担保。"));
  about.button(QMessageBox::Ok)->setText(tr("确定"));
  about.exec();
}

}  // namespace lekto
