#pragma once
// BookAssembler: joins the chapter files of the temp folder, in chapter-number order, into one book file in the
// work folder: the book title and "\r\n", then each chapter file's bytes unchanged. Titles and contents are GBK;
// the book file's name on disk is the title in UTF-8, made safe to use as one file name.
//
// The book is written to a temporary file in the work folder and renamed over the old one, so a failure half-way
// never leaves a truncated book in place of a good one, and two merges of the same title (by hand while the
// automatic one runs) each leave a whole book: the later rename wins.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "download/work_folders.h"

namespace lekto {

struct MergeResult {
  std::filesystem::path bookFile;  // where the book was (or would have been) written
  bool written = false;            // false: the book file could not be written; an old one stays untouched
  int chapters = 0;                // chapter files appended
};

// The book file's name for a GBK title: the title in UTF-8 with "/", "\", and control characters replaced by "_",
// leading dots replaced by "_" (so no hidden files and no "." or ".."), cut at a character boundary so the name
// stays within the file system's limit, then ".txt". An empty title gives ".txt".
std::string BookFileName(std::string_view bookTitle);
std::filesystem::path BookFilePath(const WorkFolders& folders, std::string_view bookTitle);

// The automatic merge after a download: chapter files 1 to `rowCount`, skipping the missing ones.
MergeResult MergeAfterDownload(const WorkFolders& folders, std::string_view bookTitle, int rowCount);

// The merge by hand (after the window has asked for the title): every chapter file present in the temp folder,
// in increasing number. Files whose names are not chapter numbers (a stray notes.txt, 007.txt) are ignored.
MergeResult MergeByHand(const WorkFolders& folders, std::string_view bookTitle);

// The names of the files in `folder` matching the wildcard `mask` ("*.txt"), in the order the file system gives
// them, appended to `names` (folder + name when `withPath`). Returns the size of `names`.
int ListFolderFiles(const std::filesystem::path& folder, std::string_view mask, std::vector<std::string>& names,
                    bool withPath = false);

}  // namespace lekto
