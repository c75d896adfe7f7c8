#include "support/corpus.h"

#include <cstdlib>
#include <system_error>

namespace lekto::testsupport {

std::filesystem::path CorpusFolder() {
  const char* named = std::getenv("LEKTO_CORPUS");
  if (named != nullptr && *named != '\0') return named;
  return std::filesystem::path(LEKTO_DEFAULT_CORPUS).lexically_normal();
}

bool HaveCorpus() {
  std::error_code error;
  return std::filesystem::is_regular_file(CorpusFolder() / "MANIFEST.tsv", error);
}

std::string NoCorpusReason() {
  return "no corpus at " + CorpusFolder().string() +
         ": corpus test skipped (set LEKTO_CORPUS to the folder of saved pages to run it)";
}

}  // namespace lekto::testsupport
