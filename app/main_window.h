#pragma once
// MainWindow: the program's one window. Every control keeps its form name as its objectName (按钮1, 编辑框1,
// 超级列表框2, 时钟1 ...), and every event of the event table runs one operation, named after what it does.
// The window owns the book of the last table-of-contents parse and the download manager; the core reads the
// controls through WindowControls, also from download workers.
#include "app/background_job.h"
#include "app/window_controls.h"
#include "book/book_format.h"
#include "chapter/book.h"
#include "download/download_manager.h"

#include <QRect>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QMenu;
class QMenuBar;
class QProgressBar;
class QHelpEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace lekto {

class DownloadManager;
struct DownloadReport;
struct RecordedBook;
struct WindowUpdate;

class MainWindow final : public QWidget {
  Q_OBJECT

 public:
  // `baseFolder` is the program folder the working folders live in (the executable's folder in the product, a
  // temporary folder in tests); `fetch` fetches every page.
  explicit MainWindow(std::filesystem::path baseFolder, Fetcher fetch = DefaultFetcher(), QWidget* parent = nullptr);
  ~MainWindow() override;

  // For tests and the screenshot driver: what the window holds.
  const Book& CurrentBook() const { return *book_; }
  int CurrentRow() const { return currentRow_; }
  int FilterBoxCaret() const { return filterBoxCaret_; }
  const Controls& CoreControls() const { return controls_; }
  // From a download's start until its completion report has reached the window.
  bool DownloadRunning() const { return downloadRunning_; }
  // While a parse or a chapter is being fetched off the window's thread.
  bool Busy() const { return job_ != nullptr; }
  // The format the next download and merge write (chosen from the menu "书籍" or the menu of "下载" and "合并";
  // kept between runs).
  BookFormat CurrentBookFormat() const { return bookFormat_; }
  void SetBookFormat(BookFormat format) { ChooseBookFormat(format); }
  // The menu for options that have no control of their own (cookies, the browser): "选项" in the menu bar.
  QMenu* OptionsMenu() const { return optionsMenu_; }
  // Stops the running download as "取消" and Esc do: its workers end the request they are in, no chapter is
  // left half-written, and the record of the chapters written stays for the next "下载".
  void StopDownload();
  // The book the window's last download wrote (kept between runs); empty before the first.
  const std::filesystem::path& LastBookFile() const { return lastBookFile_; }
  // Adds to that book the chapters published since, off the window's thread (the menu of "下载" and "合并").
  void UpdateLastBook();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A new language: every caption, tip and menu entry is said again in it.
  void changeEvent(QEvent* event) override;
  // Asks first while a download runs; keeps the settings of a window that closes.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  // Places the controls for the client area's size (window_layout.cpp).
  void LayOutControls();
  void SetToolTips();
  // The help text the content box starts with.
  QString HelpText() const;
  // "Lekto", with the list's book once there is one.
  void ShowWindowTitle();
  // The menu bar (window_menu.cpp).
  void BuildMenus();
  void ChooseBookFormat(BookFormat format);
  void OpenBookFolder();
  void ShowAbout();
  // "界面语言" in "选项": follow the system, Chinese or English, at once and for the next runs.
  void ChooseLanguage(const QString& language);
  void Retranslate();
  void WireEvents();
  void CreateWorkFolder();
  void ShowCutTextTip(QObject* watched, const QHelpEvent* event);
  void LoadSettings();
  void SaveSettings() const;

  // Table of contents and chapter list.
  void ParseToc();
  void FinishParse(std::optional<Book> parsed, const FetchLog& log);
  void FillRows();
  // Loads `row` into the content box off the window's thread; a cancel steps back to `rowBefore`.
  void ShowChapter(int row, int rowBefore);
  void FinishChapter(const Book& book, int row, const std::string& text, const FetchLog& log);
  void SelectAllRows();
  void InvertRowChecks();
  void ReverseChapterOrder();
  void CopyChapterLink();
  void OpenChapterRow();
  void PreviousChapter();
  void NextChapter();
  int SelectedRow() const;
  void SelectRow(int row);
  void SetRowState(int row, const std::string& state);

  // The job running off the window's thread (window_busy.cpp).
  void StartJob(BackgroundJob::Work work, BackgroundJob::FetchNote onFetch, std::function<void()> onCancel);
  void CancelJob();
  void EndJob();
  bool FilterWhileBusy(QObject* watched, QEvent* event);

  // Edit boxes.
  void ClearEditBox(QWidget* box);
  void ToggleFilterBox();
  void SnapshotFilterBox();
  void QuickInsert(const QPushButton* button);

  // Download and book.
  void StartDownload();
  // True when starting `book`'s download may replace it: no book of that name, one this window's downloads
  // wrote, or the reader said so.
  bool MayReplaceBook(const std::filesystem::path& bookFile);
  void ProgressTick();
  // A row's outcome reached the window: the counts of the progress strip.
  void CountChapter(int row, ChapterOutcome outcome);
  void FinishDownload(const DownloadReport& report);
  void MergeByHand();
  // The right-click menu of "下载" and "合并", the same choices as the menu "书籍": the book's format, and the
  // update of the last book.
  void ShowBookMenu(const QPoint& at);
  void FillBookMenu(QMenu* menu);
  // Names the filter rules that are not valid expressions under the filter-rule box.
  void CheckFilterRules();
  void ShowBookFile(const std::filesystem::path& bookFile);
  void FinishUpdate(const RecordedBook& book, const WindowUpdate& update);

  // A control's place at the default size, and how it follows a larger window (window_layout.cpp).
  struct Placement {
    QWidget* control;
    QRect base;
    unsigned follow;
  };

  // How often 时钟1 ticks while it runs.
  static constexpr int kProgressIntervalMs = 300;

  const std::filesystem::path baseFolder_;
  const Fetcher fetch_;
  WindowControls controls_;
  // Replaced as a whole by each parse, reversal or new title; download workers keep the copy they started with.
  std::shared_ptr<const Book> book_;
  // The list is the table of contents in reverse ("倒序" clicked an odd number of times since the parse): the
  // download's record says so, and an update of its book keeps that order.
  bool listReversed_ = false;
  int currentRow_ = 0;
  int filterBoxCaret_ = 0;
  std::vector<std::string> filterBoxItems_;
  std::vector<Placement> placements_;
  // The running job, if any, and what a cancel puts back as it was.
  std::shared_ptr<BackgroundJob> job_;
  std::function<void()> undoJobStart_;
  int titleColumnShare_ = 0;  // extra width the title column has taken from the window so far
  // Declared after the controls so that it is destroyed first: its workers read the controls until they stop.
  std::unique_ptr<DownloadManager> downloads_;
  bool downloadRunning_ = false;

  // What the progress strip counts for the running download.
  struct Progress {
    int total = 0;     // ticked rows
    int finished = 0;  // written or kept
    int kept = 0;      // kept from an earlier run, counted at once
    int failed = 0;
    int lastRow = -1;  // the row that finished last, kept in view
    std::chrono::steady_clock::time_point started;
  };
  Progress progress_;
  bool stopping_ = false;     // "取消" was pressed: the workers end their requests
  bool keepChapters_ = true;  // false while "重新下载全部勾选的章节" starts a download that keeps none

  BookFormat bookFormat_ = BookFormat::kGbk;
  std::filesystem::path lastBookFile_;
  QLineEdit* edit1_ = nullptr;       // 编辑框1: table-of-contents address
  QPushButton* button1_ = nullptr;   // 按钮1: 目录解析
  QCheckBox* check2_ = nullptr;      // 选择框2: 转码
  QCheckBox* check3_ = nullptr;      // 选择框3: 预处理
  QLabel* label1_ = nullptr;         // 标签1: status above the list
  QLabel* label2_ = nullptr;         // 标签2: status above the content box
  QTableWidget* list_ = nullptr;     // 超级列表框2: ChapterList
  QPlainTextEdit* edit2_ = nullptr;  // 编辑框2: content box
  QLabel* label4_ = nullptr;         // 标签4: 正则过滤内容
  QCheckBox* check1_ = nullptr;      // 选择框1: 启用
  QPushButton* button7_ = nullptr;   // 按钮7: .*?
  QPushButton* button8_ = nullptr;   // 按钮8: [\S\s]*?
  QPlainTextEdit* edit3_ = nullptr;  // 编辑框3: filter rules
  QPushButton* button5_ = nullptr;   // 按钮5: 全选
  QPushButton* button6_ = nullptr;   // 按钮6: 反选
  QPushButton* button9_ = nullptr;   // 按钮9: 倒序
  QLabel* label3_ = nullptr;         // 标签3: 线程：
  QPushButton* button4_ = nullptr;   // 按钮4: 下载
  QPushButton* button10_ = nullptr;  // 按钮10: 合并
  QPushButton* button2_ = nullptr;   // 按钮2: 上一章
  QPushButton* button3_ = nullptr;   // 按钮3: 下一章
  QTimer* timer1_ = nullptr;         // 时钟1: progress tick
  QPushButton* button11_ = nullptr;  // 按钮11: 取消, shown only while a job or a download runs
  QWidget* client_ = nullptr;        // the client area below the menu bar, holding every control
  QMenuBar* menuBar_ = nullptr;
  QMenu* bookMenu_ = nullptr;      // 书籍: format, update, book folder
  QMenu* optionsMenu_ = nullptr;   // 选项
  QMenu* languageMenu_ = nullptr;  // 选项 > 界面语言
  QMenu* helpMenu_ = nullptr;      // 帮助
  QAction* helpAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QString helpShown_;                  // the help text the content box shows, while it shows it
  QProgressBar* progress1_ = nullptr;  // 进度条1: download progress
  QLabel* label5_ = nullptr;           // 标签5: finished, failed, remaining, time left
  QLabel* label6_ = nullptr;           // 标签6: filter rules that are not valid expressions
};

}  // namespace lekto
