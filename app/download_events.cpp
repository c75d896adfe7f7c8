// The download button, the progress tick and the merges, as the window runs them. The download manager does the
// work on its own threads; its completion report comes back to the window's thread as a queued call.
#include "app/main_window.h"
#include "app/window_browser.h"

#include "app/download_progress.h"
#include "app/qt_text.h"
#include "app/timed_message.h"
#include "download/book_assembler.h"
#include "download/book_name.h"
#include "download/book_update.h"
#include "download/download_manager.h"
#include "download/download_record.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

namespace lekto {

namespace {

// Chapter files a merge by hand would find in the chapter folder: names that are chapter numbers.
int ChapterFileCount(const std::filesystem::path& folder) {
  int count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.ends_with(".txt") || name.size() < 5 || name[0] < '1' || name[0] > '9') continue;
    if (std::all_of(name.begin(), name.end() - 4, [](char c) { return c >= '0' && c <= '9'; })) ++count;
  }
  return count;
}

// The chapter files of the chapter folder can be kept for this download: the record beside them is of the same
// table of contents, read with the same switches and filter rules, so the kept chapters read as the new ones will.
// Which rows it keeps (same link, written, file there, ticked) the download manager decides.
bool RecordVouchesFor(const std::optional<DownloadRecord>& record, const Controls& controls, bool reversed) {
  if (!record || record->address != controls.Address() || record->reversed != reversed) return false;
  if (record->transcode != controls.Transcode() || record->preprocess != controls.Preprocess()) return false;
  if (record->filtersEnabled != controls.FiltersEnabled()) return false;
  return !controls.FiltersEnabled() || record->filterRules == controls.FilterRules();
}

}  // namespace

void MainWindow::StartDownload() {
  // A download still running keeps its temp folder and its workers; the click is refused.
  if (downloadRunning_) return;
  // Nothing to download touches nothing: the chapter files of the book before stay where they are.
  int ticked = 0;
  for (int row = 0; row < list_->rowCount(); ++row) ticked += list_->item(row, 0)->checkState() == Qt::Checked;
  if (ticked == 0) {
    ShowLastingMessage(this, tr("提示："),
                       list_->rowCount() == 0 ? tr("列表里没有章节，请先输入目录页地址并点“目录解析”！")
                                              : tr("请先勾选要下载的章节！"));
    return;
  }
  // The last download's report has reached the window, but its dispatcher may still be returning from handing
  // it over; that takes a moment, and the manager would refuse the new download until then.
  downloads_->Wait();
  // A book without a usable title is named here, once, so that its file is never the hidden ".txt".
  if (std::string named = NamedBookTitle(book_->title, LocalTimeNow()); named != book_->title) {
    auto retitled = std::make_shared<Book>(*book_);
    retitled->title = std::move(named);
    book_ = std::move(retitled);
  }
  const WorkFolders folders = FoldersUnder(baseFolder_);
  if (!MayReplaceBook(BookFilePath(folders, book_->title, bookFormat_))) return;
  // The chapter files an earlier download of this list left (stopped, failed chapters retried, or a run before the
  // window was closed) are kept where the record vouches for them; the rest are fetched. Rules changed since fetch
  // every chapter again, so that the book reads alike from its first chapter to its last.
  DownloadOptions options;
  options.resume =
      keepChapters_ && RecordVouchesFor(ReadDownloadRecord(TempRecordPath(folders)), controls_, listReversed_);
  options.format = bookFormat_;
  options.reversedList = listReversed_;
  progress_ = Progress{ticked, 0, 0, 0, -1, std::chrono::steady_clock::now()};
  downloads_->SetBrowser(browser_->Choice());
  switch (downloads_->StartDownload(book_, options)) {
    case DownloadManager::StartResult::kStarted:
      break;
    case DownloadManager::StartResult::kFolderInUse:
      ShowLastingMessage(this, tr("提示："), tr("另一个下载正在使用下载文件夹，请等它结束后再试！"));
      return;
    default:
      return;
  }
  downloadRunning_ = true;
  stopping_ = false;
  button4_->setText(tr("下载中"));
  button11_->setEnabled(true);
  button11_->show();
  progress1_->setRange(0, ticked);
  progress1_->setValue(0);
  // The rows stay as they are until the download ends: its workers' states land on them by number.
  button1_->setEnabled(false);
  button9_->setEnabled(false);
  // The tick shows the running workers; after an automatic merge stopped it, a later download restarts it.
  if (!timer1_->isActive()) timer1_->start(kProgressIntervalMs);
  ProgressTick();
}

bool MainWindow::MayReplaceBook(const std::filesystem::path& bookFile) {
  std::error_code error;
  if (!std::filesystem::exists(bookFile, error)) return true;
  // The book an earlier download of this same list wrote, in this format, holding no chapter that this download
  // leaves out, is replaced without a word: the new book holds all it held. Anything else may hold what only it
  // has (another book of the same name, an edited or updated book, chapters the site has since taken down).
  OpenProblem problem = OpenProblem::kNone;
  const std::optional<RecordedBook> old = OpenRecordedBook(bookFile, problem);
  QString why;
  if (!old) {
    why = problem == OpenProblem::kBookChanged ? tr("它在下载后被改动过") : tr("它没有下载记录");
  } else if (old->record.address != controls_.Address()) {
    why = tr("它来自另一个目录页");
  } else if (old->record.format != BookFormatName(bookFormat_)) {
    why = tr("它是另一种格式");
  } else {
    std::unordered_set<std::string> links;
    for (int row = 0; row < list_->rowCount() && row < book_->RowCount(); ++row) {
      if (list_->item(row, 0)->checkState() == Qt::Checked) links.insert(book_->LinkAt(row));
    }
    for (const RecordedChapter& chapter : old->record.chapters) {
      if (chapter.written && !links.contains(chapter.link)) {
        why = tr("它含有这次不下载的章节");
        break;
      }
    }
  }
  if (why.isEmpty()) return true;
  QMessageBox question(
      QMessageBox::Question, tr("提示"),
      tr("“%1”已存在，不是这次下载写的（%2）。下载完成后会替换它，要继续吗？").arg(FromPath(bookFile.filename()), why),
      QMessageBox::Ok | QMessageBox::Cancel, this);
  question.button(QMessageBox::Ok)->setText(tr("替换"));
  question.button(QMessageBox::Cancel)->setText(tr("取消"));
  question.setDefaultButton(QMessageBox::Cancel);
  return question.exec() == QMessageBox::Ok;
}

void MainWindow::StopDownload() {
  if (!downloadRunning_ || stopping_) return;
  stopping_ = true;
  downloads_->Cancel();
  // The workers end the request they are in; the report follows when the last one has.
  button4_->setText(tr("停止中"));
  button11_->setEnabled(false);
  ProgressTick();
}

void MainWindow::CountChapter(int row, ChapterOutcome outcome) {
  if (!downloadRunning_) return;
  switch (outcome) {
    case ChapterOutcome::kKept:
      ++progress_.kept;
      [[fallthrough]];
    case ChapterOutcome::kWritten:
      ++progress_.finished;
      break;
    case ChapterOutcome::kFailed:
      ++progress_.failed;
      break;
    default:
      return;
  }
  progress1_->setValue(progress_.finished + progress_.failed);
  // The rows being fetched follow the one that just finished: keep them in view.
  if (row > progress_.lastRow && row < list_->rowCount()) {
    progress_.lastRow = row;
    list_->scrollToItem(list_->item(std::min(row + 1, list_->rowCount() - 1), 0));
  }
}

void MainWindow::ProgressTick() {
  label3_->setText(tr("线程：") + QString::number(downloads_->RunningWorkers()));
  if (!downloadRunning_) return;
  const ProgressCounts counts{progress_.total, progress_.finished, progress_.kept, progress_.failed};
  if (stopping_) {
    label5_->setText(ProgressText(counts, std::nullopt) +
                     tr("，正在停止，等待 %1 个请求结束。。。").arg(downloads_->RunningWorkers()));
    return;
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - progress_.started).count();
  label5_->setText(ProgressText(counts, SecondsLeft(counts, elapsed)));
}

void MainWindow::FinishDownload(const DownloadReport& report) {
  downloadRunning_ = false;
  stopping_ = false;
  button4_->setText(tr("下载"));
  button11_->hide();
  button1_->setEnabled(true);
  button9_->setEnabled(true);
  ProgressTick();
  timer1_->stop();
  const int failed = static_cast<int>(report.FailedRows().size());
  // The strip keeps the last count until the next download.
  label5_->setText(ProgressText({report.ticked, report.written, report.kept, failed}, std::nullopt));
  progress1_->setValue(report.written + failed);
  const QString title = Quoted(report.book->title);
  if (report.writeError) {
    ShowLastingMessage(this, tr("标题"), title + tr("写入章节文件失败，下载已停止！"));
    return;
  }
  if (report.cancelled) {
    ShowTimedMessage(this, tr("标题"),
                     title + tr("已停止下载，已完成 %1/%2 章，再点“下载”继续，已下载的章节会保留。")
                                 .arg(report.written)
                                 .arg(report.ticked),
                     kNoteTimeoutMs);
    return;
  }
  if (report.merged && report.merge.written) {
    ShowBookFile(report.merge.bookFile);
    lastBookFile_ = report.merge.bookFile;
  }
  const QString kept =
      report.kept > 0
          ? tr("（保留了上次下载的 %1 章，下载了其余 %2 章）").arg(report.kept).arg(report.written - report.kept)
          : QString();
  // Said once per download, and kept on screen: the viewer showed these characters, the GBK book cannot.
  const std::size_t lost = report.merged && report.merge.written ? report.merge.lostCharacters : 0;
  const QString lostNote =
      lost > 0 ? tr("\n书中有 %1 个字符 GBK 无法表示，已写成“?”；选“UTF-8 文本”或“EPUB 电子书”格式可保留它们。")
                     .arg(static_cast<qulonglong>(lost))
               : QString();
  if (failed > 0 && report.merged && report.merge.written) {
    ShowLastingMessage(
        this, tr("标题"),
        title + tr("下载完毕，%1 章下载失败（共 %2 章），再点“下载”可重试失败的章节！").arg(failed).arg(report.ticked) +
            kept + lostNote);
  } else if (report.merged && report.merge.written && lost > 0) {
    ShowLastingMessage(this, tr("标题"), title + tr("下载完毕，合并完成！") + kept + lostNote);
  } else if (report.merged && report.merge.written) {
    ShowTimedMessage(this, tr("标题"), title + tr("下载完毕，合并完成！") + kept,
                     kept.isEmpty() ? kMessageTimeoutMs : kNoteTimeoutMs);
  } else if (report.written == 0) {
    ShowLastingMessage(this, tr("标题"), title + tr("没有下载到任何章节，未合并！"));
  } else {
    ShowLastingMessage(this, tr("标题"), title + tr("合并失败，无法写入书籍文件！"));
  }
}

void MainWindow::ShowBookFile(const std::filesystem::path& bookFile) {
  // The message box closes after a second; the label keeps the book's full path until its next status (its tip
  // shows the whole path when the label cuts it).
  label1_->setText(tr("已保存到：") + FromPath(bookFile));
}

void MainWindow::MergeByHand() {
  // A merge of nothing would write a book holding its title alone.
  if (ChapterFileCount(TempFolder(baseFolder_)) == 0) {
    ShowLastingMessage(this, tr("提示："), tr("下载文件夹里没有章节，无法合并，请先下载！"));
    return;
  }
  QInputDialog dialog(this);
  dialog.setWindowTitle(tr("提示"));
  dialog.setLabelText(tr("请输入书名"));
  dialog.setTextValue(FromGbk(book_->title));
  dialog.setOkButtonText(tr("确定"));
  dialog.setCancelButtonText(tr("取消"));
  if (dialog.exec() != QDialog::Accepted) return;
  // The typed title names this merge's book only; the list keeps the title it was parsed with.
  const std::string title = NamedBookTitle(ToGbk(dialog.textValue()), LocalTimeNow());

  // The book page's author and description come along; the cover is fetched by a download only.
  const BookMetadata& metadata = book_->metadata;
  const MergeResult merged = lekto::MergeByHand(
      FoldersUnder(baseFolder_), title,
      {bookFormat_, ToGbk(edit1_->text()), book_->chapterTitles, metadata.author, metadata.description, {}});
  if (merged.written && merged.chapters == 0) {
    ShowLastingMessage(this, tr("提示："), tr("下载文件夹里没有章节，无法合并，请先下载！"));
  } else if (merged.written) {
    ShowBookFile(merged.bookFile);
    ShowTimedMessage(this, tr("标题"), Quoted(title) + tr("合并完成！"));
  } else {
    ShowLastingMessage(this, tr("标题"), Quoted(title) + tr("合并失败，无法写入书籍文件！"));
  }
}

void MainWindow::ShowBookMenu(const QPoint& at) {
  QMenu menu(this);
  FillBookMenu(&menu);
  AddBrowserEntries(menu);
  menu.exec(at);
}

void MainWindow::FillBookMenu(QMenu* menu) {
  auto* group = new QActionGroup(menu);
  const std::pair<BookFormat, QString> choices[] = {
      {BookFormat::kGbk, tr("GBK 文本（默认）")},
      {BookFormat::kUtf8, tr("UTF-8 文本")},
      {BookFormat::kEpub, tr("EPUB 电子书")},
  };
  menu->addSection(tr("书籍格式"));
  for (const auto& [format, label] : choices) {
    QAction* action = menu->addAction(label);
    action->setCheckable(true);
    action->setChecked(format == bookFormat_);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, format = format] { ChooseBookFormat(format); });
  }
  menu->addSeparator();
  QAction* update = menu->addAction(
      lastBookFile_.empty() ? tr("更新上次下载的书") : tr("更新上次下载的书：") + FromPath(lastBookFile_.filename()));
  update->setEnabled(!lastBookFile_.empty() && !DownloadRunning() && !Busy());
  connect(update, &QAction::triggered, this, [this] { UpdateLastBook(); });
  // "下载" keeps the chapters an earlier download of the list wrote; this fetches every ticked chapter anew.
  QAction* fresh = menu->addAction(tr("重新下载全部勾选的章节"));
  fresh->setEnabled(!DownloadRunning() && list_->rowCount() > 0);
  connect(fresh, &QAction::triggered, this, [this] {
    keepChapters_ = false;
    StartDownload();
    keepChapters_ = true;
  });
}

}  // namespace lekto
