// The menu bar: every feature that has no control of its own in the layout, where a reader looks for it. "书籍"
// holds the book's format, the update of the last book and the book folder; "选项" the switches and the options
// without a control (cookies and the browser join it there); "帮助" the help text and the About box.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "download/work_folders.h"
#include "lekto/version.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QUrl>

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
  bookMenu_ = menuBar_->addMenu(QStringLiteral("书籍(&B)"));
  bookMenu_->setObjectName(QStringLiteral("菜单书籍"));
  bookMenu_->setToolTipsVisible(true);
  connect(bookMenu_, &QMenu::aboutToShow, this, [this] {
    bookMenu_->clear();
    FillBookMenu(bookMenu_);
    QAction* folder = bookMenu_->addAction(QStringLiteral("打开书籍文件夹"));
    folder->setToolTip(FromPath(WorkFolder(baseFolder_)));
    connect(folder, &QAction::triggered, this, &MainWindow::OpenBookFolder);
    bookMenu_->addSeparator();
    connect(bookMenu_->addAction(QStringLiteral("退出")), &QAction::triggered, this, &QWidget::close);
  });

  optionsMenu_ = menuBar_->addMenu(QStringLiteral("选项(&O)"));
  optionsMenu_->setObjectName(QStringLiteral("菜单选项"));
  optionsMenu_->setToolTipsVisible(true);
  AddSwitch(optionsMenu_, check2_);
  AddSwitch(optionsMenu_, check3_);
  AddSwitch(optionsMenu_, check1_);
  // Options that have no control of their own (cookies, the browser) follow this separator.
  optionsMenu_->addSeparator();

  QMenu* help = menuBar_->addMenu(QStringLiteral("帮助(&H)"));
  help->setObjectName(QStringLiteral("菜单帮助"));
  connect(help->addAction(QStringLiteral("使用说明")), &QAction::triggered, this,
          [this] { edit2_->setPlainText(HelpText()); });
  connect(help->addAction(QStringLiteral("关于 Lekto")), &QAction::triggered, this, &MainWindow::ShowAbout);
}

void MainWindow::OpenBookFolder() {
  const WorkFolders folders = FoldersUnder(baseFolder_);
  lekto::CreateWorkFolder(folders);
  QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(folders.work)));
}

void MainWindow::ShowAbout() {
  const QString version = QString::fromUtf8(kVersion.data(), static_cast<qsizetype>(kVersion.size()));
  QMessageBox about(QMessageBox::Information, QStringLiteral("关于 Lekto"), QStringLiteral("Lekto %1").arg(version),
                    QMessageBox::Ok, this);
  about.setObjectName(QStringLiteral("关于"));
  about.setInformativeText(
      QStringLiteral("把网上连载的小说逐章下载，合并成一本书（文本或 EPUB）。\n\n"
                     "许可证：GPL-3.0-or-later\n"
                     "本程序是自由软件：你可以按自由软件基金会发布的 GNU 通用公共许可证第 3 版或（由你选择）任何"
                     "更新的版本重新发布和修改它。本程序不提供任何担保。"));
  about.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  about.exec();
}

}  // namespace lekto
