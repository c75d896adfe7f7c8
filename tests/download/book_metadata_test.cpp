// What the book page says of the book reaches the books `lekto-cli download` writes and survives `update`:
// against the fixture shelf (tests/fixtures/README.md), whose page names an author, a description and a real PNG
// cover, and whose plain sibling names its author in text only and points og:image at an HTML page.
#include "../book/epub_reader.h"
#include "chapter/chapter_pipeline.h"
#include "cli/cli.h"
#include "download/download_manager.h"
#include "fixture_book.h"
#include "support/fake_controls.h"
#include "support/test_server.h"
#include "toc/toc_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace lekto {
namespace {

namespace fs = std::filesystem;
using testsupport::kFixtureSite;
using testsupport::ReadFileBytes;
using testsupport::SameBytes;
using testsupport::ZipEntry;

const std::string kCreator = "<dc:creator id=\"author\">林间&amp;月</dc:creator>";
const std::string kDescription =
    "<dc:description>夜读的人，总在枕边放一本书。\n书里有灯，也有雨 &amp; 风。</dc:description>";
const std::string kCoverItem =
    "<item id=\"cover-image\" href=\"cover.png\" media-type=\"image/png\" properties=\"cover-image\"/>";

const ZipEntry* Entry(const std::vector<ZipEntry>& entries, std::string_view name) {
  for (const ZipEntry& entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// The UTF-8 book of `folder`'s first `rows` chapters as a reader keeps it: title, author line, then each chapter
// after a blank line.
std::string ExpectedUtf8Book(const std::string& folder, int rows) {
  std::string book = "枕边书\r\n作者：林间&月\r\n";
  for (int row = 1; row <= rows; ++row) {
    book += "\r\n" + ReadFileBytes(kFixtureSite / "expected" / folder / (std::to_string(row) + ".utf8.txt"));
  }
  return book;
}

class BookMetadataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    Publish("shelf");
    server_.ServeStatic("/shelf-plain/", (kFixtureSite / "shelf-plain").string());
  }

  void Publish(const std::string& stage) { server_.ServeStatic("/shelf/", (kFixtureSite / stage).string()); }

  int Run(const std::vector<std::string>& args, std::string* out = nullptr) {
    std::ostringstream output, err;
    const int code = cli::RunCli(args, output, err);
    EXPECT_EQ(code, 0) << err.str();
    if (out) *out = output.str();
    return code;
  }

  // Downloads `book` ("shelf" or "shelf-plain") in `format` into a folder of its own; the book file.
  fs::path Download(const std::string& book, const std::string& format, const std::string& folder = "") {
    const fs::path dir = scratch_.Path() / (folder.empty() ? book + "-" + format : folder);
    std::string out;
    Run({"download", server_.HttpUrl("/" + book + "/index.html"), "--dir", dir.string(), "--format", format}, &out);
    return out.substr(0, out.find('\n'));
  }

  // How often `path` was asked for since the last call.
  int RequestsFor(const std::string& path) {
    int count = 0;
    for (const testsupport::RecordedRequest& request : server_.Requests()) count += request.target == path;
    server_.ClearRequests();
    return count;
  }

  void ExpectEpubcheckPasses(const fs::path& epub) {
    const std::string epubcheck = testsupport::EpubcheckCommand();
    if (epubcheck.empty()) return;  // the package is still read entry by entry
    // Java starts slowly: the tests check the two packages that hold everything, the updated one with its cover
    // and the plain one without.
    const fs::path report = scratch_.Path() / "epubcheck.txt";
    const std::string command = epubcheck + " '" + epub.string() + "' > '" + report.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFileBytes(report);
    EXPECT_NE(ReadFileBytes(report).find("0 fatals / 0 errors / 0 warnings"), std::string::npos)
        << ReadFileBytes(report);
  }

  testsupport::TestServer server_;
  testsupport::TempFolder scratch_{"lekto-metadata"};
};

// The EPUB names the author and description and carries the cover, fetched once and stored as it came; the
// record keeps all three; the UTF-8 book starts with the author line and sets chapters a blank line apart; the
// GBK book keeps the bytes it always had and nobody fetches a picture for a text book. The plain book's author
// comes from its text, and its "cover", an HTML page served as a JPEG, is left out.
TEST_F(BookMetadataTest, EveryFormatCarriesWhatTheBookPageSays) {
  const fs::path epub = Download("shelf", "epub");
  EXPECT_EQ(RequestsFor("/shelf/cover.png"), 1);
  const std::vector<ZipEntry> entries = testsupport::ReadZipEntries(ReadFileBytes(epub));
  const ZipEntry* opf = Entry(entries, "OEBPS/content.opf");
  ASSERT_NE(opf, nullptr);
  EXPECT_NE(opf->bytes.find(kCreator), std::string::npos) << opf->bytes;
  EXPECT_NE(opf->bytes.find(kDescription), std::string::npos) << opf->bytes;
  EXPECT_NE(opf->bytes.find(kCoverItem), std::string::npos) << opf->bytes;
  EXPECT_NE(opf->bytes.find("<meta name=\"cover\" content=\"cover-image\"/>"), std::string::npos);
  const ZipEntry* cover = Entry(entries, "OEBPS/cover.png");
  ASSERT_NE(cover, nullptr);
  EXPECT_EQ(cover->bytes, ReadFileBytes(kFixtureSite / "shelf" / "cover.png"));
  EXPECT_TRUE(cover->stored);

  const std::string record = ReadFileBytes(fs::path(epub.string() + ".lekto"));
  EXPECT_NE(record.find("\nauthor\t林间&月\n"), std::string::npos) << record;
  EXPECT_NE(record.find("\ndescription\t夜读的人，总在枕边放一本书。\\r\\n书里有灯，也有雨 & 风。\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find("\ncover\t" + server_.HttpUrl("/shelf/cover.png") + "\n"), std::string::npos) << record;

  EXPECT_TRUE(SameBytes(ReadFileBytes(Download("shelf", "utf8")), ExpectedUtf8Book("shelf", 3)));
  std::string gbk = text::Gbk(u8"枕边书") + "\r\n";
  for (int row = 1; row <= 3; ++row) gbk += testsupport::ExpectedChapterFile("shelf", row);
  EXPECT_TRUE(SameBytes(ReadFileBytes(Download("shelf", "gbk")), gbk));
  EXPECT_EQ(RequestsFor("/shelf/cover.png"), 0);

  const fs::path plain = Download("shelf-plain", "epub");
  EXPECT_EQ(RequestsFor("/shelf-plain/cover.jpg"), 1);
  const std::vector<ZipEntry> plainEntries = testsupport::ReadZipEntries(ReadFileBytes(plain));
  const ZipEntry* plainOpf = Entry(plainEntries, "OEBPS/content.opf");
  ASSERT_NE(plainOpf, nullptr);
  EXPECT_NE(plainOpf->bytes.find("<dc:creator id=\"author\">山下客</dc:creator>"), std::string::npos)
      << plainOpf->bytes;
  EXPECT_EQ(plainOpf->bytes.find("cover"), std::string::npos) << plainOpf->bytes;
  EXPECT_EQ(plainOpf->bytes.find("<dc:description>"), std::string::npos);
  EXPECT_EQ(plainEntries.size(), 5u + 6u);  // no picture entry
  ExpectEpubcheckPasses(plain);
}

// The site later renames the author and drops the description and the picture: the updated books keep what they
// had, the EPUB its cover without fetching it again, and the UTF-8 book is read back and written again chapter by
// chapter across its blank lines, so a second update finds it unchanged. A book whose record names no author
// (one written before records kept it) takes the one the page names now.
TEST_F(BookMetadataTest, UpdateKeepsWhatTheBookHad) {
  const fs::path epub = Download("shelf", "epub");
  const fs::path utf8 = Download("shelf", "utf8");
  const fs::path unnamed = Download("shelf", "utf8", "unnamed");
  const fs::path unnamedRecord = unnamed.string() + ".lekto";
  std::string record = ReadFileBytes(unnamedRecord);
  const std::size_t authorLine = record.find("\nauthor\t");
  ASSERT_NE(authorLine, std::string::npos);
  record.erase(authorLine, record.find('\n', authorLine + 1) - authorLine);
  testsupport::WriteFileBytes(unnamedRecord, record);
  Publish("shelf-later");
  server_.ClearRequests();

  std::string out;
  Run({"update", epub.string()}, &out);
  EXPECT_EQ(out, epub.string() + "\n");
  Run({"update", utf8.string()}, &out);
  EXPECT_EQ(out, utf8.string() + "\n");
  EXPECT_EQ(RequestsFor("/shelf/cover.png"), 0);

  const std::vector<ZipEntry> entries = testsupport::ReadZipEntries(ReadFileBytes(epub));
  const ZipEntry* opf = Entry(entries, "OEBPS/content.opf");
  ASSERT_NE(opf, nullptr);
  EXPECT_NE(opf->bytes.find(kCreator), std::string::npos) << opf->bytes;
  EXPECT_NE(opf->bytes.find(kDescription), std::string::npos);
  EXPECT_NE(opf->bytes.find(kCoverItem), std::string::npos);
  EXPECT_EQ(opf->bytes.find("改过的名字"), std::string::npos);
  ASSERT_NE(Entry(entries, "OEBPS/cover.png"), nullptr);
  EXPECT_EQ(Entry(entries, "OEBPS/cover.png")->bytes, ReadFileBytes(kFixtureSite / "shelf" / "cover.png"));
  EXPECT_NE(Entry(entries, "OEBPS/chapter-0005.xhtml"), nullptr);
  ExpectEpubcheckPasses(epub);

  EXPECT_TRUE(SameBytes(ReadFileBytes(utf8), ExpectedUtf8Book("shelf-later", 5)));
  Run({"update", unnamed.string()});
  std::string renamed = ExpectedUtf8Book("shelf-later", 5);
  renamed.replace(renamed.find("林间&月"), std::string("林间&月").size(), "改过的名字");
  EXPECT_TRUE(SameBytes(ReadFileBytes(unnamed), renamed));
  const std::string before = ReadFileBytes(utf8);
  Run({"update", utf8.string()});
  EXPECT_EQ(ReadFileBytes(utf8), before);
}

// A stop while the cover is on its way stops the download as a stop during the chapters does: no book, and the
// chapter files and their record stay for a resume.
TEST_F(BookMetadataTest, StopWhileTheCoverComesWritesNoBook) {
  testsupport::FakeControls controls(server_.HttpUrl("/shelf/index.html"));
  std::optional<Book> parsed = ParseToc(controls, DefaultFetcher());
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->metadata.coverAddress, server_.HttpUrl("/shelf/cover.png"));
  const auto book = std::make_shared<const Book>(std::move(*parsed));
  const WorkFolders folders = FoldersAt(scratch_.Path() / "stopped");
  ASSERT_TRUE(CreateWorkFolder(folders));
  DownloadManager* running = nullptr;
  const Fetcher base = DefaultFetcher();
  DownloadManager manager(
      controls,
      [&](const std::string& url) {
        if (url == book->metadata.coverAddress) running->Cancel();  // the reader stops just as the picture arrives
        return base(url);
      },
      folders);
  running = &manager;
  DownloadReport report;
  manager.SetCompletionHandler([&](const DownloadReport& finished) { report = finished; });
  DownloadOptions options;
  options.format = BookFormat::kEpub;
  ASSERT_EQ(manager.StartDownload(book, options), DownloadManager::StartResult::kStarted);
  manager.Wait();
  EXPECT_TRUE(report.cancelled);
  EXPECT_FALSE(report.merged);
  EXPECT_EQ(report.written, 3);
  EXPECT_FALSE(fs::exists(folders.work / "枕边书.epub"));
  EXPECT_TRUE(fs::exists(ChapterFilePath(folders.temp, 2)));  // the last row's file
}

}  // namespace
}  // namespace lekto
