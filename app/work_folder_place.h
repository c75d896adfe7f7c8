#pragma once
// Where the window keeps its Lekto/ folder. A portable copy keeps it beside the program, as it always has; an
// installed program cannot write there, so its books go to Lekto/ in the user's documents folder.
#include <filesystem>

namespace lekto {

// The base folder for FoldersUnder(): the program's own folder when it is not an install folder (the configured
// one, anything under /usr, where even root must not leave books, or a folder named bin) and Lekto/ can be created
// and written there; otherwise `documentsFolder`. Creates Lekto/ in the folder it tries.
std::filesystem::path WorkFolderBase(const std::filesystem::path& programFolder,
                                     const std::filesystem::path& documentsFolder);

// The same for the running program: its folder, or the user's documents folder from QStandardPaths (the home
// folder when the system names none).
std::filesystem::path WorkFolderBase();

}  // namespace lekto
