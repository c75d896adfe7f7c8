// `lekto-cli download` as a separate process, for what only a process can show: Ctrl-C in the middle of a
// download, a second download into a folder in use, and a disk that takes no more bytes (a file-size limit).
#include "cli/cli.h"
#include "fixture_book.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::ExpectedChapterFile;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;

// A lekto-cli child whose stderr is collected through a pipe (a file would fall under the child's file-size limit).
class CliProcess {
 public:
  explicit CliProcess(const std::vector<std::string>& args, std::optional<rlim_t> fileSizeLimit = {}) {
    std::vector<std::string> argv = {LEKTO_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(pipeFds[1], STDERR_FILENO);
      if (fileSizeLimit) {
        const rlimit limit{*fileSizeLimit, *fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char*> raw;
      for (std::string& arg : argv) raw.push_back(arg.data());
      raw.push_back(nullptr);
      ::execv(raw[0], raw.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    reader_ = std::thread([this, fd = pipeFds[0]] {
      char buffer[4096];
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) err_.append(buffer, static_cast<std::size_t>(n));
      ::close(fd);
    });
  }
  ~CliProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  void Signal(int signal) const { ::kill(pid_, signal); }
  // The exit code, or 128 + the signal that ended the child.
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exited_ = true;
    if (reader_.joinable()) reader_.join();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // After Wait(): everything the child wrote to stderr.
  const std::string& Err() const { return err_; }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  std::string err_;
  std::thread reader_;
};

class CliProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    server_.ServeStatic("/", testsupport::kFixtureSite.string());
  }
  fs::path Dir() const { return scratch_.Path() / "books"; }
  fs::path Temp() const { return Dir() / "lekto-temp"; }
  std::vector<std::string> Args(std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"download", server_.HttpUrl("/big200/index.html"), "--dir", Dir().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  // Names of the files in the chapter folder that are neither chapter files nor the record.
  std::vector<std::string> Strays() const {
    std::vector<std::string> strays;
    std::error_code error;
    for (fs::directory_iterator it(Temp(), error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (name != "download.lekto" && name.find_first_not_of("0123456789") != name.size() - 4) strays.push_back(name);
    }
    return strays;
  }
  // The chapter numbers whose files the chapter folder holds.
  std::vector<int> ChapterFiles() const {
    std::vector<int> numbers;
    for (int n = 1; n <= 200; ++n) {
      if (fs::exists(Temp() / (std::to_string(n) + ".txt"))) numbers.push_back(n);
    }
    return numbers;
  }
  void AwaitChapterFiles(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ChapterFiles().size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GE(ChapterFiles().size(), count);
  }
  int RunInProcess(const std::vector<std::string>& args, std::string& err) const {
    std::ostringstream out;
    std::ostringstream errors;
    const int code = cli::RunCli(args, out, errors);
    err = errors.str();
    return code;
  }

  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-cli-process"};
};

// Ctrl-C half-way: whole chapter files only, no book, exit 130. Meanwhile a second download into the same folder
// is refused and touches nothing. --resume then fetches only the missing chapters and gives the whole book.
TEST_F(CliProcessTest, InterruptThenResume) {
  server_.SetDelay(40);
  CliProcess first(Args());
  AwaitChapterFiles(12);

  std::string err;
  const std::vector<int> before = ChapterFiles();
  EXPECT_EQ(RunInProcess(Args(), err), 1);
  EXPECT_NE(err.find("another download is using the folder"), std::string::npos) << err;
  const std::vector<int> after = ChapterFiles();
  EXPECT_TRUE(std::includes(after.begin(), after.end(), before.begin(), before.end()));

  first.Signal(SIGINT);
  EXPECT_EQ(first.Wait(), 130) << first.Err();
  EXPECT_NE(first.Err().find("--resume"), std::string::npos);
  const std::vector<int> kept = ChapterFiles();
  ASSERT_LT(kept.size(), 200u);
  EXPECT_EQ(Strays(), std::vector<std::string>{});
  for (int n : kept)
    EXPECT_TRUE(SameBytes(ReadFileBytes(Temp() / (std::to_string(n) + ".txt")), ExpectedChapterFile("big200", n))) << n;
  EXPECT_FALSE(fs::exists(Dir() / "长卷200.txt"));

  server_.SetDelay(0);
  server_.ClearRequests();
  EXPECT_EQ(RunInProcess(Args({"--resume"}), err), 0) << err;
  std::string book = testsupport::FixtureBookTitle("big200") + "\r\n";
  for (int n = 1; n <= 200; ++n) book += ExpectedChapterFile("big200", n);
  EXPECT_TRUE(SameBytes(ReadFileBytes(Dir() / "长卷200.txt"), book));
  // The table of contents and exactly the chapters that had no file.
  EXPECT_EQ(server_.Requests().size(), 1 + 200 - kept.size());
  for (const testsupport::RecordedRequest& request : server_.Requests()) {
    const std::string file = request.target.substr(request.target.rfind('/') + 1);
    if (file == "index.html") continue;
    EXPECT_FALSE(std::binary_search(kept.begin(), kept.end(), std::stoi(file))) << request.target;
  }
}

// No room for a chapter file: the download stops at the first one with a write error, not "no text" for every
// chapter, and leaves neither a book nor half-written files.
TEST_F(CliProcessTest, FullDiskIsAWriteError) {
  CliProcess download(Args(), rlim_t{100});
  EXPECT_EQ(download.Wait(), 1);
  const std::string& err = download.Err();
  EXPECT_NE(err.find("failed: write error: File too large"), std::string::npos) << err;
  EXPECT_NE(err.find("download stopped"), std::string::npos) << err;
  EXPECT_EQ(err.find("no text"), std::string::npos) << err;
  EXPECT_LT(server_.Requests().size(), 20u);
  EXPECT_EQ(ChapterFiles(), std::vector<int>{});
  EXPECT_EQ(Strays(), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(Dir() / "长卷200.txt"));
}

}  // namespace
}  // namespace lekto
