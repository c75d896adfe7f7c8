#include "download/book_assembler.h"

#include "book/atomic_file.h"

#include <fnmatch.h>

#include <algorithm>
#include <string>
#include <system_error>

namespace lekto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kChapterSuffix = ".txt";

fs::path ChapterFile(const WorkFolders& folders, int number) {
  return folders.temp / (std::to_string(number) + std::string(kChapterSuffix));
}

// The chapter number a file name stands for ("12.txt" -> 12), 0 when it is not a chapter file: digits without a
// leading zero, then ".txt".
int ChapterNumberOf(std::string_view name) {
  if (name.size() <= kChapterSuffix.size() || !name.ends_with(kChapterSuffix)) return 0;
  std::string_view digits = name.substr(0, name.size() - kChapterSuffix.size());
  if (digits.front() == '0' || digits.size() > 9) return 0;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// Reads the chapter files of the given numbers that exist, in the order given, and writes the book.
MergeResult Merge(const WorkFolders& folders, std::string_view bookTitle, const std::vector<int>& numbers,
                  const BookOptions& options) {
  BookContent book{std::string(bookTitle), options.sourceAddress, {},
                   options.author,         options.description,   options.cover};
  int appended = 0;
  for (int number : numbers) {
    const fs::path file = ChapterFile(folders, number);
    const auto row = static_cast<std::size_t>(number - 1);
    std::string title = row < options.chapterTitles.size() ? options.chapterTitles[row] : std::string();
    const std::string marker = row < options.missingMarkers.size() ? options.missingMarkers[row] : std::string();
    std::error_code error;
    if (fs::is_regular_file(file, error)) {
      book.chapters.push_back({std::move(title), ReadWholeFile(file).value_or("") + marker});
      ++appended;
    } else if (!marker.empty()) {
      book.chapters.push_back({std::move(title), marker});
    }
  }
  const WrittenBook written = WriteBook(folders.work, options.format, book);
  return {written.file, written.written, appended, written.layout, written.lostCharacters};
}

}  // namespace

fs::path BookFilePath(const WorkFolders& folders, std::string_view bookTitle, BookFormat format) {
  return folders.work / BookFileName(bookTitle, format);
}

MergeResult MergeAfterDownload(const WorkFolders& folders, std::string_view bookTitle, int rowCount,
                               const BookOptions& options) {
  std::vector<int> numbers;
  for (int number = 1; number <= rowCount; ++number) numbers.push_back(number);
  return Merge(folders, bookTitle, numbers, options);
}

MergeResult MergeByHand(const WorkFolders& folders, std::string_view bookTitle, const BookOptions& options) {
  std::vector<std::string> names;
  ListFolderFiles(folders.temp, "*.txt", names);
  // The chapter numbers present, in increasing order: the merge visits only files that exist, however large the
  // gaps between their numbers.
  std::vector<int> numbers;
  for (const std::string& name : names) {
    if (int number = ChapterNumberOf(name); number > 0) numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  return Merge(folders, bookTitle, numbers, options);
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
