#pragma once
// One browser page of the engine module: reads one address at a time, waits until the page is quiet, and answers
// with the document as its scripts left it. Also the cookie conversions between Qt's form and the store's.
#include "browser/engine_module.h"

#include <QNetworkCookie>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

class QWebEnginePage;
class QWebEngineProfile;
class QVariant;

namespace lekto::browser {

using Clock = std::chrono::steady_clock;

// What a reading is asked for, and where its answer goes.
struct Job {
  std::string url;
  std::promise<http::Response> done;
};

http::StoredCookie ToStored(const QNetworkCookie& cookie);
QNetworkCookie ToQt(const http::StoredCookie& stored);
// The address a cookie may be set from: its own host, over HTTPS when it is secure.
QUrl OriginOf(const http::StoredCookie& stored);
http::Response Failed(http::TransferError error, int status = 0);

// Puts the counter of requests in flight into every document of `profile` before its own scripts run.
void InstallPendingCounter(QWebEngineProfile* profile);

// Notes when the page last asked for anything: a script, an image, a frame, an XHR. A page served from this
// machine (a saved copy, a test's site) asks only this machine: its other addresses are the original site's.
class RequestWatch final : public QWebEngineUrlRequestInterceptor {
 public:
  void interceptRequest(QWebEngineUrlRequestInfo& info) override;
  Clock::time_point Last() const { return Clock::time_point(Clock::duration(last_.load())); }
  void Reset() { last_ = Clock::now().time_since_epoch().count(); }

 private:
  std::atomic<Clock::rep> last_{0};  // set on the engine's network thread
};

// One browser page: reads one address at a time and tells its owner when it is free again.
class Reader final : public QObject {
 public:
  Reader(QWebEngineProfile* profile, bool (*isCheckPage)(const http::Response&), std::function<void(Reader*)> onFree);
  ~Reader() override;

  void Start(std::shared_ptr<Job> job, const EngineLimits& limits);

 private:
  void Tick();
  bool Quiet(const QVariant& probe);
  void TakeDocument(bool capped);
  void Finish(http::Response response);

  QWebEnginePage* page_ = nullptr;
  RequestWatch watch_;
  QTimer timer_;
  bool (*isCheckPage_)(const http::Response&);
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

}  // namespace lekto::browser
