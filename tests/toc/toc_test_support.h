#pragma once
// A folder of pages for the table-of-contents tests that removes itself.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace lekto::toctest {

class PageFolder {
 public:
  PageFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lekto-toc-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~PageFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PageFolder(const PageFolder&) = delete;
  PageFolder& operator=(const PageFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes `bytes` as they are to `name` under the folder, creating sub-folders.
  void Write(const std::string& name, std::string_view bytes) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
};

}  // namespace lekto::toctest
