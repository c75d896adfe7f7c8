#include "book/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

namespace lekto {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)), fd_(OpenTemporary()) {}

AtomicFile::~AtomicFile() {
  if (committed_) return;
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) {
    std::error_code error;
    fs::remove(temporary_, error);
  }
}

bool WriteAllBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void AtomicFile::Write(std::string_view bytes) {
  if (ok_ && fd_ >= 0) ok_ = WriteAllBytes(fd_, bytes);
}

bool AtomicFile::Commit() {
  if (fd_ < 0 || !ok_ || committed_) return false;
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed) return false;
  std::error_code error;
  fs::rename(temporary_, target_, error);
  if (error) return false;
  committed_ = true;
  return true;
}

// A name unique to this process and write, so two writes of the same target never share a temporary file.
int AtomicFile::OpenTemporary() {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ =
        target_.parent_path() / (".lekto-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part");
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) temporary_.clear();
      return fd;
    }
  }
  temporary_.clear();
  return -1;
}

}  // namespace lekto
