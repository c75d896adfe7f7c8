// The window over the fixture site's /script/ book, with the real browser engine living on the window's own
// thread (as in the program) and the jobs and download workers reading pages through it: the list built by script
// behind a browser check, a chapter text put in by script in the content box, the reader's cookie file opening
// the members' chapter, and "不用浏览器读取页面" failing plainly.
#include "app/main_window.h"
#include "app/qt_text.h"
#include "browser/browser_engine.h"
#include "support/test_server.h"
#include "window_driver.h"

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <string>

namespace lekto::apptest {

namespace {

const std::filesystem::path kSite = LEKTO_FIXTURE_SITE;

std::string ExpectedText(int rowFromOne) {
  return ReadFileBytes(kSite / "expected" / "script" / (std::to_string(rowFromOne) + ".txt"));
}

}  // namespace

class WindowBrowserTest : public WindowTest {
  Q_OBJECT

 private slots:
  void initTestCase() { server_.ServeStatic("/", kSite.string()); }

  void init() {
    WindowTest::init();
    window_->SetPageBrowser(browser::EnginePageBrowser());
  }

  // First, while no cookie of the check has been earned in this process.
  void neverReadingInTheBrowserFindsNoList() {
    window_->SetBrowserUse(BrowserUse::kNever);
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/script/index.html")));
    QCOMPARE(ChapterList(*window_)->rowCount(), 0);
  }

  void scriptBuiltBookWithTheReadersCookies() {
    QCOMPARE(window_->CurrentBrowserUse(), BrowserUse::kAuto);
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/script/index.html")));
    QCOMPARE(ChapterList(*window_)->rowCount(), 6);
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("夜航船--章节列表获取完毕！"));

    DoubleClickRow(ChapterList(*window_), 4);
    QCOMPARE(ContentBox(*window_)->toPlainText(), FromGbkLines(ExpectedText(5)));

    // Without the reader's cookies the members' chapter says it needs a login.
    DoubleClickRow(ChapterList(*window_), 5);
    QVERIFY2(Label(*window_, "标签2")->text().contains(QStringLiteral("需要登录")),
             qPrintable(Label(*window_, "标签2")->text()));

    const std::filesystem::path cookies = base_ / "cookies.txt";
    testsupport::WriteFileBytes(cookies, "127.0.0.1\tFALSE\t/\tFALSE\t0\tlekto_member\tyes\n");
    QVERIFY(window_->UseCookieFile(cookies));
    ClickButton(*window_, "按钮4");
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), 60000);
    std::string expected = window_->CurrentBook().title + "\r\n";
    for (int row = 1; row <= 6; ++row) expected += ExpectedText(row) + "\r\n";
    QCOMPARE(ReadFileBytes(base_ / "Lekto" / "夜航船.txt"), expected);
  }

 private:
  testsupport::TestServer server_;
};

}  // namespace lekto::apptest

int main(int argc, char* argv[]) {
  // As the program does: prepared before the application, started by the first page that needs it.
  lekto::browser::PrepareProcessForEngine();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  lekto::apptest::WindowBrowserTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "window_browser_test.moc"
