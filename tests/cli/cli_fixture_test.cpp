// lekto-cli `toc` and `show` on the fixture novel site: every row and every chapter as the site's expected/
// folder gives them, and the switches reaching the core.
#include "tests/cli/cli_test_support.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include "support/test_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace lekto::cli {
namespace {

namespace fs = std::filesystem;
using clitest::Lines;
using clitest::Outcome;
using clitest::RunCaptured;

const std::string kSite = LEKTO_FIXTURE_SITE;

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What the terminal shows of a GBK chapter text: UTF-8, LF line ends, a final line end.
std::string OnTerminal(const std::string& gbk) {
  std::string text = text::AnsiToUtf8(text::ReplaceAll(gbk, "\r\n", "\n"));
  if (!text.ends_with('\n')) text += "\n";
  return text;
}

class CliFixtureTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new testsupport::TestServer;
    server_->ServeStatic("/", kSite);
  }
  static void TearDownTestSuite() { delete server_; }
  static std::string Url(const std::string& path) { return server_->HttpUrl(path); }

  static inline testsupport::TestServer* server_ = nullptr;
};

TEST_F(CliFixtureTest, TocListsEveryRowOfTheThreePageBook) {
  const Outcome r = RunCaptured({"toc", Url("/gbk/index.html")});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<std::string> expected = {"星河旧梦"};
  std::ifstream rows(kSite + "/expected/gbk/rows.tsv");
  int id = 0;
  for (std::string row; std::getline(rows, row);) {
    const std::size_t tab = row.find('\t');
    expected.push_back(std::to_string(++id) + "\t" + row.substr(0, tab) + "\t" + Url(row.substr(tab + 1)));
  }
  EXPECT_EQ(id, 40);
  EXPECT_EQ(Lines(r.out), expected);
}

// Viewer and download give the same text except where a continue-reading button is followed (row 12 of the
// GBK book), for which the site has the viewer's text apart.
TEST_F(CliFixtureTest, ShowGivesEveryChapterAsTheViewerDoes) {
  struct Book {
    const char* folder;
    int rows;
  };
  for (const Book book : {Book{"gbk", 40}, Book{"utf8", 15}}) {
    for (int id = 1; id <= book.rows; ++id) {
      SCOPED_TRACE(std::string(book.folder) + " row " + std::to_string(id));
      fs::path expected = fs::path(kSite) / "expected" / book.folder / (std::to_string(id) + ".txt");
      if (std::string(book.folder) == "gbk" && id == 12) expected = fs::path(kSite) / "expected/gbk-viewer/12.txt";
      const Outcome r = RunCaptured({"show", Url(std::string("/") + book.folder + "/index.html"), std::to_string(id)});
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.out, OnTerminal(ReadFile(expected)));
    }
  }
}

// A table of contents of our own that lists the site's single pages, so `show` reaches them with a switch.
TEST_F(CliFixtureTest, SwitchesReachThePipeline) {
  const std::string toc = text::Gbk(
      u8"<title>杂页</title>\n<a href=\"/misc/percent.html\">百分号页</a>\n"
      u8"<a href=\"/misc/preprocess.html\">预处理页</a>\n"
      u8"<a href=\"/misc/self.html\">自链页</a>\n");
  const fs::path folder = fs::temp_directory_path() / ("lekto-cli-misc-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "index.html", std::ios::binary) << toc;
  server_->ServeStatic("/mytoc/", folder.string());
  const std::string address = Url("/mytoc/index.html");

  const std::string percent = ReadFile(fs::path(kSite) / "expected/misc/percent.txt");
  Outcome r = RunCaptured({"show", address, "1", "--transcode"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, OnTerminal(text::Gbk(u8"百分号页") + "\r\n" + percent));
  r = RunCaptured({"show", address, "1"});
  EXPECT_EQ(r.code, 1) << "without 转码 the percent-encoded body is no text";
  EXPECT_EQ(r.out, "百分号页\n");

  const std::string preprocess = ReadFile(fs::path(kSite) / "expected/misc/preprocess.txt");
  r = RunCaptured({"--preprocess", "show", address, "2"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, OnTerminal(text::Gbk(u8"预处理页") + "\r\n" + preprocess));
  r = RunCaptured({"show", address, "2"});
  EXPECT_NE(r.out, OnTerminal(text::Gbk(u8"预处理页") + "\r\n" + preprocess));

  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace lekto::cli
