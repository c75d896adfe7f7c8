#include "download/book_backup.h"

#include "book/atomic_file.h"
#include "download/download_record.h"

#include <system_error>
#include <utility>

namespace lekto {

namespace fs = std::filesystem;

namespace {

// `from` under a second name `to`: a hard link where the file system has them, a copy otherwise.
bool HoldFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::remove(to, error);
  fs::create_hard_link(from, to, error);
  if (!error) return true;
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error;
}

fs::path HeldName(const fs::path& file) {
  fs::path held = file;
  held += ".held";
  return held;
}

}  // namespace

BookBackup::BookBackup(fs::path bookFile) : bookFile_(std::move(bookFile)) {
  std::error_code error;
  if (!fs::is_regular_file(bookFile_, error)) return;
  const fs::path backup = BackupPath(bookFile_);
  if (!HoldFile(bookFile_, HeldName(backup))) return;
  heldBook_ = HeldName(backup);
  const fs::path record = BookRecordPath(bookFile_);
  if (fs::is_regular_file(record, error) && HoldFile(record, HeldName(BookRecordPath(backup)))) {
    heldRecord_ = HeldName(BookRecordPath(backup));
  }
}

BookBackup::~BookBackup() {
  Drop();
}

fs::path BookBackup::BackupPath(const fs::path& bookFile) {
  fs::path backup = bookFile;
  backup += ".bak";
  return backup;
}

fs::path BookBackup::Keep() {
  if (heldBook_.empty()) return {};
  // A book written again with the same bytes replaced nothing.
  const std::optional<std::string> before = ReadWholeFile(heldBook_);
  const std::optional<std::string> after = ReadWholeFile(bookFile_);
  if (!before || (after && *before == *after)) {
    Drop();
    return {};
  }
  const fs::path backup = BackupPath(bookFile_);
  std::error_code error;
  fs::rename(heldBook_, backup, error);
  if (error) {
    Drop();
    return {};
  }
  heldBook_.clear();
  // The copy's record goes with it, or an older copy's record goes away.
  const fs::path record = BookRecordPath(backup);
  if (heldRecord_.empty()) {
    fs::remove(record, error);
  } else {
    fs::rename(heldRecord_, record, error);
    if (error) fs::remove(record, error);
    heldRecord_.clear();
  }
  return backup;
}

void BookBackup::Drop() {
  std::error_code error;
  if (!heldBook_.empty()) fs::remove(heldBook_, error);
  if (!heldRecord_.empty()) fs::remove(heldRecord_, error);
  heldBook_.clear();
  heldRecord_.clear();
}

}  // namespace lekto
