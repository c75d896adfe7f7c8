#include "chapter/chapter_pipeline.h"

#include "book/atomic_file.h"
#include "chapter/body_cleanup.h"
#include "chapter/body_location.h"
#include "chapter/page_loop.h"
#include "chapter/site_rule.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <atomic>
#include <system_error>

namespace lekto {

std::string BuildChapterText(int row, const ChapterJob& job, ChapterMode mode) {
  const std::string link = job.book.LinkAt(row);
  const std::string title = job.book.TitleAt(row);

  // First page: fetch, charset, decode, pre-process; the viewer also turns the continue-reading button into
  // a next-page link.
  http::Response response = FetchPage(job.fetch, link);
  const text::PageCharset charset = text::DecidePageCharset(response.body, response.contentType);
  // Each step takes the page and hands it on: a step with nothing to change costs no copy.
  std::string page = PreprocessPage(DecodePage(std::move(response.body), charset, job.controls), job.controls);
  if (mode == ChapterMode::kViewer) page = NormaliseContinueButton(std::move(page));

  const std::string body = IsSpecialSite(link) ? ExtractSpecialSite(row, std::move(page), job)
                                               : CollectChapterBody(row, std::move(page), charset, job);
  // The references the cleanup leaves would reach the reader as markup. A watermark line is deleted where it
  // stands, after the decoding, which also shows an address written as references.
  std::string text = DeleteWatermarkLines(text::DecodeCharacterReferences(CleanBody(body)));
  if (job.controls.FiltersEnabled()) text = ApplyUserFilters(text, job.controls.FilterRules());

  if (mode == ChapterMode::kDownload && text.empty()) return text;
  if (!title.empty() && !text::Contains(text, title)) text = title + "\r\n" + text;
  // Pages that print their headings twice over before the prose (title, volume, title) give each once.
  return DropRepeatedHeadingLines(std::move(text), title);
}

std::filesystem::path ChapterFilePath(const std::filesystem::path& tempFolder, int row) {
  return tempFolder / (std::to_string(static_cast<long long>(row) + 1) + ".txt");
}

bool WriteChapterFile(const std::filesystem::path& tempFolder, int row, std::string_view text, std::error_code* error) {
  // The viewer and a worker may write the same chapter at once, and the merge may read it meanwhile: each
  // writer fills a file of its own and renames it over the chapter file, so a reader sees the old file or
  // the new one, never half of one.
  static std::atomic<unsigned> serial{0};
  const std::filesystem::path target = ChapterFilePath(tempFolder, row);
  std::filesystem::path temporary = target;
  temporary += "." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1)) + ".part";
  std::error_code failure;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    failure.assign(errno, std::generic_category());
  } else {
    const bool written = WriteAllBytes(fd, text) && WriteAllBytes(fd, "\r\n");
    if (!written) failure.assign(errno, std::generic_category());
    if (::close(fd) != 0 && !failure) failure.assign(errno, std::generic_category());
    if (!failure) std::filesystem::rename(temporary, target, failure);
    if (failure) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
    }
  }
  if (error != nullptr) *error = failure;
  return !failure;
}

bool DownloadChapter(int row, const Book& book, Controls& controls, const Fetcher& fetch,
                     const std::filesystem::path& tempFolder) {
  if (!controls.RowChecked(row)) return false;
  const std::string text = BuildChapterText(row, ChapterJob{book, controls, fetch}, ChapterMode::kDownload);
  if (text.empty()) return false;
  // A chapter that could not be stored is not reported as done.
  if (!WriteChapterFile(tempFolder, row, text)) return false;
  static const std::string kDone = text::Gbk(u8"下载完成");
  controls.SetRowState(row, kDone);
  return true;
}

}  // namespace lekto
