#include "app/background_job.h"

#include <QMetaObject>
#include <thread>
#include <utility>

namespace lekto {

namespace {

std::atomic<int> runningThreads{0};

}  // namespace

FrozenControls::FrozenControls(const Controls& live)
    : address_(live.Address()),
      transcode_(live.Transcode()),
      preprocess_(live.Preprocess()),
      filtersEnabled_(live.FiltersEnabled()),
      filterRules_(live.FilterRules()) {}

std::shared_ptr<BackgroundJob> BackgroundJob::Start(QObject* receiver, Fetcher fetch, Work work, FetchNote onFetch) {
  std::shared_ptr<BackgroundJob> job(new BackgroundJob(receiver));
  // The wrapped fetcher holds the job weakly: the thread keeps it alive anyway, and nothing forms a cycle. The
  // log is the thread's own: the fetcher writes it and the work reads it, both on the job's thread.
  std::weak_ptr<BackgroundJob> weak = job;
  auto log = std::make_shared<FetchLog>();
  Fetcher guarded = [weak, fetch = std::move(fetch), onFetch = std::move(onFetch), log](const std::string& url) {
    http::Response response;
    const std::shared_ptr<BackgroundJob> self = weak.lock();
    if (!self || self->Cancelled()) {
      response.error = http::TransferError::kOther;
      return response;
    }
    const int number = static_cast<int>(log->size()) + 1;
    self->Post([onFetch, number, url] { onFetch(number, url); });
    response = fetch(url);
    log->push_back({url, PageFailure(response)});
    return response;
  };
  ++runningThreads;
  std::thread([job, guarded = std::move(guarded), log, work = std::move(work)] {
    std::function<void()> finish = work(guarded, *log);
    job->Post(std::move(finish));
    --runningThreads;
  }).detach();
  return job;
}

void BackgroundJob::Cancel() {
  cancelled_ = true;
  std::lock_guard lock(mutex_);
  receiver_ = nullptr;
}

void BackgroundJob::Post(std::function<void()> call) {
  // Posting under the lock keeps the receiver alive for the call: the window cancels under the same lock before
  // it goes away. A call already queued when the job is cancelled checks the flag on the window's thread.
  std::lock_guard lock(mutex_);
  if (receiver_ == nullptr) return;
  QMetaObject::invokeMethod(
      receiver_,
      [self = shared_from_this(), call = std::move(call)] {
        if (!self->Cancelled()) call();
      },
      Qt::QueuedConnection);
}

int BackgroundJob::RunningThreads() {
  return runningThreads.load();
}

}  // namespace lekto
