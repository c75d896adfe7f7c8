// `lekto-cli download` in-process, its output captured, against the fixture site on the real local test server:
// the table of contents is parsed, the chosen rows downloaded and merged, exactly as the window would.
#include "cli/cli.h"
#include "fixture_book.h"
#include "http/web_request_testing.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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
using testsupport::WriteFileBytes;

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

class CliDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    root_ = scratch_.Path();
    server_.ServeStatic("/", testsupport::kFixtureSite.string());
  }

  CliRun Run(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  // `download` of /big200/ into the work folder, with further arguments.
  CliRun Download(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"download", server_.HttpUrl("/big200/index.html"), "--dir", Dir().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  fs::path Dir() const { return root_ / "books"; }
  fs::path BookFile() const { return Dir() / "长卷200.txt"; }
  static std::string Book(const std::vector<int>& rows) {
    std::string book = testsupport::FixtureBookTitle("big200") + "\r\n";
    for (int row : rows) book += ExpectedChapterFile("big200", row);
    return book;
  }

  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-cli-download"};
  fs::path root_;
};

TEST_F(CliDownloadTest, WholeBookWithRandomDelays) {
  server_.SetRandomDelay(0, 10);
  const CliRun run = Download();

  std::vector<int> all(200);
  for (int i = 0; i < 200; ++i) all[i] = i + 1;
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, BookFile().string() + "\n");
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book(all)));
  EXPECT_LE(server_.MaxConcurrent("/big200/"), 6);
  // Not a terminal: one line per finished chapter.
  std::istringstream lines(run.err);
  int progressLines = 0;
  for (std::string line; std::getline(lines, line);) progressLines += line.find("/200] ") != std::string::npos;
  EXPECT_EQ(progressLines, 200);
}

TEST_F(CliDownloadTest, OnlyNumbersTheRowsAfterReversal) {
  const CliRun run = Download({"--reverse", "--only", "1-3,10"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book({200, 199, 198, 191})));
  EXPECT_EQ(server_.Requests().size(), 5u);  // the table of contents and four chapters
}

// Chapters whose pages are gone are listed and make the exit code 3, and the book marks where they are missing;
// with none written it is 1 and no book.
TEST_F(CliDownloadTest, MissingChaptersAreListed) {
  const fs::path copy = root_ / "big200";
  fs::copy(testsupport::kFixtureSite / "big200", copy);
  fs::remove(copy / "17.html");
  fs::remove(copy / "18.html");
  server_.ServeStatic("/big200/", copy.string());

  const CliRun some = Download({"--only", "15-20"});
  EXPECT_EQ(some.exitCode, 3);
  const std::string book = Book({15, 16}) +
                           text::Gbk(u8"（第17章 归途 下载失败：HTTP 404）\r\n（第18章 星河 下载失败：HTTP 404）\r\n") +
                           Book({19, 20}).substr(Book({}).size());
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), book));
  EXPECT_NE(some.err.find("chapter 17 第17章 归途 failed: "), std::string::npos) << some.err;
  EXPECT_NE(some.err.find("chapter 18 第18章 星河 failed: "), std::string::npos) << some.err;
  EXPECT_EQ(some.err.find("chapter 19 "), std::string::npos) << some.err;

  fs::remove(BookFile());
  const CliRun none = Download({"--only", "17,18"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_FALSE(fs::exists(BookFile()));
}

// A busy, flaky site: every fault that passes is retried into a whole chapter, the ones that do not are listed
// with their reasons, and no error page ever becomes chapter text. --resume then fetches exactly the failed
// chapters and gives the same book as one clean run.
TEST_F(CliDownloadTest, BusySiteGivesAWholeBookOrAnHonestList) {
  http::TransferLimits limits = http::TransferLimitsInForce();
  const http::TransferLimits defaults = limits;
  limits.totalTimeoutMs = 800;  // the trickle's deadline
  http::SetTransferLimitsForTests(limits);
  server_.AddFault("/gbk/2.html", "status=503", 2);
  server_.AddFault("/gbk/4.html", "status=404");
  server_.AddFault("/gbk/5_2.html", "status=404");  // the second of chapter 5's three pages
  server_.AddFault("/gbk/6.html", "retry-after=1", 1);
  server_.AddFault("/gbk/7.html", "reset", 1);
  server_.AddFault("/gbk/9.html", "trickle", 1);
  server_.AddFault("/gbk/11.html", "status=500", 1);
  const std::vector<std::string> args = {"download", server_.HttpUrl("/gbk/index.html"), "--dir", Dir().string()};
  const CliRun faulty = Run(args);

  const fs::path bookFile = Dir() / "星河旧梦.txt";
  // Chapter 4 is gone: a line in the book says so. Chapter 5's second page is gone: the book holds its first and
  // a line saying what is missing.
  const auto gbkBook = [](bool whole) {
    std::string book = text::Gbk(u8"星河旧梦") + "\r\n";
    for (int row = 1; row <= 40; ++row) {
      if (!whole && row == 4) {
        book += text::Gbk(u8"（第4章 渡口 下载失败：HTTP 404）\r\n");
      } else if (!whole && row == 5) {
        book += ReadFileBytes(testsupport::kFixtureSite / "expected" / "gbk-partial" / "5.txt") + "\r\n" +
                text::Gbk(u8"（第5章 灯火 缺第2页：HTTP 404）\r\n");
      } else {
        book += ExpectedChapterFile("gbk", row);
      }
    }
    return book;
  };
  EXPECT_EQ(faulty.exitCode, 3) << faulty.err;
  EXPECT_EQ(faulty.out, bookFile.string() + "\n");
  EXPECT_TRUE(SameBytes(ReadFileBytes(bookFile), gbkBook(false)));
  EXPECT_NE(faulty.err.find("chapter 4 第4章 渡口 failed: HTTP 404"), std::string::npos) << faulty.err;
  EXPECT_NE(faulty.err.find("chapter 5 第5章 灯火 is incomplete: page 2 is gone (HTTP 404)"), std::string::npos)
      << faulty.err;
  std::istringstream lines(faulty.err);
  int listed = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" failed: ") == std::string::npos) continue;
    ++listed;
    EXPECT_NE(line.find("failed: HTTP 404"), std::string::npos) << line;
  }
  EXPECT_EQ(listed, 1) << faulty.err;
  const auto requestsFor = [&](std::string_view path) {
    const std::vector<testsupport::RecordedRequest> requests = server_.Requests();
    return std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.target == path; });
  };
  EXPECT_EQ(requestsFor("/gbk/2.html"), 3);    // 503 twice, then the page
  EXPECT_EQ(requestsFor("/gbk/4.html"), 1);    // a 404 is not retried
  EXPECT_EQ(requestsFor("/gbk/5_3.html"), 0);  // nothing after the failed page
  EXPECT_EQ(requestsFor("/gbk/6.html"), 2);
  EXPECT_EQ(requestsFor("/gbk/7.html"), 2);
  EXPECT_EQ(requestsFor("/gbk/9.html"), 2);
  EXPECT_EQ(requestsFor("/gbk/11.html"), 2);
  EXPECT_EQ(ReadFileBytes(bookFile).find(text::Gbk(u8"服务器繁忙")), std::string::npos);

  server_.ClearFaults();
  server_.ClearRequests();
  std::vector<std::string> resume = args;
  resume.push_back("--resume");
  const CliRun resumed = Run(resume);
  http::SetTransferLimitsForTests(defaults);
  EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
  EXPECT_TRUE(SameBytes(ReadFileBytes(bookFile), gbkBook(true)));
  std::vector<std::string> fetched;
  for (const testsupport::RecordedRequest& request : server_.Requests()) {
    if (request.target.find("/gbk/index") != 0) fetched.push_back(request.target);
  }
  std::sort(fetched.begin(), fetched.end());
  EXPECT_EQ(fetched, (std::vector<std::string>{"/gbk/4.html", "/gbk/5.html", "/gbk/5_2.html", "/gbk/5_3.html"}));
}

// --dir names a folder of the user's: emptying the chapter folder at the download start must not take a folder of
// theirs with it.
TEST_F(CliDownloadTest, UsersOwnTempFolderInTheWorkFolderSurvives) {
  fs::create_directories(Dir() / "temp");
  WriteFileBytes(Dir() / "temp" / "notes.txt", "mine");
  const CliRun run = Download({"--only", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(SameBytes(ReadFileBytes(Dir() / "temp" / "notes.txt"), "mine"));
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book({1})));
}

TEST_F(CliDownloadTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--only", "0"}, {"--only", "3-1"},  {"--only", "a"},     {"--only", "1-"},
      {"--only", ""},  {"--only", "1,,2"}, {"--only", "1-201"}, {"--reverse=yes"},
  };
  for (const auto& extra : cases) {
    const CliRun run = Download(extra);
    EXPECT_EQ(run.exitCode, 2) << extra.front() << " " << extra.back() << ": " << run.err;
    EXPECT_FALSE(fs::exists(BookFile()));
  }
  EXPECT_EQ(Run({"download"}).exitCode, 2);
  EXPECT_EQ(Run({"download", "ftp-less address", "--dir", Dir().string()}).exitCode, 2);
  EXPECT_EQ(Run({"toc", server_.HttpUrl("/big200/index.html"), "--reverse"}).exitCode, 2);
}

// A table of contents without a usable title names its book "未命名_" and the time, never the hidden ".txt".
TEST_F(CliDownloadTest, UntitledBookIsNamedNotHidden) {
  const fs::path site = root_ / "untitled";
  fs::create_directories(site);
  std::string toc = "<html><body>";
  for (int k = 1; k <= 3; ++k)
    toc += "<a href=\"/big200/" + std::to_string(k) + ".html\">c" + std::to_string(k) + "</a>\n";
  WriteFileBytes(site / "index.html", toc + "</body></html>");
  server_.ServeStatic("/untitled/", site.string());
  const CliRun run = Run({"download", server_.HttpUrl("/untitled/index.html"), "--dir", Dir().string(), "--only", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(fs::exists(Dir() / ".txt"));
  int named = 0;
  for (const auto& entry : fs::directory_iterator(Dir())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(text::AnsiToUtf8(text::Gbk(u8"未命名_"))) && name.ends_with(".txt")) ++named;
  }
  EXPECT_EQ(named, 1) << run.out;
}

// Without --dir the book goes into the current folder, as command-line downloaders do; a relative --dir is taken
// from the current folder too. Either way the line printed at the end is the book's full path.
TEST_F(CliDownloadTest, BookGoesToTheCurrentFolderAndItsFullPathIsPrinted) {
  const fs::path before = fs::current_path();
  fs::create_directories(Dir());
  fs::current_path(Dir());
  const CliRun here = Run({"download", server_.HttpUrl("/big200/index.html"), "--only", "2"});
  const CliRun relative = Run({"download", server_.HttpUrl("/big200/index.html"), "--only", "3", "--dir", "sub/"});
  fs::current_path(before);

  EXPECT_EQ(here.exitCode, 0) << here.err;
  EXPECT_EQ(here.out, BookFile().string() + "\n");
  EXPECT_TRUE(SameBytes(ReadFileBytes(BookFile()), Book({2})));
  EXPECT_EQ(relative.exitCode, 0) << relative.err;
  EXPECT_EQ(relative.out, (Dir() / "sub" / BookFile().filename()).string() + "\n");
  EXPECT_TRUE(SameBytes(ReadFileBytes(Dir() / "sub" / BookFile().filename()), Book({3})));
}

}  // namespace
}  // namespace lekto
