// The site that needs a browser (tests/fixtures/README.md, /script/): a browser check in front of every page, a
// list built by script, chapter texts put in by script and a members' chapter. lekto-cli runs in-process with
// default switches, with the reader's cookies and with --browser never, against the real local test server; the
// pages are read with the real browser engine, offscreen.
#include "browser/browser_engine.h"
#include "cli/cli.h"
#include "download/fixture_book.h"
#include "support/temp_folder.h"
#include "support/test_server.h"
#include "tests/cli/cli_test_support.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <chrono>
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
using testsupport::WriteFileBytes;

using CliRun = cli::clitest::Outcome;

// What the browser engine sends as its User-Agent and the plain fetches never do.
constexpr std::string_view kBrowserAgent = "QtWebEngine";

class BrowserSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    server_.ServeStatic("/", testsupport::kFixtureSite.string());
  }

  static CliRun Run(const std::vector<std::string>& args) { return cli::clitest::RunCaptured(args); }
  std::string Toc() const { return server_.HttpUrl("/script/index.html"); }
  fs::path Dir() const { return scratch_.Path() / "books"; }
  fs::path BookFile() const { return Dir() / text::AnsiToUtf8(text::Gbk(u8"夜航船.txt")); }
  // The book as the merge writes it from the expected chapter files of `rows` (1-based).
  static std::string Book(const std::vector<int>& rows) {
    std::string book = text::Gbk(u8"夜航船") + "\r\n";
    for (int row : rows) book += ExpectedChapterFile("script", row);
    return book;
  }
  // The requests for `path` (exact target), and those of them the browser sent.
  std::vector<testsupport::RecordedRequest> RequestsFor(std::string_view path) const {
    std::vector<testsupport::RecordedRequest> found;
    for (testsupport::RecordedRequest& request : server_.Requests()) {
      if (request.target == path) found.push_back(std::move(request));
    }
    return found;
  }
  static bool FromBrowser(const testsupport::RecordedRequest& request) {
    return request.headerBlock.find(kBrowserAgent) != std::string::npos;
  }

  testsupport::TempFolder scratch_{"lekto-browser"};
  testsupport::TestServer server_;
};

// Default switches: the check is passed in the browser, whose cookie then opens the plain chapter pages to
// libcurl; the script-built list and chapter texts come out as the written rules read them; the members' chapter
// is reported as needing a login and is not in the book.
TEST_F(BrowserSiteTest, DefaultSwitchesPassTheCheckAndReadScriptBuiltPages) {
  const CliRun toc = Run({"toc", Toc()});
  ASSERT_EQ(toc.code, 0) << toc.err;
  std::string expectedToc = "夜航船\n";
  std::istringstream rows(ReadFileBytes(testsupport::kFixtureSite / "expected" / "script" / "rows.tsv"));
  int id = 0;
  for (std::string line; std::getline(rows, line);) {
    const std::size_t tab = line.find('\t');
    expectedToc +=
        std::to_string(++id) + "\t" + line.substr(0, tab) + "\t" + server_.HttpUrl(line.substr(tab + 1)) + "\n";
  }
  EXPECT_EQ(toc.out, expectedToc);
  ASSERT_EQ(id, 6);

  // Chapter 4's text is put in by script.
  const CliRun show = Run({"show", Toc(), "4"});
  EXPECT_EQ(show.code, 0) << show.err;
  const std::string expected4 = ReadFileBytes(testsupport::kFixtureSite / "expected" / "script" / "4.txt");
  EXPECT_EQ(show.out, text::AnsiToUtf8(text::ReplaceAll(expected4, "\r\n", "\n")));

  server_.ClearRequests();
  const CliRun download = Run({"download", Toc(), "--dir", Dir().string()});
  EXPECT_EQ(download.code, 3) << download.err;
  EXPECT_NE(download.err.find("chapter 6 第6章 长亭 failed: needs a login"), std::string::npos) << download.err;
  // The book says where the members' chapter is missing, and why.
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()),
                        Book({1, 2, 3, 4, 5}) + text::Gbk(u8"（第6章 长亭 下载失败：需要登录）\r\n")));

  // The plain chapter pages went to libcurl alone, with the cookie the browser earned; the script-built ones were
  // read again in the browser.
  for (const char* page : {"/script/1.html", "/script/2.html", "/script/3.html"}) {
    const auto requests = RequestsFor(page);
    ASSERT_FALSE(requests.empty()) << page;
    for (const auto& request : requests) {
      EXPECT_FALSE(FromBrowser(request)) << page;
      EXPECT_NE(request.headerBlock.find("lekto_check=passed"), std::string::npos) << page;
    }
  }
  const auto built = RequestsFor("/script/5.json");
  ASSERT_EQ(built.size(), 1u);
  EXPECT_TRUE(FromBrowser(built[0]));

  // The book's update reads the script-built list in the browser again and, given the reader's cookies, fetches
  // the members' chapter it lacks: the whole book, in place.
  const fs::path cookies = scratch_.Path() / "member.txt";
  WriteFileBytes(cookies, "127.0.0.1\tFALSE\t/\tFALSE\t0\tlekto_member\tyes\n");
  const CliRun update = Run({"update", BookFile().string(), "--cookies", cookies.string()});
  EXPECT_EQ(update.code, 0) << update.err;
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book({1, 2, 3, 4, 5, 6})));
}

// The reader's cookies.txt opens the members' chapter: the whole book. Each cookie goes only where it belongs: not
// one for another site, an expired one or one for another path. (A secure one is sent over plain HTTP to a
// loopback address by both libcurl and Chromium, which count loopback as secure, so it is not tested here.)
TEST_F(BrowserSiteTest, ReadersCookiesOpenTheMembersChapterAndStayWithTheirHosts) {
  const fs::path cookies = scratch_.Path() / "cookies.txt";
  WriteFileBytes(cookies,
                 "# Netscape HTTP Cookie File\r\n"
                 "127.0.0.1\tFALSE\t/\tFALSE\t0\tlekto_member\tyes\r\n"
                 ".other.example\tTRUE\t/\tFALSE\t0\tforeign\tno\r\n"
                 "127.0.0.1\tFALSE\t/\tFALSE\t1000000000\texpired\tno\r\n"
                 "127.0.0.1\tFALSE\t/elsewhere\tFALSE\t0\tother_path\tno\r\n"
                 "#HttpOnly_127.0.0.1\tFALSE\t/script\tFALSE\t0\tsession\tkept\r\n");
  const CliRun download = Run({"download", Toc(), "--dir", Dir().string(), "--cookies", cookies.string()});
  EXPECT_EQ(download.code, 0) << download.err;
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book({1, 2, 3, 4, 5, 6})));

  bool sawSession = false;
  for (const auto& request : server_.Requests()) {
    for (const char* never : {"foreign=", "expired=", "other_path="}) {
      EXPECT_EQ(request.headerBlock.find(never), std::string::npos) << request.target << " carried " << never;
    }
    if (request.target.starts_with("/script/") && request.headerBlock.find("session=kept") != std::string::npos) {
      sawSession = true;
    }
  }
  EXPECT_TRUE(sawSession);
  const auto members = RequestsFor("/script/6.html");
  ASSERT_FALSE(members.empty());
  EXPECT_NE(members.back().headerBlock.find("lekto_member=yes"), std::string::npos);

  // A file that is no cookies.txt is refused before anything is fetched.
  WriteFileBytes(cookies, "not a cookie file\n");
  server_.ClearRequests();
  const CliRun refused = Run({"toc", Toc(), "--cookies", cookies.string()});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("holds no cookie"), std::string::npos) << refused.err;
  EXPECT_TRUE(server_.Requests().empty());
}

// --browser never fails plainly at the check, and a plain site never starts the browser whatever is asked.
TEST_F(BrowserSiteTest, NeverFailsPlainlyAndPlainSitesNeverStartTheBrowser) {
  const CliRun never = Run({"toc", Toc(), "--browser", "never"});
  EXPECT_EQ(never.code, 1);
  EXPECT_EQ(never.out, "\n");
  EXPECT_NE(never.err.find("browser check"), std::string::npos) << never.err;
  EXPECT_NE(never.err.find("--browser never"), std::string::npos) << never.err;

  const CliRun show = Run({"show", server_.HttpUrl("/utf8/index.html"), "2"});
  EXPECT_EQ(show.code, 0) << show.err;
  for (const auto& request : server_.Requests()) EXPECT_FALSE(FromBrowser(request)) << request.target;

  const CliRun bad = Run({"toc", Toc(), "--browser", "sometimes"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("--browser takes auto, always or never"), std::string::npos) << bad.err;
}

// A check the browser cannot pass (it reloads into itself) is said so once the browser gives up, and no list or
// chapter comes of it.
TEST_F(BrowserSiteTest, CheckThatIsNeverPassedIsSaidSo) {
  browser::EngineLimits limits;
  limits.cap = std::chrono::milliseconds(3000);
  browser::SetEngineLimitsForTests(limits);
  const CliRun toc = Run({"toc", server_.HttpUrl("/script/check.html")});
  EXPECT_EQ(toc.code, 1);
  EXPECT_NE(toc.err.find("the browser did not pass it"), std::string::npos) << toc.err;
}

}  // namespace
}  // namespace lekto
