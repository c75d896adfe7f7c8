#include "download/work_folders.h"

#include <system_error>

namespace lekto {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return fs::current_path(error);
  return exe.parent_path();
}

fs::path WorkFolder(const fs::path& base) {
  return base / "Lekto";
}

fs::path TempFolder(const fs::path& base) {
  return WorkFolder(base) / "temp";
}

WorkFolders FoldersUnder(const fs::path& base) {
  return {WorkFolder(base), TempFolder(base)};
}

WorkFolders FoldersAt(const fs::path& workFolder) {
  return {workFolder, workFolder / "lekto-temp"};
}

bool CreateWorkFolder(const WorkFolders& folders) {
  std::error_code error;
  fs::create_directories(folders.work, error);
  return fs::is_directory(folders.work, error);
}

bool ResetTempFolder(const WorkFolders& folders) {
  std::error_code error;
  fs::remove_all(folders.temp, error);
  fs::create_directories(folders.temp, error);
  return fs::is_directory(folders.temp, error);
}

}  // namespace lekto
