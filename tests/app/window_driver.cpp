#include "window_driver.h"

#include "text/text_codec.h"

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <fstream>
#include <iterator>

namespace lekto::apptest {

namespace {

QPoint CellCentre(QTableWidget* list, int row, int column) {
  list->scrollToItem(list->item(row, column));
  return list->visualItemRect(list->item(row, column)).center();
}

void WriteGbk(const std::filesystem::path& path, const QString& page) {
  std::ofstream out(path, std::ios::binary);
  out << text::Utf8ToAnsi(page.toStdString());
}

}  // namespace

void IsolateSettings(const QString& folder) {
  QCoreApplication::setOrganizationName(QStringLiteral("LektoTest"));
  QCoreApplication::setApplicationName(QStringLiteral("Lekto"));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

void WindowTest::init() {
  folder_ = std::make_unique<QTemporaryDir>();
  QVERIFY(folder_->isValid());
  base_ = folder_->path().toStdString();
  IsolateSettings(folder_->filePath(QStringLiteral("config")));
  window_ = std::make_unique<MainWindow>(base_);
  QVERIFY(ShowActive(*window_));
}

void WindowTest::cleanup() {
  window_.reset();
  folder_.reset();
}

bool ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  return QTest::qWaitForWindowActive(&window);
}

bool WaitIdle(const QWidget& window, int timeoutMs) {
  const auto* main = qobject_cast<const MainWindow*>(&window);
  if (main == nullptr) return true;
  return QTest::qWaitFor([main] { return !main->Busy(); }, timeoutMs);
}

void Click(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton);
  WaitIdle(*widget->window());
}

void TypeText(QWidget* widget, const QString& text) {
  for (const QChar character : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
  }
}

void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QTest::keyClick(widget, key, modifiers);
  WaitIdle(*widget->window());
}

void ClickButton(const QWidget& window, const char* name) {
  Click(Button(window, name));
}

void StartParse(const QWidget& window, const QString& address) {
  QLineEdit* box = AddressBox(window);
  QTest::mouseDClick(box, Qt::LeftButton);
  TypeText(box, address);
  QTest::mouseClick(Button(window, "按钮1"), Qt::LeftButton);
}

void ParseAddress(const QWidget& window, const QString& address) {
  StartParse(window, address);
  WaitIdle(window);
}

void DoubleClickRow(QTableWidget* list, int row) {
  const QPoint centre = CellCentre(list, row, 1);
  // A person's double-click: the first click selects the row, the second opens it.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
  WaitIdle(*list->window());
}

void RightClickRow(QTableWidget* list, int row) {
  QTest::mousePress(list->viewport(), Qt::RightButton, {}, CellCentre(list, row, 1));
  QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, CellCentre(list, row, 1));
}

void ToggleRowCheck(QTableWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCentre(list, row, 1));
  list->setFocus();
  // Space acts on the current item; the check box lives in the first column.
  list->setCurrentCell(row, 0);
  QTest::keyClick(list, Qt::Key_Space);
}

std::vector<bool> RowChecks(const QTableWidget* list) {
  std::vector<bool> checks;
  for (int row = 0; row < list->rowCount(); ++row) checks.push_back(list->item(row, 0)->checkState() == Qt::Checked);
  return checks;
}

QStringList ColumnTexts(const QTableWidget* list, int column) {
  QStringList texts;
  for (int row = 0; row < list->rowCount(); ++row) texts << list->item(row, column)->text();
  return texts;
}

QMessageBox* ShownMessageBox(const QWidget& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
    if (box->isVisible()) return box;
  }
  return nullptr;
}

QString ShownMessageText(const QWidget& window) {
  const QMessageBox* box = ShownMessageBox(window);
  return box != nullptr ? box->text() : QString();
}

const std::vector<DemoChapter>& DemoChapters() {
  static const std::vector<DemoChapter> chapters = {
      {QStringLiteral("第一章 山门"),
       {QStringLiteral("青山脚下有一座小镇，镇上的人世代以采药为生，日出而作，日落而息。"),
        QStringLiteral("少年林默背着竹篓走过石桥，远处的钟声一下一下敲在山谷里。")}},
      {QStringLiteral("第二章 夜雨"),
       {QStringLiteral("入夜之后下起了雨，雨点打在瓦片上，像是有人在屋顶上来回踱步。"),
        QStringLiteral("林默点起油灯，翻开那本没有封面的旧书，书页上的字迹忽明忽暗。")}},
      {QStringLiteral("第三章 旧书"),
       {QStringLiteral("旧书里夹着一张发黄的地图，地图的一角画着一棵歪脖子松树。"),
        QStringLiteral("他认得那棵树，就在后山的断崖边上，小时候常去那里掏鸟窝。")}},
      {QStringLiteral("第四章 断崖"),
       {QStringLiteral("第二天一早，林默带上干粮和绳索，沿着猎户留下的小路上了后山。"),
        QStringLiteral("断崖下云雾翻涌，松树的根须之间露出一块刻着花纹的青石。")}},
      {QStringLiteral("第五章 青石"),
       {QStringLiteral("青石上的花纹摸上去微微发热，仿佛里面藏着一颗跳动的心。"),
        QStringLiteral("林默把手掌贴上去，耳边忽然响起一个苍老的声音，问他从哪里来。")}},
      {QStringLiteral("第六章 归途"),
       {QStringLiteral("下山的时候天已经黑了，镇子里的灯火一盏一盏亮起来。"),
        QStringLiteral("林默回头望了一眼后山，心里明白，从今往后的日子再也不会和从前一样。")}},
  };
  return chapters;
}

void WriteDemoSite(const std::filesystem::path& folder, const std::string& urlPrefix) {
  std::filesystem::create_directories(folder);
  const QString prefix = QString::fromStdString(urlPrefix);
  const QString head =
      QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">");

  QString index = head + QStringLiteral("<title>") + kDemoPageTitle + QStringLiteral("</title></head><body>\n");
  index += QStringLiteral(
      "<div class=\"nav\"><a href=\"/\">首页</a> <a href=\"/sort/xuanhuan/index.html\">玄幻小说</a></div>\n");
  index += QStringLiteral("<h1>") + kDemoBookTitle + QStringLiteral("</h1>\n<ul>\n");
  const auto& chapters = DemoChapters();
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    index += QStringLiteral("<li><a href=\"%1%2.html\">%3</a></li>\n").arg(prefix).arg(i + 1).arg(chapters[i].title);
  }
  index += QStringLiteral("</ul></body></html>\n");
  WriteGbk(folder / "index.html", index);

  for (std::size_t i = 0; i < chapters.size(); ++i) {
    QString page = head + QStringLiteral("<title>") + chapters[i].title + QStringLiteral("_") + kDemoBookTitle +
                   QStringLiteral("</title></head><body>\n<div class=\"header\">书友小站</div>\n<div id=\"content\">");
    page += QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;") +
            chapters[i].paragraphs.join(QStringLiteral("<br /><br />&nbsp;&nbsp;&nbsp;&nbsp;"));
    page += QStringLiteral("</div>\n</body></html>\n");
    WriteGbk(folder / (std::to_string(i + 1) + ".html"), page);
  }
}

}  // namespace lekto::apptest
