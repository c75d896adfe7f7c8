// The browser engine module: Qt WebEngine behind the EngineApi of engine_module.h.
#include "browser/engine_module.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QNetworkCookie>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace lekto::browser {
namespace {

using Clock = std::chrono::steady_clock;

const EngineHost* host = nullptr;  // set by the entry before anything else runs

void PrepareProcess();
void ShutDown();

// Put into every document before its own scripts run: counts the fetch() and XMLHttpRequest calls still waiting
// for their answer, which the network alone cannot show (a request that started long ago may still be open).
constexpr char16_t kPendingCounter[] =
    uR"JS((function () {
  var pending = 0;
  window.__lektoPending = function () { return pending; };
  var originalFetch = window.fetch;
  if (originalFetch) {
    window.fetch = function () {
      pending++;
      return originalFetch.apply(this, arguments).finally(function () { pending--; });
    };
  }
  var originalSend = XMLHttpRequest.prototype.send;
  XMLHttpRequest.prototype.send = function () {
    var counted = true;
    pending++;
    this.addEventListener('loadend', function () { if (counted) { counted = false; pending--; } });
    try { return originalSend.apply(this, arguments); }
    catch (e) { if (counted) { counted = false; pending--; } throw e; }
  };
})();)JS";

// Requests in flight, and the size and element count of the document: the page is quiet when the first is zero
// and the others stay the same.
constexpr char16_t kQuietProbe[] =
    u"[window.__lektoPending ? window.__lektoPending() : 0,"
    u" document.documentElement ? document.documentElement.outerHTML.length : 0,"
    u" document.getElementsByTagName('*').length]";

constexpr auto kTick = std::chrono::milliseconds(100);

bool IsLoopback(const QUrl& url) {
  const QString host = url.host();
  return host == QStringLiteral("localhost") || host.startsWith(QStringLiteral("127.")) ||
         host == QStringLiteral("::1");
}

// Notes when the page last asked for anything: a script, an image, a frame, an XHR. A page served from this
// machine (a saved copy, a test's site) asks only this machine: its other addresses are the original site's.
class RequestWatch final : public QWebEngineUrlRequestInterceptor {
 public:
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    last_ = Clock::now().time_since_epoch().count();
    if (IsLoopback(info.firstPartyUrl()) && !IsLoopback(info.requestUrl())) info.block(true);
  }
  Clock::time_point Last() const { return Clock::time_point(Clock::duration(last_.load())); }
  void Reset() { last_ = Clock::now().time_since_epoch().count(); }

 private:
  std::atomic<Clock::rep> last_{0};  // set on the engine's network thread
};

struct Job {
  std::string url;
  std::promise<http::Response> done;
};

http::StoredCookie ToStored(const QNetworkCookie& cookie) {
  http::StoredCookie stored;
  stored.domain = cookie.domain().toStdString();
  stored.includeSubdomains = cookie.domain().startsWith(QLatin1Char('.'));
  stored.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
  stored.secure = cookie.isSecure();
  stored.httpOnly = cookie.isHttpOnly();
  stored.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
  stored.name = cookie.name().toStdString();
  stored.value = cookie.value().toStdString();
  return stored;
}

QNetworkCookie ToQt(const http::StoredCookie& stored) {
  QNetworkCookie cookie(QByteArray::fromStdString(stored.name), QByteArray::fromStdString(stored.value));
  QString domain = QString::fromStdString(stored.domain);
  if (stored.includeSubdomains && !domain.startsWith(QLatin1Char('.'))) domain.prepend(QLatin1Char('.'));
  cookie.setDomain(domain);
  cookie.setPath(QString::fromStdString(stored.path));
  cookie.setSecure(stored.secure);
  cookie.setHttpOnly(stored.httpOnly);
  if (stored.expires > 0) cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(stored.expires));
  return cookie;
}

// The address a cookie may be set from: its own host, over HTTPS when it is secure.
QUrl OriginOf(const http::StoredCookie& stored) {
  std::string host = stored.domain;
  if (host.starts_with('.')) host.erase(0, 1);
  QUrl origin;
  origin.setScheme(stored.secure ? QStringLiteral("https") : QStringLiteral("http"));
  origin.setHost(QString::fromStdString(host));
  origin.setPath(QString::fromStdString(stored.path));
  return origin;
}

http::Response Failed(http::TransferError error, int status = 0) {
  http::Response response;
  response.error = error;
  response.status = status;
  return response;
}

// One browser page: reads one address at a time and tells its owner when it is free again.
class Reader final : public QObject {
 public:
  Reader(QWebEngineProfile* profile, std::function<void(Reader*)> onFree) : onFree_(std::move(onFree)) {
    page_ = new QWebEnginePage(profile, this);
    page_->setUrlRequestInterceptor(&watch_);
    connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
      if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        loading_ = true;
        return;
      }
      loading_ = false;
      loaded_ = true;
      if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        status_ = info.errorCode();
        unreachable_ = false;
      } else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        status_ = 200;
        unreachable_ = false;
      } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        unreachable_ = true;
      }
    });
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  }

  ~Reader() override {
    if (job_) job_->done.set_value(Failed(http::TransferError::kOther));
    delete page_;  // before the interceptor it points to
  }

  void Start(std::shared_ptr<Job> job, const EngineLimits& limits) {
    job_ = std::move(job);
    limits_ = limits;
    ++generation_;
    started_ = Clock::now();
    loading_ = true;
    loaded_ = false;
    unreachable_ = false;
    probing_ = false;
    status_ = 0;
    signature_.reset();
    stableSince_ = started_;
    watch_.Reset();
    page_->load(QUrl::fromEncoded(QByteArray::fromStdString(job_->url)));
    timer_.start(kTick);
  }

 private:
  void Tick() {
    if (!job_ || probing_) return;
    const bool capped = Clock::now() - started_ >= limits_.cap;
    if (!capped && (loading_ || !loaded_)) return;
    if (unreachable_ && !loading_) return Finish(Failed(http::TransferError::kConnect));
    probing_ = true;
    const unsigned generation = generation_;
    page_->runJavaScript(QString::fromUtf16(kQuietProbe), QWebEngineScript::MainWorld,
                         [this, generation, capped](const QVariant& result) {
                           if (generation != generation_ || !job_) return;
                           probing_ = false;
                           if (capped || Quiet(result)) TakeDocument(capped);
                         });
  }

  // True when no request is in flight and the document has not changed for the quiet time.
  bool Quiet(const QVariant& probe) {
    const QVariantList values = probe.toList();
    if (values.size() != 3) return false;
    const auto now = Clock::now();
    const std::tuple<long long, long long> signature{values[1].toLongLong(), values[2].toLongLong()};
    if (signature_ != signature) {
      signature_ = signature;
      stableSince_ = now;
      return false;
    }
    return values[0].toInt() == 0 && now - stableSince_ >= limits_.quiet && now - watch_.Last() >= limits_.quiet;
  }

  void TakeDocument(bool capped) {
    probing_ = true;
    const unsigned generation = generation_;
    page_->toHtml([this, generation, capped](const QString& html) {
      if (generation != generation_ || !job_) return;
      probing_ = false;
      http::Response response = http::Response::Answered(html.toStdString(), status_ > 0 ? status_ : 200);
      response.contentType = "text/html; charset=UTF-8";
      if (host->looksLikeCheckPage(response)) {
        // A check page reloads the page itself once its script is done: wait for that, up to the cap.
        if (!capped) {
          stableSince_ = Clock::now();
          return;
        }
        http::Response failed = Failed(http::TransferError::kCheckNotPassed, response.status);
        failed.body = std::move(response.body);
        return Finish(std::move(failed));
      }
      Finish(std::move(response));
    });
  }

  void Finish(http::Response response) {
    timer_.stop();
    ++generation_;
    std::shared_ptr<Job> job = std::move(job_);
    job_.reset();
    page_->triggerAction(QWebEnginePage::Stop);
    onFree_(this);  // hands the earned cookies on before the reader of the page is told
    job->done.set_value(std::move(response));
  }

  QWebEnginePage* page_ = nullptr;
  RequestWatch watch_;
  QTimer timer_;
  std::function<void(Reader*)> onFree_;
  std::shared_ptr<Job> job_;
  EngineLimits limits_;
  unsigned generation_ = 0;  // tells a late answer of an earlier reading from the current one
  Clock::time_point started_;
  Clock::time_point stableSince_;
  std::optional<std::tuple<long long, long long>> signature_;
  bool loading_ = false;
  bool loaded_ = false;
  bool unreachable_ = false;
  bool probing_ = false;
  int status_ = 0;
};

// The profile, its cookies and the pool of readers; lives on the engine's thread.
class Engine final : public QObject {
 public:
  Engine() {
    profile_ = new QWebEngineProfile(this);  // off the record: nothing of it is written to disk
    QWebEngineScript counter;
    counter.setName(QStringLiteral("lekto-pending"));
    counter.setInjectionPoint(QWebEngineScript::DocumentCreation);
    counter.setWorldId(QWebEngineScript::MainWorld);
    counter.setRunsOnSubFrames(false);
    counter.setSourceCode(QString::fromUtf16(kPendingCounter));
    profile_->scripts()->insert(counter);
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
        reader = new Reader(profile_, [this](Reader* done) { Freed(done); });
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
  static const EngineApi api{PrepareProcess, Read, ShutDown, SetLimits};
  lekto::browser::host = host;
  return &api;
}
