// Pages that need a browser, in the window: the reader chooses when pages are read in one and which cookies.txt
// file goes with every request, from the menu of "下载" and "合并"; both are kept with the settings. The cookies
// themselves stay in the reader's file: the settings keep only its path, and no book or record holds any.
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/timed_message.h"
#include "app/window_browser.h"
#include "http/cookie_file.h"

#include <QActionGroup>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>

#include <string>
#include <utility>

namespace lekto {

namespace {

const QString kBrowserUseKey = QStringLiteral("browser/use");
const QString kCookieFileKey = QStringLiteral("browser/cookieFile");

QString UseName(BrowserUse use) {
  switch (use) {
    case BrowserUse::kAlways:
      return QStringLiteral("always");
    case BrowserUse::kNever:
      return QStringLiteral("never");
    case BrowserUse::kAuto:
      break;
  }
  return QStringLiteral("auto");
}

}  // namespace

Fetcher BrowsingFetcher(Fetcher plain, std::shared_ptr<const WindowBrowser> browser) {
  return [plain = std::move(plain), browser = std::move(browser)](const std::string& url) {
    return FetchThroughBrowser(plain, browser->Choice())(url);
  };
}

void MainWindow::SetPageBrowser(PageBrowser browser) {
  browser_->read = std::move(browser);
}

BrowserUse MainWindow::CurrentBrowserUse() const {
  return browser_->use.load();
}

void MainWindow::SetBrowserUse(BrowserUse use) {
  browser_->use = use;
}

bool MainWindow::UseCookieFile(const std::filesystem::path& file) {
  std::string problem;
  if (!http::LoadCookieFile(file, &problem)) {
    ShowLastingMessage(this, tr("提示："), tr("Cookie 文件无法使用：") + QString::fromUtf8(problem.c_str()));
    return false;
  }
  cookieFile_ = file;
  return true;
}

void MainWindow::AddBrowserEntries(QMenu& menu) {
  menu.addSection(tr("浏览器读取"));
  auto* group = new QActionGroup(&menu);
  const std::pair<BrowserUse, QString> choices[] = {
      {BrowserUse::kAuto, tr("需要时用浏览器读取页面（默认）")},
      {BrowserUse::kAlways, tr("总是用浏览器读取页面")},
      {BrowserUse::kNever, tr("不用浏览器读取页面")},
  };
  const bool haveEngine = static_cast<bool>(browser_->read);
  for (const auto& [use, label] : choices) {
    QAction* action = menu.addAction(haveEngine ? label : label + tr("（本程序未带浏览器）"));
    action->setCheckable(true);
    action->setChecked(use == browser_->use.load());
    action->setEnabled(haveEngine || use == BrowserUse::kNever);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, use = use] { browser_->use = use; });
  }
  QAction* choose = menu.addAction(cookieFile_.empty() ? tr("选择 Cookie 文件（cookies.txt）…")
                                                       : tr("Cookie 文件：") + FromPath(cookieFile_.filename()));
  connect(choose, &QAction::triggered, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, tr("选择 Cookie 文件"), FromPath(cookieFile_),
                                                      tr("cookies.txt (*.txt);;所有文件 (*)"));
    if (!file.isEmpty()) UseCookieFile(ToPath(file));
  });
  QAction* drop = menu.addAction(tr("不再使用 Cookie 文件"));
  drop->setEnabled(!cookieFile_.empty() && !DownloadRunning() && !Busy());
  connect(drop, &QAction::triggered, this, [this] {
    cookieFile_.clear();
    http::ClearCookieStore();
  });
}

void MainWindow::LoadBrowserSettings() {
  const QSettings settings;
  const QString use = settings.value(kBrowserUseKey).toString();
  browser_->use = use == QStringLiteral("always")  ? BrowserUse::kAlways
                  : use == QStringLiteral("never") ? BrowserUse::kNever
                                                   : BrowserUse::kAuto;
  const QString file = settings.value(kCookieFileKey).toString();
  if (!file.isEmpty()) UseCookieFile(ToPath(file));
}

void MainWindow::SaveBrowserSettings() const {
  QSettings settings;
  settings.setValue(kBrowserUseKey, UseName(browser_->use.load()));
  settings.setValue(kCookieFileKey, FromPath(cookieFile_));
}

}  // namespace lekto
