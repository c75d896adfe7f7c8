// The browser engine module: Qt WebEngine behind the EngineApi of engine_module.h. The engine holds the profile,
// its cookies and a pool of readers (page_reader.h) on one Qt thread: the application's, or one of its own.
#include "browser/engine_module.h"
#include "browser/page_reader.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace lekto::browser {
namespace {

const EngineHost* host = nullptr;  // set by the entry before anything else runs

void PrepareProcess();
void ShutDown();

// The profile, its cookies and the pool of readers; lives on the engine's thread.
class Engine final : public QObject {
 public:
  Engine() {
    profile_ = new QWebEngineProfile(this);  // off the record: nothing of it is written to disk
    InstallPendingCounter(profile_);
    QWebEngineCookieStore* store = profile_->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie& cookie) { cookies_[KeyOf(cookie)] = cookie; });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) { cookies_.erase(KeyOf(cookie)); });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { ClosePages(); });
  }

  ~Engine() override {
    ClosePages();
    delete profile_;
  }

  // Pages go before their profile, and Chromium lets go of a page's contents only once the event loop has run
  // after it; the application's end is the last moment that loop runs. Every reading still waiting is told it
  // failed.
  void ClosePages() {
    for (Reader* reader : all_) delete reader;
    all_.clear();
    idle_.clear();
    for (const std::shared_ptr<Job>& job : queue_) job->done.set_value(Failed(http::TransferError::kOther));
    queue_.clear();
    for (int round = 0; round < 3; ++round) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
    }
  }

  void Enqueue(std::shared_ptr<Job> job, const EngineLimits& limits) {
    limits_ = limits;
    queue_.push_back(std::move(job));
    StartWaiting();
  }

 private:
  using CookieKey = std::tuple<QString, QString, QByteArray>;
  static CookieKey KeyOf(const QNetworkCookie& cookie) { return {cookie.domain(), cookie.path(), cookie.name()}; }

  void StartWaiting() {
    while (!queue_.empty()) {
      Reader* reader = nullptr;
      if (!idle_.empty()) {
        reader = idle_.back();
        idle_.pop_back();
      } else if (static_cast<int>(all_.size()) < std::max(1, limits_.pages)) {
        reader = new Reader(profile_, host->looksLikeCheckPage, [this](Reader* done) { Freed(done); });
        all_.push_back(reader);
      } else {
        return;
      }
      std::shared_ptr<Job> job = std::move(queue_.front());
      queue_.pop_front();
      ShareStoreCookies();
      reader->Start(std::move(job), limits_);
    }
  }

  // The reader's own cookies and those the plain fetches were given go with the page.
  void ShareStoreCookies() {
    QWebEngineCookieStore* store = profile_->cookieStore();
    for (const http::StoredCookie& cookie : host->cookiesInStore()) {
      const QNetworkCookie qtCookie = ToQt(cookie);
      const auto known = cookies_.find(KeyOf(qtCookie));
      if (known != cookies_.end() && known->second.value() == qtCookie.value()) continue;
      store->setCookie(qtCookie, OriginOf(cookie));
    }
  }

  // What the browser earned goes to the plain fetches of the same hosts.
  void Freed(Reader* reader) {
    std::vector<http::StoredCookie> earned;
    earned.reserve(cookies_.size());
    for (const auto& [key, cookie] : cookies_) earned.push_back(ToStored(cookie));
    host->addToCookieStore(earned);
    idle_.push_back(reader);
    QTimer::singleShot(0, this, [this] { StartWaiting(); });
  }

  QWebEngineProfile* profile_ = nullptr;
  std::vector<Reader*> all_;
  std::vector<Reader*> idle_;
  std::deque<std::shared_ptr<Job>> queue_;
  std::map<CookieKey, QNetworkCookie> cookies_;
  EngineLimits limits_;
};

// The one engine of the process, and the thread it runs on when the program has no Qt application.
struct Global {
  std::mutex mutex;
  bool started = false;
  bool ended = false;
  bool ownThread = false;
  Engine* engine = nullptr;
  std::thread thread;
  EngineLimits limits;
};

Global& TheGlobal() {
  static Global* const global = new Global;  // outlives the threads that may still ask at process end
  return *global;
}

// Chromium's and Qt's chatter would land in the command line's error output between its own lines.
void QuietMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (qEnvironmentVariableIsSet("LEKTO_BROWSER_LOG") || type == QtFatalMsg) {
    std::fprintf(stderr, "browser: %s\n", message.toLocal8Bit().constData());
  }
}

void EndEngineInApplication() {
  Global& global = TheGlobal();
  std::lock_guard lock(global.mutex);
  global.ended = true;
  delete global.engine;
  global.engine = nullptr;
}

// With Global::mutex held. False when the engine cannot be (or can no longer be) started.
bool StartLocked(Global& global) {
  if (global.ended) return false;
  if (global.started) return global.engine != nullptr;
  global.started = true;
  PrepareProcess();
  if (QCoreApplication::instance() != nullptr) {
    // The window's own application: the engine lives on its thread, which never waits for a page.
    QObject* app = QCoreApplication::instance();
    // A child of the application: its pages and profile are closed while the application still stands.
    const auto create = [&global, app] {
      global.engine = new Engine;
      global.engine->setParent(app);
    };
    if (QThread::currentThread() == app->thread()) {
      create();
    } else {
      QMetaObject::invokeMethod(app, create, Qt::BlockingQueuedConnection);
    }
    // The application's end releases the engine's profile from a routine of Qt WebEngine's own; routines run
    // newest first, so this one closes the pages before that.
    qAddPostRoutine(EndEngineInApplication);
    return global.engine != nullptr;
  }
  // No application: one of our own, offscreen, on a thread that runs its event loop until ShutDown.
  std::promise<Engine*> ready;
  std::future<Engine*> engine = ready.get_future();
  global.ownThread = true;
  global.thread = std::thread([&ready] {
    qInstallMessageHandler(QuietMessages);
    static char name[] = "lekto";
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {name, platformOption, offscreen, nullptr};
    // A platform the reader chose stays chosen; otherwise no display is needed.
    int argc = qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? 1 : 3;
    QGuiApplication app(argc, argv);
    auto* engineObject = new Engine;
    ready.set_value(engineObject);
    QGuiApplication::exec();
    delete engineObject;
  });
  global.engine = engine.get();
  // Chromium must be ended before the process's static objects go, whether or not main() said so.
  std::atexit(ShutDown);
  return true;
}

http::Response Read(const std::string& url) {
  Global& global = TheGlobal();
  Engine* engine = nullptr;
  EngineLimits limits;
  {
    std::lock_guard lock(global.mutex);
    if (!StartLocked(global)) return Failed(http::TransferError::kOther);
    engine = global.engine;
    limits = global.limits;
  }
  // The engine's own thread would wait for itself.
  if (QThread::currentThread() == engine->thread()) return Failed(http::TransferError::kOther);
  auto job = std::make_shared<Job>();
  job->url = url;
  std::future<http::Response> answer = job->done.get_future();
  QMetaObject::invokeMethod(
      engine, [engine, job, limits] { engine->Enqueue(job, limits); }, Qt::QueuedConnection);
  // The reading ends by itself at the cap; past it by far, the engine is gone.
  if (answer.wait_for(limits.cap + std::chrono::seconds(30)) != std::future_status::ready) {
    return Failed(http::TransferError::kTimedOut);
  }
  try {
    return answer.get();
  } catch (const std::future_error&) {
    return Failed(http::TransferError::kOther);
  }
}

void PrepareProcess() {
  // Chromium's sandbox refuses to run as root; a machine that runs Lekto as root (a container, CI) reads pages
  // without it.
  if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3");
  if (QCoreApplication::instance() == nullptr) QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void ShutDown() {
  Global& global = TheGlobal();
  std::lock_guard lock(global.mutex);
  global.ended = true;
  if (!global.ownThread || !global.thread.joinable()) return;
  QMetaObject::invokeMethod(
      global.engine, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
  global.thread.join();
  global.engine = nullptr;
}

void SetLimits(const EngineLimits& limits) {
  Global& global = TheGlobal();
  std::lock_guard lock(global.mutex);
  global.limits = limits;
}

}  // namespace
}  // namespace lekto::browser

extern "C" __attribute__((visibility("default"))) const lekto::browser::EngineApi* LektoBrowserEngine(
    const lekto::browser::EngineHost* host) {
  using namespace lekto::browser;
  static const EngineApi api{Read, ShutDown, SetLimits};
  lekto::browser::host = host;
  return &api;
}
