// The window in English: the language follows the system's locale (this test runs under en_US, see
// CMakeLists.txt), Chinese stays the source text and the language of Chinese locales, and the menu switches the
// whole window at once and for the next runs.
#include "app/window_language.h"
#include "app/main_window.h"
#include "window_driver.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace lekto::apptest {

namespace {

const QStringList kBuiltTranslations = {QStringLiteral(LEKTO_BUILT_TRANSLATIONS)};

QAction* LanguageAction(const QWidget& window, const QString& label) {
  for (QAction* action : Find<QMenu>(window, "菜单语言")->actions()) {
    if (action->text() == label) return action;
  }
  return nullptr;
}

}  // namespace

class WindowLanguageTest : public WindowTest {
  Q_OBJECT

 private slots:
  void localesChooseTheLanguage() {
    QCOMPARE(QLocale::system().name(), QStringLiteral("en_US"));
    QCOMPARE(LanguageForLocale(QLocale(QStringLiteral("zh_CN"))), kChinese);
    QCOMPARE(LanguageForLocale(QLocale(QStringLiteral("zh_TW"))), kChinese);
    QCOMPARE(LanguageForLocale(QLocale(QStringLiteral("en_US"))), kEnglish);
    QCOMPARE(LanguageForLocale(QLocale(QStringLiteral("de_DE"))), kEnglish);
    QCOMPARE(LanguageForLocale(QLocale::c()), kEnglish);
    // Nothing chosen from the menu yet: the system's locale decides.
    QCOMPARE(KeptLanguageChoice(), QString());
    QCOMPARE(ChosenLanguage(), kEnglish);
  }

  // Under an English locale the window opens in English: captions, list headers, help text, menus, tips and the
  // messages it shows.
  void englishLocaleShowsEnglishCaptions() {
    QVERIFY(UseLanguage(ChosenLanguage(), kBuiltTranslations));
    window_ = std::make_unique<MainWindow>(base_);
    QVERIFY(ShowActive(*window_));
    QCOMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("Parse"));
    QCOMPARE(Button(*window_, "按钮4")->text(), QStringLiteral("Fetch"));
    QCOMPARE(Button(*window_, "按钮10")->text(), QStringLiteral("Merge"));
    QCOMPARE(Find<QCheckBox>(*window_, "选择框2")->text(), QStringLiteral("Transcode"));
    QCOMPARE(Label(*window_, "标签1")->text(), QStringLiteral("Chapters"));
    QCOMPARE(ChapterList(*window_)->horizontalHeaderItem(1)->text(), QStringLiteral("Chapter"));
    QCOMPARE(ContentBox(*window_)->toPlainText().section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("How to use: double-click a text box to empty it."));
    QCOMPARE(Find<QMenu>(*window_, "菜单书籍")->title(), QStringLiteral("&Book"));
    QCOMPARE(Button(*window_, "按钮5")->toolTip(), QStringLiteral("Tick every chapter"));
    // Every caption fits its control.
    for (const char* name : {"按钮1", "按钮4", "按钮5", "按钮6", "按钮9", "按钮10", "按钮2", "按钮3", "按钮11"}) {
      const QPushButton* button = Button(*window_, name);
      QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= button->width(), name);
    }

    ClickButton(*window_, "按钮1");
    QCOMPARE(ShownMessageText(*window_), QStringLiteral("Please enter the address of the table of contents."));
    QCOMPARE(ShownMessageBox(*window_)->button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
    ShownMessageBox(*window_)->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(ShownMessageBox(*window_) == nullptr);

    // "中文" from the menu: the window speaks Chinese at once, and in the next run.
    LanguageAction(*window_, QStringLiteral("中文"))->trigger();
    QCOMPARE(CurrentLanguage(), kChinese);
    QTRY_COMPARE(Button(*window_, "按钮1")->text(), QStringLiteral("目录解析"));
    QCOMPARE(Button(*window_, "按钮5")->text(), QStringLiteral("全选"));
    QCOMPARE(Find<QMenu>(*window_, "菜单书籍")->title(), QStringLiteral("书籍(&B)"));
    QCOMPARE(ContentBox(*window_)->toPlainText().section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("使用说明:双击编辑框清空。"));
    QCOMPARE(ChosenLanguage(), kChinese);

    // And back to the system's language.
    LanguageAction(*window_, QStringLiteral("跟随系统"))->trigger();
    QCOMPARE(KeptLanguageChoice(), QString());
    QTRY_COMPARE(Button(*window_, "按钮5")->text(), QStringLiteral("All"));
    QVERIFY(UseLanguage(kChinese));
  }
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowLanguageTest)
#include "window_language_test.moc"
