#include "browser/page_reader.h"

#include <QDateTime>
#include <QVariant>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestInfo>

#include <utility>

namespace lekto::browser {
namespace {

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

}  // namespace

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

http::Response Failed(http::TransferError error, int status) {
  http::Response response;
  response.error = error;
  response.status = status;
  return response;
}

void InstallPendingCounter(QWebEngineProfile* profile) {
  QWebEngineScript counter;
  counter.setName(QStringLiteral("lekto-pending"));
  counter.setInjectionPoint(QWebEngineScript::DocumentCreation);
  counter.setWorldId(QWebEngineScript::MainWorld);
  counter.setRunsOnSubFrames(false);
  counter.setSourceCode(QString::fromUtf16(kPendingCounter));
  profile->scripts()->insert(counter);
}

void RequestWatch::interceptRequest(QWebEngineUrlRequestInfo& info) {
  last_ = Clock::now().time_since_epoch().count();
  if (IsLoopback(info.firstPartyUrl()) && !IsLoopback(info.requestUrl())) info.block(true);
}

Reader::Reader(QWebEngineProfile* profile, bool (*isCheckPage)(const http::Response&),
               std::function<void(Reader*)> onFree)
    : isCheckPage_(isCheckPage), onFree_(std::move(onFree)) {
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

Reader::~Reader() {
  if (job_) job_->done.set_value(Failed(http::TransferError::kOther));
  delete page_;  // before the interceptor it points to
}

void Reader::Start(std::shared_ptr<Job> job, const EngineLimits& limits) {
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

void Reader::Tick() {
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
bool Reader::Quiet(const QVariant& probe) {
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

void Reader::TakeDocument(bool capped) {
  probing_ = true;
  const unsigned generation = generation_;
  page_->toHtml([this, generation, capped](const QString& html) {
    if (generation != generation_ || !job_) return;
    probing_ = false;
    http::Response response = http::Response::Answered(html.toStdString(), status_ > 0 ? status_ : 200);
    response.contentType = "text/html; charset=UTF-8";
    if (isCheckPage_(response)) {
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

void Reader::Finish(http::Response response) {
  timer_.stop();
  ++generation_;
  std::shared_ptr<Job> job = std::move(job_);
  job_.reset();
  page_->triggerAction(QWebEnginePage::Stop);
  onFree_(this);  // hands the earned cookies on before the reader of the page is told
  job->done.set_value(std::move(response));
}

}  // namespace lekto::browser
