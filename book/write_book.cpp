#include "book/write_book.h"

#include "book/atomic_file.h"
#include "book/epub_book.h"
#include "book/text_book.h"
#include "text/four_byte_forms.h"
#include "text/text_codec.h"

namespace lekto {

namespace {
constexpr std::size_t kMaxFileNameBytes = 255;  // NAME_MAX of the usual Linux file systems
}  // namespace

std::string BookFileName(std::string_view bookTitle, BookFormat format) {
  std::string name =
      text::AnsiToUtf8(format == BookFormat::kGbk ? text::DropKeptCharacters(bookTitle) : std::string(bookTitle));
  for (char& c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  for (char& c : name) {
    if (c != '.') break;
    c = '_';
  }
  const std::string_view suffix = BookFileSuffix(format);
  const std::size_t maxTitleBytes = kMaxFileNameBytes - suffix.size();
  if (name.size() > maxTitleBytes) {
    std::size_t cut = maxTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    name.resize(cut);
  }
  return name + std::string(suffix);
}

std::string BookBytes(BookFormat format, const BookContent& book, std::vector<std::uint64_t>* chapterBytes,
                      std::size_t* lostCharacters) {
  switch (format) {
    case BookFormat::kUtf8:
      return Utf8BookText(book, chapterBytes);
    case BookFormat::kEpub:
      return EpubBookBytes(book, EpubTimestampNow());
    case BookFormat::kGbk:
      break;
  }
  return GbkBookText(book, chapterBytes, lostCharacters);
}

WrittenBook WriteBook(const std::filesystem::path& folder, BookFormat format, const BookContent& book) {
  return WriteBookFile(folder / BookFileName(book.title, format), format, book);
}

WrittenBook WriteBookFile(const std::filesystem::path& target, BookFormat format, const BookContent& book) {
  AtomicFile file(target);
  WrittenBook result{file.Target(), false, {}};
  const std::string bytes = BookBytes(format, book, &result.layout.chapterBytes, &result.lostCharacters);
  if (bytes.empty()) return result;  // an archive that could not be built; text books always have a title line
  result.layout.bytes = bytes.size();
  result.layout.chapterGap = ChapterGapBytes(format);
  result.layout.hash = BookHash(bytes);
  file.Write(bytes);
  result.written = file.Commit();
  return result;
}

}  // namespace lekto
