// Drives the window the way the window tests do and saves a picture of it: serves a novel site on the local test
// server, parses its table of contents, opens a chapter and grabs the window. Usage:
//   window_screenshot OUTPUT.png [SITE_FOLDER INDEX_PATH]
// Without a site folder it serves the fixture novel site and parses its GBK book.
#include "app/main_window.h"
#include "support/test_server.h"
#include "window_driver.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 2 && args.size() != 4) {
    std::fprintf(stderr, "usage: window_screenshot OUTPUT.png [SITE_FOLDER INDEX_PATH]\n");
    return 2;
  }
  using namespace lekto::apptest;
  QTemporaryDir base;
  IsolateSettings(base.filePath(QStringLiteral("config")));
  lekto::testsupport::TestServer server;
  server.ServeStatic("/", args.size() == 4 ? args[2].toStdString() : std::string(LEKTO_FIXTURE_SITE));
  const std::string indexPath = args.size() == 4 ? args[3].toStdString() : std::string("/gbk/index.html");

  lekto::MainWindow window(base.path().toStdString());
  // Xvfb runs no window manager, so the window is never "active" the way a desktop makes it; exposed is enough.
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QApplication::setActiveWindow(&window);
  ParseAddress(window, QString::fromStdString(server.HttpUrl(indexPath)));
  QTableWidget* list = ChapterList(window);
  if (list->rowCount() == 0) {
    std::fprintf(stderr, "window_screenshot: the table of contents gave no chapters\n");
    return 1;
  }
  const int row = list->rowCount() > 2 ? 2 : 0;
  DoubleClickRow(list, row);
  // A row ticked off, as a person choosing what to download would.
  if (list->rowCount() > 4) ToggleRowCheck(list, 4);
  DoubleClickRow(list, row);
  QTest::qWait(200);
  if (!window.grab().save(args[1])) {
    std::fprintf(stderr, "window_screenshot: cannot write %s\n", qPrintable(args[1]));
    return 1;
  }
  return 0;
}
