#pragma once
// One page-fetching job of the window (a table-of-contents parse, a chapter for the viewer) run on a thread of
// its own, so that the window keeps painting and can be told to stop waiting.
//
// The job's thread never touches a widget: what it has to say reaches the window's thread as queued calls, and
// only while the job has not been cancelled. Cancelling is immediate for the window: nothing the job sends is
// delivered any more, and every later fetch of the job fails at once. A request already on its way cannot be
// taken back; the thread ends when it returns, holding nothing of the window.
#include "app/fetch_log.h"
#include "chapter/book.h"
#include "chapter/controls.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace lekto {

// The controls as they stood when a job started: the job reads these, never the live window. Unlike the
// download's ControlsSnapshot it keeps no link to the live controls, which may be gone before the job's thread
// ends; the parse and the viewer write no row states.
class FrozenControls final : public Controls {
 public:
  explicit FrozenControls(const Controls& live);
  std::string Address() const override { return address_; }
  bool Transcode() const override { return transcode_; }
  bool Preprocess() const override { return preprocess_; }
  bool FiltersEnabled() const override { return filtersEnabled_; }
  std::string FilterRules() const override { return filterRules_; }
  bool RowChecked(int /*row*/) const override { return false; }
  void SetRowState(int /*row*/, const std::string& /*state*/) override {}

 private:
  std::string address_;
  bool transcode_;
  bool preprocess_;
  bool filtersEnabled_;
  std::string filterRules_;
};

class BackgroundJob final : public std::enable_shared_from_this<BackgroundJob> {
 public:
  // Runs on the job's thread with the fetcher it must use and the log of that fetcher's fetches so far; returns
  // what the window does with the result, which runs on the window's thread (and not at all after a cancel).
  using Work = std::function<std::function<void()>(const Fetcher& fetch, const FetchLog& log)>;
  // Runs on the window's thread before each fetch, with its 1-based number and the address.
  using FetchNote = std::function<void(int fetchNumber, const std::string& url)>;

  // Starts `work` on a new thread; calls go to `receiver`'s thread. `fetch` is wrapped so that it fails at once
  // after a cancel.
  static std::shared_ptr<BackgroundJob> Start(QObject* receiver, Fetcher fetch, Work work, FetchNote onFetch);

  // Window's thread. Nothing more of this job reaches the window.
  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }

  // Threads of jobs that have not ended yet, cancelled ones included. The program ends without waiting for them.
  static int RunningThreads();

 private:
  explicit BackgroundJob(QObject* receiver) : receiver_(receiver) {}
  // Any thread: queues `call` onto the receiver's thread, where it runs unless the job was cancelled by then.
  void Post(std::function<void()> call);

  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;  // guards receiver_, so that a cancel and a post never cross
  QObject* receiver_;
};

}  // namespace lekto
