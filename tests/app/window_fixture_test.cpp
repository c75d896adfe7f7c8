// The window over the fixture novel site, compared with the site's expected texts: the rows of a table of
// contents spread over three pages, chapters of several pages in the content box, and a whole download whose
// book must match the expected chapter texts byte for byte.
#include "app/main_window.h"
#include "app/qt_text.h"
#include "support/test_server.h"
#include "window_driver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <set>
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

  // A book whose pages go wrong in the ways fetching can: each row's state says what happened to it, the book
  // marks what is missing, and the closing message says how many characters the GBK book could not hold and
  // which formats keep them.
  void faultyBookSaysWhatHappenedToEachChapter() {
    Parse("/fetch/index.html");
    ClickButton(*window_, "按钮4");
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), 60000);
    const QStringList states = ColumnTexts(ChapterList(*window_), 2);
    QCOMPARE(states.size(), 8);
    QCOMPARE(states[3], QStringLiteral("下载完成（缺第3页）"));
    QCOMPARE(states[6], QStringLiteral("下载失败：HTTP 404"));
    QCOMPARE(states.count(QStringLiteral("下载完成")), 6);
    const QString message = ShownMessageText(*window_);
    QVERIFY2(message.contains(QStringLiteral("1 章下载失败")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("书中有 2 个字符 GBK 无法表示，已写成“?”；选“UTF-8 文本”或“EPUB 电子书”")),
             qPrintable(message));
  }

  // "取消" in the middle of a download: the workers end the requests they are in, no chapter file is left half
  // made, nothing is merged; after a restart "下载" on the same list keeps the chapters already written, fetches
  // only the rest, and says how many it kept. The progress strip counts along, with the time left.
  void stopAndResumeAfterARestart() {
    Parse("/gbk/index.html");
    const std::vector<ExpectedRow> rows = ExpectedRows("gbk");
    QTableWidget* list = ChapterList(*window_);
    server_.SetDelay(150);
    ClickButton(*window_, "按钮4");
    const QRegularExpression counting(QStringLiteral("^已完成 (\\d+)/40，失败 0，约剩 \\d+ (秒|分钟)$"));
    QTRY_VERIFY_WITH_TIMEOUT(counting.match(Label(*window_, "标签5")->text()).hasMatch() &&
                                 counting.match(Label(*window_, "标签5")->text()).captured(1).toInt() >= 6,
                             20000);
    const auto* bar = Find<QProgressBar>(*window_, "进度条1");
    QCOMPARE(bar->maximum(), 40);
    QVERIFY(bar->value() >= 6);
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QCOMPARE(Button(*window_, "按钮4")->text(), QStringLiteral("停止中"));
    QVERIFY(Label(*window_, "标签5")->text().contains(QStringLiteral("正在停止")));
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), 10000);

    const std::filesystem::path temp = base_ / "Lekto" / "temp";
    QVERIFY(!std::filesystem::exists(base_ / "Lekto" / "星河旧梦.txt"));
    const QStringList states = ColumnTexts(list, 2);
    std::set<int> written;
    for (int row = 0; row < 40; ++row) {
      const std::filesystem::path file = temp / (std::to_string(row + 1) + ".txt");
      QCOMPARE(states[row] == QStringLiteral("下载完成"), std::filesystem::exists(file));
      if (!std::filesystem::exists(file)) continue;
      written.insert(row);
      // Whole chapters only, every page of them.
      QCOMPARE(ReadFileBytes(file), ExpectedText("gbk", row + 1) + "\r\n");
    }
    const int kept = static_cast<int>(written.size());
    QVERIFY2(kept >= 6 && kept < 40, qPrintable(QString::number(kept)));
    QCOMPARE(ShownMessageText(*window_),
             QStringLiteral("《星河旧梦》已停止下载，已完成 %1/40 章，再点“下载”继续，已下载的章节会保留。").arg(kept));

    // The window closed and opened again, the same list parsed.
    QVERIFY(window_->close());
    window_ = std::make_unique<MainWindow>(base_);
    QVERIFY(ShowActive(*window_));
    server_.SetDelay(0);
    Parse("/gbk/index.html");
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), 60000);
    for (const testsupport::RecordedRequest& request : server_.Requests()) {
      for (int row : written) QVERIFY2(request.target != rows[row].path, request.target.c_str());
    }
    QVERIFY(!server_.Requests().empty());
    std::string expected = window_->CurrentBook().title + "\r\n";
    for (int row = 1; row <= 40; ++row) expected += ExpectedText("gbk", row) + "\r\n";
    QCOMPARE(ReadFileBytes(base_ / "Lekto" / "星河旧梦.txt"), expected);
    QCOMPARE(ShownMessageText(*window_),
             QStringLiteral("《星河旧梦》下载完毕，合并完成！（保留了上次下载的 %1 章，下载了其余 %2 章）")
                 .arg(kept)
                 .arg(40 - kept));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 40/40（保留 %1 章），失败 0").arg(kept));
    // The list followed the rows being fetched down to the last.
    list = ChapterList(*window_);
    QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(38, 0))));
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
