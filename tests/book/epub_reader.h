#pragma once
// Reads an EPUB back for the tests: its entries in archive order, and what epubcheck says of it.
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace lekto::testsupport {

struct ZipEntry {
  std::string name;
  std::string bytes;
  bool stored = false;  // kept uncompressed
  bool hasExtraField = false;
};

inline std::vector<ZipEntry> ReadZipEntries(const std::string& archiveBytes) {
  std::vector<ZipEntry> entries;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (archive == nullptr) {
    if (source) zip_source_free(source);
    zip_error_fini(&error);
    return entries;
  }
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, i, 0, &stat);
    ZipEntry entry{stat.name, std::string(stat.size, '\0'), stat.comp_method == ZIP_CM_STORE,
                   zip_file_extra_fields_count(archive, i, ZIP_FL_LOCAL) > 0};
    if (zip_file_t* file = zip_fopen_index(archive, i, 0)) {
      zip_fread(file, entry.bytes.data(), entry.bytes.size());
      zip_fclose(file);
    }
    entries.push_back(std::move(entry));
  }
  zip_close(archive);
  zip_error_fini(&error);
  return entries;
}

// The epubcheck of the machine, "" when there is none. Debian installs it as a jar, run through java.
inline std::string EpubcheckCommand() {
#ifdef LEKTO_EPUBCHECK
  const std::filesystem::path tool = LEKTO_EPUBCHECK;
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(tool, error);
  if (error) return {};
  if (real.extension() == ".jar")
    return std::system("java -version > /dev/null 2>&1") == 0 ? "java -jar " + real.string() : "";
  return real.string();
#else
  return {};
#endif
}

}  // namespace lekto::testsupport
