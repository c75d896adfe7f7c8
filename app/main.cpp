// The window program: one MainWindow over the folder its books go to (beside the program, or in the user's
// documents folder when installed), in the reader's language.
#include "app/background_job.h"
#include "app/main_window.h"
#include "app/window_language.h"
#include "app/work_folder_place.h"
#include "lekto/version.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The settings the window keeps between runs live under these names in the user's config folder.
  QApplication::setOrganizationName(QStringLiteral("Lekto"));
  QApplication::setApplicationName(QStringLiteral("Lekto"));
  QApplication::setApplicationVersion(QString::fromUtf8(lekto::kVersion.data(), lekto::kVersion.size()));
  // Lets Wayland desktops match the window to its desktop entry and icon.
  QApplication::setDesktopFileName(QStringLiteral("org.lekto.Lekto"));
  // Chinese on a Chinese system, English elsewhere, unless the reader chose from the menu.
  lekto::UseLanguage(lekto::ChosenLanguage());
  lekto::MainWindow window(lekto::WorkFolderBase());
  window.show();
  const int status = QApplication::exec();
  if (window.DownloadRunning() || lekto::BackgroundJob::RunningThreads() > 0) {
    // Closing the window ends the program without waiting for download workers, or a cancelled parse, still
    // inside a request. Chapter files and books are written to a temporary file and renamed, so ending here
    // leaves no half-written file.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}
