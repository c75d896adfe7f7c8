// `lekto-cli download --format` against the fixture serial, whose second chapter carries characters GBK lacks:
// the GBK book has "?" for them as it always had, the UTF-8 and EPUB books keep them.
#include "../book/epub_reader.h"
#include "cli/cli.h"
#include "fixture_book.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::kFixtureSite;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;

constexpr int kChapters = 8;
const std::string kRare = "\xF0\xA0\x80\x80\xE4\xB8\x8E\xF0\x9F\x98\x80";  // 𠀀与😀

std::vector<std::string> RowTitles() {
  std::vector<std::string> titles;
  std::ifstream rows(kFixtureSite / "expected" / "serial-later" / "rows.tsv");
  for (std::string line; std::getline(rows, line);) titles.push_back(line.substr(0, line.find('\t')));
  return titles;
}

class BookFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    server_.ServeStatic("/serial/", (kFixtureSite / "serial-later").string());
  }

  // Downloads the serial into its own folder; the book file's path, empty on failure.
  fs::path Download(const std::vector<std::string>& extra) {
    const fs::path dir = scratch_.Path() / (extra.empty() ? "default" : extra.back());
    std::vector<std::string> args = {"download", server_.HttpUrl("/serial/index.html"), "--dir", dir.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    EXPECT_EQ(code, 0) << err.str();
    std::string path = out.str();
    if (!path.empty() && path.back() == '\n') path.pop_back();
    return path;
  }

  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-formats"};
};

TEST_F(BookFormatsTest, GbkAsAlwaysUtf8AndEpubKeepEveryCharacter) {
  const fs::path gbk = Download({});
  EXPECT_EQ(gbk.filename(), "连载手记.txt");
  std::string expectedGbk = text::Gbk(u8"连载手记") + "\r\n";
  // The UTF-8 book names the author the book page shows, ends its lines with CR LF as the GBK one does, and sets
  // each chapter (whose text here ends in a line break already) one blank line apart.
  std::string expectedUtf8 = "连载手记\r\n作者：测试\r\n";
  for (int row = 1; row <= kChapters; ++row) {
    expectedGbk += testsupport::ExpectedChapterFile("serial-later", row);
    expectedUtf8 +=
        "\r\n" + ReadFileBytes(kFixtureSite / "expected" / "serial-later" / (std::to_string(row) + ".utf8.txt"));
  }
  ASSERT_NE(expectedUtf8.find(kRare), std::string::npos);
  EXPECT_TRUE(SameBytes(ReadFileBytes(gbk), expectedGbk));
  EXPECT_NE(expectedGbk.find("\xD0\xB4\xCF\xC2?\xD3\xEB?"), std::string::npos);  // 写下?与?

  const fs::path utf8 = Download({"--format", "utf8"});
  EXPECT_EQ(utf8.filename(), "连载手记.txt");
  EXPECT_TRUE(SameBytes(ReadFileBytes(utf8), expectedUtf8));

  const fs::path epub = Download({"--format", "epub"});
  EXPECT_EQ(epub.filename(), "连载手记.epub");
  const std::vector<testsupport::ZipEntry> entries = testsupport::ReadZipEntries(ReadFileBytes(epub));
  ASSERT_EQ(entries.size(), 5u + kChapters);
  EXPECT_EQ(entries[0].name, "mimetype");
  std::string nav;
  std::string chapters;
  for (const auto& entry : entries) {
    if (entry.name == "OEBPS/nav.xhtml") nav = entry.bytes;
    if (entry.name.starts_with("OEBPS/chapter-")) chapters += entry.bytes;
  }
  // Every chapter in list order, titles with the ideograph GBK lacks included.
  const std::vector<std::string> titles = RowTitles();
  ASSERT_EQ(titles.size(), static_cast<std::size_t>(kChapters));
  std::size_t at = 0;
  for (int row = 1; row <= kChapters; ++row) {
    char link[64];
    std::snprintf(link, sizeof link, "<a href=\"chapter-%04d.xhtml\">", row);
    const std::size_t found = nav.find(link + titles[row - 1] + "</a>", at);
    ASSERT_NE(found, std::string::npos) << "row " << row << ": " << nav;
    at = found;
  }
  EXPECT_NE(chapters.find("<p>她在信纸上写下" + kRare), std::string::npos);
  EXPECT_NE(chapters.find("甲&amp;乙&lt;丙。</p>"), std::string::npos);
}

TEST_F(BookFormatsTest, EpubOfTheFixtureBookPassesEpubcheck) {
  const std::string epubcheck = testsupport::EpubcheckCommand();
  if (epubcheck.empty()) GTEST_SKIP() << "no epubcheck on this machine";
  const fs::path epub = Download({"--format", "epub"});
  const fs::path report = scratch_.Path() / "epubcheck.txt";
  const std::string command = epubcheck + " '" + epub.string() + "' > '" + report.string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFileBytes(report);
  EXPECT_NE(ReadFileBytes(report).find("0 fatals / 0 errors"), std::string::npos) << ReadFileBytes(report);
}

}  // namespace
}  // namespace lekto
