// The window over the fixture novel site, compared with the site's expected texts: the rows of a table of
// contents spread over three pages, chapters of several pages in the content box, and a whole download whose
// book must match the expected chapter texts byte for byte.
#include "app/main_window.h"
#include "app/qt_text.h"
#include "support/test_server.h"
#include "window_driver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <filesystem>
#include <sstream>
#include <string>

namespace lekto::apptest {

namespace {

const std::filesystem::path kSite = LEKTO_FIXTURE_SITE;

struct ExpectedRow {
  QString title;
  std::string path;
};

std::vector<ExpectedRow> ExpectedRows(const char* book) {
  std::vector<ExpectedRow> rows;
  std::istringstream lines(ReadFileBytes(kSite / "expected" / book / "rows.tsv"));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) rows.push_back({QString::fromStdString(line.substr(0, tab)), line.substr(tab + 1)});
  }
  return rows;
}

std::string ExpectedText(const char* folder, int rowFromOne) {
  return ReadFileBytes(kSite / "expected" / folder / (std::to_string(rowFromOne) + ".txt"));
}

}  // namespace

class WindowFixtureTest : public WindowTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(std::filesystem::is_directory(kSite / "gbk"));
    server_.ServeStatic("/", kSite.string());
  }

  void tableOfContentsOverThreePages() {
    Parse("/gbk/index.html");
    const std::vector<ExpectedRow> expected = ExpectedRows("gbk");
    QCOMPARE(expected.size(), std::size_t{40});
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(list->rowCount(), 40);
    QStringList titles;
    for (const ExpectedRow& row : expected) titles << row.title;
    QCOMPARE(ColumnTexts(list, 1), titles);
    QCOMPARE(ColumnTexts(list, 0).last(), QStringLiteral("40"));
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("星河旧梦--章节列表获取完毕！"));
    // The link each row copies is the one the table of contents gave it.
    RightClickRow(list, 38);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(server_.HttpUrl(expected[38].path)));
  }

  void chaptersOfSeveralPagesInTheContentBox_data() {
    QTest::addColumn<QString>("book");
    QTest::addColumn<int>("row");  // counted from 1, as the expected files are
    QTest::addColumn<QString>("expected");
    QTest::newRow("gbk 5: three pages by 下一页") << QStringLiteral("gbk") << 5 << QStringLiteral("gbk");
    QTest::newRow("gbk 8: continued by 下一章") << QStringLiteral("gbk") << 8 << QStringLiteral("gbk");
    QTest::newRow("gbk 12: the viewer follows the button")
        << QStringLiteral("gbk") << 12 << QStringLiteral("gbk-viewer");
    QTest::newRow("utf8 4: second page without charset") << QStringLiteral("utf8") << 4 << QStringLiteral("utf8");
  }
  void chaptersOfSeveralPagesInTheContentBox() {
    QFETCH(QString, book);
    QFETCH(int, row);
    QFETCH(QString, expected);
    Parse("/" + book.toStdString() + "/index.html");
    DoubleClickRow(ChapterList(*window_), row - 1);
    QCOMPARE(ContentBox(*window_)->toPlainText(), FromGbkLines(ExpectedText(expected.toUtf8().constData(), row)));
    QCOMPARE(Label(*window_, "标签2")->text(),
             ChapterList(*window_)->item(row - 1, 1)->text() + QStringLiteral("--加载完毕！"));
  }

  void downloadOfTheWholeBookMatchesTheExpectedTexts() {
    Parse("/gbk/index.html");
    ClickButton(*window_, "按钮4");
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), 60000);
    std::string expected = window_->CurrentBook().title + "\r\n";
    for (int row = 1; row <= 40; ++row) expected += ExpectedText("gbk", row) + "\r\n";
    const std::filesystem::path book = base_ / "Lekto" / "星河旧梦.txt";
    QCOMPARE(ReadFileBytes(book), expected);
    QCOMPARE(ColumnTexts(ChapterList(*window_), 2), QStringList(40, QStringLiteral("下载完成")));
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("《星河旧梦》下载完毕，合并完成！"));
  }

 private:
  void Parse(const std::string& path) {
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl(path)));
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
  }

  testsupport::TestServer server_;
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowFixtureTest)
#include "window_fixture_test.moc"
