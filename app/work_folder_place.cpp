#include "app/work_folder_place.h"

#include "app/qt_text.h"
#include "download/work_folders.h"

#include <QStandardPaths>
#include <QTemporaryFile>

namespace lekto {

namespace fs = std::filesystem;

namespace {

bool IsSystemFolder(const fs::path& folder) {
  const fs::path normal = folder.lexically_normal();
  if (normal == fs::path(LEKTO_INSTALL_BINDIR).lexically_normal()) return true;
  const auto first = ++normal.begin();  // the part after the root "/"
  return normal.is_absolute() && first != normal.end() && *first == "usr";
}

// Creates base/Lekto and writes and removes a probe file in it: a folder can exist and still refuse files.
bool CanWriteWorkFolder(const fs::path& base) {
  const WorkFolders folders = FoldersUnder(base);
  if (!CreateWorkFolder(folders)) return false;
  QTemporaryFile probe(FromPath(folders.work / ".lekto-probe-XXXXXX"));
  return probe.open();
}

}  // namespace

fs::path WorkFolderBase(const fs::path& programFolder, const fs::path& documentsFolder) {
  if (!IsSystemFolder(programFolder) && CanWriteWorkFolder(programFolder)) return programFolder;
  return documentsFolder;
}

fs::path WorkFolderBase() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  return WorkFolderBase(ProgramFolder(), ToPath(documents));
}

}  // namespace lekto
