#include "download/download_record.h"

#include "book/atomic_file.h"
#include "text/text_codec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

namespace lekto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "lekto-record 1";

bool Printable(unsigned char byte) {
  return byte >= 0x20 && byte != 0x7F && byte != '\\';
}

// Escapes the UTF-8 form of a GBK text, or its raw bytes when the text does not survive the way there and back.
std::string Escape(std::string_view gbk) {
  const std::string utf8 = text::AnsiToUtf8(gbk);
  const bool roundTrips = text::Utf8ToText(utf8) == gbk;
  const std::string_view source = roundTrips ? std::string_view(utf8) : gbk;
  std::string out;
  out.reserve(source.size());
  for (char c : source) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\n':
        out += "\\n";
        continue;
      default:
        break;
    }
    if (Printable(byte) && (roundTrips || byte < 0x80)) {
      out += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes Escape. Plain stretches are UTF-8 and become GBK; \xHH stands for one GBK byte as it is.
std::string Unescape(std::string_view escaped) {
  std::string out;
  std::string plain;
  const auto flush = [&] {
    out += text::Utf8ToText(plain);
    plain.clear();
  };
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (c != '\\' || i + 1 == escaped.size()) {
      plain += c;
      continue;
    }
    const char next = escaped[++i];
    switch (next) {
      case 't':
        plain += '\t';
        break;
      case 'r':
        plain += '\r';
        break;
      case 'n':
        plain += '\n';
        break;
      case 'x':
        if (i + 2 < escaped.size() && HexValue(escaped[i + 1]) >= 0 && HexValue(escaped[i + 2]) >= 0) {
          flush();
          out += static_cast<char>(HexValue(escaped[i + 1]) * 16 + HexValue(escaped[i + 2]));
          i += 2;
        } else {
          plain += next;
        }
        break;
      default:
        plain += next;
        break;
    }
  }
  flush();
  return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

std::string Serialise(const DownloadRecord& record) {
  std::string out(kMagic);
  out += "\n";
  const auto field = [&out](std::string_view key, std::string_view value) {
    out += key;
    out += '\t';
    out += value;
    out += '\n';
  };
  field("address", Escape(record.address));
  field("title", Escape(record.bookTitle));
  field("transcode", record.transcode ? "1" : "0");
  field("preprocess", record.preprocess ? "1" : "0");
  field("filters", record.filtersEnabled ? "1" : "0");
  field("rules", Escape(record.filterRules));
  field("format", Escape(record.format));
  if (record.reversed) field("reversed", "1");
  if (!record.author.empty()) field("author", Escape(record.author));
  if (!record.description.empty()) field("description", Escape(record.description));
  if (!record.coverAddress.empty()) field("cover", Escape(record.coverAddress));
  if (!record.bookHash.empty()) {
    field("book", std::to_string(record.bookBytes) + "\t" + Escape(record.bookHash) +
                      (record.chapterGap > 0 ? "\t" + std::to_string(record.chapterGap) : std::string()));
  }
  for (const RecordedChapter& chapter : record.chapters) {
    out += "chapter\t";
    out += chapter.written ? "1\t" : "0\t";
    out += Escape(chapter.title);
    out += '\t';
    out += Escape(chapter.link);
    out += '\t';
    out += std::to_string(chapter.bytes);
    if (!chapter.missing.empty()) {
      out += '\t';
      out += Escape(chapter.missing);
    }
    out += '\n';
  }
  return out;
}

// A count written by Serialise; 0 for anything else.
std::uint64_t ParseCount(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string WrittenLine(int row) {
  return "written\t" + std::to_string(static_cast<long long>(row) + 1) + "\n";
}

}  // namespace

bool WriteDownloadRecord(const fs::path& file, const DownloadRecord& record) {
  AtomicFile out(file);
  out.Write(Serialise(record));
  return out.Commit();
}

bool AppendWrittenMark(const fs::path& file, int row) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  // One write of one short line: concurrent appends from several workers never interleave inside a line.
  const bool written = WriteAllBytes(fd, WrittenLine(row));
  return ::close(fd) == 0 && written;
}

WrittenMarks::WrittenMarks(const fs::path& file) : fd_(::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)) {}

WrittenMarks::~WrittenMarks() {
  if (fd_ >= 0) ::close(fd_);
}

bool WrittenMarks::Append(int row) const {
  return fd_ >= 0 && WriteAllBytes(fd_, WrittenLine(row));
}

std::optional<DownloadRecord> ReadDownloadRecord(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();  // a record edited on Windows
  if (line != kMagic) return std::nullopt;
  DownloadRecord record;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string_view> fields = SplitTabs(line);
    const std::string_view key = fields[0];
    if (key == "chapter" && fields.size() >= 4) {
      record.chapters.push_back({Unescape(fields[2]), Unescape(fields[3]), fields[1] == "1",
                                 fields.size() >= 5 ? ParseCount(fields[4]) : 0,
                                 fields.size() >= 6 ? Unescape(fields[5]) : std::string()});
      continue;
    }
    if (fields.size() < 2) continue;
    const std::string_view value = fields[1];
    if (key == "written") {
      // A line cut short by a crash is no number of a listed row and marks nothing.
      std::size_t number = 0;
      for (char c : value) number = c >= '0' && c <= '9' && number < 1000000000 ? number * 10 + (c - '0') : 0;
      if (number >= 1 && number <= record.chapters.size()) record.chapters[number - 1].written = true;
      continue;
    }
    if (key == "address") {
      record.address = Unescape(value);
    } else if (key == "title") {
      record.bookTitle = Unescape(value);
    } else if (key == "transcode") {
      record.transcode = value == "1";
    } else if (key == "preprocess") {
      record.preprocess = value == "1";
    } else if (key == "filters") {
      record.filtersEnabled = value == "1";
    } else if (key == "rules") {
      record.filterRules = Unescape(value);
    } else if (key == "format") {
      record.format = Unescape(value);
    } else if (key == "reversed") {
      record.reversed = value == "1";
    } else if (key == "author") {
      record.author = Unescape(value);
    } else if (key == "description") {
      record.description = Unescape(value);
    } else if (key == "cover") {
      record.coverAddress = Unescape(value);
    } else if (key == "book" && fields.size() >= 3) {
      record.bookBytes = ParseCount(value);
      record.bookHash = Unescape(fields[2]);
      record.chapterGap = fields.size() >= 4 ? ParseCount(fields[3]) : 0;
    }
  }
  return record;
}

fs::path TempRecordPath(const WorkFolders& folders) {
  return folders.temp / "download.lekto";
}

fs::path BookRecordPath(const fs::path& bookFile) {
  fs::path record = bookFile;
  record += ".lekto";
  return record;
}

void ApplyLayout(DownloadRecord& record, const BookLayout& layout) {
  record.bookBytes = layout.bytes;
  record.bookHash = layout.hash;
  record.chapterGap = layout.chapterGap;
  std::size_t next = 0;  // the layout lists the chapters the book holds alone
  for (RecordedChapter& chapter : record.chapters) {
    chapter.bytes = chapter.InBook() && next < layout.chapterBytes.size() ? layout.chapterBytes[next++] : 0;
  }
}

BookLayout LayoutOf(const DownloadRecord& record) {
  BookLayout layout{record.bookBytes, record.bookHash, {}, record.chapterGap};
  for (const RecordedChapter& chapter : record.chapters) {
    if (chapter.InBook()) layout.chapterBytes.push_back(chapter.bytes);
  }
  return layout;
}

}  // namespace lekto
