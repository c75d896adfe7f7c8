// The chapter list as a person uses it, against a small novel site on the local test server: parsing the table
// of contents, opening chapters, stepping with "上一章" and "下一章", ticking, reversing and copying links.
#include "app/main_window.h"
#include "app/qt_text.h"
#include "support/test_server.h"
#include "window_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <filesystem>
#include <fstream>

namespace lekto::apptest {

class WindowChaptersTest : public WindowTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    WriteDemoSite(std::filesystem::path(site_.path().toStdString()), "/novel/");
    server_.ServeStatic("/novel/", site_.path().toStdString());
    const std::filesystem::path site(site_.path().toStdString());
    std::ofstream(site / "cover.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    // A list with a chapter the site does not have.
    std::ofstream(site / "gaps.html", std::ios::binary) << ToGbk(
        QStringLiteral("<html><head><title>缺页</title></head><body><ul>"
                       "<li><a href=\"/novel/1.html\">第一章 山门</a></li>"
                       "<li><a href=\"/novel/9.html\">第九章 失踪</a></li>"
                       "<li><a href=\"/novel/2.html\">第二章 夜雨</a></li>"
                       "<li><a href=\"/novel/3.html\">第三章 旧书里夹着一张发黄的地图，地图的一角画着一棵歪脖子松树"
                       "</a></li></ul></body></html>"));
    // A list whose second page is missing, and a chapter whose second page is.
    std::ofstream(site / "pages.html", std::ios::binary)
        << ToGbk(QStringLiteral("<html><head><title>半本</title></head><body><ul>"
                                "<li><a href=\"/novel/1.html\">第一章 山门</a></li>"
                                "<li><a href=\"/novel/2.html\">第二章 夜雨</a></li>"
                                "<li><a href=\"/novel/3.html\">第三章 旧书</a></li>"
                                "<li><a href=\"/novel/4.html\">第四章 断崖</a></li>"
                                "<li><a href=\"/novel/half.html\">第五章 半页</a></li></ul>"
                                "<a href=\"/novel/pages_2.html\">下一页</a></body></html>"));
    std::ofstream(site / "half.html", std::ios::binary)
        << ToGbk(QStringLiteral("<html><head><title>第五章 半页</title></head><body><div id=\"content\">"
                                "旧书里夹着一张发黄的地图，地图的一角画着一棵歪脖子松树。他认得那棵树。</div>"
                                "<a href=\"/novel/half_2.html\">下一页</a></body></html>"));
  }

  void parseFillsTheList() {
    Parse();
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), static_cast<int>(DemoChapters().size()));
    QCOMPARE(ColumnTexts(list, 0), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                                QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")}));
    QCOMPARE(ColumnTexts(list, 1), DemoTitles());
    QCOMPARE(ColumnTexts(list, 2), QStringList(list->rowCount(), QStringLiteral("待下载")));
    QCOMPARE(RowChecks(list), std::vector<bool>(list->rowCount(), true));
    QCOMPARE(Label(*window_, "标签1")->text(), kDemoBookTitle + QStringLiteral("--章节列表获取完毕！"));
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
    const auto* timer = window_->findChild<QTimer*>(QStringLiteral("时钟1"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 300);
    QCOMPARE(FromGbk(window_->CurrentBook().title), kDemoBookTitle);
    // The tick shows the running workers from now on.
    QTRY_COMPARE(Label(*window_, "标签3")->text(), QStringLiteral("线程：0"));
  }

  // A table of contents that cannot be fetched says so, and why, instead of reporting an empty list as read.
  void failedParseSaysWhy_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("label");
    QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:1/none.html")
                             << QStringLiteral("目录获取失败：无法连接服务器");
    QTest::newRow("HTTP error") << QString::fromStdString(server_.HttpUrl("/novel/none.html"))
                                << QStringLiteral("目录获取失败：HTTP 404");
    QTest::newRow("not a page") << QString::fromStdString(server_.HttpUrl("/novel/cover.png"))
                                << QStringLiteral("目录获取失败：不是网页（image/png）");
  }
  void failedParseSaysWhy() {
    QFETCH(QString, address);
    QFETCH(QString, label);
    Parse();
    ParseAddress(*window_, address);
    QCOMPARE(ChapterList(*window_)->rowCount(), 0);
    QCOMPARE(Label(*window_, "标签1")->text(), label);
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
    // Nothing to step to.
    ClickButton(*window_, "按钮3");
    ClickButton(*window_, "按钮2");
    QCOMPARE(Label(*window_, "标签2")->text(), QStringLiteral("内容"));
  }

  // A chapter that cannot be fetched says so in the viewer's label, and leaves a stored chapter file alone.
  void failedChapterSaysWhy() {
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/gaps.html")));
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 4);
    std::filesystem::create_directories(TempFolder());
    std::ofstream(TempFolder() / "2.txt") << "downloaded whole";
    DoubleClickRow(list, 1);
    QCOMPARE(Label(*window_, "标签2")->text(), QStringLiteral("第九章 失踪--加载失败：HTTP 404"));
    QCOMPARE(ReadFileBytes(TempFolder() / "2.txt"), std::string("downloaded whole"));
    ClickButton(*window_, "按钮3");
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[1].title + QStringLiteral("--加载完毕！"));
  }

  // What was fetched stays, and the label names the page that failed.
  void partlyFetchedPagesSayWhichFailed() {
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/pages.html")));
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 5);
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("半本--章节列表不完整，目录第2页获取失败：HTTP 404"));
    DoubleClickRow(list, 4);
    QCOMPARE(Label(*window_, "标签2")->text(), QStringLiteral("第五章 半页--加载不完整，第2页获取失败：HTTP 404"));
    QVERIFY(ContentBox(*window_)->toPlainText().contains(QStringLiteral("他认得那棵树。")));
  }

  // A title cut by its column shows whole in a tooltip; one that fits needs none.
  void cutTitlesShowInATooltip() {
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/gaps.html")));
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 4);
    const auto tipOver = [list](int row) {
      const QPoint at = list->visualItemRect(list->item(row, 1)).center();
      QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
      QApplication::sendEvent(list->viewport(), &help);
    };
    tipOver(3);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("第三章 旧书里夹着一张发黄的地图，地图的一角画着一棵歪脖子松树"));
    tipOver(0);
    QTRY_VERIFY(!QToolTip::isVisible());
  }

  // A parse or a chapter from a server that does not answer: the window keeps running, shows what it waits for,
  // ignores every other click, and stops waiting on Esc or "取消", as if nothing had been clicked.
  void stalledFetchesCanBeCancelled() {
    Parse();
    QTableWidget* list = ChapterList(*window_);
    DoubleClickRow(list, 2);
    const QString shown = ContentBox(*window_)->toPlainText();
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("章节列表"));
    server_.ClearRequests();
    StartParse(*window_, QString::fromStdString(server_.HttpUrl("/novel/index.html?delay=4000")));
    QVERIFY(window_->Busy());
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("解析中"));
    QTRY_COMPARE(Label(*window_, "标签1")->text(), QStringLiteral("目录页获取中。。。"));
    QVERIFY(Button(*window_, "按钮11")->isVisible());
    QTest::mouseClick(Button(*window_, "按钮1"), Qt::LeftButton);
    QTest::mouseClick(Button(*window_, "按钮9"), Qt::LeftButton);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(4, 1)).center());
    QTest::keyClick(list, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::qWait(200);
    QCOMPARE(server_.Requests().size(), std::size_t{1});
    QCOMPARE(ColumnTexts(list, 1), DemoTitles());
    QCOMPARE(window_->CurrentRow(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!window_->Busy());
    QVERIFY(!Button(*window_, "按钮11")->isVisible());
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("章节列表"));

    // A chapter that stalls, stopped with the button: the stepping position and the labels come back.
    server_.SetDelay(4000);
    QTest::keyClick(ContentBox(*window_), Qt::Key_PageDown, Qt::ControlModifier);
    QVERIFY(window_->Busy());
    QCOMPARE(window_->CurrentRow(), 3);
    QCOMPARE(Label(*window_, "标签2")->text(), QStringLiteral("章节内容加载中。。。"));
    QTest::mouseClick(Button(*window_, "按钮11"), Qt::LeftButton);
    QVERIFY(!window_->Busy());
    QCOMPARE(window_->CurrentRow(), 2);
    QCOMPARE(list->selectedRanges().front().topRow(), 2);
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[2].title + QStringLiteral("--加载完毕！"));
    server_.SetDelay(0);

    // When the abandoned requests come back, nothing of them reaches the window.
    QTRY_COMPARE_WITH_TIMEOUT(BackgroundJob::RunningThreads(), 0, 15000);
    QTest::qWait(50);
    QCOMPARE(ColumnTexts(list, 1), DemoTitles());
    QCOMPARE(ContentBox(*window_)->toPlainText(), shown);
    QCOMPARE(window_->CurrentRow(), 2);
    ClickButton(*window_, "按钮3");
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[3].title + QStringLiteral("--加载完毕！"));
  }

  void doubleClickShowsTheChapter() {
    Parse();
    DoubleClickRow(ChapterList(*window_), 2);
    QCOMPARE(window_->CurrentRow(), 2);
    const QString shown = ContentBox(*window_)->toPlainText();
    // The page has no title line of its own, so the title comes first; then the paragraphs.
    QVERIFY2(shown.startsWith(DemoChapters()[2].title + QLatin1Char('\n')), qPrintable(shown));
    for (const QString& paragraph : DemoChapters()[2].paragraphs)
      QVERIFY2(shown.contains(paragraph), qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("书友小站")));
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("章节列表"));
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[2].title + QStringLiteral("--加载完毕！"));
    // Without a temp folder (no download yet) the viewer stores nothing.
    QVERIFY(!std::filesystem::exists(TempFolder()));
  }

  void viewerStoresTheChapterFileWhenTheTempFolderExists() {
    Parse();
    std::filesystem::create_directories(TempFolder());
    DoubleClickRow(ChapterList(*window_), 1);
    const std::string file = ReadFileBytes(TempFolder() / "2.txt");
    QCOMPARE(FromGbkLines(file), ContentBox(*window_)->toPlainText() + QLatin1Char('\n'));
  }

  void previousAndNextStepFromTheRowLastOpened() {
    Parse();
    QTableWidget* list = ChapterList(*window_);
    // Before any chapter was opened "上一章" does nothing and "下一章" shows the second row.
    ClickButton(*window_, "按钮2");
    QCOMPARE(Label(*window_, "标签2")->text(), QStringLiteral("内容"));
    ClickButton(*window_, "按钮3");
    QCOMPARE(window_->CurrentRow(), 1);
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[1].title + QStringLiteral("--加载完毕！"));

    DoubleClickRow(list, 5);
    ClickButton(*window_, "按钮3");  // the last row: nothing
    QCOMPARE(window_->CurrentRow(), 5);
    ClickButton(*window_, "按钮2");
    ClickButton(*window_, "按钮2");
    QCOMPARE(window_->CurrentRow(), 3);
    QCOMPARE(list->selectedRanges().front().topRow(), 3);
    QVERIFY(ContentBox(*window_)->toPlainText().contains(DemoChapters()[3].paragraphs.front()));

    // A single click elsewhere does not move the stepping position.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0, 1)).center());
    ClickButton(*window_, "按钮3");
    QCOMPARE(window_->CurrentRow(), 4);
    for (int i = 0; i < 6; ++i) ClickButton(*window_, "按钮2");
    QCOMPARE(window_->CurrentRow(), 0);
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[0].title + QStringLiteral("--加载完毕！"));
  }

  // Enter in the address box parses, Enter on a row opens it, and the chapter keys step from the row last
  // opened: Ctrl+PageDown anywhere, Ctrl+Left in the content box, Ctrl+Right in the list.
  void keyboardDrivesTheList() {
    QLineEdit* address = AddressBox(*window_);
    address->setFocus();
    TypeText(address, QString::fromStdString(server_.HttpUrl("/novel/index.html")));
    PressKey(address, Qt::Key_Return);
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 6);
    QCOMPARE(Label(*window_, "标签1")->text(), kDemoBookTitle + QStringLiteral("--章节列表获取完毕！"));

    // Taking the focus makes the first row current; Down goes to the second.
    list->setFocus();
    PressKey(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 1);
    PressKey(list, Qt::Key_Return);
    QCOMPARE(window_->CurrentRow(), 1);
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[1].title + QStringLiteral("--加载完毕！"));
    PressKey(list, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(window_->CurrentRow(), 2);
    QVERIFY(ContentBox(*window_)->toPlainText().contains(DemoChapters()[2].paragraphs.front()));
    PressKey(ContentBox(*window_), Qt::Key_Left, Qt::ControlModifier);
    PressKey(ContentBox(*window_), Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(window_->CurrentRow(), 0);
    QCOMPARE(Label(*window_, "标签2")->text(), DemoChapters()[0].title + QStringLiteral("--加载完毕！"));
    PressKey(list, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(window_->CurrentRow(), 1);
    QCOMPARE(list->selectedRanges().front().topRow(), 1);
  }

  void newParseStartsSteppingFromTheFirstRow() {
    Parse();
    DoubleClickRow(ChapterList(*window_), 5);
    Parse();
    QCOMPARE(window_->CurrentRow(), 0);
    ClickButton(*window_, "按钮3");
    QCOMPARE(window_->CurrentRow(), 1);
  }

  void selectAllAndInvert() {
    Parse();
    QTableWidget* list = ChapterList(*window_);
    ToggleRowCheck(list, 1);
    ToggleRowCheck(list, 3);
    ToggleRowCheck(list, 4);
    ToggleRowCheck(list, 5);
    QCOMPARE(RowChecks(list), (std::vector<bool>{true, false, true, false, false, false}));
    ClickButton(*window_, "按钮6");
    QCOMPARE(RowChecks(list), (std::vector<bool>{false, true, false, true, true, true}));
    ClickButton(*window_, "按钮5");
    QCOMPARE(RowChecks(list), std::vector<bool>(6, true));
  }

  // "倒序" rebuilds the rows in the other order; each row keeps its tick, so a junk row unticked stays unticked.
  void reverseRebuildsTheRows() {
    Parse();
    QTableWidget* list = ChapterList(*window_);
    ToggleRowCheck(list, 0);
    ToggleRowCheck(list, 4);
    DoubleClickRow(list, 1);
    ClickButton(*window_, "按钮9");
    QStringList reversed = DemoTitles();
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(ColumnTexts(list, 1), reversed);
    QCOMPARE(ColumnTexts(list, 0).first(), QStringLiteral("1"));
    QCOMPARE(RowChecks(list), (std::vector<bool>{true, false, true, true, true, false}));
    // The core reads the same ticks the rows show.
    QVERIFY(!window_->CoreControls().RowChecked(5));
    QVERIFY(window_->CoreControls().RowChecked(4));
    QCOMPARE(ColumnTexts(list, 2), QStringList(6, QStringLiteral("待下载")));
    // The stepping position keeps its number: "下一章" goes on from row 1 of the new order.
    ClickButton(*window_, "按钮3");
    QCOMPARE(window_->CurrentRow(), 2);
    QCOMPARE(Label(*window_, "标签2")->text(), reversed[2] + QStringLiteral("--加载完毕！"));
    ClickButton(*window_, "按钮9");
    QCOMPARE(ColumnTexts(list, 1), DemoTitles());
    QCOMPARE(RowChecks(list), (std::vector<bool>{false, true, true, true, false, true}));
  }

  void userFiltersApplyToTheViewer() {
    Parse();
    Click(Find<QCheckBox>(*window_, "选择框1"));
    QPlainTextEdit* rules = FilterBox(*window_);
    QTest::mouseDClick(rules->viewport(), Qt::LeftButton);
    TypeText(rules, QStringLiteral("林默"));
    QTest::keyClick(rules, Qt::Key_Return);
    TypeText(rules, QStringLiteral("油灯.*?书"));
    QCOMPARE(Label(*window_, "标签6")->text(), QString());
    // A rule that is not a valid expression is named under the box, and skipped.
    QTest::keyClick(rules, Qt::Key_Return);
    TypeText(rules, QStringLiteral("雨(点"));
    QCOMPARE(Label(*window_, "标签6")->text(), QStringLiteral("无效的正则，不会使用：第3行“雨(点”"));
    DoubleClickRow(ChapterList(*window_), 1);
    const QString shown = ContentBox(*window_)->toPlainText();
    QVERIFY2(!shown.contains(QStringLiteral("林默")) && !shown.contains(QStringLiteral("油灯")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("入夜之后下起了雨，雨点")));

    // Switched off again, the same rules delete nothing.
    Click(Find<QCheckBox>(*window_, "选择框1"));
    QCOMPARE(Label(*window_, "标签6")->text(), QString());
    DoubleClickRow(ChapterList(*window_), 1);
    QVERIFY(ContentBox(*window_)->toPlainText().contains(QStringLiteral("林默点起油灯")));
  }

  void switchesAndBoxesReachTheCoreAsGbk() {
    const Controls& core = window_->CoreControls();
    QVERIFY(!core.Transcode() && !core.Preprocess() && !core.FiltersEnabled());
    Click(Find<QCheckBox>(*window_, "选择框2"));
    Click(Find<QCheckBox>(*window_, "选择框3"));
    Click(Find<QCheckBox>(*window_, "选择框1"));
    QVERIFY(core.Transcode() && core.Preprocess() && core.FiltersEnabled());
    QCOMPARE(core.FilterRules(), ToGbkLines(QStringLiteral("过滤规则1\n过滤规则2\n过滤规则3")));
    QCOMPARE(core.FilterRules().substr(0, 9), std::string("\xB9\xFD\xC2\xCB\xB9\xE6\xD4\xF2"
                                                          "1"));
    QTest::keyClicks(AddressBox(*window_), QStringLiteral("http://127.0.0.1/a"));
    QCOMPARE(core.Address(), std::string("http://127.0.0.1/a"));
    Parse();
    ToggleRowCheck(ChapterList(*window_), 2);
    QVERIFY(core.RowChecked(1) && !core.RowChecked(2) && core.RowChecked(3));
    ClickButton(*window_, "按钮6");
    QVERIFY(!core.RowChecked(1) && core.RowChecked(2));
  }

  void rightClickCopiesTheLinkOfThatRow() {
    Parse();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("earlier"));
    // Nothing selected and no row under the pointer: the clipboard keeps its text.
    QTableWidget* list = ChapterList(*window_);
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(5, list->viewport()->height() - 5));
    QCOMPARE(clipboard->text(), QStringLiteral("earlier"));
    QCOMPARE(Label(*window_, "标签5")->text(), QString());
    RightClickRow(list, 4);
    QCOMPARE(clipboard->text(), QString::fromStdString(server_.HttpUrl("/novel/5.html")));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已复制链接：") + clipboard->text());
    QCOMPARE(list->selectedRanges().front().topRow(), 4);
  }

 private:
  void Parse() {
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/index.html")));
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
  }

  std::filesystem::path TempFolder() const { return base_ / "Lekto" / "temp"; }

  static QStringList DemoTitles() {
    QStringList titles;
    for (const DemoChapter& chapter : DemoChapters()) titles << chapter.title;
    return titles;
  }

  QTemporaryDir site_;
  testsupport::TestServer server_;
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowChaptersTest)
#include "window_chapters_test.moc"
