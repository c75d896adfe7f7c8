// Where the window keeps its Lekto/ folder: beside a portable program, in the documents folder when installed or
// when the program's folder takes no files.
#include "app/work_folder_place.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::WriteFileBytes;

TEST(WorkFolderBase, BesideAPortableProgramElseInTheDocumentsFolder) {
  TempFolder scratch("lekto-place");
  const fs::path documents = scratch.Path() / "documents";

  // A copy in a folder of the user's: Lekto/ beside it, made when missing, old books left as they are.
  const fs::path portable = scratch.Path() / "portable";
  fs::create_directories(portable);
  EXPECT_EQ(WorkFolderBase(portable, documents), portable);
  EXPECT_TRUE(fs::is_directory(portable / "Lekto"));
  WriteFileBytes(portable / "Lekto" / "old.txt", "old book");
  EXPECT_EQ(WorkFolderBase(portable, documents), portable);
  EXPECT_EQ(ReadFileBytes(portable / "Lekto" / "old.txt"), "old book");
  EXPECT_EQ(std::distance(fs::directory_iterator(portable / "Lekto"), fs::directory_iterator()), 1);

  // A file named Lekto where the folder would go.
  const fs::path blocked = scratch.Path() / "blocked";
  WriteFileBytes(blocked / "Lekto", "not a folder");
  EXPECT_EQ(WorkFolderBase(blocked, documents), documents);

  // Installed: books never go beside the program, even for root, who could write there.
  EXPECT_EQ(WorkFolderBase("/usr/bin", documents), documents);
  EXPECT_EQ(WorkFolderBase("/usr/local/bin/", documents), documents);
  EXPECT_FALSE(fs::exists("/usr/bin/Lekto"));
  // Installed for one user (cmake --install --prefix ~/.local): a bin folder is shared by many programs.
  const fs::path userBin = scratch.Path() / ".local" / "bin";
  fs::create_directories(userBin);
  EXPECT_EQ(WorkFolderBase(userBin, documents), documents);
  EXPECT_FALSE(fs::exists(userBin / "Lekto"));

  // A folder without write permission (root writes anyway, so only a user can see this).
  if (::geteuid() != 0) {
    const fs::path readOnly = scratch.Path() / "read-only";
    fs::create_directories(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(WorkFolderBase(readOnly, documents), documents);
    fs::permissions(readOnly, fs::perms::owner_all);
  }
}

}  // namespace
}  // namespace lekto
