// The three book formats from one BookContent: GBK and UTF-8 text byte for byte, the EPUB read back entry by
// entry.
#include "book/epub_book.h"
#include "book/text_book.h"
#include "book/write_book.h"
#include "epub_reader.h"
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
            "\U0001F600书<&>\r\n第1章 \U00020BB7野\r\n　　甲&乙<丙>丁\r\n\r\n　　二\r\n第2章 "
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

}  // namespace
}  // namespace lekto
