#pragma once
// FolderLock: one download per work folder. The lock is an advisory lock (flock) on the chapter folder itself, so
// it holds between processes (two command-line runs, two windows started from one program folder) and between
// two downloads of one process alike, and it vanishes with the process that held it, however that ended.
// The folder is never deleted while locked: downloads empty it instead.
#include <filesystem>
#include <optional>

namespace lekto {

class FolderLock {
 public:
  enum class Result { kLocked, kInUse, kError };
  // A download holds the folder alone; writers of single chapter files (the viewer) share it with each other,
  // so none of them ever writes into the folder of a running download.
  enum class Mode { kExclusive, kShared };

  // Creates `folder` when missing and locks it without waiting. kInUse when a holder of the other kind (or, for
  // kExclusive, any holder) has it.
  static Result Take(const std::filesystem::path& folder, std::optional<FolderLock>& lock,
                     Mode mode = Mode::kExclusive);

  ~FolderLock();
  FolderLock(FolderLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FolderLock& operator=(FolderLock&&) = delete;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  explicit FolderLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace lekto
