#pragma once
// Keeping the book a download replaces: a book of the same name may hold what the new one lacks (chapters the site
// has taken down since, a book updated since), so the old file stays beside the new one as "书名.txt.bak", with its
// record as "书名.txt.bak.lekto". One copy: the next replacement takes its place. A book's own update writes in
// place and keeps none.
#include <filesystem>

namespace lekto {

class BookBackup {
 public:
  // Holds on to the book file `bookFile` as it is now (a hard link, so the book is not copied), and its record.
  // Nothing is held when there is no such file.
  explicit BookBackup(std::filesystem::path bookFile);
  ~BookBackup();  // whatever was held and not kept is let go
  BookBackup(const BookBackup&) = delete;
  BookBackup& operator=(const BookBackup&) = delete;

  // After the new book was written: the old one becomes "书名.txt.bak" (its record beside it), unless it held the
  // same bytes as the new one. The path of the kept copy; empty when none was kept.
  std::filesystem::path Keep();

  static std::filesystem::path BackupPath(const std::filesystem::path& bookFile);

 private:
  void Drop();

  std::filesystem::path bookFile_;
  std::filesystem::path heldBook_;    // empty when nothing is held
  std::filesystem::path heldRecord_;  // empty when the old book had no record
};

}  // namespace lekto
