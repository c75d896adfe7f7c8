#pragma once
// AtomicFile: writes a file under a temporary name beside its final place and renames it over the old file only
// when every byte went out, so readers see either the old file or the whole new one, never a half-written book.
// Two writers of the same target (a merge by hand while the automatic one runs) each leave a whole file: the
// later rename wins.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lekto {

// Writes every byte to `fd`, going on after interrupted or partial writes. False (errno set) on a failure.
bool WriteAllBytes(int fd, std::string_view bytes);

// The whole file; std::nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  const std::filesystem::path& Target() const { return target_; }

  // Failures are remembered: Commit then fails and the old file stays.
  void Write(std::string_view bytes);
  // Flushes, closes and renames the file over the target. False when anything failed on the way.
  bool Commit();

 private:
  int OpenTemporary();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
  bool ok_ = true;
  bool committed_ = false;
};

}  // namespace lekto
