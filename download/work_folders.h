#pragma once
// The two working folders: the work folder receives the book files, the temp folder inside it the chapter files.
// The window keeps them under a base folder (base/"Lekto" and base/"Lekto"/"temp"; the base is the program's
// folder, or the user's documents folder for an installed program); the command line takes the work folder itself
// (--dir DIR, else the current folder: books in DIR, chapters in DIR/"lekto-temp"). Paths are built afresh from
// their base whenever they are needed; nothing here keeps state.
#include <filesystem>

namespace lekto {

struct WorkFolders {
  std::filesystem::path work;  // WorkFolder: the book files
  std::filesystem::path temp;  // TempFolder: the chapter files, emptied at every download start
};

// The folder holding the running executable (from /proc/self/exe); the current folder when that cannot be read.
std::filesystem::path ProgramFolder();

// base/"Lekto" and base/"Lekto"/"temp": the window's folders under `base` (normally ProgramFolder()).
std::filesystem::path WorkFolder(const std::filesystem::path& base);
std::filesystem::path TempFolder(const std::filesystem::path& base);
WorkFolders FoldersUnder(const std::filesystem::path& base);

// `workFolder` itself and workFolder/"lekto-temp": the command line's --dir. The work folder is the user's own,
// so the chapter folder, emptied at every download start, carries the program's name rather than a common one.
WorkFolders FoldersAt(const std::filesystem::path& workFolder);

// Creates the work folder (and any missing parent). An existing folder and its files are left untouched.
// False when the folder does not exist afterwards; callers may ignore it, later writes then fail visibly.
bool CreateWorkFolder(const WorkFolders& folders);

// Deletes the temp folder with everything in it and creates it again, empty. False when it could not be
// created; files that could not be deleted are left in place.
bool ResetTempFolder(const WorkFolders& folders);

}  // namespace lekto
