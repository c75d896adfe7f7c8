#include "app/work_folder_place.h"

#include "app/qt_text.h"
#include "download/work_folders.h"

#include <QStandardPaths>
#include <QTemporaryFile>

namespace lekto {

namespace fs = std::filesystem;

namespace {

// Folders that hold installed programs: the configured install folder, anything under /usr, and any folder named
// bin (~/.local/bin, /opt/NAME/bin), which many programs share.
bool IsInstallFolder(const fs::path& folder) {
  fs::path normal = folder.lexically_normal();
  if (!normal.has_filename()) normal = normal.parent_path();  // "/usr/local/bin/" ends in an empty name
  if (normal == fs::path(LEKTO_INSTALL_BINDIR).lexically_normal() || normal.filename() == "bin") return true;
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
  if (!IsInstallFolder(programFolder) && CanWriteWorkFolder(programFolder)) return programFolder;
  return documentsFolder;
}

fs::path WorkFolderBase() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  return WorkFolderBase(ProgramFolder(), ToPath(documents));
}

}  // namespace lekto
