#pragma once
// HostPacer: how fast one download may ask one host. Every request to a host waits its turn here: at most
// `maxAtOnce` requests to the host at a time, at least `minGap` between the starts of two of them (--delay), and
// no request while the host has asked for a pause. A host that answers "busy" (429, 503) is slowed down: it gets
// half as many requests at once (at least one) and a pause of the time it asked for (Retry-After) or one second;
// after a run of good answers it gets one more request at a time again, up to `maxAtOnce`.
// Thread-safe; one pacer serves all workers of a download.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

namespace lekto {

class HostPacer {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Answer { kGood, kBusy, kOther };

  HostPacer(int maxAtOnce, std::chrono::milliseconds minGap);

  // Blocks until a request to `host` may start, then counts it as running. False, counting nothing, when `stop`
  // became true while waiting.
  bool Acquire(const std::string& host, const std::atomic<bool>& stop);
  // Ends a request that Acquire let start. `pause` (from Retry-After) is used for a busy answer.
  void Release(const std::string& host, Answer answer, std::chrono::milliseconds pause = {});

  // For tests: the requests the host may have running at once now.
  int AllowedAtOnce(const std::string& host);

 private:
  struct Host {
    int running = 0;
    int allowed = 0;
    int goodRun = 0;  // good answers since the last slow-down or speed-up
    Clock::time_point nextStart{};
  };
  Host& HostEntry(const std::string& host);  // with mutex_ held

  const int maxAtOnce_;
  const std::chrono::milliseconds minGap_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Host> hosts_;
};

}  // namespace lekto
