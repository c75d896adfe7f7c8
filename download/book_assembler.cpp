#include "download/book_assembler.h"

#include "text/text_codec.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace lekto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kBookSuffix = ".txt";
constexpr std::size_t kMaxFileNameBytes = 255;  // NAME_MAX of the usual Linux file systems

// Owns a file descriptor: closes it on destruction unless it was closed explicitly.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A file that cannot be read gives an empty buffer.
std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path ChapterFile(const WorkFolders& folders, int number) {
  return folders.temp / (std::to_string(number) + std::string(kBookSuffix));
}

// The chapter number a file name stands for ("12.txt" -> 12), 0 when it is not a chapter file: digits without a
// leading zero, then ".txt".
int ChapterNumberOf(std::string_view name) {
  if (name.size() <= kBookSuffix.size() || !name.ends_with(kBookSuffix)) return 0;
  std::string_view digits = name.substr(0, name.size() - kBookSuffix.size());
  if (digits.front() == '0' || digits.size() > 9) return 0;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// Writes a book into a fresh file beside its final place and renames it over the old book only when every byte
// went out, so readers see either the old book or the whole new one.
class BookWriter {
 public:
  BookWriter(const WorkFolders& folders, std::string_view bookTitle)
      : target_(BookFilePath(folders, bookTitle)), file_(OpenTemporary()) {
    Write(bookTitle);
    Write(kLineBreak);
  }
  ~BookWriter() {
    if (!committed_ && file_.get() >= 0) {
      file_.Close();
      std::error_code error;
      fs::remove(temporary_, error);
    }
  }
  BookWriter(const BookWriter&) = delete;
  BookWriter& operator=(const BookWriter&) = delete;

  const fs::path& Target() const { return target_; }

  bool AppendChapterFile(const fs::path& chapterFile) {
    std::error_code error;
    if (!fs::is_regular_file(chapterFile, error)) return false;
    Write(ReadWholeFile(chapterFile));
    return true;
  }

  bool Commit() {
    if (file_.get() < 0 || !ok_) return false;
    if (::fsync(file_.get()) != 0 || !file_.Close()) return false;
    std::error_code error;
    fs::rename(temporary_, target_, error);
    if (error) {
      fs::remove(temporary_, error);
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  // A name unique to this process and merge, so two merges of the same title never share a temporary file.
  int OpenTemporary() {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      temporary_ =
          target_.parent_path() / (".lekto-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part");
      int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
  }

  void Write(std::string_view bytes) {
    if (ok_ && file_.get() >= 0) ok_ = WriteAll(file_.get(), bytes);
  }

  fs::path target_;
  fs::path temporary_;
  FileDescriptor file_;
  bool ok_ = true;
  bool committed_ = false;
};

}  // namespace

std::string BookFileName(std::string_view bookTitle) {
  std::string name = text::AnsiToUtf8(bookTitle);
  for (char& c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) c = '_';
  }
  for (char& c : name) {
    if (c != '.') break;
    c = '_';
  }
  constexpr std::size_t kMaxTitleBytes = kMaxFileNameBytes - kBookSuffix.size();
  if (name.size() > kMaxTitleBytes) {
    std::size_t cut = kMaxTitleBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    name.resize(cut);
  }
  return name + std::string(kBookSuffix);
}

fs::path BookFilePath(const WorkFolders& folders, std::string_view bookTitle) {
  return folders.work / BookFileName(bookTitle);
}

MergeResult MergeAfterDownload(const WorkFolders& folders, std::string_view bookTitle, int rowCount) {
  BookWriter book(folders, bookTitle);
  MergeResult result{book.Target()};
  for (int number = 1; number <= rowCount; ++number) {
    if (book.AppendChapterFile(ChapterFile(folders, number))) ++result.chapters;
  }
  result.written = book.Commit();
  return result;
}

MergeResult MergeByHand(const WorkFolders& folders, std::string_view bookTitle) {
  std::vector<std::string> names;
  ListFolderFiles(folders.temp, "*.txt", names);
  // The chapter numbers present, in increasing order: the merge visits only files that exist, however large the
  // gaps between their numbers.
  std::vector<int> numbers;
  for (const std::string& name : names) {
    if (int number = ChapterNumberOf(name); number > 0) numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());

  BookWriter book(folders, bookTitle);
  MergeResult result{book.Target()};
  for (int number : numbers) {
    if (book.AppendChapterFile(ChapterFile(folders, number))) ++result.chapters;
  }
  result.written = book.Commit();
  return result;
}

int ListFolderFiles(const fs::path& folder, std::string_view mask, std::vector<std::string>& names, bool withPath) {
  const std::string pattern(mask);
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    std::string name = it->path().filename().string();
    if (::fnmatch(pattern.c_str(), name.c_str(), 0) != 0) continue;
    names.push_back(withPath ? it->path().string() : name);
  }
  return static_cast<int>(names.size());
}

}  // namespace lekto
