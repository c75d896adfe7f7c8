// The three book formats from one BookContent: GBK and UTF-8 text byte for byte, the EPUB read back entry by
// entry.
#include "book/book_layout.h"
#include "book/cover_image.h"
#include "book/epub_book.h"
#include "book/text_book.h"
#include "book/write_book.h"
#include "epub_reader.h"
#include "support/temp_folder.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace lekto {
namespace {

using testsupport::ReadZipEntries;
using testsupport::ZipEntry;
using text::Gbk;

std::string Kept(std::string_view utf8) {
  return text::Utf8ToText(utf8);
}

// Two chapters, the first with its title line put in front (as the chapter file has it), kept characters, real
// GB18030 bytes from a page that declared GBK, a lone CR and markup characters in the text.
BookContent SampleBook() {
  BookContent book;
  book.title = Kept("\U0001F600\u4E66<&>");
  book.sourceAddress = "http://127.0.0.1/book/?a=1&b=2";
  book.chapters.push_back(
      {Kept("第1章 \U00020BB7野"), Kept("第1章 \U00020BB7野\r\n　　甲&乙<丙>丁\r\n\r\n　　二\r\n")});
  book.chapters.push_back({{}, Gbk(u8"第2章 尾声\r\n") + "x\x81\x30\x87\x32\r\ny\rz\r\n"});
  return book;
}

TEST(TextBooks, GbkKeepsTheOldBytesAndUtf8KeepsEveryCharacter) {
  const BookContent book = SampleBook();
  // Both end every line with CR LF, a lone CR's line too.
  std::size_t lost = 0;
  EXPECT_EQ(GbkBookText(book, nullptr, &lost),
            "?" + Gbk(u8"书<&>\r\n第1章 ?野\r\n　　甲&乙<丙>丁\r\n\r\n　　二\r\n第2章 尾声\r\n") +
                "x\x81\x30\x87\x32\r\ny\r\nz\r\n");
  EXPECT_EQ(lost, 2u);  // 😀 and 𠮷 (the chapter's own title is not written); the real GB18030 sequence stays
  EXPECT_EQ(Utf8BookText(book),
            "\U0001F600书<&>\r\n\r\n第1章 \U00020BB7野\r\n　　甲&乙<丙>丁\r\n\r\n　　二\r\n\r\n第2章 "
            "尾声\r\nx\u00C4\r\ny\r\nz\r\n");
  EXPECT_EQ(BookFileName(book.title, BookFormat::kGbk), "?书<&>.txt");
  EXPECT_EQ(BookFileName(book.title, BookFormat::kUtf8), "\U0001F600书<&>.txt");
  EXPECT_EQ(BookFileName(book.title, BookFormat::kEpub), "\U0001F600书<&>.epub");
}

const ZipEntry* Find(const std::vector<ZipEntry>& entries, std::string_view name) {
  for (const ZipEntry& entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

TEST(EpubBook, ContainerDocumentsAndMetadata) {
  const BookContent book = SampleBook();
  const std::string bytes = EpubBookBytes(book, "2026-12-08T19:30:00Z");
  const std::vector<ZipEntry> entries = ReadZipEntries(bytes);
  ASSERT_GE(entries.size(), 6u);
  // The container format: "mimetype" first, uncompressed, without extra fields, at the very start of the file.
  EXPECT_EQ(entries[0].name, "mimetype");
  EXPECT_TRUE(entries[0].stored);
  EXPECT_FALSE(entries[0].hasExtraField);
  EXPECT_EQ(entries[0].bytes, "application/epub+zip");
  EXPECT_EQ(bytes.substr(30, 28), "mimetypeapplication/epub+zip");

  const ZipEntry* opf = Find(entries, "OEBPS/content.opf");
  ASSERT_NE(opf, nullptr);
  EXPECT_NE(opf->bytes.find("<dc:title>\U0001F600书&lt;&amp;&gt;</dc:title>"), std::string::npos) << opf->bytes;
  EXPECT_NE(opf->bytes.find("<dc:language>zh</dc:language>"), std::string::npos);
  EXPECT_NE(opf->bytes.find("<dc:source>http://127.0.0.1/book/?a=1&amp;b=2</dc:source>"), std::string::npos);
  EXPECT_NE(opf->bytes.find("<meta property=\"dcterms:modified\">2026-12-08T19:30:00Z</meta>"), std::string::npos);
  // The identifier follows the address: an updated book is the same book to a reader.
  const std::size_t id = opf->bytes.find("urn:uuid:");
  ASSERT_NE(id, std::string::npos);
  const std::string identifier = opf->bytes.substr(id, 45);
  BookContent longer = book;
  longer.chapters.push_back({Gbk(u8"第3章"), Gbk(u8"三\r\n")});
  EXPECT_NE(ReadZipEntries(EpubBookBytes(longer, "2027-01-01T00:00:00Z"))[2].bytes.find(identifier), std::string::npos);
  BookContent other = book;
  other.sourceAddress = "http://127.0.0.1/other/";
  EXPECT_EQ(ReadZipEntries(EpubBookBytes(other, "2027-01-01T00:00:00Z"))[2].bytes.find(identifier), std::string::npos);

  // The list's title is the heading, and the title line the chapter file starts with is not repeated; a chapter
  // without a list title takes its first line.
  const ZipEntry* first = Find(entries, "OEBPS/chapter-0001.xhtml");
  ASSERT_NE(first, nullptr);
  EXPECT_NE(
      first->bytes.find("<h2>第1章 \U00020BB7野</h2>\n    <p>甲&amp;乙&lt;丙&gt;丁</p>\n    <p>二</p>\n  </section>"),
      std::string::npos)
      << first->bytes;
  const ZipEntry* second = Find(entries, "OEBPS/chapter-0002.xhtml");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->bytes.find("<h2>第2章 尾声</h2>\n    <p>x\u00C4</p>\n    <p>y\rz</p>"), std::string::npos)
      << second->bytes;
  const ZipEntry* nav = Find(entries, "OEBPS/nav.xhtml");
  ASSERT_NE(nav, nullptr);
  const std::size_t one = nav->bytes.find("<a href=\"chapter-0001.xhtml\">第1章 \U00020BB7野</a>");
  const std::size_t two = nav->bytes.find("<a href=\"chapter-0002.xhtml\">第2章 尾声</a>");
  EXPECT_NE(one, std::string::npos) << nav->bytes;
  EXPECT_LT(one, two);
}

TEST(EpubBook, LanguageFollowsTheText) {
  EXPECT_EQ(TextLanguage("山风从谷口吹进来 with a few English words"), "zh");
  EXPECT_EQ(TextLanguage("The wind came in from the valley, smelling of wet pine. " + std::string("松")), "en");
  BookContent english;
  english.title = "Night Talks";
  english.chapters.push_back({"Chapter 1", "Chapter 1\r\nThe lamp was turned up a little.\r\n"});
  const std::vector<ZipEntry> entries = ReadZipEntries(EpubBookBytes(english, "2026-12-08T19:30:00Z"));
  ASSERT_NE(Find(entries, "OEBPS/content.opf"), nullptr);
  EXPECT_NE(Find(entries, "OEBPS/content.opf")->bytes.find("<dc:language>en</dc:language>"), std::string::npos);
  EXPECT_NE(Find(entries, "OEBPS/chapter-0001.xhtml")->bytes.find("lang=\"en\""), std::string::npos);
}

// A UTF-8 book names its author and sets each chapter one blank line from the last, however many blank lines the
// chapter text ended with; its chapters read back across those lines, and written again they give the same
// bytes. A book written before the blank lines (its layout has no gap) still reads back; a layout that claims
// more than the file holds reads nothing.
TEST(TextBooks, Utf8BookSetsChaptersApartAndReadsBackAcrossTheGaps) {
  testsupport::TempFolder folder("lekto-utf8-book");
  ASSERT_FALSE(folder.Path().empty());
  BookContent book;
  book.title = Gbk(u8"书");
  book.author = Gbk(u8"某&人\r\n二行");
  book.chapters.push_back({Gbk(u8"第1章 甲"), Gbk(u8"第1章 甲\r\n　　一\r\n\r\n　　\r\n")});
  book.chapters.push_back({Gbk(u8"第2章 乙"), Gbk(u8"第2章 乙\r\n　　二\r\n")});
  const std::string expected = "书\r\n作者：某&人  二行\r\n\r\n第1章 甲\r\n　　一\r\n\r\n第2章 乙\r\n　　二\r\n";
  const WrittenBook written = WriteBookFile(folder.Path() / "a.txt", BookFormat::kUtf8, book);
  ASSERT_TRUE(written.written);
  EXPECT_EQ(testsupport::ReadFileBytes(written.file), expected);
  EXPECT_EQ(written.layout.chapterGap, 2u);
  EXPECT_EQ(GbkBookText(book), Gbk(u8"书\r\n") + book.chapters[0].text + book.chapters[1].text);  // as always

  const std::optional<std::vector<std::string>> texts =
      ReadBookChapters(written.file, BookFormat::kUtf8, written.layout);
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, (std::vector<std::string>{Gbk(u8"第1章 甲\r\n　　一\r\n"), Gbk(u8"第2章 乙\r\n　　二\r\n")}));
  BookContent again = book;
  again.chapters[0].text = (*texts)[0];
  again.chapters[1].text = (*texts)[1];
  EXPECT_EQ(Utf8BookText(again), expected);

  const std::string old = "书\n第1章 甲\n一\n\n第2章 乙\n二\n";
  testsupport::WriteFileBytes(folder.Path() / "old.txt", old);
  const BookLayout oldLayout{
      old.size(), BookHash(old), {std::string("第1章 甲\n一\n\n").size(), std::string("第2章 乙\n二\n").size()}};
  EXPECT_EQ(ReadBookChapters(folder.Path() / "old.txt", BookFormat::kUtf8, oldLayout),
            (std::vector<std::string>{Gbk(u8"第1章 甲\r\n一\r\n\r\n"), Gbk(u8"第2章 乙\r\n二\r\n")}));
  BookLayout tooMuch = written.layout;
  tooMuch.chapterGap = ~std::uint64_t{0} / 2;
  EXPECT_FALSE(ReadBookChapters(written.file, BookFormat::kUtf8, tooMuch));
}

// Pictures by their signatures, whatever their names or the server said; the EPUB takes JPEG, PNG and GIF as its
// cover with their media types, and leaves out WebP, which EPUB 3.2 readers refuse, and whatever is no picture.
TEST(EpubBook, CoverPicturesAreToldByTheirBytes) {
  const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + "rest";
  const std::string webp = std::string("RIFF\x1A\0\0\0WEBPVP8L", 16);
  EXPECT_EQ(CoverImageType("\xFF\xD8\xFF\xE0 JFIF")->mediaType, "image/jpeg");
  EXPECT_EQ(CoverImageType(png)->extension, ".png");
  EXPECT_EQ(CoverImageType("GIF89a....")->mediaType, "image/gif");
  EXPECT_EQ(CoverImageType(webp)->mediaType, "image/webp");
  for (const std::string& no : {std::string(), std::string("<html>"), std::string("\x89PNG"),
                                std::string("RIFF1234WAVE"), png + std::string(kMaxCoverBytes, 'x')}) {
    EXPECT_FALSE(CoverImageType(no)) << no.substr(0, 16);
  }

  BookContent book = SampleBook();
  book.author = Kept("\U0001F600作者<甲>");
  book.description = Gbk(u8"　　第一行\r\n\r\n第二行 & 尾\r\n");
  book.cover = "GIF89a" + std::string(20, '\x01');
  std::vector<ZipEntry> entries = ReadZipEntries(EpubBookBytes(book, "2026-12-08T19:30:00Z"));
  const ZipEntry* opf = Find(entries, "OEBPS/content.opf");
  ASSERT_NE(opf, nullptr);
  EXPECT_NE(opf->bytes.find("<dc:creator id=\"author\">\U0001F600作者&lt;甲&gt;</dc:creator>"), std::string::npos)
      << opf->bytes;
  EXPECT_NE(opf->bytes.find("<dc:description>第一行\n第二行 &amp; 尾</dc:description>"), std::string::npos);
  EXPECT_NE(opf->bytes.find(
                "<item id=\"cover-image\" href=\"cover.gif\" media-type=\"image/gif\" properties=\"cover-image\"/>"),
            std::string::npos);
  ASSERT_NE(Find(entries, "OEBPS/cover.gif"), nullptr);
  EXPECT_EQ(Find(entries, "OEBPS/cover.gif")->bytes, book.cover);

  for (const std::string& refused : {webp, std::string("<html>not found</html>")}) {
    book.cover = refused;
    entries = ReadZipEntries(EpubBookBytes(book, "2026-12-08T19:30:00Z"));
    EXPECT_EQ(Find(entries, "OEBPS/content.opf")->bytes.find("cover"), std::string::npos);
    EXPECT_EQ(entries.size(), 7u);  // mimetype, container, package, nav, style and the two chapters
  }
}

}  // namespace
}  // namespace lekto
