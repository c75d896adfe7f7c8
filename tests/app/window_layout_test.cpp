// The window as it opens: every control with its name, kind, caption, place and initial state, the help text,
// the list's columns, the working folder; and the edit-box commands and the address check's message box.
#include "app/main_window.h"
#include "window_driver.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

namespace lekto::apptest {

class WindowLayoutTest : public WindowTest {
  Q_OBJECT

 private slots:
  // The window names the program; the menu bar sits above the client area, whose controls keep their client
  // coordinates, and the progress strip adds two lines below the buttons.
  void windowFrame() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Lekto"));
    QCOMPARE(window_->objectName(), QStringLiteral("MainWindow"));
    QVERIFY(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(window_->windowFlags() & Qt::WindowCloseButtonHint);
    const auto* menu = Find<QMenuBar>(*window_, "菜单栏");
    QVERIFY(menu != nullptr && menu->isVisible());
    QWidget* client = Client();
    QCOMPARE(client->geometry(), QRect(0, menu->height(), 624, 441 + 42));
    // The default client area is also the smallest; the window can grow from there.
    QCOMPARE(window_->size(), QSize(624, 441 + 42 + menu->height()));
    QCOMPARE(window_->minimumSize(), window_->size());
    QVERIFY(window_->maximumSize().width() > 2000 && window_->maximumSize().height() > 2000);
    // Every control lies inside the client area, and the new ones overlap none of the old.
    for (const QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY2(client->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }
    for (const char* added : {"进度条1", "标签5", "标签6"}) {
      for (const QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == Find<QWidget>(*window_, added) || child->objectName() == QStringLiteral("按钮11")) continue;
        QVERIFY2(!Find<QWidget>(*window_, added)->geometry().intersects(child->geometry()),
                 qPrintable(QString::fromUtf8(added) + QLatin1Char('/') + child->objectName()));
      }
    }
    // Every control says what it is for.
    for (const char* name :
         {"编辑框1", "按钮1", "选择框2", "选择框3", "超级列表框2", "编辑框2", "选择框1", "按钮7", "按钮8", "编辑框3",
          "按钮5", "按钮6", "按钮9", "按钮4", "按钮10", "按钮2", "按钮3", "按钮11"}) {
      QVERIFY2(!Find<QWidget>(*window_, name)->toolTip().isEmpty(), name);
    }
  }

  // The menu bar holds what has no control of its own: the format (kept between runs), the update, the book
  // folder, the switches, and the About box with the version and the licence.
  void menuBarHoldsTheFeatures() {
    QMenu* book = Find<QMenu>(*window_, "菜单书籍");
    QVERIFY(book != nullptr);
    QVERIFY(QMetaObject::invokeMethod(book, "aboutToShow"));
    const auto action = [book](const QString& text) -> QAction* {
      for (QAction* candidate : book->actions()) {
        if (candidate->text().startsWith(text)) return candidate;
      }
      return nullptr;
    };
    QVERIFY(action(QStringLiteral("GBK 文本（默认）"))->isChecked());
    QVERIFY(action(QStringLiteral("打开书籍文件夹")) != nullptr);
    QVERIFY(!action(QStringLiteral("更新上次下载的书"))->isEnabled());  // no book downloaded yet
    action(QStringLiteral("EPUB 电子书"))->trigger();
    QCOMPARE(window_->CurrentBookFormat(), BookFormat::kEpub);
    QVERIFY(QMetaObject::invokeMethod(book, "aboutToShow"));
    QVERIFY(action(QStringLiteral("EPUB 电子书"))->isChecked());
    QVERIFY(!action(QStringLiteral("GBK 文本（默认）"))->isChecked());

    // The switches in "选项" and their check boxes are one.
    QMenu* options = window_->OptionsMenu();
    QCOMPARE(options->objectName(), QStringLiteral("菜单选项"));
    QAction* transcode = options->actions().at(0);
    QCOMPARE(transcode->text(), QStringLiteral("转码"));
    transcode->trigger();
    QVERIFY(Find<QCheckBox>(*window_, "选择框2")->isChecked());
    QVERIFY(window_->CoreControls().Transcode());
    Click(Find<QCheckBox>(*window_, "选择框2"));
    QVERIFY(!transcode->isChecked());

    QMenu* help = Find<QMenu>(*window_, "菜单帮助");
    QString about;
    QTimer::singleShot(10, [this, &about] {
      auto* box = window_->findChild<QMessageBox*>(QStringLiteral("关于"));
      if (box == nullptr) return;
      about = box->text() + QLatin1Char('\n') + box->informativeText();
      box->button(QMessageBox::Ok)->click();
    });
    help->actions().at(1)->trigger();
    QVERIFY2(QRegularExpression(QStringLiteral("^Lekto \\d+\\.\\d+")).match(about).hasMatch(), qPrintable(about));
    QVERIFY2(about.contains(QStringLiteral("GPL-3.0-or-later")), qPrintable(about));

    // The format chosen outlives the window, as every other choice does.
    QVERIFY(window_->close());
    window_ = std::make_unique<MainWindow>(base_);
    QCOMPARE(window_->CurrentBookFormat(), BookFormat::kEpub);
  }

  void controls_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("enabled");
    const auto row = [](const char* name, const char* kind, const char* caption, QRect geometry, bool enabled = true) {
      QTest::newRow(name) << QString::fromUtf8(kind) << QString::fromUtf8(caption) << geometry << enabled;
    };
    row("编辑框1", "QLineEdit", "", {8, 8, 464, 32});
    row("按钮1", "QPushButton", "目录解析", {480, 8, 64, 32});
    row("选择框2", "QCheckBox", "转码", {552, 4, 64, 16});
    row("选择框3", "QCheckBox", "预处理", {552, 28, 64, 16});
    row("标签1", "QLabel", "章节列表", {8, 48, 256, 16});
    row("标签2", "QLabel", "内容", {352, 48, 264, 16});
    row("超级列表框2", "QTableWidget", "", {8, 64, 336, 336});
    row("编辑框2", "QPlainTextEdit", "", {352, 64, 264, 272});
    row("标签4", "QLabel", "正则过滤内容", {352, 338, 80, 16});
    row("选择框1", "QCheckBox", "启用", {440, 338, 56, 16});
    row("按钮7", "QPushButton", ".*?", {496, 340, 48, 16});
    row("按钮8", "QPushButton", "[\\S\\s]*?", {552, 340, 56, 16});
    row("编辑框3", "QPlainTextEdit", "", {352, 360, 264, 48}, false);
    row("按钮5", "QPushButton", "全选", {8, 408, 40, 24});
    row("按钮6", "QPushButton", "反选", {64, 408, 40, 24});
    row("按钮9", "QPushButton", "倒序", {120, 408, 40, 24});
    row("标签3", "QLabel", "线程：", {176, 408, 72, 24});
    row("按钮4", "QPushButton", "下载", {256, 408, 48, 24});
    row("按钮10", "QPushButton", "合并", {312, 408, 48, 24});
    row("按钮2", "QPushButton", "上一章", {392, 408, 48, 24});
    row("按钮3", "QPushButton", "下一章", {536, 408, 48, 24});
    row("进度条1", "QProgressBar", "", {8, 436, 160, 18});
    row("标签5", "QLabel", "", {176, 436, 440, 18});
    row("标签6", "QLabel", "", {352, 456, 264, 16});
  }
  void controls() {
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabled);
    const auto* control = window_->findChild<QWidget*>(QString::fromUtf8(QTest::currentDataTag()));
    QVERIFY(control != nullptr);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isEnabled(), enabled);
    QVERIFY(control->isVisible());
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
      QCOMPARE(button->text(), caption);
      QVERIFY(!button->isChecked());
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) QCOMPARE(label->text(), caption);
  }

  // A larger window gives its room to the list and the content box; what sits beside or below them moves along,
  // and back at the default size every control is where the table above puts it.
  void growsWithTheWindow() {
    QMap<QString, QRect> before;
    for (const QWidget* child : Client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      before[child->objectName()] = child->geometry();
    const QSize base = window_->size();
    const auto now = [this](const char* name) { return Find<QWidget>(*window_, name)->geometry(); };
    const auto was = [&before](const char* name) { return before[QString::fromUtf8(name)]; };

    window_->resize(base + QSize(600, 300));
    QTRY_COMPARE(now("超级列表框2").size(), QSize(336 + 200, 336 + 300));
    // The content box takes three quarters of the extra height, the filter-rule box below it the last quarter.
    QCOMPARE(now("编辑框2"), QRect(352 + 200, 64, 264 + 400, 272 + 225));
    QCOMPARE(now("编辑框1").width(), 464 + 600);
    QCOMPARE(now("按钮1").topLeft(), QPoint(480 + 600, 8));
    QCOMPARE(now("标签4").topLeft(), QPoint(352 + 200, 338 + 225));
    QCOMPARE(now("编辑框3"), QRect(352 + 200, 360 + 225, 264 + 400, 48 + 75));
    QCOMPARE(now("标签5"), QRect(176, 436 + 300, 440 + 600, 18));
    QCOMPARE(now("按钮4").topLeft(), QPoint(256, 408 + 300));
    QCOMPARE(now("按钮3").topLeft(), QPoint(536 + 600, 408 + 300));
    QCOMPARE(ChapterList(*window_)->columnWidth(1), 200 + 200);
    for (const QWidget* child : Client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY2(Client()->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }
    QVERIFY(!now("超级列表框2").intersects(now("编辑框2")));
    QVERIFY(!now("编辑框2").intersects(now("标签4")));
    QVERIFY(!now("编辑框3").intersects(now("按钮3")));

    window_->resize(base);
    QTRY_COMPARE(now("编辑框2"), was("编辑框2"));
    for (auto place = before.cbegin(); place != before.cend(); ++place) {
      QCOMPARE(Find<QWidget>(*window_, place.key().toUtf8().constData())->geometry(), place.value());
    }
    QCOMPARE(ChapterList(*window_)->columnWidth(1), 200);
  }

  // Rules, switches, the address and the window's size outlive the window; a double-click that emptied a box
  // can be undone first.
  void settingsKeptAcrossTwoWindows() {
    Click(Find<QCheckBox>(*window_, "选择框1"));
    Click(Find<QCheckBox>(*window_, "选择框3"));
    QPlainTextEdit* rules = FilterBox(*window_);
    QTest::mouseDClick(rules->viewport(), Qt::LeftButton);
    QCOMPARE(rules->toPlainText(), QString());
    rules->setFocus();
    QTest::keyClick(rules, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(rules->toPlainText(), QStringLiteral("过滤规则1\n过滤规则2\n过滤规则3"));
    QTest::keyClick(rules, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(rules, Qt::Key_Return);
    TypeText(rules, QStringLiteral("本章未完.*?"));
    QTest::keyClicks(AddressBox(*window_), QStringLiteral("http://127.0.0.1/book/"));
    QTest::mouseDClick(AddressBox(*window_), Qt::LeftButton);
    QCOMPARE(AddressBox(*window_)->text(), QString());
    QTest::keyClick(AddressBox(*window_), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(AddressBox(*window_)->text(), QStringLiteral("http://127.0.0.1/book/"));
    window_->resize(900, 600);
    ChapterList(*window_)->setColumnWidth(0, 70);
    QVERIFY(window_->close());
    window_.reset();

    window_ = std::make_unique<MainWindow>(base_);
    QVERIFY(ShowActive(*window_));
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("过滤规则1\n过滤规则2\n过滤规则3\n本章未完.*?"));
    QVERIFY(FilterBox(*window_)->isEnabled());
    QVERIFY(Find<QCheckBox>(*window_, "选择框1")->isChecked());
    QVERIFY(!Find<QCheckBox>(*window_, "选择框2")->isChecked());
    QVERIFY(Find<QCheckBox>(*window_, "选择框3")->isChecked());
    QCOMPARE(AddressBox(*window_)->text(), QStringLiteral("http://127.0.0.1/book/"));
    QCOMPARE(window_->size(), QSize(900, 600));
    QCOMPARE(ChapterList(*window_)->columnWidth(0), 70);
    // The core reads what the controls show.
    QCOMPARE(window_->CoreControls().Address(), std::string("http://127.0.0.1/book/"));
    QVERIFY(window_->CoreControls().FiltersEnabled());
    QVERIFY(window_->CoreControls().Preprocess());
  }

  void helpTextAndFilterExamples() {
    const QStringList help = ContentBox(*window_)->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(help.size(), 20);
    QCOMPARE(help.first(), QStringLiteral("使用说明:双击编辑框清空。"));
    QCOMPARE(help[7], QStringLiteral("匹配一行内一般用.*?  .表示匹配任意字符（不包括换行符），"));
    QCOMPARE(help[9], QStringLiteral("匹配多行用[\\S\\s]*? []表示里面任意选择一个 "));
    QCOMPARE(help[18],
             QStringLiteral("起始和终止字符串可以有一个不存在，存在尽量选唯一出现的，以免把不该替换的删掉。"));
    // Last, where the books go: the window's own work folder.
    QCOMPARE(help.last(),
             QStringLiteral("下载合并好的书保存在：") + QString::fromStdString((base_ / "Lekto").string()));
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("过滤规则1\n过滤规则2\n过滤规则3"));
    QCOMPARE(ContentBox(*window_)->font().pixelSize(), 15);
    QCOMPARE(FilterBox(*window_)->font().pixelSize(), 14);
    // The content box's face resolves to an installed CJK face, so Chinese is not drawn as boxes.
    QVERIFY2(QFontInfo(ContentBox(*window_)->font()).family().contains(QStringLiteral("CJK")) ||
                 QFontInfo(ContentBox(*window_)->font()).family().contains(QStringLiteral("宋体")),
             qPrintable(QFontInfo(ContentBox(*window_)->font()).family()));
  }

  void chapterListAndTimer() {
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(list->columnCount(), 3);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("ID"));
    QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("章节名称"));
    QCOMPARE(list->horizontalHeaderItem(2)->text(), QStringLiteral("下载状态"));
    QCOMPARE(list->columnWidth(0), 50);
    QCOMPARE(list->columnWidth(1), 200);
    QCOMPARE(list->columnWidth(2), 60);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(list->showGrid());
    const auto* timer = window_->findChild<QTimer*>(QStringLiteral("时钟1"));
    QVERIFY(timer != nullptr);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 0);
  }

  void createsWorkFolderAndLeavesAnExistingOne() {
    const std::filesystem::path work = base_ / "Lekto";
    QVERIFY(std::filesystem::is_directory(work));
    std::ofstream(work / "old.txt") << "old book";
    window_ = std::make_unique<MainWindow>(base_);
    QCOMPARE(ReadFileBytes(work / "old.txt"), std::string("old book"));
    window_.reset();
    QVERIFY(std::filesystem::exists(work / "old.txt"));
  }

  void doubleClickEmptiesEachBox() {
    Click(Find<QCheckBox>(*window_, "选择框1"));
    QTest::keyClicks(AddressBox(*window_), QStringLiteral("http://127.0.0.1/"));
    QTest::mouseDClick(AddressBox(*window_), Qt::LeftButton);
    QCOMPARE(AddressBox(*window_)->text(), QString());
    QTest::mouseDClick(ContentBox(*window_)->viewport(), Qt::LeftButton);
    QCOMPARE(ContentBox(*window_)->toPlainText(), QString());
    QTest::mouseDClick(FilterBox(*window_)->viewport(), Qt::LeftButton);
    QCOMPARE(FilterBox(*window_)->toPlainText(), QString());
  }

  void enableTogglesTheFilterBox() {
    auto* enable = Find<QCheckBox>(*window_, "选择框1");
    Click(enable);
    QVERIFY(FilterBox(*window_)->isEnabled());
    Click(enable);
    QVERIFY(!FilterBox(*window_)->isEnabled());
  }

  void addressWithoutHttpShowsAClosingMessage_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("no http") << QStringLiteral("www.example.com/book/");
    QTest::newRow("upper case") << QStringLiteral("HTTP://127.0.0.1/book/");
  }
  void addressWithoutHttpShowsAClosingMessage() {
    QFETCH(QString, address);
    QTest::keyClicks(AddressBox(*window_), address);
    ClickButton(*window_, "按钮1");
    QMessageBox* box = ShownMessageBox(*window_);
    QVERIFY(box != nullptr);
    QCOMPARE(box->windowTitle(), QStringLiteral("提示："));
    QCOMPARE(box->text(), QStringLiteral("请输入章节目录地址！"));
    QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box->button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    QCOMPARE(AddressBox(*window_)->text(), QString());
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("章节列表"));
    QVERIFY(!window_->findChild<QTimer*>(QStringLiteral("时钟1"))->isActive());
    // Nobody answers: the box goes away by itself.
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
  }

 private:
  QWidget* Client() const { return Find<QWidget>(*window_, "客户区"); }
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowLayoutTest)
#include "window_layout_test.moc"
