// Updating a book: `lekto-cli update` in-process against the fixture serial on the real local test server, which
// gains three chapters (/serial-later/) or loses one (/serial-vanished/) between the download and the update; and
// the order in which a book keeps chapters its list no longer has.
#include "download/book_update.h"
#include "../book/epub_reader.h"
#include "chapter/chapter_pipeline.h"
#include "cli/cli.h"
#include "fixture_book.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::kFixtureSite;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;
using testsupport::WriteFileBytes;

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

class BookUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(scratch_.Path().empty()); }

  // The serial as the site shows it now: "serial", "serial-later" or "serial-vanished".
  void Publish(const std::string& stage) { server_.ServeStatic("/serial/", (kFixtureSite / stage).string()); }

  CliRun Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  // Downloads the serial into scratch/<folder>; the book file.
  fs::path Download(const std::string& folder, const std::string& format) {
    const CliRun run = Run({"download", server_.HttpUrl("/serial/index.html"), "--dir",
                            (scratch_.Path() / folder).string(), "--format", format});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out.substr(0, run.out.find('\n'));
  }
  // The paths requested since the last call.
  std::multiset<std::string> Requests() {
    std::multiset<std::string> paths;
    for (const testsupport::RecordedRequest& request : server_.Requests()) paths.insert(request.target);
    server_.ClearRequests();
    return paths;
  }

  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-update"};
};

// In every format: the update fetches the table of contents and the three new chapters, nothing else, and gives
// the book a fresh download of the longer list gives; a second update fetches the table of contents alone and
// leaves the book untouched.
TEST_F(BookUpdateTest, FetchesOnlyTheNewChaptersAndEqualsAFreshDownload) {
  for (const std::string format : {"gbk", "utf8", "epub"}) {
    SCOPED_TRACE(format);
    Publish("serial");
    const fs::path book = Download("old-" + format, format);
    Publish("serial-later");
    Requests();

    const CliRun update = Run({"update", book.string()});
    EXPECT_EQ(update.exitCode, 0) << update.err;
    EXPECT_EQ(update.out, book.string() + "\n");
    EXPECT_EQ(Requests(),
              (std::multiset<std::string>{"/serial/index.html", "/serial/6.html", "/serial/7.html", "/serial/8.html"}));

    const fs::path fresh = Download("fresh-" + format, format);
    if (format == "epub") {
      // The same documents; the package differs only in its modification time.
      const std::vector<testsupport::ZipEntry> updated = testsupport::ReadZipEntries(ReadFileBytes(book));
      const std::vector<testsupport::ZipEntry> expected = testsupport::ReadZipEntries(ReadFileBytes(fresh));
      ASSERT_EQ(updated.size(), expected.size());
      for (std::size_t i = 0; i < updated.size(); ++i) {
        EXPECT_EQ(updated[i].name, expected[i].name);
        if (updated[i].name != "OEBPS/content.opf") {
          EXPECT_EQ(updated[i].bytes, expected[i].bytes) << updated[i].name;
        }
      }
    } else {
      EXPECT_TRUE(SameBytes(ReadFileBytes(book), ReadFileBytes(fresh)));
    }
    // The same record, but for the size and hash of an EPUB, whose package holds the time it was written.
    const auto record = [&](const fs::path& file) {
      std::string text = ReadFileBytes(fs::path(file.string() + ".lekto"));
      const std::size_t line = text.find("\nbook\t");
      if (format == "epub" && line != std::string::npos) text.erase(line, text.find('\n', line + 1) - line);
      return text;
    };
    EXPECT_EQ(record(book), record(fresh));

    Requests();
    const std::string before = ReadFileBytes(book);
    const CliRun again = Run({"update", book.string() + ".lekto"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(Requests(), std::multiset<std::string>{"/serial/index.html"});
    EXPECT_EQ(ReadFileBytes(book), before);
  }
}

// A chapter taken down stays where it was; a book changed since it was written, a book without a record and
// switches the record overrides are refused, and the book stays as it is.
TEST_F(BookUpdateTest, KeepsAVanishedChapterAndRefusesWhatItCannotTrust) {
  Publish("serial");
  const fs::path book = Download("book", "gbk");
  Publish("serial-vanished");
  Requests();
  const CliRun update = Run({"update", book.string()});
  EXPECT_EQ(update.exitCode, 0) << update.err;
  EXPECT_EQ(Requests(),
            (std::multiset<std::string>{"/serial/index.html", "/serial/6.html", "/serial/7.html", "/serial/8.html"}));
  std::string expected = text::Gbk(u8"连载手记") + "\r\n";
  for (int row = 1; row <= 8; ++row) expected += testsupport::ExpectedChapterFile("serial-later", row);
  EXPECT_TRUE(SameBytes(ReadFileBytes(book), expected));
  const std::optional<DownloadRecord> record = ReadDownloadRecord(fs::path(book.string() + ".lekto"));
  ASSERT_TRUE(record);
  ASSERT_EQ(record->chapters.size(), 8u);
  EXPECT_EQ(record->chapters[3].link, server_.HttpUrl("/serial/4.html"));
  EXPECT_TRUE(record->chapters[3].written);

  // Edited by the reader: cut at the recorded places it would lose or garble text.
  WriteFileBytes(book, ReadFileBytes(book) + "x");
  Publish("serial-later");
  Requests();
  const CliRun edited = Run({"update", book.string()});
  EXPECT_EQ(edited.exitCode, 1);
  EXPECT_NE(edited.err.find("not the book its record describes"), std::string::npos) << edited.err;
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(ReadFileBytes(book), expected + "x");

  const fs::path stray = scratch_.Path() / "stray.txt";
  WriteFileBytes(stray, "a book from elsewhere");
  EXPECT_EQ(Run({"update", stray.string()}).exitCode, 1);
  EXPECT_EQ(Run({"update", book.string(), "--transcode"}).exitCode, 2);
  EXPECT_EQ(Run({"update"}).exitCode, 2);
}

// Chapters gone from the list keep their place after the nearest earlier chapter still listed (before the first
// row when none is), in the book's order; rows neither held nor fetched are recorded as not written.
TEST(ComposeUpdatedBook, PlacesVanishedChaptersAfterTheirNeighbours) {
  testsupport::TempFolder folder("lekto-compose");
  ASSERT_FALSE(folder.Path().empty());
  RecordedBook old;
  old.record.bookTitle = "T";
  const std::vector<std::string> links = {"a", "b", "c", "d", "e"};
  for (const std::string& link : links) {
    old.record.chapters.push_back({"title " + link, "http://h/" + link, link != "e"});
    old.texts.push_back(link != "e" ? "text " + link + "\r\n" : "");
  }
  Book toc;
  toc.chapterTitles = {"title b", "title x", "title e", "title y"};
  toc.chapterLinks = {"http://h/b", "http://h/x", "http://h/e", "http://h/y"};
  ASSERT_TRUE(WriteChapterFile(folder.Path(), 1, "text x"));  // row 1 fetched; row 3 failed

  const UpdatedBook updated = ComposeUpdatedBook(old, toc, {false, true, false, false}, folder.Path());
  std::vector<std::string> texts, recorded;
  for (const BookChapter& chapter : updated.content.chapters) texts.push_back(chapter.text);
  for (const RecordedChapter& chapter : updated.record.chapters) {
    recorded.push_back(chapter.link.substr(9) + (chapter.written ? "+" : "-"));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"text a\r\n", "text b\r\n", "text c\r\n", "text d\r\n", "text x\r\n"}));
  EXPECT_EQ(recorded, (std::vector<std::string>{"a+", "b+", "c+", "d+", "x+", "e-", "y-"}));
  EXPECT_EQ(updated.added, 1);
  EXPECT_EQ(updated.vanished, 3);
  EXPECT_EQ(RowsToFetch(old, toc), (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace lekto
