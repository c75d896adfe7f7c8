// The download record: written as readable UTF-8 text, read back exactly, replaced atomically.
#include "download/download_record.h"

#include "support/temp_folder.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;
using text::Gbk;

TEST(DownloadRecordTest, TextsSurviveTheRoundTripAndTheFileReadsAsText) {
  testsupport::TempFolder scratch("lekto-record");
  ASSERT_FALSE(scratch.Path().empty());
  const fs::path file = scratch.Path() / "book.lekto";

  DownloadRecord record;
  record.address = "http://127.0.0.1/book/index.html";
  record.bookTitle = Gbk(u8"长卷\\200");
  record.transcode = true;
  record.filtersEnabled = true;
  record.filterRules = Gbk(u8"广告\t.*?\r\n(本章完)");
  record.format = "epub";
  record.reversed = true;
  record.bookBytes = 5120;
  record.bookHash = "00ff00ff00ff00ff";
  // The second title holds bytes that are no GBK character: they must come back unchanged all the same.
  record.chapters = {{Gbk(u8"第1章 开始"), "http://127.0.0.1/book/1.html", true, 4321},
                     {std::string("\x81\x20\xFF", 3) + Gbk(u8"章"), "http://127.0.0.1/book/2.html?a=1\tb", false},
                     // In the book only as a line saying it is missing: counted in the layout, not written.
                     {Gbk(u8"第3章"), "http://127.0.0.1/book/3.html", false, 61, Gbk(u8"下载失败：HTTP 404")}};
  ASSERT_TRUE(WriteDownloadRecord(file, record));

  EXPECT_EQ(ReadFileBytes(file),
            "lekto-record 1\n"
            "address\thttp://127.0.0.1/book/index.html\n"
            "title\t长卷\\\\200\n"
            "transcode\t1\n"
            "preprocess\t0\n"
            "filters\t1\n"
            "rules\t广告\\t.*?\\r\\n(本章完)\n"
            "format\tepub\n"
            "reversed\t1\n"
            "book\t5120\t00ff00ff00ff00ff\n"
            "chapter\t1\t第1章 开始\thttp://127.0.0.1/book/1.html\t4321\n"
            "chapter\t0\t\\x81 \\xFF\\xD5\\xC2\thttp://127.0.0.1/book/2.html?a=1\\tb\t0\n"
            "chapter\t0\t第3章\thttp://127.0.0.1/book/3.html\t61\t下载失败：HTTP 404\n");

  const std::optional<DownloadRecord> read = ReadDownloadRecord(file);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->address, record.address);
  EXPECT_EQ(read->bookTitle, record.bookTitle);
  EXPECT_TRUE(read->transcode);
  EXPECT_FALSE(read->preprocess);
  EXPECT_TRUE(read->filtersEnabled);
  EXPECT_EQ(read->filterRules, record.filterRules);
  EXPECT_EQ(read->format, "epub");
  EXPECT_TRUE(read->reversed);
  EXPECT_EQ(read->bookBytes, 5120u);
  EXPECT_EQ(read->bookHash, "00ff00ff00ff00ff");
  ASSERT_EQ(read->chapters.size(), 3u);
  EXPECT_EQ(read->chapters[0].bytes, 4321u);
  EXPECT_EQ(LayoutOf(*read).chapterBytes, (std::vector<std::uint64_t>{4321, 61}));
  EXPECT_EQ(read->chapters[2].missing, record.chapters[2].missing);
  EXPECT_EQ(read->chapters[1].missing, "");
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read->chapters[i].title, record.chapters[i].title) << i;
    EXPECT_EQ(read->chapters[i].link, record.chapters[i].link) << i;
    EXPECT_EQ(read->chapters[i].written, record.chapters[i].written) << i;
  }

  // A shorter record replaces the longer one whole, and leaves no temporary file beside it.
  record.chapters.resize(1);
  ASSERT_TRUE(WriteDownloadRecord(file, record));
  EXPECT_EQ(ReadDownloadRecord(file)->chapters.size(), 1u);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 1);

  // Marks appended while a download runs; a mark cut short or past the rows marks nothing.
  record.chapters = {{"A", "http://x/1", false}, {"B", "http://x/2", false}, {"C", "http://x/3", false}};
  ASSERT_TRUE(WriteDownloadRecord(file, record));
  EXPECT_TRUE(AppendWrittenMark(file, 2));
  EXPECT_TRUE(AppendWrittenMark(file, 5));
  std::ofstream(file, std::ios::app) << "written\t1x";
  const std::optional<DownloadRecord> marked = ReadDownloadRecord(file);
  ASSERT_TRUE(marked);
  ASSERT_EQ(marked->chapters.size(), 3u);
  EXPECT_FALSE(marked->chapters[0].written);
  EXPECT_FALSE(marked->chapters[1].written);
  EXPECT_TRUE(marked->chapters[2].written);
  EXPECT_FALSE(AppendWrittenMark(scratch.Path() / "missing.lekto", 0));

  // Edited by hand on another system: CR LF line ends and a key this version does not know.
  WriteFileBytes(file, "lekto-record 1\r\naddress\thttp://x/\r\nnew-key\tvalue\r\nchapter\t1\tT\thttp://x/1\r\n");
  const std::optional<DownloadRecord> edited = ReadDownloadRecord(file);
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->address, "http://x/");
  ASSERT_EQ(edited->chapters.size(), 1u);
  EXPECT_EQ(edited->chapters[0].link, "http://x/1");
  EXPECT_EQ(edited->format, "gbk");

  // Not a record, or no file at all; and a folder that cannot take the file leaves nothing behind.
  WriteFileBytes(file, "chapter\t1\tT\thttp://x/1\n");
  EXPECT_FALSE(ReadDownloadRecord(file));
  EXPECT_FALSE(ReadDownloadRecord(scratch.Path() / "missing.lekto"));
  EXPECT_FALSE(WriteDownloadRecord(scratch.Path() / "no-such-folder" / "book.lekto", record));
  EXPECT_EQ(BookRecordPath(scratch.Path() / "a.b.txt"), scratch.Path() / "a.b.txt.lekto");
}

}  // namespace
}  // namespace lekto
