#include "book/book_layout.h"

#include "book/atomic_file.h"
#include "book/cover_image.h"
#include "text/gbk_text.h"
#include "text/line_ends.h"
#include "text/text_codec.h"

#include <zip.h>

#include <cstdio>
#include <memory>

namespace lekto {

namespace fs = std::filesystem;

namespace {

// The inverse of the EPUB writer's escaping.
std::string Unescape(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, c] : kEntities) {
        if (text.substr(i).starts_with(entity)) {
          out += c;
          i += entity.size() - 1;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i];
  }
  return out;
}

// The text between the first `open` at or after `from` and the next `close`; `from` moves past `close`.
std::optional<std::string_view> Between(std::string_view text, std::string_view open, std::string_view close,
                                        std::size_t& from) {
  const std::size_t start = text.find(open, from);
  if (start == std::string_view::npos) return std::nullopt;
  const std::size_t end = text.find(close, start + open.size());
  if (end == std::string_view::npos) return std::nullopt;
  from = end + close.size();
  return text.substr(start + open.size(), end - start - open.size());
}

// A chapter document as the EPUB writer makes it: the heading, then one paragraph per line. The text given back
// starts with the heading line, which the writer leaves out again as the line the chapter title already says.
std::optional<std::string> ChapterFromDocument(std::string_view document) {
  std::size_t at = 0;
  const std::optional<std::string_view> heading = Between(document, "<h2>", "</h2>", at);
  if (!heading) return std::nullopt;
  std::string utf8 = Unescape(*heading) + "\r\n";
  while (const std::optional<std::string_view> paragraph = Between(document, "<p>", "</p>", at)) {
    utf8 += Unescape(*paragraph) + "\r\n";
  }
  return text::Utf8ToText(utf8);
}

struct ArchiveClose {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

using Archive = std::unique_ptr<zip_t, ArchiveClose>;

// The archive over `bytes`, which must outlive it; empty when they are no archive.
Archive OpenArchive(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  Archive archive(source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr);
  zip_error_fini(&error);
  if (!archive && source) zip_source_free(source);
  return archive;
}

// The bytes of the entry `name`; std::nullopt when the archive lacks it or it cannot be read whole.
std::optional<std::string> ReadEntry(zip_t* archive, const char* name) {
  zip_stat_t stat;
  if (zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return std::nullopt;
  zip_file_t* file = zip_fopen(archive, name, 0);
  if (file == nullptr) return std::nullopt;
  std::string bytes(stat.size, '\0');
  const zip_int64_t read = zip_fread(file, bytes.data(), bytes.size());
  zip_fclose(file);
  if (read != static_cast<zip_int64_t>(bytes.size())) return std::nullopt;
  return bytes;
}

std::optional<std::vector<std::string>> EpubChapters(const std::string& bytes, std::size_t chapters) {
  const Archive archive = OpenArchive(bytes);
  if (!archive) return std::nullopt;
  std::vector<std::string> texts;
  for (std::size_t number = 1; number <= chapters; ++number) {
    char name[64];
    std::snprintf(name, sizeof name, "OEBPS/chapter-%04zu.xhtml", number);
    const std::optional<std::string> document = ReadEntry(archive.get(), name);
    if (!document) return std::nullopt;
    std::optional<std::string> text = ChapterFromDocument(*document);
    if (!text) return std::nullopt;
    texts.push_back(std::move(*text));
  }
  return texts;
}

// A UTF-8 text book's chapter back in the working text, with CR LF line ends (a book written before text books
// had them has LF alone).
std::string FromUtf8Lines(std::string_view utf8) {
  return text::WithCrLf(text::Utf8ToText(utf8));
}

}  // namespace

std::string BookHash(std::string_view bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string ReadEpubCover(const fs::path& file) {
  const std::optional<std::string> bytes = ReadWholeFile(file);
  const Archive archive = bytes ? OpenArchive(*bytes) : Archive();
  if (!archive) return {};
  for (const char* name : {"OEBPS/cover.jpg", "OEBPS/cover.png", "OEBPS/cover.gif"}) {
    std::optional<std::string> cover = ReadEntry(archive.get(), name);
    if (cover && CoverImageType(*cover)) return std::move(*cover);
  }
  return {};
}

std::optional<std::vector<std::string>> ReadBookChapters(const fs::path& file, BookFormat format,
                                                         const BookLayout& layout) {
  const std::optional<std::string> bytes = ReadWholeFile(file);
  if (!bytes || bytes->size() != layout.bytes || BookHash(*bytes) != layout.hash) return std::nullopt;
  if (format == BookFormat::kEpub) return EpubChapters(*bytes, layout.chapterBytes.size());

  // Summed with a bound at every step: a record edited by hand cannot wrap the sum round to a small number.
  std::uint64_t body = 0;
  for (const std::uint64_t size : layout.chapterBytes) {
    if (size > bytes->size() || layout.chapterGap > bytes->size()) return std::nullopt;
    body += size + layout.chapterGap;
    if (body > bytes->size()) return std::nullopt;
  }
  // The head (title and author lines) comes first; the chapters follow it up to the end of the file, each after
  // its gap.
  std::size_t at = bytes->size() - body;
  std::vector<std::string> texts;
  for (const std::uint64_t size : layout.chapterBytes) {
    at += layout.chapterGap;
    const std::string_view chapter = std::string_view(*bytes).substr(at, size);
    texts.push_back(format == BookFormat::kUtf8 ? FromUtf8Lines(chapter) : std::string(chapter));
    at += size;
  }
  return texts;
}

}  // namespace lekto
