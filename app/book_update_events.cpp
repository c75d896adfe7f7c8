// The update of the window's last book: its table of contents read again, the chapters it lacks downloaded and the
// book written on the job's thread (download/book_update.h), then the reader told on the window's thread. The
// window's own list and download stay untouched: the update has its own rows. A book in the window's work folder
// is updated through the window's one chapter folder, which afterwards holds the updated book's chapters and
// record, so that "合并" gives the book as updated and a later "下载" of the same list keeps them.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "app/timed_message.h"
#include "app/window_browser.h"
#include "chapter/chapter_pipeline.h"
#include "download/book_update.h"
#include "download/download_manager.h"
#include "download/download_record.h"
#include "download/folder_lock.h"
#include "download/work_folders.h"

#include <QLabel>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

namespace lekto {

// What the job's thread hands the window.
struct WindowUpdate {
  std::optional<UpdatePlan> plan;  // std::nullopt: the table of contents gave no rows
  bool started = false;            // the download of the new rows started (the chapter folder was free)
  DownloadReport report;
  UpdateResult result;  // the book written, when any new chapter arrived
};

namespace {

// Reads the list again and downloads the rows the book lacks, waiting for the download's end. `stop`, set when
// the reader cancels, stops the download at once (its rows would otherwise wait out their retries).
// Puts the chapters of the book as it now stands into the chapter folder, numbered in book order, with the
// book's record as the folder's record. The update's download emptied the folder of the chapters it held.
void RefillChapterFolder(const WorkFolders& folders, const std::filesystem::path& bookFile) {
  OpenProblem problem = OpenProblem::kNone;
  const std::optional<RecordedBook> book = OpenRecordedBook(bookFile, problem);
  std::optional<FolderLock> lock;
  if (!book || FolderLock::Take(folders.temp, lock) != FolderLock::Result::kLocked) return;
  std::error_code error;
  std::vector<std::filesystem::path> old;
  for (std::filesystem::directory_iterator it(folders.temp, error), end; !error && it != end; it.increment(error)) {
    old.push_back(it->path());
  }
  for (const std::filesystem::path& path : old) std::filesystem::remove_all(path, error);
  DownloadRecord record = book->record;
  for (std::size_t row = 0; row < record.chapters.size(); ++row) {
    RecordedChapter& chapter = record.chapters[row];
    if (!chapter.written) continue;
    if (row >= book->texts.size()) {
      chapter.written = false;
      continue;
    }
    // A chapter's text in the book is its chapter file, final line end included; the file writer adds that.
    std::string_view text = book->texts[row];
    if (text.ends_with("\r\n")) text.remove_suffix(2);
    chapter.written = WriteChapterFile(folders.temp, static_cast<int>(row), text);
  }
  WriteDownloadRecord(TempRecordPath(folders), record);
}

// Reads the list again, downloads the rows the book lacks into `folders`' chapter folder, waiting for the
// download's end, and writes the book.
WindowUpdate DownloadNewChapters(const RecordedBook& book, const Fetcher& fetch, const BrowserChoice& browser,
                                 const WorkFolders& folders, bool windowFolder, const std::atomic<bool>& stop) {
  WindowUpdate update;
  update.plan = PlanUpdate(book, fetch, &browser);
  if (!update.plan || update.plan->rows.empty() || stop) return update;
  UpdateControls controls(book.record, update.plan->rows);
  DownloadManager manager(controls, fetch, folders);
  manager.SetBrowser(browser);
  manager.SetCompletionHandler([&update](const DownloadReport& report) { update.report = report; });
  update.started =
      manager.StartDownload(update.plan->toc, UpdateDownloadOptions(book)) == DownloadManager::StartResult::kStarted;
  while (manager.Busy()) {
    if (stop) manager.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  manager.Wait();
  if (!update.started) return update;
  if (!stop && !update.report.writeError && update.report.written > 0) {
    update.result = ApplyUpdate(book, *update.plan, update.report, folders.temp);
  }
  if (windowFolder) RefillChapterFolder(folders, book.bookFile);
  return update;
}

}  // namespace

void MainWindow::UpdateLastBook() {
  if (Busy() || DownloadRunning() || lastBookFile_.empty()) return;
  OpenProblem problem = OpenProblem::kNone;
  std::optional<RecordedBook> opened = OpenRecordedBook(lastBookFile_, problem);
  if (!opened) {
    const QString file = FromPath(lastBookFile_);
    ShowLastingMessage(this, tr("标题"),
                       problem == OpenProblem::kNoBook ? tr("书籍文件已不存在：") + file
                       : problem == OpenProblem::kBookChanged ? tr("书籍下载后已被改动，无法更新，请重新下载：") + file
                                                              : tr("找不到书籍的下载记录，无法更新：") + file);
    return;
  }
  auto book = std::make_shared<const RecordedBook>(std::move(*opened));
  const QString title = Quoted(book->record.bookTitle);
  const QString labelBefore = label1_->text();
  label1_->setText(title + tr("更新中，目录页获取中。。。"));
  auto stop = std::make_shared<std::atomic<bool>>(false);
  // One chapter folder for the window: a book in its work folder is updated through the window's own.
  std::error_code error;
  const bool windowFolder = std::filesystem::equivalent(book->bookFile.parent_path(), WorkFolder(baseFolder_), error);
  const WorkFolders folders = windowFolder ? FoldersUnder(baseFolder_) : UpdateFolders(*book);
  StartJob(
      [this, book, stop, folders, windowFolder, browser = browser_->Choice()](
          const Fetcher& fetch, const FetchLog& /*log*/) -> std::function<void()> {
        auto update =
            std::make_shared<WindowUpdate>(DownloadNewChapters(*book, fetch, browser, folders, windowFolder, *stop));
        return [this, book, update] { FinishUpdate(*book, *update); };
      },
      [this, title](int fetchNumber, const std::string& /*url*/) {
        label1_->setText(title + tr("更新中，已获取 %1 页。。。").arg(fetchNumber));
      },
      [this, labelBefore, stop] {
        *stop = true;
        label1_->setText(labelBefore);
      });
}

void MainWindow::FinishUpdate(const RecordedBook& book, const WindowUpdate& update) {
  const QString title = Quoted(book.record.bookTitle);
  ShowBookFile(book.bookFile);
  if (!update.plan) {
    ShowLastingMessage(this, tr("标题"), title + tr("目录获取失败，书籍未改动！"));
    return;
  }
  if (update.plan->rows.empty()) {
    ShowTimedMessage(this, tr("标题"), title + tr("没有新章节！"));
    return;
  }
  const DownloadReport& report = update.report;
  if (!update.started) {
    ShowLastingMessage(this, tr("提示："), tr("另一个下载正在使用下载文件夹，请等它结束后再试！"));
    return;
  }
  if (report.writeError) {
    ShowLastingMessage(this, tr("标题"), title + tr("写入章节文件失败，更新已停止，书籍未改动！"));
    return;
  }
  if (report.written == 0) {
    ShowLastingMessage(this, tr("标题"), title + tr("新章节下载失败，书籍未改动！"));
    return;
  }
  const UpdateResult& result = update.result;
  if (!result.write.bookWritten) {
    ShowLastingMessage(this, tr("标题"), title + tr("写入书籍文件失败，书籍未改动！"));
    return;
  }
  QString message = title + tr("更新完成，新增 %1 章").arg(result.added);
  if (result.vanished > 0) message += tr("，目录里已没有的 %1 章仍留在书中").arg(result.vanished);
  const auto failed = static_cast<int>(report.FailedRows().size());
  if (failed > 0) message += tr("，%1 章下载失败，再次更新可重试").arg(failed);
  if (!result.write.recordWritten) message += tr("；下载记录写入失败，下次无法更新");
  message += tr("！");
  if (failed > 0 || !result.write.recordWritten) {
    ShowLastingMessage(this, tr("标题"), message);
  } else {
    ShowTimedMessage(this, tr("标题"), message);
  }
}

}  // namespace lekto
