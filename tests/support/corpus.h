#pragma once
// The corpus: pages saved from real novel sites, with README and MANIFEST.tsv, kept outside the repository.
// Tests find it through LEKTO_CORPUS, or beside the repository as ../shared/corpus. A clone without it still
// passes: each corpus test skips itself with one line naming the folder it looked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lekto::testsupport {

// $LEKTO_CORPUS when set and not empty, otherwise ../shared/corpus beside the source tree.
std::filesystem::path CorpusFolder();
// Whether CorpusFolder() holds the corpus (its MANIFEST.tsv is there).
bool HaveCorpus();
// The line a skipped corpus test prints.
std::string NoCorpusReason();

}  // namespace lekto::testsupport

// In a test body or a fixture's SetUp: ends the test as skipped when the corpus is missing.
#define LEKTO_SKIP_WITHOUT_CORPUS()                                                                  \
  do {                                                                                               \
    if (!::lekto::testsupport::HaveCorpus()) GTEST_SKIP() << ::lekto::testsupport::NoCorpusReason(); \
  } while (false)
