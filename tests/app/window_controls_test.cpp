// WindowControls from many threads at once: every row state a worker writes reaches the window's thread, reads
// see the values the window last mirrored, and nothing is delivered once the window has let go.
#include "app/window_controls.h"

#include <QObject>
#include <QTest>
#include <QThread>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace lekto::apptest {

class WindowControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void rowStatesFromWorkersArriveOnTheWindowThread() {
    constexpr int kThreads = 6;
    constexpr int kRowsPerThread = 200;
    WindowControls controls;
    QObject receiver;
    std::map<int, std::string> states;
    bool onWindowThread = true;
    controls.SetReceiver(&receiver, [&](int row, const std::string& state) {
      onWindowThread = onWindowThread && QThread::currentThread() == receiver.thread();
      states[row] = state;
    });
    controls.SetRowChecks(std::vector<bool>(kThreads * kRowsPerThread, true));

    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
      workers.emplace_back([&controls, t] {
        for (int i = 0; i < kRowsPerThread; ++i) {
          const int row = t * kRowsPerThread + i;
          if (controls.RowChecked(row)) controls.SetRowState(row, "done " + std::to_string(row));
          (void)controls.FilterRules();
        }
      });
    }
    // The window keeps changing the controls meanwhile.
    for (int i = 0; i < 200; ++i) {
      controls.SetFilterRules("rule " + std::to_string(i));
      controls.SetRowChecked(i, true);
    }
    for (std::thread& worker : workers) worker.join();
    QTRY_COMPARE(states.size(), std::size_t{kThreads * kRowsPerThread});
    QVERIFY(onWindowThread);
    QCOMPARE(states[1199], std::string("done 1199"));
    QCOMPARE(controls.FilterRules(), std::string("rule 199"));
  }

  void nothingArrivesAfterTheReceiverIsCleared() {
    WindowControls controls;
    QObject receiver;
    int delivered = 0;
    controls.SetReceiver(&receiver, [&](int, const std::string&) { ++delivered; });
    controls.SetRowState(0, "before");
    controls.SetReceiver(nullptr, {});
    std::thread([&controls] { controls.SetRowState(1, "after"); }).join();
    QTest::qWait(50);
    // The call queued before the receiver was cleared is still delivered; the later one is dropped.
    QCOMPARE(delivered, 1);
  }

  void rowsOutsideTheListAreUnticked() {
    WindowControls controls;
    controls.SetRowChecks({true, false});
    QVERIFY(controls.RowChecked(0));
    QVERIFY(!controls.RowChecked(1));
    QVERIFY(!controls.RowChecked(2));
    QVERIFY(!controls.RowChecked(-1));
  }
};

}  // namespace lekto::apptest

QTEST_GUILESS_MAIN(lekto::apptest::WindowControlsTest)
#include "window_controls_test.moc"
