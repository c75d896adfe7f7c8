// The download manager end to end: chapter pages served by the real local test server, fetched by the real
// web request through the chapter pipeline, written to the temp folder and merged into the book.
#include "download/download_manager.h"

#include "download/book_assembler.h"
#include "download/folder_lock.h"
#include "download/work_folders.h"
#include "fixture_book.h"
#include "support/fake_controls.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::TestServer;
using text::Gbk;

using testsupport::ExpectedChapterFile;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;
using testsupport::WriteFileBytes;

using testsupport::FakeControls;

// Ticks rows [first, last) of `rows` and unticks the others.
void TickOnly(FakeControls& controls, int rows, int first, int last) {
  for (int row = 0; row < rows; ++row) controls.SetRowChecked(row, row >= first && row < last);
}

// Holds every request that passes it until opened, and counts the requests waiting.
class Gate {
 public:
  void Pass() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void AwaitWaiting(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_ >= count; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // The product's fetcher, held at this gate before every request.
  Fetcher Guard() {
    return [this, plain = DefaultFetcher()](const std::string& url) {
      Pass();
      return plain(url);
    };
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int waiting_ = 0;
  bool open_ = false;
};

// The fixture site's big books served at "/"; books and chapter files go to a fresh work folder.
class DownloadManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    root_ = scratch_.Path();
    folders_ = FoldersAt(root_ / "work");
    server_.ServeStatic("/", testsupport::kFixtureSite.string());
  }

  std::string TocAddress(std::string_view name) const {
    return server_.HttpUrl("/" + std::string(name) + "/index.html");
  }

  // All rows of a big book (a shortened list would make its last row follow "下一章" into the chapters left
  // out); `title` replaces the book title when given.
  std::shared_ptr<Book> MakeBook(std::string_view name, std::optional<std::string> title = std::nullopt) {
    auto book = testsupport::FixtureBook(server_, name);
    if (title) book->title = *title;
    return book;
  }

  DownloadReport Download(DownloadManager& manager, std::shared_ptr<const Book> book) {
    DownloadReport report;
    manager.SetCompletionHandler([&](const DownloadReport& finished) { report = finished; });
    EXPECT_EQ(manager.StartDownload(std::move(book)), DownloadManager::StartResult::kStarted);
    manager.Wait();
    return report;
  }

  // The chapter files in the temp folder (the download's record beside them is no chapter).
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    ListFolderFiles(folders_.temp, "*.txt", names);
    std::sort(names.begin(), names.end());
    return names;
  }

  TestServer server_;
  testsupport::TempFolder scratch_{"lekto-download"};
  fs::path root_;
  WorkFolders folders_;
};

TEST_F(DownloadManagerTest, BookHoldsTickedChaptersInRowOrderDespiteRandomDelays) {
  constexpr int kRows = 200;
  // Row 4 fails: its page is gone (404, no text).
  fs::copy(testsupport::kFixtureSite / "big200", root_ / "big200");
  fs::remove(root_ / "big200" / "5.html");
  server_.ServeStatic("/big200/", (root_ / "big200").string());
  auto book = MakeBook("big200");
  FakeControls controls(TocAddress("big200"));
  controls.SetRowChecked(2, false);
  controls.SetRowChecked(7, false);
  server_.SetRandomDelay(0, 10);

  std::mutex seenMutex;
  int mostRunning = 0;
  int fewestRunning = kRows;
  bool startedWhileWorking = true;
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  manager.SetChapterHandler([&](int, ChapterOutcome) {
    std::lock_guard lock(seenMutex);
    mostRunning = std::max(mostRunning, manager.RunningWorkers());
    fewestRunning = std::min(fewestRunning, manager.RunningWorkers());
    startedWhileWorking = startedWhileWorking && manager.DownloadStarted();
  });
  const DownloadReport report = Download(manager, book);

  // The book marks where the failed chapter is missing; unticked rows leave no trace.
  std::string chapters;
  std::string marked;
  for (int row = 0; row < kRows; ++row) {
    if (row == 4) marked += Gbk(u8"（第5章 灯火 下载失败：HTTP 404）\r\n");
    if (row != 2 && row != 4 && row != 7) chapters += ExpectedChapterFile("big200", row + 1);
    if (row != 2 && row != 4 && row != 7) marked += ExpectedChapterFile("big200", row + 1);
  }
  EXPECT_TRUE(SameBytes(ReadFileBytes(folders_.work / "长卷200.txt"), book->title + "\r\n" + marked));
  EXPECT_TRUE(report.merged && report.merge.written);
  EXPECT_EQ(report.ticked, kRows - 2);
  EXPECT_EQ(report.written, kRows - 3);
  EXPECT_EQ(report.FailedRows(), std::vector<int>{4});
  EXPECT_EQ(report.outcomes[2], ChapterOutcome::kUnticked);
  EXPECT_FALSE(fs::exists(folders_.temp / "3.txt"));
  EXPECT_EQ(controls.RowState(0), Gbk(u8"下载完成"));
  EXPECT_EQ(controls.RowState(4), Gbk(u8"下载失败：HTTP 404"));
  EXPECT_EQ(controls.RowState(7), "");
  // The reporting worker is itself still counted; nobody ever sees more than six.
  EXPECT_GE(fewestRunning, 1);
  EXPECT_LE(mostRunning, DownloadManager::kWorkerLimit);
  EXPECT_LE(server_.MaxConcurrent("/big200/"), DownloadManager::kWorkerLimit);
  EXPECT_TRUE(startedWhileWorking);
  EXPECT_FALSE(manager.DownloadStarted());
  EXPECT_EQ(manager.RunningWorkers(), 0);

  // A hand merge of the same files under another title ends despite a stray file and holds the same chapters.
  WriteFileBytes(folders_.temp / "notes.txt", "not a chapter");
  const MergeResult byHand = MergeByHand(folders_, Gbk(u8"另一个书名"));
  EXPECT_TRUE(SameBytes(ReadFileBytes(byHand.bookFile), Gbk(u8"另一个书名") + "\r\n" + chapters));
}

TEST_F(DownloadManagerTest, ReversedListGivesReversedBook) {
  auto book = MakeBook("big200");
  std::reverse(book->chapterTitles.begin(), book->chapterTitles.end());
  std::reverse(book->chapterLinks.begin(), book->chapterLinks.end());
  FakeControls controls(TocAddress("big200"));
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  const DownloadReport report = Download(manager, book);

  std::string expected = book->title + "\r\n";
  for (int n = 200; n >= 1; --n) expected += ExpectedChapterFile("big200", n);
  EXPECT_TRUE(SameBytes(ReadFileBytes(report.merge.bookFile), expected));
  EXPECT_TRUE(SameBytes(ReadFileBytes(folders_.temp / "1.txt"), ExpectedChapterFile("big200", 200)));
  EXPECT_EQ(server_.Requests().size(), 200u);  // no chapter pulled in the ones above it
}

TEST_F(DownloadManagerTest, OnlyTheLastTenOfAThousandRowsTicked) {
  constexpr int kRows = 1000;
  FakeControls controls(TocAddress("big1000"));
  TickOnly(controls, kRows, kRows - 10, kRows);
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  const DownloadReport report = Download(manager, MakeBook("big1000"));

  std::vector<std::string> expectedFiles;
  std::string expectedBook = testsupport::FixtureBookTitle("big1000") + "\r\n";
  for (int n = 991; n <= 1000; ++n) {
    expectedFiles.push_back(std::to_string(n) + ".txt");
    expectedBook += ExpectedChapterFile("big1000", n);
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(TempFiles(), expectedFiles);
  EXPECT_TRUE(SameBytes(ReadFileBytes(report.merge.bookFile), expectedBook));
  EXPECT_EQ(server_.Requests().size(), 10u);  // unticked rows fetch nothing
  EXPECT_EQ(report.ticked, 10);
}

// While six requests hang, a second download is refused and the first one's files stay; once released, the first
// download completes as if nothing had happened.
TEST_F(DownloadManagerTest, SecondDownloadWhileOneRunsIsRefused) {
  constexpr int kTicked = 20;
  FakeControls controls(TocAddress("big200"));
  TickOnly(controls, 200, 0, kTicked);
  Gate gate;
  const Fetcher gated = gate.Guard();
  DownloadManager manager(controls, gated, folders_);
  DownloadReport report;
  int completions = 0;
  manager.SetCompletionHandler([&](const DownloadReport& finished) {
    report = finished;
    ++completions;
  });
  ASSERT_EQ(manager.StartDownload(MakeBook("big200")), DownloadManager::StartResult::kStarted);
  gate.AwaitWaiting(DownloadManager::kWorkerLimit);
  WriteFileBytes(folders_.temp / "marker.txt", "left by the first download");

  EXPECT_TRUE(manager.Busy());
  EXPECT_EQ(manager.RunningWorkers(), DownloadManager::kWorkerLimit);
  EXPECT_EQ(manager.StartDownload(MakeBook("big200", "other")), DownloadManager::StartResult::kBusy);
  EXPECT_TRUE(fs::exists(folders_.temp / "marker.txt"));

  gate.Open();
  manager.Wait();
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(report.book->title, testsupport::FixtureBookTitle("big200"));
  EXPECT_EQ(report.written, kTicked);
  EXPECT_FALSE(fs::exists(folders_.work / "other.txt"));
  EXPECT_LE(server_.MaxConcurrent("/big200/"), DownloadManager::kWorkerLimit);

  // Once finished, the next download is accepted again.
  EXPECT_EQ(manager.StartDownload(MakeBook("big200", "other")), DownloadManager::StartResult::kStarted);
  manager.Wait();
  EXPECT_TRUE(fs::exists(folders_.work / "other.txt"));
}

// A download works on what the window showed when it started: changing the address, the switches, the filters and
// the ticks while it runs changes nothing. A second manager on the same folders is refused and touches nothing.
// --jobs 2 keeps two requests in flight at most.
TEST_F(DownloadManagerTest, SnapshotJobsAndOneDownloadPerFolder) {
  constexpr int kTicked = 12;
  FakeControls controls(TocAddress("big200"));
  TickOnly(controls, 200, 0, kTicked);
  Gate gate;
  const Fetcher gated = gate.Guard();
  DownloadManager manager(controls, gated, folders_);
  DownloadReport report;
  manager.SetCompletionHandler([&](const DownloadReport& finished) { report = finished; });
  DownloadOptions options;
  options.jobs = 2;
  ASSERT_EQ(manager.StartDownload(MakeBook("big200"), options), DownloadManager::StartResult::kStarted);
  gate.AwaitWaiting(2);
  controls.SetAddress(server_.HttpUrl("/status/404"));
  controls.SetFilters(true, Gbk(u8"[\\s\\S]*"));  // would delete every text
  controls.SetTranscode(true);
  TickOnly(controls, 200, 100, 200);
  const std::vector<std::string> filesBefore = TempFiles();

  FakeControls otherControls(TocAddress("big200"));
  DownloadManager other(otherControls, DefaultFetcher(), folders_);
  EXPECT_EQ(other.StartDownload(MakeBook("big200", "other")), DownloadManager::StartResult::kFolderInUse);
  EXPECT_FALSE(other.Busy());
  EXPECT_EQ(TempFiles(), filesBefore);
  EXPECT_TRUE(fs::exists(folders_.temp / "download.lekto"));
  // Nor may the viewer write a chapter file into the running download's folder.
  std::optional<FolderLock> viewerLock;
  EXPECT_EQ(FolderLock::Take(folders_.temp, viewerLock, FolderLock::Mode::kShared), FolderLock::Result::kInUse);

  gate.Open();
  manager.Wait();
  std::string expected = report.book->title + "\r\n";
  for (int n = 1; n <= kTicked; ++n) expected += ExpectedChapterFile("big200", n);
  EXPECT_EQ(report.written, kTicked);
  EXPECT_TRUE(SameBytes(ReadFileBytes(report.merge.bookFile), expected));
  EXPECT_LE(server_.MaxConcurrent("/big200/"), 2);
  EXPECT_FALSE(fs::exists(folders_.work / "other.txt"));

  // Once the first download has ended, the folder is free again.
  EXPECT_EQ(FolderLock::Take(folders_.temp, viewerLock, FolderLock::Mode::kShared), FolderLock::Result::kLocked);
  viewerLock.reset();
  EXPECT_EQ(other.StartDownload(MakeBook("big200", "other")), DownloadManager::StartResult::kStarted);
  other.Wait();
}

// Destroying the manager mid-download stops the workers after their current request: nothing more is fetched,
// no book is written, and the completion handler hears of the cancellation.
TEST_F(DownloadManagerTest, DestroyingTheManagerStopsAfterTheCurrentRequests) {
  constexpr int kTicked = 30;
  FakeControls controls(TocAddress("big200"));
  TickOnly(controls, 200, 0, kTicked);
  Gate gate;
  const Fetcher gated = gate.Guard();
  DownloadReport report;
  {
    DownloadManager manager(controls, gated, folders_);
    manager.SetCompletionHandler([&](const DownloadReport& finished) { report = finished; });
    ASSERT_EQ(manager.StartDownload(MakeBook("big200")), DownloadManager::StartResult::kStarted);
    gate.AwaitWaiting(DownloadManager::kWorkerLimit);
    manager.Cancel();
    gate.Open();
  }
  EXPECT_TRUE(report.cancelled);
  EXPECT_FALSE(report.merged);
  EXPECT_FALSE(fs::exists(folders_.work / "长卷200.txt"));
  EXPECT_EQ(server_.Requests().size(), static_cast<std::size_t>(DownloadManager::kWorkerLimit));
  EXPECT_EQ(std::count(report.outcomes.begin(), report.outcomes.end(), ChapterOutcome::kCancelled),
            kTicked - DownloadManager::kWorkerLimit);
}

TEST_F(DownloadManagerTest, EmptyListFinishesAtOnceWithoutABook) {
  FakeControls controls(TocAddress("big200"));
  fs::create_directories(folders_.temp);
  WriteFileBytes(folders_.temp / "1.txt", "from the viewer");
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  auto book = MakeBook("big200");
  book->chapterTitles.clear();
  book->chapterLinks.clear();
  const DownloadReport report = Download(manager, book);
  EXPECT_FALSE(report.merged);
  EXPECT_TRUE(TempFiles().empty());  // the temp folder is still reset
  EXPECT_FALSE(fs::exists(folders_.work / "长卷200.txt"));
  EXPECT_FALSE(manager.Busy());
}

// A download in which every chapter fails leaves an existing book of that title alone.
TEST_F(DownloadManagerTest, DownloadThatWritesNothingKeepsTheOldBook) {
  auto book = MakeBook("big200");
  book->chapterTitles.resize(3);
  book->chapterLinks.assign(3, server_.HttpUrl("/status/404"));
  fs::create_directories(folders_.work);
  WriteFileBytes(folders_.work / "长卷200.txt", "the good old book");
  FakeControls controls(TocAddress("big200"));
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  const DownloadReport report = Download(manager, book);
  EXPECT_FALSE(report.merged);
  EXPECT_EQ(report.FailedRows(), (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(SameBytes(ReadFileBytes(folders_.work / "长卷200.txt"), "the good old book"));
}

TEST_F(DownloadManagerTest, TitleThatTriesToLeaveTheFolderLandsInside) {
  FakeControls controls(TocAddress("big200"));
  TickOnly(controls, 200, 0, 2);
  DownloadManager manager(controls, DefaultFetcher(), folders_);
  const DownloadReport report = Download(manager, MakeBook("big200", "../../../escaped"));
  EXPECT_TRUE(report.merge.written);
  EXPECT_EQ(report.merge.bookFile.parent_path(), folders_.work);
  EXPECT_FALSE(fs::exists(root_ / "escaped.txt"));
  EXPECT_TRUE(SameBytes(ReadFileBytes(report.merge.bookFile),
                        "../../../escaped\r\n" + ExpectedChapterFile("big200", 1) + ExpectedChapterFile("big200", 2)));
}

}  // namespace
}  // namespace lekto
