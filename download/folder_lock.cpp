#include "download/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace lekto {

FolderLock::Result FolderLock::Take(const std::filesystem::path& folder, std::optional<FolderLock>& lock, Mode mode) {
  lock.reset();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Result::kError;
  if (::flock(fd, (mode == Mode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::kInUse : Result::kError;
  }
  lock.emplace(FolderLock(fd));
  return Result::kLocked;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace lekto
