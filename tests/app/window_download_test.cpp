// Downloading and merging from the window, against the novel site on the local test server: the book's bytes,
// the row states, the captions, the self-closing messages, the merge by hand with a typed title, and a window
// closed while workers run.
#include "app/background_job.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/window_controls.h"
#include "chapter/chapter_pipeline.h"
#include "support/test_server.h"
#include "text/text_codec.h"
#include "window_driver.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <set>

namespace lekto::apptest {

namespace {

constexpr int kDownloadTimeoutMs = 30000;

// Answers the input box the window is about to show: types `title` over the offered text and presses Enter,
// or presses Escape when `title` is null. The offered text goes to `offered`.
void AnswerTitleBox(const QWidget& window, const QString& title, QString* offered) {
  QTimer::singleShot(10, [&window, title, offered] {
    QInputDialog* dialog = nullptr;
    for (QInputDialog* candidate : window.findChildren<QInputDialog*>()) {
      if (candidate->isVisible()) dialog = candidate;
    }
    if (dialog == nullptr) {
      AnswerTitleBox(window, title, offered);
      return;
    }
    *offered = dialog->textValue();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("提示"));
    QCOMPARE(dialog->labelText(), QStringLiteral("请输入书名"));
    auto* edit = dialog->findChild<QLineEdit*>();
    if (title.isNull()) {
      QTest::keyClick(edit, Qt::Key_Escape);
      return;
    }
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    TypeText(edit, title);
    QTest::keyClick(edit, Qt::Key_Return);
  });
}

// Answers the question box the window is about to show with `button`; its text goes to `asked`.
void AnswerQuestion(const QWidget& window, QMessageBox::StandardButton button, QString* asked) {
  QTimer::singleShot(10, [&window, button, asked] {
    QMessageBox* box = ShownMessageBox(window);
    if (box == nullptr) {
      AnswerQuestion(window, button, asked);
      return;
    }
    *asked = box->text();
    box->button(button)->click();
  });
}

}  // namespace

class WindowDownloadTest : public WindowTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    WriteDemoSite(std::filesystem::path(site_.path().toStdString()), "/novel/");
    server_.ServeStatic("/novel/", site_.path().toStdString());
  }

  void init() {
    server_.SetDelay(0);
    server_.ClearFaults();
    WindowTest::init();
    if (QTest::currentTestFailed()) return;
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/index.html")));
    QCOMPARE(ChapterList(*window_)->rowCount(), 6);
  }

  void downloadWritesTheBookInRowOrder() {
    QTableWidget* list = ChapterList(*window_);
    ToggleRowCheck(list, 1);
    ToggleRowCheck(list, 4);
    ClickButton(*window_, "按钮4");
    QCOMPARE(Button(*window_, "按钮4")->text(), QStringLiteral("下载中"));
    QVERIFY(Button(*window_, "按钮11")->isVisible());
    WaitForDownload();
    QVERIFY(!Button(*window_, "按钮11")->isVisible());
    QCOMPARE(window_->windowTitle(), QStringLiteral("青山夜话 - Lekto"));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 4/4，失败 0"));

    const std::string book = ReadFileBytes(BookFile("青山夜话"));
    QCOMPARE(book, ExpectedBook(window_->CurrentBook().title));
    // The chapters' own words are there, in row order, and the unticked ones are not.
    const QString text = FromGbkLines(book);
    QVERIFY(text.startsWith(kDemoBookTitle + QLatin1Char('\n') + DemoChapters()[0].title + QLatin1Char('\n')));
    QVERIFY(text.indexOf(DemoChapters()[0].paragraphs[1]) < text.indexOf(DemoChapters()[2].paragraphs[0]));
    QVERIFY(!text.contains(DemoChapters()[1].paragraphs[0]));
    QVERIFY(!text.contains(DemoChapters()[4].title));
    QVERIFY(text.endsWith(DemoChapters()[5].paragraphs[1] + QLatin1Char('\n')));
    QCOMPARE(ColumnTexts(list, 2),
             (QStringList{QStringLiteral("下载完成"), QStringLiteral("待下载"), QStringLiteral("下载完成"),
                          QStringLiteral("下载完成"), QStringLiteral("待下载"), QStringLiteral("下载完成")}));
    QVERIFY(!std::filesystem::exists(Temp() / "2.txt"));
    QVERIFY(std::filesystem::exists(Temp() / "6.txt"));
    QCOMPARE(Label(*window_, "标签3")->text(), QStringLiteral("线程：0"));
    QVERIFY(!window_->findChild<QTimer*>(QStringLiteral("时钟1"))->isActive());
    // The message box goes after a second; the book's full path stays in the list's label.
    QCOMPARE(Label(*window_, "标签1")->text(),
             QStringLiteral("已保存到：") + QString::fromStdString(BookFile("青山夜话").string()));

    QMessageBox* box = ShownMessageBox(*window_);
    QVERIFY(box != nullptr);
    QCOMPARE(box->windowTitle(), QStringLiteral("标题"));
    QCOMPARE(box->text(), QStringLiteral("《青山夜话》下载完毕，合并完成！"));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
  }

  // A chapter that fails reads "下载失败" with its reason and is counted in the closing message; "下载" clicked again
  // on the same list fetches that chapter alone and completes the book.
  void failedChaptersAreCountedAndRetried() {
    const std::string link = window_->CurrentBook().chapterLinks[2];
    const std::string path = link.substr(link.find("/novel/"));
    server_.AddFault(path, "status=404");
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QTableWidget* list = ChapterList(*window_);
    QCOMPARE(ColumnTexts(list, 2)[2], QStringLiteral("下载失败：HTTP 404"));
    QCOMPARE(ColumnTexts(list, 2)[3], QStringLiteral("下载完成"));
    QCOMPARE(ShownMessageText(*window_),
             QStringLiteral("《青山夜话》下载完毕，1 章下载失败（共 6 章），再点“下载”可重试失败的章节！"));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 5/6，失败 1"));
    ShownMessageBox(*window_)->button(QMessageBox::Ok)->click();

    server_.ClearFaults();
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    const std::vector<testsupport::RecordedRequest> requests = server_.Requests();
    QCOMPARE(requests.size(), std::size_t{1});
    QCOMPARE(requests[0].target, path);
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QCOMPARE(ColumnTexts(list, 2)[2], QStringLiteral("下载完成"));
    QCOMPARE(ShownMessageText(*window_),
             QStringLiteral("《青山夜话》下载完毕，合并完成！（保留了上次下载的 5 章，下载了其余 1 章）"));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 6/6（保留 5 章），失败 0"));
  }

  // The reversed list gives the reversed book, and its update keeps that order.
  void reversedListGivesTheReversedBook() {
    ClickButton(*window_, "按钮9");
    ToggleRowCheck(ChapterList(*window_), 3);
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    window_->UpdateLastBook();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->Busy(), kDownloadTimeoutMs);
    ClickButton(*window_, "按钮5");
    const std::string book = ReadFileBytes(BookFile("青山夜话"));
    QCOMPARE(book, ExpectedBook(window_->CurrentBook().title));
    const QString text = FromGbkLines(book);
    QVERIFY(text.indexOf(DemoChapters()[5].title) < text.indexOf(DemoChapters()[0].title));
  }

  // A second "下载" of the same list keeps every chapter the first wrote and merges them again, unless the
  // switches or rules have changed; the menu's "重新下载全部勾选的章节" fetches them all anew.
  void secondDownloadWithoutANewParseIsMergedToo() {
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    std::filesystem::remove(BookFile("青山夜话"));
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QVERIFY(server_.Requests().empty());
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));

    // Rules switched on since: the chapters kept would not read like the new ones, so every one is fetched.
    Click(window_->findChild<QCheckBox*>(QStringLiteral("选择框1")));
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QCOMPARE(server_.Requests().size(), std::size_t{6});
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 6/6，失败 0"));

    QMenu* menu = window_->findChild<QMenu*>(QStringLiteral("菜单书籍"));
    QVERIFY(QMetaObject::invokeMethod(menu, "aboutToShow"));
    QAction* fresh = nullptr;
    for (QAction* action : menu->actions()) {
      if (action->text() == QStringLiteral("重新下载全部勾选的章节")) fresh = action;
    }
    QVERIFY(fresh != nullptr);
    server_.ClearRequests();
    fresh->trigger();
    WaitForDownload();
    QCOMPARE(server_.Requests().size(), std::size_t{6});
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QCOMPARE(Label(*window_, "标签5")->text(), QStringLiteral("已完成 6/6，失败 0"));
  }

  // The format chosen from the buttons' menu reaches the download's merge and the merge by hand.
  void theChosenFormatReachesDownloadAndMerge() {
    QCOMPARE(window_->CurrentBookFormat(), BookFormat::kGbk);
    window_->SetBookFormat(BookFormat::kUtf8);
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    // The UTF-8 book ends its lines with CR LF as the GBK one does, and sets every chapter one blank line apart;
    // the demo's book page names no author.
    QString utf8Book = FromGbk(ExpectedBook(window_->CurrentBook().title));
    for (const DemoChapter& chapter : DemoChapters()) {
      utf8Book.replace(QStringLiteral("\r\n") + chapter.title, QStringLiteral("\r\n\r\n") + chapter.title);
    }
    QCOMPARE(QString::fromStdString(ReadFileBytes(BookFile("青山夜话"))), utf8Book);
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    window_->SetBookFormat(BookFormat::kEpub);
    QString offered;
    AnswerTitleBox(*window_, QStringLiteral("青山夜话全本"), &offered);
    ClickButton(*window_, "按钮10");
    const std::string epub = ReadFileBytes(base_ / "Lekto" / "青山夜话全本.epub");
    QVERIFY(epub.starts_with("PK"));
    QVERIFY(epub.find("mimetypeapplication/epub+zip") != std::string::npos);
  }

  // The menu's update adds to the last book exactly the chapters it lacks and gives the book a download of every
  // row gives; with nothing new it fetches the table of contents alone; the next run knows the book.
  void updateAddsTheChaptersTheBookLacks() {
    QTableWidget* list = ChapterList(*window_);
    ToggleRowCheck(list, 1);
    ToggleRowCheck(list, 4);
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QCOMPARE(window_->LastBookFile(), BookFile("青山夜话"));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);

    server_.ClearRequests();
    window_->UpdateLastBook();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->Busy(), kDownloadTimeoutMs);
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("《青山夜话》更新完成，新增 2 章！"));
    std::set<std::string> targets;
    for (const testsupport::RecordedRequest& request : server_.Requests()) targets.insert(request.target);
    const auto path = [&](int row) {
      const std::string link = window_->CurrentBook().chapterLinks[row];
      return link.substr(link.find("/novel/"));
    };
    QCOMPARE(targets, (std::set<std::string>{"/novel/index.html", path(1), path(4)}));
    ClickButton(*window_, "按钮5");  // every row ticked: the book a download of them all writes
    const std::string updated = ReadFileBytes(BookFile("青山夜话"));
    QCOMPARE(updated, ExpectedBook(window_->CurrentBook().title));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    // The window keeps one chapter folder: a merge by hand after the update gives the book as updated.
    QVERIFY(!std::filesystem::exists(base_ / "Lekto" / "lekto-temp"));
    QString offered;
    AnswerTitleBox(*window_, QStringLiteral("青山夜话"), &offered);
    ClickButton(*window_, "按钮10");
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), updated);
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);

    server_.ClearRequests();
    window_->UpdateLastBook();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->Busy(), kDownloadTimeoutMs);
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("《青山夜话》没有新章节！"));
    QCOMPARE(server_.Requests().size(), std::size_t{1});

    // A cancelled update stops its download at once, retries and all, and leaves the book as it was. The
    // download before it leaves out a chapter the updated book holds, so it asks before it replaces the book.
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    ToggleRowCheck(list, 2);
    QString asked;
    AnswerQuestion(*window_, QMessageBox::Ok, &asked);
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QCOMPARE(asked,
             QStringLiteral("“青山夜话.txt”已存在，不是这次下载写的（它含有这次不下载的章节）。下载完成后会替换它，"
                            "要继续吗？"));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    const std::string partial = ReadFileBytes(BookFile("青山夜话"));
    server_.AddFault(path(2), "status=503");
    server_.ClearRequests();
    window_->UpdateLastBook();
    QTRY_COMPARE(server_.Requests().size(), std::size_t{2});  // the list, then the chapter's first try
    QTest::mouseClick(Button(*window_, "按钮11"), Qt::LeftButton);
    QVERIFY(!window_->Busy());
    // Its retries would take 3.5 s.
    QTRY_COMPARE_WITH_TIMEOUT(BackgroundJob::RunningThreads(), 0, 1500);
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), partial);
    server_.ClearFaults();

    // The window's next run updates the same book.
    QVERIFY(window_->close());
    window_ = std::make_unique<MainWindow>(base_);
    QCOMPARE(window_->LastBookFile(), BookFile("青山夜话"));
  }

  void mergeByHandUnderATypedTitle() {
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    QString offered;
    AnswerTitleBox(*window_, QStringLiteral("青山夜话全本"), &offered);
    ClickButton(*window_, "按钮10");
    QCOMPARE(offered, kDemoBookTitle);
    QCOMPARE(ReadFileBytes(BookFile("青山夜话全本")), ExpectedBook(text::Gbk(u8"青山夜话全本")));
    // The book of the download stays beside the new one.
    QVERIFY(std::filesystem::exists(BookFile("青山夜话")));
    QMessageBox* box = ShownMessageBox(*window_);
    QVERIFY(box != nullptr);
    QCOMPARE(box->text(), QStringLiteral("《青山夜话全本》合并完成！"));
    QCOMPARE(Label(*window_, "标签1")->text(),
             QStringLiteral("已保存到：") + QString::fromStdString(BookFile("青山夜话全本").string()));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    // The typed title named that merge only.
    QCOMPARE(FromGbk(window_->CurrentBook().title), kDemoBookTitle);

    // An empty title names the book after the time, never the hidden ".txt".
    AnswerTitleBox(*window_, QStringLiteral(""), &offered);
    ClickButton(*window_, "按钮10");
    QCOMPARE(offered, kDemoBookTitle);
    QVERIFY(!std::filesystem::exists(base_ / "Lekto" / ".txt"));
    const QRegularExpression unnamed(QStringLiteral("^未命名_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$"));
    const QString named =
        ShownMessageText(*window_).remove(QStringLiteral("《")).remove(QStringLiteral("》合并完成！"));
    QVERIFY2(unnamed.match(named).hasMatch(), qPrintable(named));
    QCOMPARE(ReadFileBytes(base_ / "Lekto" / (named.toStdString() + ".txt")), ExpectedBook(ToGbk(named)));
  }

  void cancelledTitleBoxMergesNothing() {
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    std::filesystem::remove(BookFile("青山夜话"));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    QString offered;
    AnswerTitleBox(*window_, QString(), &offered);
    ClickButton(*window_, "按钮10");
    QCOMPARE(offered, kDemoBookTitle);
    QCOMPARE(FromGbk(window_->CurrentBook().title), kDemoBookTitle);
    QVERIFY(!std::filesystem::exists(BookFile("青山夜话")));
    QVERIFY(ShownMessageBox(*window_) == nullptr);
  }

  // "下载" with nothing ticked, or nothing listed, says so and touches nothing: the chapter files of the book
  // before stay, and no page is fetched. "合并" with no chapter file refuses to write a book of a title alone.
  void nothingToDownloadOrMergeSaysSo() {
    ClickButton(*window_, "按钮10");
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("下载文件夹里没有章节，无法合并，请先下载！"));
    QVERIFY(window_->findChildren<QInputDialog*>().isEmpty());
    QVERIFY(!std::filesystem::exists(BookFile("青山夜话")));
    ShownMessageBox(*window_)->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(ShownMessageBox(*window_) == nullptr);

    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    std::filesystem::remove(BookFile("青山夜话"));
    ClickButton(*window_, "按钮6");  // every row unticked
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    QVERIFY(!window_->DownloadRunning());
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("请先勾选要下载的章节！"));
    // A refusal stays until the reader closes it.
    QTest::qWait(1500);
    QMessageBox* box = ShownMessageBox(*window_);
    QVERIFY(box != nullptr);
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(ShownMessageBox(*window_) == nullptr);
    QVERIFY(server_.Requests().empty());
    for (int number = 1; number <= 6; ++number)
      QVERIFY(std::filesystem::exists(Temp() / (std::to_string(number) + ".txt")));
    QCOMPARE(ColumnTexts(ChapterList(*window_), 2), QStringList(6, QStringLiteral("下载完成")));

    // An empty list.
    ParseAddress(*window_, QStringLiteral("http://127.0.0.1:1/none.html"));
    QCOMPARE(ChapterList(*window_)->rowCount(), 0);
    ClickButton(*window_, "按钮4");
    QVERIFY(!window_->DownloadRunning());
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("列表里没有章节，请先输入目录页地址并点“目录解析”！"));
    QVERIFY(std::filesystem::exists(Temp() / "6.txt"));
  }

  // A book of the same name that this download did not write is replaced only when the reader says so; the
  // book of an earlier download of the same list is replaced without a question.
  void replacingABookThisDownloadDidNotWriteAsksFirst() {
    std::ofstream(BookFile("青山夜话"), std::ios::binary) << "my own notes";
    QString asked;
    AnswerQuestion(*window_, QMessageBox::Cancel, &asked);
    server_.ClearRequests();
    ClickButton(*window_, "按钮4");
    QCOMPARE(asked, QStringLiteral(
                        "“青山夜话.txt”已存在，不是这次下载写的（它没有下载记录）。下载完成后会替换它，要继续吗？"));
    QVERIFY(!window_->DownloadRunning());
    QCOMPARE(Button(*window_, "按钮4")->text(), QStringLiteral("下载"));
    QVERIFY(server_.Requests().empty());
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), std::string("my own notes"));

    asked.clear();
    AnswerQuestion(*window_, QMessageBox::Ok, &asked);
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QVERIFY(!asked.isEmpty());
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);

    // Its own book, downloaded again: no question.
    ClickButton(*window_, "按钮4");
    QVERIFY(window_->DownloadRunning());
    WaitForDownload();
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);

    // Another format in the same file name (UTF-8 and GBK books are both .txt).
    window_->SetBookFormat(BookFormat::kUtf8);
    asked.clear();
    AnswerQuestion(*window_, QMessageBox::Cancel, &asked);
    ClickButton(*window_, "按钮4");
    QCOMPARE(asked, QStringLiteral(
                        "“青山夜话.txt”已存在，不是这次下载写的（它是另一种格式）。下载完成后会替换它，要继续吗？"));
    QVERIFY(!window_->DownloadRunning());
  }

  void mergeByHandThatCannotWriteSaysSo() {
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QTRY_VERIFY_WITH_TIMEOUT(ShownMessageBox(*window_) == nullptr, 5000);
    // A folder where the book should be: no book can be written.
    std::filesystem::remove(BookFile("青山夜话"));
    std::filesystem::create_directory(BookFile("青山夜话"));
    QString offered;
    AnswerTitleBox(*window_, QStringLiteral("青山夜话"), &offered);
    ClickButton(*window_, "按钮10");
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("《青山夜话》合并失败，无法写入书籍文件！"));
    QVERIFY(std::filesystem::is_directory(BookFile("青山夜话")));
  }

  void parseAndReverseAreRefusedDuringADownload() {
    server_.SetDelay(300);
    ClickButton(*window_, "按钮4");
    QVERIFY(window_->DownloadRunning());
    QVERIFY(!Button(*window_, "按钮1")->isEnabled());
    QVERIFY(!Button(*window_, "按钮9")->isEnabled());
    ClickButton(*window_, "按钮9");
    ParseAddress(*window_, QString::fromStdString(server_.HttpUrl("/novel/index.html")));
    QCOMPARE(ColumnTexts(ChapterList(*window_), 1).first(), DemoChapters()[0].title);
    // A second click does not empty the temp folder under the running workers.
    ClickButton(*window_, "按钮4");
    WaitForDownload();
    QCOMPARE(ReadFileBytes(BookFile("青山夜话")), ExpectedBook(window_->CurrentBook().title));
    QVERIFY(Button(*window_, "按钮1")->isEnabled());
    QVERIFY(Button(*window_, "按钮9")->isEnabled());
  }

  // Closing while workers run asks first; "取消" keeps the window and its download, "确定" closes it cleanly.
  void closingDuringADownloadAsksFirst() {
    server_.SetDelay(500);
    ClickButton(*window_, "按钮4");
    QTRY_VERIFY(window_->findChild<QTimer*>(QStringLiteral("时钟1"))->isActive());
    QString asked;
    AnswerQuestion(*window_, QMessageBox::Cancel, &asked);
    QVERIFY(!window_->close());
    QCOMPARE(asked, QStringLiteral("下载尚未完成，确定退出吗？"));
    QVERIFY(window_->isVisible());
    QVERIFY(window_->DownloadRunning());

    asked.clear();
    AnswerQuestion(*window_, QMessageBox::Ok, &asked);
    QVERIFY(window_->close());
    QCOMPARE(asked, QStringLiteral("下载尚未完成，确定退出吗？"));
    window_.reset();
    // Nothing the workers post reaches the window any more.
    QTest::qWait(100);
  }

 private:
  void WaitForDownload() {
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window_, "按钮4")->text(), QStringLiteral("下载"), kDownloadTimeoutMs);
    QVERIFY(!window_->DownloadRunning());
  }

  std::filesystem::path Temp() const { return base_ / "Lekto" / "temp"; }
  std::filesystem::path BookFile(const char* title) const { return base_ / "Lekto" / (std::string(title) + ".txt"); }

  // The book as the core builds it for the ticked rows: the title line, then every chapter text that is not
  // empty, each followed by CR LF.
  std::string ExpectedBook(const std::string& title) const {
    WindowControls controls;
    controls.SetAddress(server_.HttpUrl("/novel/index.html"));
    const Book& book = window_->CurrentBook();
    const std::vector<bool> checks = RowChecks(ChapterList(*window_));
    const Fetcher fetch = DefaultFetcher();
    std::string expected = title + "\r\n";
    for (int row = 0; row < book.RowCount(); ++row) {
      if (!checks[row]) continue;
      const std::string text = BuildChapterText(row, ChapterJob{book, controls, fetch}, ChapterMode::kDownload);
      if (!text.empty()) expected += text + "\r\n";
    }
    return expected;
  }

  QTemporaryDir site_;
  testsupport::TestServer server_;
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowDownloadTest)
#include "window_download_test.moc"
