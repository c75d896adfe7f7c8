#pragma once
// Scratch space for tests: a folder under the system's temporary folder that removes itself with everything in
// it, and whole-file reads and writes of bytes.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace lekto::testsupport {

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes `bytes` as they are, creating missing parent folders.
inline void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class TempFolder {
 public:
  // The folder's name starts with `prefix`, so a folder left by a crashed test says whose it was.
  explicit TempFolder(std::string_view prefix = "lekto") {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when the folder could not be made.
  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, std::string_view bytes) const { WriteFileBytes(path_ / name, bytes); }

 private:
  std::filesystem::path path_;
};

}  // namespace lekto::testsupport
