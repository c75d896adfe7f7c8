#include "book/epub_book.h"

#include "book/cover_image.h"
#include "book/text_book.h"

#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace lekto {
namespace {

constexpr std::string_view kMimetype = "application/epub+zip";

constexpr std::string_view kContainer =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
    "  <rootfiles>\n"
    "    <rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/>\n"
    "  </rootfiles>\n"
    "</container>\n";

constexpr std::string_view kStyle =
    "h2 { text-align: center; margin: 1em 0; }\n"
    "p { text-indent: 2em; margin: 0.4em 0; line-height: 1.6; }\n";

// Text and attribute values for XML: the five special characters escaped, and the code points XML 1.0 does not
// allow (C0 controls other than tab and line ends, U+FFFE, U+FFFF) dropped.
std::string Escape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 8);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') break;
        if (c == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
          i += 2;  // U+FFFE or U+FFFF
          break;
        }
        out += static_cast<char>(c);
    }
  }
  return out;
}

// Leading and trailing blanks, tabs and ideographic spaces (the paragraph indent of Chinese text) removed.
std::string_view TrimBlanks(std::string_view line) {
  static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  for (bool changed = true; changed;) {
    changed = false;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r')) {
      line.remove_prefix(1);
      changed = true;
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
      line.remove_suffix(1);
      changed = true;
    }
    if (line.starts_with(kIdeographicSpace)) {
      line.remove_prefix(kIdeographicSpace.size());
      changed = true;
    }
    if (line.ends_with(kIdeographicSpace)) {
      line.remove_suffix(kIdeographicSpace.size());
      changed = true;
    }
  }
  return line;
}

std::vector<std::string_view> NonEmptyLines(std::string_view utf8) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < utf8.size();) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    const std::string_view line = TrimBlanks(utf8.substr(start, end - start));
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A stable identifier for the book: a UUID (version 8, "custom") made of two 64-bit FNV-1a hashes of `key`.
std::string BookIdentifier(std::string_view key) {
  auto fnv = [&](std::uint64_t hash) {
    for (char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
  };
  const std::uint64_t high = (fnv(0xCBF29CE484222325ull) & ~0xF000ull) | 0x8000ull;
  const std::uint64_t low = (fnv(0x84222325CBF29CE4ull) & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;
  char text[64];
  std::snprintf(text, sizeof text, "urn:uuid:%08llx-%04llx-%04llx-%04llx-%012llx",
                static_cast<unsigned long long>(high >> 32), static_cast<unsigned long long>(high >> 16 & 0xFFFF),
                static_cast<unsigned long long>(high & 0xFFFF), static_cast<unsigned long long>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

struct EpubChapter {
  std::string file;     // "chapter-0001.xhtml"
  std::string heading;  // UTF-8, escaped
  std::string body;     // the paragraphs, escaped and tagged
};

EpubChapter MakeChapter(const BookChapter& chapter, std::size_t number) {
  char file[48];
  std::snprintf(file, sizeof file, "chapter-%04zu.xhtml", number);
  const std::string text = ToUtf8Lines(chapter.text);
  std::vector<std::string_view> lines = NonEmptyLines(text);
  const std::string title = ToUtf8Lines(chapter.title);
  std::string_view heading = TrimBlanks(title);
  if (heading.empty() && !lines.empty()) heading = lines.front();
  // The chapter file starts with the title line when the page lacked it; the heading says it already.
  if (!lines.empty() && lines.front() == heading) lines.erase(lines.begin());
  EpubChapter result{file, Escape(heading), {}};
  if (result.heading.empty()) result.heading = std::to_string(number);
  for (std::string_view line : lines) result.body += "    <p>" + Escape(line) + "</p>\n";
  return result;
}

std::string XhtmlStart(std::string_view language, std::string_view title) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
      "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" lang=\"";
  out += language;
  out += "\" xml:lang=\"";
  out += language;
  out += "\">\n<head>\n  <meta charset=\"UTF-8\"/>\n  <title>";
  out += title;
  out += "</title>\n  <link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n</head>\n";
  return out;
}

std::string ChapterDocument(const EpubChapter& chapter, std::string_view language) {
  return XhtmlStart(language, chapter.heading) + "<body>\n  <section epub:type=\"chapter\">\n    <h2>" +
         chapter.heading + "</h2>\n" + chapter.body + "  </section>\n</body>\n</html>\n";
}

std::string NavDocument(const std::vector<EpubChapter>& chapters, std::string_view language, std::string_view title) {
  std::string out = XhtmlStart(language, title);
  out += "<body>\n  <nav epub:type=\"toc\" id=\"toc\">\n    <h1>";
  out += title;
  out += "</h1>\n    <ol>\n";
  for (const EpubChapter& chapter : chapters) {
    out += "      <li><a href=\"" + chapter.file + "\">" + chapter.heading + "</a></li>\n";
  }
  out += "    </ol>\n  </nav>\n</body>\n</html>\n";
  return out;
}

// What the package says of the book beyond its title and chapters, escaped where it is text.
struct PackageMetadata {
  std::string author;
  std::string description;
  std::optional<ImageType> cover;  // the cover picture's kind; none when the book has no cover
};

// The description's lines as one text: line breaks kept, each line's indent gone.
std::string DescriptionText(const std::string& description) {
  const std::string utf8 = ToUtf8Lines(description);
  std::string out;
  for (std::string_view line : NonEmptyLines(utf8)) {
    if (!out.empty()) out += '\n';
    out += Escape(line);
  }
  return out;
}

std::string CoverName(const ImageType& cover) {
  return "cover" + std::string(cover.extension);
}

std::string PackageDocument(const std::vector<EpubChapter>& chapters, std::string_view language, std::string_view title,
                            std::string_view identifier, std::string_view source, std::string_view modified,
                            const PackageMetadata& metadata) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"book-id\" xml:lang=\"";
  out += language;
  out += "\">\n  <metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n";
  out += "    <dc:identifier id=\"book-id\">" + Escape(identifier) + "</dc:identifier>\n";
  out += "    <dc:title>" + std::string(title) + "</dc:title>\n";
  out += "    <dc:language>" + std::string(language) + "</dc:language>\n";
  if (!metadata.author.empty()) out += "    <dc:creator id=\"author\">" + metadata.author + "</dc:creator>\n";
  if (!metadata.description.empty()) out += "    <dc:description>" + metadata.description + "</dc:description>\n";
  if (!source.empty()) out += "    <dc:source>" + Escape(source) + "</dc:source>\n";
  out += "    <meta property=\"dcterms:modified\">" + std::string(modified) + "</meta>\n";
  // Readers made for EPUB 2 find the cover by this meta alone; EPUB 3 readers by the manifest item's property.
  if (metadata.cover) out += "    <meta name=\"cover\" content=\"cover-image\"/>\n";
  out += "  </metadata>\n  <manifest>\n";
  out += "    <item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n";
  out += "    <item id=\"style\" href=\"style.css\" media-type=\"text/css\"/>\n";
  if (metadata.cover) {
    out += "    <item id=\"cover-image\" href=\"" + CoverName(*metadata.cover) + "\" media-type=\"" +
           std::string(metadata.cover->mediaType) + "\" properties=\"cover-image\"/>\n";
  }
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    out += "    <item id=\"c" + std::to_string(i + 1) + "\" href=\"" + chapters[i].file +
           "\" media-type=\"application/xhtml+xml\"/>\n";
  }
  out += "  </manifest>\n  <spine>\n";
  for (std::size_t i = 0; i < chapters.size(); ++i) out += "    <itemref idref=\"c" + std::to_string(i + 1) + "\"/>\n";
  out += "  </spine>\n</package>\n";
  return out;
}

struct SourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
struct ArchiveDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

// Builds the archive in memory. The entries' bytes must stay alive until the archive is closed, hence `kept`.
class ArchiveBuilder {
 public:
  ArchiveBuilder() {
    zip_error_init(&error_);
    source_.reset(zip_source_buffer_create(nullptr, 0, 0, &error_));
    if (!source_) return;
    archive_.reset(zip_open_from_source(source_.get(), ZIP_TRUNCATE, &error_));
    if (archive_) zip_source_keep(source_.get());  // the archive took one reference; this object keeps its own
  }
  ~ArchiveBuilder() { zip_error_fini(&error_); }
  ArchiveBuilder(const ArchiveBuilder&) = delete;
  ArchiveBuilder& operator=(const ArchiveBuilder&) = delete;

  void Add(const std::string& name, std::string bytes, bool compress) {
    if (!archive_) return;
    const std::string& data = kept_.emplace_back(std::move(bytes));
    zip_source_t* entry = zip_source_buffer(archive_.get(), data.data(), data.size(), 0);
    if (entry == nullptr) return Fail();
    const zip_int64_t index = zip_file_add(archive_.get(), name.c_str(), entry, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(entry);
      return Fail();
    }
    if (zip_set_file_compression(archive_.get(), static_cast<zip_uint64_t>(index),
                                 compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0) {
      Fail();
    }
  }

  // The archive's bytes, empty when anything failed.
  std::string Finish() {
    if (!archive_) return {};
    if (zip_close(archive_.get()) != 0) return {};
    archive_.release();  // zip_close freed it
    zip_source_t* source = source_.get();
    zip_stat_t stat;
    if (zip_source_stat(source, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return {};
    if (zip_source_open(source) != 0) return {};
    std::string bytes(stat.size, '\0');
    const zip_int64_t read = zip_source_read(source, bytes.data(), bytes.size());
    zip_source_close(source);
    if (read != static_cast<zip_int64_t>(bytes.size())) return {};
    return bytes;
  }

 private:
  void Fail() { archive_.reset(); }

  zip_error_t error_;
  std::unique_ptr<zip_source_t, SourceFree> source_;
  std::unique_ptr<zip_t, ArchiveDiscard> archive_;
  std::deque<std::string> kept_;
};

}  // namespace

std::string_view TextLanguage(std::string_view utf8) {
  long han = 0;
  long letters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      ++letters;
    } else if (c >= 0xE3 && c <= 0xE9 && i + 2 < utf8.size()) {
      // Three-byte characters from U+3400 to U+9FFF: the unified ideographs and their extension A.
      const char32_t cp = (c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
      if (cp >= 0x3400 && cp <= 0x9FFF) ++han;
      i += 2;
    }
  }
  // One ideograph says about as much as a word of five letters.
  return han > 0 && han * 5 >= letters ? "zh" : letters > 0 ? "en" : "zh";
}

std::string EpubTimestampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string EpubBookBytes(const BookContent& book, std::string_view modified) {
  std::string title = Escape(TrimBlanks(ToUtf8Lines(book.title)));
  if (title.empty()) title = "\xE6\x9C\xAA\xE5\x91\xBD\xE5\x90\x8D";  // 未命名: a package needs a title

  std::vector<EpubChapter> chapters;
  std::string sample;  // the text the language is judged by
  for (std::size_t i = 0; i < book.chapters.size(); ++i) {
    chapters.push_back(MakeChapter(book.chapters[i], i + 1));
    if (sample.size() < 256 * 1024) sample += chapters.back().body;
  }
  if (chapters.empty()) {
    // A book without chapters still needs one document to read: the title alone.
    chapters.push_back(MakeChapter({book.title, {}}, 1));
  }
  const std::string_view language = TextLanguage(sample.empty() ? title : sample);
  const std::string identifier =
      BookIdentifier(ToUtf8Lines(book.sourceAddress.empty() ? book.title : book.sourceAddress));

  PackageMetadata metadata{Escape(TrimBlanks(ToUtf8Lines(book.author))), DescriptionText(book.description),
                           CoverImageType(book.cover)};
  // WebP became a core image type only with EPUB 3.3: readers (and checkers) of EPUB 3.2 refuse it as the cover,
  // so such a book goes without one.
  if (metadata.cover && metadata.cover->mediaType == "image/webp") metadata.cover.reset();

  ArchiveBuilder archive;
  archive.Add("mimetype", std::string(kMimetype), false);
  archive.Add("META-INF/container.xml", std::string(kContainer), true);
  archive.Add(
      "OEBPS/content.opf",
      PackageDocument(chapters, language, title, identifier, ToUtf8Lines(book.sourceAddress), modified, metadata),
      true);
  archive.Add("OEBPS/nav.xhtml", NavDocument(chapters, language, title), true);
  archive.Add("OEBPS/style.css", std::string(kStyle), true);
  // Pictures are compressed already; deflating them again only costs time.
  if (metadata.cover) archive.Add("OEBPS/" + CoverName(*metadata.cover), book.cover, false);
  for (const EpubChapter& chapter : chapters) {
    archive.Add("OEBPS/" + chapter.file, ChapterDocument(chapter, language), true);
  }
  return archive.Finish();
}

}  // namespace lekto
