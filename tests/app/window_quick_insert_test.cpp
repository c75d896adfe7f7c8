// The quick-insert buttons put their captions where the caret was when the user last left the filter-rule box.
#include "app/main_window.h"
#include "window_driver.h"

#include <QCheckBox>
#include <QTest>

namespace lekto::apptest {

class WindowQuickInsertTest : public WindowTest {
  Q_OBJECT

 private slots:
  void insertsAtTheCaret_data() {
    QTest::addColumn<QList<int>>("moves");  // keys pressed after typing the three lines
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("expected");
    QTest::newRow("end of the second line")
        << QList<int>{Qt::Key_Up} << QStringLiteral("按钮7") << 6 << QStringLiteral("ab\ncd.*?\nef");
    QTest::newRow("very start") << QList<int>{Qt::Key_Up, Qt::Key_Up, Qt::Key_Home} << QStringLiteral("按钮8") << 0
                                << QStringLiteral("[\\S\\s]*?ab\ncd\nef");
    QTest::newRow("very end") << QList<int>{} << QStringLiteral("按钮7") << 10 << QStringLiteral("ab\ncd\nef.*?");
    QTest::newRow("start of the third line")
        << QList<int>{Qt::Key_Home} << QStringLiteral("按钮8") << 8 << QStringLiteral("ab\ncd\n[\\S\\s]*?ef");
  }
  void insertsAtTheCaret() {
    QFETCH(QList<int>, moves);
    QFETCH(QString, button);
    QFETCH(int, caret);
    QFETCH(QString, expected);
    TypeLines();
    for (int key : moves) QTest::keyClick(FilterBox(*window_), static_cast<Qt::Key>(key));
    // The click takes the focus out of the box, which snapshots it first.
    ClickButton(*window_, button.toUtf8().constData());
    QCOMPARE(window_->FilterBoxCaret(), caret);
    QCOMPARE(FilterBox(*window_)->toPlainText(), expected);
  }

  void chineseCharactersCountOnce() {
    Enable();
    QTest::mouseDClick(FilterBox(*window_)->viewport(), Qt::LeftButton);
    Click(FilterBox(*window_)->viewport());
    TypeText(FilterBox(*window_), QStringLiteral("章节"));
    QTest::keyClick(FilterBox(*window_), Qt::Key_Return);
    TypeText(FilterBox(*window_), QStringLiteral("广告"));
    QTest::keyClick(FilterBox(*window_), Qt::Key_Left);
    ClickButton(*window_, "按钮7");
    QCOMPARE(window_->FilterBoxCaret(), 5);
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("章节\n广.*?告"));
  }

  void neverFocusedBoxGivesTheCaptionAlone() {
    Enable();
    ClickButton(*window_, "按钮7");
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral(".*?"));
  }

  // After an insert the focus is back in the box with the caret after the fragment: typing goes on there, and
  // the next insert follows the last.
  void insertsReturnTheFocusToTheBox() {
    TypeLines();
    QTest::keyClick(FilterBox(*window_), Qt::Key_Up);
    ClickButton(*window_, "按钮7");
    QVERIFY(FilterBox(*window_)->hasFocus());
    QTest::keyClicks(FilterBox(*window_), QStringLiteral("x"));
    ClickButton(*window_, "按钮8");
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("ab\ncd.*?x[\\S\\s]*?\nef"));
    QCOMPARE(window_->FilterBoxCaret(), 10);
  }

  void buttonsWorkOnTheLastSnapshotWhileTheBoxIsDisabled() {
    TypeLines();
    Click(Find<QCheckBox>(*window_, "选择框1"));  // "启用" off: the box is disabled
    QVERIFY(!FilterBox(*window_)->isEnabled());
    ClickButton(*window_, "按钮7");
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("ab\ncd\nef.*?"));
  }

  void emptiedBoxLeftGivesAnEmptySnapshot() {
    TypeLines();
    QTest::mouseDClick(FilterBox(*window_)->viewport(), Qt::LeftButton);
    ClickButton(*window_, "按钮8");
    QCOMPARE(FilterBox(*window_)->toPlainText(), QStringLiteral("[\\S\\s]*?"));
  }

 private:
  void Enable() {
    Click(Find<QCheckBox>(*window_, "选择框1"));
    QVERIFY(FilterBox(*window_)->isEnabled());
  }

  // Empties the box, clicks into it and types ab, cd and ef on three lines; the caret ends after ef.
  void TypeLines() {
    Enable();
    QPlainTextEdit* box = FilterBox(*window_);
    QTest::mouseDClick(box->viewport(), Qt::LeftButton);
    Click(box->viewport());
    QVERIFY(box->hasFocus());
    QTest::keyClicks(box, QStringLiteral("ab"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("cd"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("ef"));
  }
};

}  // namespace lekto::apptest

QTEST_MAIN(lekto::apptest::WindowQuickInsertTest)
#include "window_quick_insert_test.moc"
