#include "download/book_assembler.h"

#include "download/work_folders.h"
#include "support/temp_folder.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using text::Gbk;

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// A fresh work folder per test, with its temp folder, removed afterwards.
class BookAssemblerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    root_ = scratch_.Path();
    folders_ = FoldersAt(root_ / "work");
    ASSERT_TRUE(CreateWorkFolder(folders_));
    ASSERT_TRUE(ResetTempFolder(folders_));
  }

  // Chapter file n holds "chapter n" in GBK and CR LF, as the workers write it.
  std::string Chapter(int n) const { return Gbk(u8"第") + std::to_string(n) + Gbk(u8"章 正文") + "\r\n"; }
  void PutChapters(std::initializer_list<int> numbers) const {
    for (int n : numbers) WriteFileBytes(folders_.temp / (std::to_string(n) + ".txt"), Chapter(n));
  }
  std::vector<std::string> WorkFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folders_.work)) {
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TempFolder scratch_{"lekto-book"};
  fs::path root_;
  WorkFolders folders_;
};

TEST(WorkFoldersTest, WindowAndCommandLineLayouts) {
  EXPECT_EQ(WorkFolder("/opt/app"), fs::path("/opt/app/Lekto"));
  EXPECT_EQ(TempFolder("/opt/app"), fs::path("/opt/app/Lekto/temp"));
  EXPECT_EQ(FoldersUnder("/opt/app").temp, TempFolder("/opt/app"));
  EXPECT_EQ(FoldersAt("/books").work, fs::path("/books"));
  EXPECT_EQ(FoldersAt("/books").temp, fs::path("/books/lekto-temp"));
  EXPECT_TRUE(fs::is_directory(ProgramFolder()));
}

TEST_F(BookAssemblerTest, CreateWorkFolderKeepsExistingBooksAndResetEmptiesTemp) {
  WriteFileBytes(folders_.work / "old.txt", "old book");
  PutChapters({1, 2});
  fs::create_directory(folders_.temp / "sub");
  WriteFileBytes(folders_.temp / "sub" / "x.txt", "x");

  EXPECT_TRUE(CreateWorkFolder(folders_));
  EXPECT_EQ(ReadFileBytes(folders_.work / "old.txt"), "old book");
  EXPECT_TRUE(ResetTempFolder(folders_));
  EXPECT_TRUE(fs::is_directory(folders_.temp));
  EXPECT_TRUE(fs::is_empty(folders_.temp));
}

struct FileNameCase {
  const char* name;
  std::u8string title;
  std::string expected;  // UTF-8
};

TEST(BookFileNameTest, StaysOneSafeNameInTheWorkFolder) {
  const std::vector<FileNameCase> cases = {
      {"chinese", u8"斗破苍穹", "斗破苍穹.txt"},
      {"empty title", u8"", ".txt"},
      {"slashes", u8"a/b\\c", "a_b_c.txt"},
      {"parent folders", u8"../../etc/passwd", "___.._etc_passwd.txt"},
      {"dot dot alone", u8"..", "__.txt"},
      {"control characters", u8"a\tb\r\nc\x7f", "a_b__c_.txt"},
      {"inner dots kept", u8"第一卷...终", "第一卷...终.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BookFileName(Gbk(c.title)), c.expected) << c.name;
  }
}

TEST(BookFileNameTest, LongTitleIsCutAtACharacterBoundary) {
  std::u8string title;
  for (int i = 0; i < 200; ++i) title += u8"长";
  const std::string name = BookFileName(Gbk(title));
  EXPECT_LE(name.size(), 255u);
  EXPECT_TRUE(name.ends_with(".txt"));
  EXPECT_EQ((name.size() - 4) % 3, 0u);  // whole three-byte UTF-8 characters only
}

TEST_F(BookAssemblerTest, AutomaticMergeWritesTitleThenChaptersInOrderSkippingGaps) {
  PutChapters({4, 1, 2});
  const std::string title = Gbk(u8"测试书");
  const MergeResult result = MergeAfterDownload(folders_, title, 5);

  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.chapters, 3);
  EXPECT_EQ(result.bookFile, folders_.work / "测试书.txt");
  EXPECT_EQ(ReadFileBytes(result.bookFile), title + "\r\n" + Chapter(1) + Chapter(2) + Chapter(4));
  EXPECT_EQ(WorkFolderNames(), std::vector<std::string>{"测试书.txt"});  // no temporary file left behind
}

TEST_F(BookAssemblerTest, AutomaticMergeCoversOnlyTheListedRows) {
  PutChapters({1, 2, 3});
  const MergeResult result = MergeAfterDownload(folders_, "t", 2);
  EXPECT_EQ(ReadFileBytes(result.bookFile), "t\r\n" + Chapter(1) + Chapter(2));
}

TEST_F(BookAssemblerTest, ExistingBookIsReplacedNotAppendedTo) {
  WriteFileBytes(folders_.work / "t.txt", "an older and much longer book of the same title");
  PutChapters({1});
  MergeAfterDownload(folders_, "t", 1);
  EXPECT_EQ(ReadFileBytes(folders_.work / "t.txt"), "t\r\n" + Chapter(1));
}

TEST_F(BookAssemblerTest, EmptyTitleAndMissingTempFolder) {
  fs::remove_all(folders_.temp);
  const MergeResult result = MergeAfterDownload(folders_, "", 3);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.bookFile, folders_.work / ".txt");
  EXPECT_EQ(ReadFileBytes(result.bookFile), "\r\n");
}

TEST_F(BookAssemblerTest, MissingWorkFolderReportsFailure) {
  fs::remove_all(folders_.work);
  const MergeResult result = MergeAfterDownload(folders_, "t", 1);
  EXPECT_FALSE(result.written);
  EXPECT_FALSE(fs::exists(result.bookFile));
}

// A write that fails half-way (here: the file size limit) leaves the previous book whole and no stray file.
TEST_F(BookAssemblerTest, FailedWriteKeepsTheOldBook) {
  WriteFileBytes(folders_.work / "t.txt", "the good old book");
  WriteFileBytes(folders_.temp / "1.txt", std::string(64 * 1024, 'x'));

  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const MergeResult result = MergeAfterDownload(folders_, "t", 1);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(result.written);
  EXPECT_EQ(ReadFileBytes(folders_.work / "t.txt"), "the good old book");
  EXPECT_EQ(WorkFolderNames(), std::vector<std::string>{"t.txt"});
}

// Files that are not chapter numbers would keep a count-based loop from ever reaching its count.
TEST_F(BookAssemblerTest, HandMergeEndsDespiteStrayTextFiles) {
  PutChapters({2, 3});
  WriteFileBytes(folders_.temp / "notes.txt", "my notes");
  WriteFileBytes(folders_.temp / "007.txt", "leading zero");
  WriteFileBytes(folders_.temp / "0.txt", "zero");
  const MergeResult result = MergeByHand(folders_, "t");
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.chapters, 2);
  EXPECT_EQ(ReadFileBytes(result.bookFile), "t\r\n" + Chapter(2) + Chapter(3));
}

// A chapter number far beyond the others (a file copied in by hand) must not make the merge try every number
// below it.
TEST_F(BookAssemblerTest, HandMergeSkipsTheGapBeforeAHugeChapterNumber) {
  PutChapters({1, 3, 999999999});
  const MergeResult result = MergeByHand(folders_, "t");
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.chapters, 3);
  EXPECT_EQ(ReadFileBytes(result.bookFile), "t\r\n" + Chapter(1) + Chapter(3) + Chapter(999999999));
}

TEST_F(BookAssemblerTest, HandMergeUnderANewTitleKeepsTheEarlierBook) {
  PutChapters({1});
  MergeByHand(folders_, "first");
  MergeByHand(folders_, "second");
  EXPECT_EQ(WorkFolderNames(), (std::vector<std::string>{"first.txt", "second.txt"}));
  EXPECT_EQ(ReadFileBytes(folders_.work / "second.txt"), "second\r\n" + Chapter(1));
}

TEST_F(BookAssemblerTest, ListFolderFilesMatchesTheMask) {
  PutChapters({1, 10});
  WriteFileBytes(folders_.temp / "readme.md", "");
  fs::create_directory(folders_.temp / "dir.txt");
  std::vector<std::string> names{"kept"};
  EXPECT_EQ(ListFolderFiles(folders_.temp, "*.txt", names), 3);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1.txt", "10.txt", "kept"}));

  std::vector<std::string> paths;
  ListFolderFiles(folders_.temp, "1.*", paths, true);
  EXPECT_EQ(paths, std::vector<std::string>{(folders_.temp / "1.txt").string()});
  std::vector<std::string> none;
  EXPECT_EQ(ListFolderFiles(root_ / "missing", "*.txt", none), 0);
}

}  // namespace
}  // namespace lekto
