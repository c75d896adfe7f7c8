#pragma once
// What the chapter tests against a served site share: the generated fixture site on a real local server,
// books built from its row lists, the expected texts, and a temporary folder.
#include "chapter/book.h"
#include "support/temp_folder.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace lekto::chaptertest {

using testsupport::ReadFileBytes;
using testsupport::TempFolder;

// One server per test process, serving the generated site at "/".
class SiteTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testsupport::TestServer>();
    server_->ServeStatic("/", LEKTO_FIXTURE_SITE);
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { server_->ClearRequests(); }

  static std::string Url(const std::string& path) { return server_->HttpUrl(path); }
  static std::string SiteRoot() { return server_->HttpUrl(""); }

  // The rows of a fixture book as its table of contents lists them.
  static Book LoadBook(const std::string& name) {
    Book book;
    book.siteRoot = SiteRoot();
    std::istringstream rows(ReadFileBytes(std::filesystem::path(LEKTO_FIXTURE_SITE) / "expected" / name / "rows.tsv"));
    for (std::string line; std::getline(rows, line);) {
      const std::size_t tab = line.find('\t');
      book.chapterTitles.push_back(text::Utf8ToAnsi(line.substr(0, tab)));
      book.chapterLinks.push_back(Url(line.substr(tab + 1)));
    }
    return book;
  }

  // A book of single pages of the site, each row titled by its path.
  static Book PagesBook(const std::vector<std::string>& paths) {
    Book book;
    book.siteRoot = SiteRoot();
    for (const std::string& path : paths) {
      book.chapterTitles.push_back(path);
      book.chapterLinks.push_back(Url(path));
    }
    return book;
  }

  static std::string Expected(const std::string& relative) {
    return ReadFileBytes(std::filesystem::path(LEKTO_FIXTURE_SITE) / "expected" / relative);
  }

  // The paths the server was asked for since the test began, in order.
  static std::vector<std::string> Fetched() {
    std::vector<std::string> paths;
    for (const auto& request : server_->Requests()) paths.push_back(request.target);
    return paths;
  }

  static std::unique_ptr<testsupport::TestServer> server_;
};

inline std::unique_ptr<testsupport::TestServer> SiteTest::server_;

}  // namespace lekto::chaptertest
