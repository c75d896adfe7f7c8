// `lekto-cli` on the fixture site's /fetch/ book, whose pages fetching can get wrong (tests/fixtures/README.md):
// later pages that declare UTF-8 over GBK bytes, LF line ends, a continuation page that is gone, a
// continue-reading button, characters GBK lacks, a chapter that is gone and one whose server falls silent. The
// book must hold what the viewer shows, say where a chapter is missing, and the command line must say what
// happened.
#include "../book/epub_reader.h"
#include "cli/cli.h"
#include "fixture_book.h"
#include "http/web_request_testing.h"
#include "support/test_server.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::ExpectedChapterFile;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;

constexpr int kRows = 8;

using CliRun = cli::clitest::Outcome;

class FaultySiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    server_.ServeStatic("/", testsupport::kFixtureSite.string());
    // A silent answer is given up after a fraction of a second instead of twenty.
    limits_.lowSpeedWindowMs = 300;
    http::SetTransferLimitsForTests(limits_);
  }
  void TearDown() override { http::SetTransferLimitsForTests(defaults_); }

  static CliRun Run(const std::vector<std::string>& args) { return cli::clitest::RunCaptured(args); }
  CliRun Download(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"download", server_.HttpUrl("/fetch/index.html"), "--dir", Dir().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  fs::path Dir() const { return scratch_.Path() / "books"; }
  fs::path BookFile() const { return Dir() / "风雨归途.txt"; }
  // The GBK book as the fixture's expected texts give it; row 7 is the line saying the chapter is missing.
  static std::string ExpectedBook() {
    std::string book = text::Gbk(u8"风雨归途") + "\r\n";
    for (int row = 1; row <= kRows; ++row) book += ExpectedChapterFile("fetch", row);
    return book;
  }
  long RequestsFor(std::string_view path) const {
    const std::vector<testsupport::RecordedRequest> requests = server_.Requests();
    return std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.target == path; });
  }

  const http::TransferLimits defaults_ = http::TransferLimitsInForce();
  http::TransferLimits limits_ = defaults_;
  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-faulty-site"};
};

// One download carries every fault: the rows of the table of contents' second page keep their titles; chapter
// 3 reaches its third page through a page that declares UTF-8 over GBK bytes; chapter 2's LF lines end in CR LF
// in the book; chapter 4 keeps the two pages that arrived and is listed as incomplete; chapter 5 follows the
// continue-reading button; chapter 6's two characters GBK lacks are counted; chapter 7 is marked missing;
// chapter 8's silent first answer is given up and retried. Exit 3, and --resume fetches exactly 4 and 7 again.
TEST_F(FaultySiteTest, OneDownloadTellsEveryFaultAndTheBookHoldsWhatTheViewerShows) {
  server_.AddFault("/fetch/8.html", "silent", 1);
  const CliRun run = Download();
  EXPECT_EQ(run.code, 3) << run.err;
  EXPECT_EQ(run.out, BookFile().string() + "\n");
  const std::string book = ReadFileBytes(BookFile());
  EXPECT_TRUE(SameBytes(book, ExpectedBook()));
  // Every line of the book ends in CR LF.
  for (std::size_t at = book.find('\n'); at != std::string::npos; at = book.find('\n', at + 1)) {
    ASSERT_TRUE(at > 0 && book[at - 1] == '\r') << "line feed alone at byte " << at;
  }
  EXPECT_EQ(RequestsFor("/fetch/3_3.html"), 1);
  EXPECT_EQ(RequestsFor("/fetch/4_3.html"), 1);  // gone: not retried
  EXPECT_EQ(RequestsFor("/fetch/5_2.html"), 1);
  EXPECT_EQ(RequestsFor("/fetch/8.html"), 2);  // silent once, then the page

  EXPECT_NE(run.err.find("chapter 7 第7章 残碑 failed: HTTP 404"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("chapter 4 第4章 春水 is incomplete: page 3 is gone (HTTP 404)"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("2 characters that GBK lacks became \"?\" in the book; \"UTF-8 文本\" (--format utf8) or "
                         "EPUB (--format epub) keeps them"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("chapter 8 "), std::string::npos) << run.err;  // the silent answer cost a retry, no more

  // The viewer's text of the incomplete chapter is the book's, and `show` says what is missing.
  const CliRun shown = Run({"show", server_.HttpUrl("/fetch/index.html"), "4"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_NE(shown.err.find("chapter 4 is incomplete: page 3 could not be fetched: HTTP 404"), std::string::npos)
      << shown.err;

  // The record says which chapters to fetch again: the incomplete and the failed one, nothing else.
  server_.ClearRequests();
  const CliRun resumed = Download({"--resume"});
  EXPECT_EQ(resumed.code, 3) << resumed.err;
  std::vector<std::string> fetched;
  for (const testsupport::RecordedRequest& request : server_.Requests()) {
    if (request.target.find("/fetch/index") != 0) fetched.push_back(request.target);
  }
  std::sort(fetched.begin(), fetched.end());
  EXPECT_EQ(fetched,
            (std::vector<std::string>{"/fetch/4.html", "/fetch/4_2.html", "/fetch/4_3.html", "/fetch/7.html"}));
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), ExpectedBook()));
  // The same book again replaced nothing: no copy is kept.
  EXPECT_FALSE(fs::exists(Dir() / "风雨归途.txt.bak"));
}

// The UTF-8 text book keeps what GBK lacks and says nothing about "?"; it too ends every line in CR LF. The EPUB
// gives the missing chapter a page saying so.
TEST_F(FaultySiteTest, OtherFormatsKeepEveryCharacterAndMarkTheMissingChapter) {
  const CliRun run = Download({"--format", "utf8"});
  EXPECT_EQ(run.code, 3) << run.err;
  const std::string book = ReadFileBytes(BookFile());
  EXPECT_NE(book.find("门外站着一个叫\U00020BB7的孩子，手里举着\U0001F600的风车。\r\n"), std::string::npos);
  EXPECT_NE(book.find("（第7章 残碑 下载失败：HTTP 404）\r\n"), std::string::npos);
  EXPECT_EQ(book.find("\n", book.find("第2章")) - 1, book.find("\r\n", book.find("第2章")));
  EXPECT_EQ(run.err.find("GBK lacks"), std::string::npos) << run.err;

  ASSERT_EQ(Download({"--format", "epub"}).code, 3);
  std::string missingPage;
  for (const testsupport::ZipEntry& entry : testsupport::ReadZipEntries(ReadFileBytes(Dir() / "风雨归途.epub"))) {
    if (entry.name == "OEBPS/chapter-0007.xhtml") missingPage = entry.bytes;
  }
  EXPECT_NE(missingPage.find("<h2>第7章 残碑</h2>"), std::string::npos) << missingPage;
  EXPECT_NE(missingPage.find("<p>（第7章 残碑 下载失败：HTTP 404）</p>"), std::string::npos) << missingPage;
}

// A download that replaces a different book of the same name keeps the old one beside it, with its record, one
// copy only; a book's own update writes in place.
TEST_F(FaultySiteTest, ReplacedBookIsKeptBesideTheNewOne) {
  ASSERT_EQ(Download().code, 3);
  const std::string first = ReadFileBytes(BookFile());
  const std::string firstRecord = ReadFileBytes(Dir() / "风雨归途.txt.lekto");

  // Chapter 7 appears: the new book differs from the one on disk.
  const fs::path copy = scratch_.Path() / "site-fetch";
  fs::copy(testsupport::kFixtureSite / "fetch", copy);
  fs::copy_file(copy / "8.html", copy / "7.html");
  server_.ServeStatic("/fetch/", copy.string());
  const CliRun second = Download();
  EXPECT_EQ(second.code, 3) << second.err;  // chapter 4 still lacks its third page
  const fs::path backup = Dir() / "风雨归途.txt.bak";
  EXPECT_NE(second.err.find("the book that was there before is kept as " + backup.string()), std::string::npos)
      << second.err;
  EXPECT_EQ(ReadFileBytes(backup), first);
  EXPECT_EQ(ReadFileBytes(Dir() / "风雨归途.txt.bak.lekto"), firstRecord);
  const std::string secondBook = ReadFileBytes(BookFile());
  EXPECT_NE(secondBook, first);
  EXPECT_EQ(secondBook.find(text::Gbk(u8"下载失败")), std::string::npos);

  // An update fetches the incomplete chapter again, keeps what it holds when the page is still gone, writes the
  // book in place and keeps no further copy.
  server_.ClearRequests();
  const CliRun update = Run({"update", BookFile().string()});
  EXPECT_EQ(update.code, 3) << update.err;
  EXPECT_EQ(RequestsFor("/fetch/4_3.html"), 1);
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), secondBook));
  EXPECT_EQ(ReadFileBytes(backup), first) << update.err;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Dir())) names.push_back(entry.path().filename().string());
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find(".bak") != n.npos; }),
            2);
}

// What the command line says when there is no chapter list: what happened to the page, or that it arrived
// without one; and for a chapter that could not be fetched, why.
TEST_F(FaultySiteTest, CommandLineSaysWhatHappened) {
  const struct {
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {{"toc", server_.HttpUrl("/fetch/nothing.html")}, "could not be fetched: HTTP 404"},
      {{"toc", "http://127.0.0.1:1/"}, "could not be fetched: connection refused or host not found"},
      {{"download", server_.HttpUrl("/misc/nodiv.html"), "--dir", Dir().string()}, "arrived but holds no chapter list"},
      {{"show", server_.HttpUrl("/fetch/index.html"), "7"}, "chapter 7 could not be fetched: HTTP 404"},
  };
  for (const auto& c : cases) {
    const CliRun run = Run(c.args);
    EXPECT_EQ(run.code, 1) << c.args[1];
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  }
  // A chapter whose connection keeps breaking off fails with that reason, after its retries.
  server_.AddFault("/fetch/2.html", "reset");
  const CliRun broken = Download({"--only", "1,2"});
  EXPECT_EQ(broken.code, 3);
  EXPECT_NE(broken.err.find("chapter 2 第2章 雪夜 failed: connection broken off"), std::string::npos) << broken.err;
  EXPECT_NE(ReadFileBytes(BookFile()).find(text::Gbk(u8"（第2章 雪夜 下载失败：传输中断）\r\n")), std::string::npos);

  server_.AddFault("/fetch/index.html", "silent");
  const CliRun silent = Run({"toc", server_.HttpUrl("/fetch/index.html")});
  EXPECT_EQ(silent.code, 1);
  EXPECT_NE(silent.err.find("could not be fetched: timed out"), std::string::npos) << silent.err;
}

}  // namespace
}  // namespace lekto
