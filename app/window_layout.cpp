// The window's controls: names, kinds, captions, places and sizes, fonts, the list's columns and the help text;
// and how the controls share the room of a window made larger than its default size.
#include "app/main_window.h"

#include "app/qt_text.h"
#include "download/work_folders.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace lekto {

namespace {

// The default outer size is 630 x 467; the client area is what remains inside a 3-pixel border and a 20-pixel
// caption bar. Qt sizes the client area and leaves the frame to the window manager. The menu bar sits above the
// client area, as a menu bar does, and a progress strip is added below the last row of controls, so the controls
// keep their client coordinates. The default size is also the smallest: every control keeps the place it has
// there.
constexpr int kOuterWidth = 630;
constexpr int kOuterHeight = 467;
constexpr int kFrameBorder = 3;
constexpr int kCaptionBar = 20;
constexpr int kStripHeight = 42;  // the progress strip below the buttons: two lines
constexpr int kClientWidth = kOuterWidth - 2 * kFrameBorder;
constexpr int kClientHeight = kOuterHeight - 2 * kFrameBorder - kCaptionBar + kStripHeight;
constexpr int kStripTop = 436;

// The help text, line by line, in the window's language at the time it is shown.
const char* const kHelpLines[] = {
    QT_TRANSLATE_NOOP("lekto::MainWindow", "使用说明:双击编辑框清空。"),
    QT_TRANSLATE_NOOP(
        "lekto::MainWindow",
        "请在上面编辑框输入目录页地址（无翻页是全章节的目录页地址，有翻页需输入首目录页地址）然后点击目录解析，解析"
        "成功可在左边列表显示解析到的所有章节名。双击任意章节名可在右边的编辑框显示对应章节内容。右键单击章节名可"
        "以复制该章节对应链接。可以选择下载或者在右边点上一章和下一章查看阅读。"),
    QT_TRANSLATE_NOOP(
        "lekto::MainWindow",
        "点击下载前，可以单击列表里ID的检查框来选择下载范围，因为可能需要手动排除一些非章节的内容不下载。列表下面的"
        "全选按钮是将所有检查框都选中。反选是将已选中的变成未选中，未选中的变成选中。如果发现章节顺序反了可以点击倒"
        "序按钮。"),
    QT_TRANSLATE_NOOP(
        "lekto::MainWindow",
        "建议下载前，先通过双击章名查看内容是否正常，如果右边编辑框无内容或显示的不是正常章节内容可以勾选预处理，如果"
        "显示内容乱码可以勾选转码。"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "如果右边章节内容出现较多不需要的内容可以启用正则过滤内容，"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "需要自写正则表达式，每行写一个，程序会把匹配的内容删掉。"),
    QT_TRANSLATE_NOOP("lekto::MainWindow",
                      "正则表达式具体写法请百度查详细教程，下面给几个常用的，特意增加了2个快捷插入按钮。"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "匹配一行内一般用.*?  .表示匹配任意字符（不包括换行符），"),
    QT_TRANSLATE_NOOP("lekto::MainWindow",
                      "*表示匹配前一个字符零次或多次，?表示匹配或不匹配，+表示匹配前一个字符一次或多次"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "匹配多行用[\\S\\s]*? []表示里面任意选择一个 "),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "\\S表示任意非空字符"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "\\s表示任意空字符，比如空格、制表符和换行符等"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "\\d表示数字[0-9]中任意一个数字"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "-表示范围"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "\\w表示[0-9A-Za-z_]"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "一般情况只需要改写成"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "单行:起始字符串.*?终止字符串"),
    QT_TRANSLATE_NOOP("lekto::MainWindow", "多行:起始字符串[\\S\\s]*?终止字符串"),
    QT_TRANSLATE_NOOP("lekto::MainWindow",
                      "起始和终止字符串可以有一个不存在，存在尽量选唯一出现的，以免把不该替换的删掉。"),
};

// Song typeface for the content box, as on the systems the window was drawn for; Noto Serif CJK is its closest
// stand-in where that face is missing.
QFont ContentFont() {
  QFont font;
  font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(15);
  font.setWeight(QFont::Normal);
  return font;
}

QFont FilterFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  return font;
}

// Small enough for the 16-pixel buttons and check boxes, with Chinese glyphs from a CJK face.
QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
  font.setPixelSize(12);
  return font;
}

// How a control follows the extra room of a larger window. The list takes a third of the extra width and the
// content box the rest; the list takes all of the extra height, the content box three quarters and the filter-rule
// box below it the last quarter. What sits beside or below them moves along.
enum Follow : unsigned {
  kStay = 0,
  kRightOfList = 1U << 0,      // moves right by the list's extra width
  kRightEdge = 1U << 1,        // moves right by all of the extra width
  kWiderAsList = 1U << 2,      // grows by the list's extra width
  kWiderAsViewer = 1U << 3,    // grows by the content box's extra width
  kWiderAll = 1U << 4,         // grows by all of the extra width
  kBottom = 1U << 5,           // moves down by the extra height
  kTaller = 1U << 6,           // grows by the extra height
  kBelowViewer = 1U << 7,      // moves down by the content box's extra height
  kTallerAsViewer = 1U << 8,   // grows by the content box's extra height
  kTallerAsFilters = 1U << 9,  // grows by the filter-rule box's extra height
};

template <typename Control>
Control* Place(QWidget* parent, const QString& name, int left, int top, int width, int height) {
  auto* control = new Control(parent);
  control->setObjectName(name);
  control->setGeometry(left, top, width, height);
  return control;
}

template <typename Control>
Control* Place(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width, int height) {
  auto* control = Place<Control>(parent, name, left, top, width, height);
  control->setText(caption);
  return control;
}

QRect Followed(const QRect& base, unsigned follow, int extraWidth, int extraHeight) {
  const int listShare = extraWidth / 3;
  const int viewerShare = extraWidth - listShare;
  const int filterRise = extraHeight / 4;
  const int viewerRise = extraHeight - filterRise;
  QRect placed = base;
  if (follow & kRightOfList) placed.translate(listShare, 0);
  if (follow & kRightEdge) placed.translate(extraWidth, 0);
  if (follow & kBottom) placed.translate(0, extraHeight);
  if (follow & kBelowViewer) placed.translate(0, viewerRise);
  if (follow & kWiderAsList) placed.setWidth(placed.width() + listShare);
  if (follow & kWiderAsViewer) placed.setWidth(placed.width() + viewerShare);
  if (follow & kWiderAll) placed.setWidth(placed.width() + extraWidth);
  if (follow & kTaller) placed.setHeight(placed.height() + extraHeight);
  if (follow & kTallerAsViewer) placed.setHeight(placed.height() + viewerRise);
  if (follow & kTallerAsFilters) placed.setHeight(placed.height() + filterRise);
  return placed;
}

// The help lines, then where the books go: a reader of an installed copy would not find them beside the program.
QString WindowHelpText(const std::filesystem::path& baseFolder) {
  QStringList lines;
  for (const char* line : kHelpLines) lines << QCoreApplication::translate("lekto::MainWindow", line);
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n') +
         QCoreApplication::translate("lekto::MainWindow", "下载合并好的书保存在：") + FromPath(WorkFolder(baseFolder));
}

}  // namespace

void MainWindow::BuildControls() {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  // The controls live in the client area below the menu bar, at their client coordinates.
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("客户区"));
  client_->setMinimumSize(kClientWidth, kClientHeight);
  client_->installEventFilter(this);
  QWidget* const area = client_;

  edit1_ = Place<QLineEdit>(area, QStringLiteral("编辑框1"), 8, 8, 464, 32);
  button1_ = Place<QPushButton>(area, QStringLiteral("按钮1"), tr("目录解析"), 480, 8, 64, 32);
  check2_ = Place<QCheckBox>(area, QStringLiteral("选择框2"), tr("转码"), 552, 4, 64, 16);
  check3_ = Place<QCheckBox>(area, QStringLiteral("选择框3"), tr("预处理"), 552, 28, 64, 16);
  label1_ = Place<QLabel>(area, QStringLiteral("标签1"), tr("章节列表"), 8, 48, 256, 16);
  label2_ = Place<QLabel>(area, QStringLiteral("标签2"), tr("内容"), 352, 48, 264, 16);

  list_ = Place<QTableWidget>(area, QStringLiteral("超级列表框2"), 8, 64, 336, 336);
  list_->setColumnCount(3);
  list_->setHorizontalHeaderLabels({QStringLiteral("ID"), tr("章节名称"), tr("下载状态")});
  list_->setColumnWidth(0, 50);
  list_->setColumnWidth(1, 200);
  list_->setColumnWidth(2, 60);
  list_->verticalHeader()->hide();
  // Rows as tight as a report-style list view draws them.
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  list_->horizontalHeader()->setSectionsClickable(true);
  list_->horizontalHeader()->setHighlightSections(false);
  list_->setSortingEnabled(false);
  list_->setShowGrid(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setWordWrap(false);

  edit2_ = Place<QPlainTextEdit>(area, QStringLiteral("编辑框2"), 352, 64, 264, 272);
  edit2_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edit2_->setFont(ContentFont());
  helpShown_ = HelpText();
  edit2_->setPlainText(helpShown_);

  label4_ = Place<QLabel>(area, QStringLiteral("标签4"), tr("正则过滤内容"), 352, 338, 80, 16);
  check1_ = Place<QCheckBox>(area, QStringLiteral("选择框1"), tr("启用"), 440, 338, 56, 16);
  button7_ = Place<QPushButton>(area, QStringLiteral("按钮7"), QStringLiteral(".*?"), 496, 340, 48, 16);
  button8_ = Place<QPushButton>(area, QStringLiteral("按钮8"), QStringLiteral("[\\S\\s]*?"), 552, 340, 56, 16);

  edit3_ = Place<QPlainTextEdit>(area, QStringLiteral("编辑框3"), 352, 360, 264, 48);
  edit3_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit3_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit3_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit3_->setFont(FilterFont());
  edit3_->setPlainText(tr("过滤规则1\n过滤规则2\n过滤规则3"));
  edit3_->setEnabled(false);

  button5_ = Place<QPushButton>(area, QStringLiteral("按钮5"), tr("全选"), 8, 408, 40, 24);
  button6_ = Place<QPushButton>(area, QStringLiteral("按钮6"), tr("反选"), 64, 408, 40, 24);
  button9_ = Place<QPushButton>(area, QStringLiteral("按钮9"), tr("倒序"), 120, 408, 40, 24);
  label3_ = Place<QLabel>(area, QStringLiteral("标签3"), tr("线程："), 176, 408, 72, 24);
  button4_ = Place<QPushButton>(area, QStringLiteral("按钮4"), tr("下载"), 256, 408, 48, 24);
  button10_ = Place<QPushButton>(area, QStringLiteral("按钮10"), tr("合并"), 312, 408, 48, 24);
  button2_ = Place<QPushButton>(area, QStringLiteral("按钮2"), tr("上一章"), 392, 408, 48, 24);
  button3_ = Place<QPushButton>(area, QStringLiteral("按钮3"), tr("下一章"), 536, 408, 48, 24);
  // Stops waiting for a parse or a chapter, and stops a download; it stands in the free space between the two
  // status lines and shows only while the window waits or downloads.
  button11_ = Place<QPushButton>(area, QStringLiteral("按钮11"), tr("取消"), 296, 46, 48, 18);
  button11_->setCursor(Qt::ArrowCursor);
  button11_->hide();
  // The strip below the buttons' row. Its first line shows how far a download is: a bar, and the counts
  // starting under "线程：". Its second line, under the filter-rule box, names the rules that are not valid
  // expressions.
  progress1_ = Place<QProgressBar>(area, QStringLiteral("进度条1"), 8, kStripTop, 160, 18);
  progress1_->setRange(0, 1);
  progress1_->setValue(0);
  progress1_->setTextVisible(false);
  label5_ = Place<QLabel>(area, QStringLiteral("标签5"), QString(), 176, kStripTop, 440, 18);
  label6_ = Place<QLabel>(area, QStringLiteral("标签6"), QString(), 352, kStripTop + 20, 264, 16);
  label6_->setStyleSheet(QStringLiteral("color: #b00020;"));

  // Where each control goes when the window grows.
  const std::pair<QWidget*, unsigned> follows[] = {
      {edit1_, kWiderAll},
      {button1_, kRightEdge},
      {check2_, kRightEdge},
      {check3_, kRightEdge},
      {label1_, kWiderAsList},
      {label2_, kRightOfList | kWiderAsViewer},
      {list_, kWiderAsList | kTaller},
      {edit2_, kRightOfList | kWiderAsViewer | kTallerAsViewer},
      {label4_, kRightOfList | kBelowViewer},
      {check1_, kRightOfList | kBelowViewer},
      {button7_, kRightOfList | kBelowViewer},
      {button8_, kRightOfList | kBelowViewer},
      {edit3_, kRightOfList | kWiderAsViewer | kBelowViewer | kTallerAsFilters},
      {label6_, kRightOfList | kWiderAsViewer | kBottom},
      {button5_, kBottom},
      {button6_, kBottom},
      {button9_, kBottom},
      {label3_, kBottom},
      {button4_, kBottom},
      {button10_, kBottom},
      {button2_, kRightOfList | kBottom},
      {button3_, kRightEdge | kBottom},
      {button11_, kRightOfList},
      {progress1_, kBottom},
      {label5_, kWiderAll | kBottom},
  };
  for (const auto& [control, follow] : follows) placements_.push_back({control, control->geometry(), follow});

  // Interval 0 and stopped until a parse starts it.
  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("时钟1"));
  timer1_->setInterval(0);

  BuildMenus();
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->setSpacing(0);
  frame->setMenuBar(menuBar_);
  frame->addWidget(client_);
  // The menu bar's own height comes on top of the client area's.
  setMinimumSize(kClientWidth, kClientHeight + menuBar_->sizeHint().height());
  resize(minimumSize());
  move(50, 50);
  SetToolTips();
  ShowWindowTitle();
}

QString MainWindow::HelpText() const {
  return WindowHelpText(baseFolder_);
}

void MainWindow::LayOutControls() {
  const int extraWidth = std::max(0, client_->width() - kClientWidth);
  const int extraHeight = std::max(0, client_->height() - kClientHeight);
  for (const Placement& placement : placements_) {
    placement.control->setGeometry(Followed(placement.base, placement.follow, extraWidth, extraHeight));
  }
  // The title column takes the list's extra width, on top of any width the reader gave it by hand.
  const int listShare = Followed(QRect(0, 0, 0, 0), kWiderAsList, extraWidth, extraHeight).width();
  list_->setColumnWidth(1, std::max(0, list_->columnWidth(1) + listShare - titleColumnShare_));
  titleColumnShare_ = listShare;
}

void MainWindow::SetToolTips() {
  edit1_->setToolTip(tr("目录页地址：粘贴小说的章节目录页地址，按回车或点“目录解析”（双击清空）"));
  button1_->setToolTip(tr("读取目录页，列出全部章节"));
  check2_->setToolTip(tr("章节内容显示乱码时勾选"));
  check3_->setToolTip(tr("章节内容为空或不是正文时勾选"));
  list_->setToolTip(tr("双击章节查看内容，右键复制章节链接，勾选要下载的章节"));
  edit2_->setToolTip(tr("章节内容（双击清空）"));
  check1_->setToolTip(tr("用下面的正则表达式删除正文里不要的内容"));
  button7_->setToolTip(tr("在光标处插入“.*?”：匹配一行内的任意内容"));
  button8_->setToolTip(tr("在光标处插入“[\\S\\s]*?”：匹配跨行的任意内容"));
  edit3_->setToolTip(tr("过滤规则：每行一个正则表达式，匹配的内容会被删掉（双击清空）"));
  button5_->setToolTip(tr("勾选全部章节"));
  button6_->setToolTip(tr("勾选的变成不勾选，不勾选的变成勾选"));
  button9_->setToolTip(tr("把章节顺序倒过来，每章的勾选不变"));
  label3_->setToolTip(tr("正在下载的线程数"));
  button4_->setToolTip(tr("下载勾选的章节并合并成书；上次下载的章节会保留（取消或 Esc 停止下载）"));
  button10_->setToolTip(tr("把已下载的章节合并成书"));
  button2_->setToolTip(tr("上一章（Ctrl+PageUp）"));
  button3_->setToolTip(tr("下一章（Ctrl+PageDown）"));
  button11_->setToolTip(tr("停止等待或停止下载（Esc）"));
  progress1_->setToolTip(tr("下载进度"));
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && menuBar_ != nullptr) Retranslate();
  QWidget::changeEvent(event);
}

void MainWindow::Retranslate() {
  // The fixed captions, and the ones that show a state, as that state reads in the new language.
  // The menu cannot be used while the window waits, so no parse is running here.
  button1_->setText(tr("目录解析"));
  check2_->setText(tr("转码"));
  check3_->setText(tr("预处理"));
  label4_->setText(tr("正则过滤内容"));
  check1_->setText(tr("启用"));
  button5_->setText(tr("全选"));
  button6_->setText(tr("反选"));
  button9_->setText(tr("倒序"));
  button4_->setText(!downloadRunning_ ? tr("下载") : stopping_ ? tr("停止中") : tr("下载中"));
  button10_->setText(tr("合并"));
  button2_->setText(tr("上一章"));
  button3_->setText(tr("下一章"));
  button11_->setText(tr("取消"));
  list_->setHorizontalHeaderLabels({QStringLiteral("ID"), tr("章节名称"), tr("下载状态")});
  // The status lines say what they said in the new language the next time they change; until then the ones
  // that still show their first caption show it anew.
  if (!book_->RowCount() && !downloadRunning_) label1_->setText(tr("章节列表"));
  if (edit2_->toPlainText() == helpShown_) {
    helpShown_ = HelpText();
    edit2_->setPlainText(helpShown_);
  } else {
    helpShown_.clear();
  }
  bookMenu_->setTitle(tr("书籍(&B)"));
  optionsMenu_->setTitle(tr("选项(&O)"));
  const QList<QAction*> switches = optionsMenu_->actions();
  const QCheckBox* boxes[] = {check2_, check3_, check1_};
  for (int i = 0; i < 3 && i < switches.size(); ++i) switches[i]->setText(boxes[i]->text());
  languageMenu_->setTitle(tr("界面语言（Language）"));
  languageMenu_->actions().at(0)->setText(tr("跟随系统"));
  helpMenu_->setTitle(tr("帮助(&H)"));
  helpAction_->setText(tr("使用说明"));
  aboutAction_->setText(tr("关于 Lekto"));
  SetToolTips();
  CheckFilterRules();
  const QString count = label3_->text().section(QRegularExpression(QStringLiteral("\\D+")), -1);
  label3_->setText(tr("线程：") + count);
  if (downloadRunning_) ProgressTick();
}

void MainWindow::ShowWindowTitle() {
  // The program's name, and the book of the list once there is one.
  setWindowTitle(book_->title.empty() ? QStringLiteral("Lekto") : FromGbk(book_->title) + QStringLiteral(" - Lekto"));
}

}  // namespace lekto
