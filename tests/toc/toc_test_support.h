#pragma once
// What the table-of-contents tests share: a folder of pages that removes itself, and controls that hold just
// an address.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "chapter/controls.h"

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

class AddressControls final : public Controls {
 public:
  explicit AddressControls(std::string address) : address_(std::move(address)) {}
  std::string Address() const override { return address_; }
  bool Transcode() const override { return false; }
  bool Preprocess() const override { return false; }
  bool FiltersEnabled() const override { return false; }
  std::string FilterRules() const override { return {}; }
  bool RowChecked(int) const override { return true; }
  void SetRowState(int, const std::string&) override {}

 private:
  std::string address_;
};

}  // namespace lekto::toctest
