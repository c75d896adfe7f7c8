#include "download/host_pacer.h"

#include <algorithm>

namespace lekto {

namespace {

// A pause without Retry-After, and the most a Retry-After may ask for: a site asking for an hour would otherwise
// hold the download for an hour.
constexpr std::chrono::milliseconds kDefaultPause{1000};
constexpr std::chrono::milliseconds kMaxPause{60000};
// Good answers in a row (per allowed request) before one more request at a time is allowed again.
constexpr int kGoodRunPerStep = 4;
// How often a waiting request looks at the stop flag.
constexpr std::chrono::milliseconds kStopPoll{50};

}  // namespace

HostPacer::HostPacer(int maxAtOnce, std::chrono::milliseconds minGap)
    : maxAtOnce_(std::max(1, maxAtOnce)), minGap_(std::max(minGap, std::chrono::milliseconds(0))) {}

HostPacer::Host& HostPacer::HostEntry(const std::string& host) {
  Host& entry = hosts_[host];
  if (entry.allowed == 0) entry.allowed = maxAtOnce_;
  return entry;
}

bool HostPacer::Acquire(const std::string& host, const std::atomic<bool>& stop) {
  std::unique_lock lock(mutex_);
  while (true) {
    if (stop) return false;
    Host& entry = HostEntry(host);
    const Clock::time_point now = Clock::now();
    if (entry.running < entry.allowed && now >= entry.nextStart) {
      ++entry.running;
      if (minGap_.count() > 0) entry.nextStart = now + minGap_;
      return true;
    }
    Clock::time_point until = now + kStopPoll;
    if (entry.running < entry.allowed) until = std::min(until, entry.nextStart);
    changed_.wait_until(lock, until);
  }
}

void HostPacer::Release(const std::string& host, Answer answer, std::chrono::milliseconds pause) {
  {
    std::lock_guard lock(mutex_);
    Host& entry = HostEntry(host);
    entry.running = std::max(0, entry.running - 1);
    if (answer == Answer::kBusy) {
      entry.allowed = std::max(1, entry.allowed / 2);
      entry.goodRun = 0;
      const std::chrono::milliseconds wait = pause.count() > 0 ? std::min(pause, kMaxPause) : kDefaultPause;
      entry.nextStart = std::max(entry.nextStart, Clock::now() + wait);
    } else if (answer == Answer::kGood && entry.allowed < maxAtOnce_ &&
               ++entry.goodRun >= kGoodRunPerStep * entry.allowed) {
      ++entry.allowed;
      entry.goodRun = 0;
    }
  }
  changed_.notify_all();
}

int HostPacer::AllowedAtOnce(const std::string& host) {
  std::lock_guard lock(mutex_);
  return HostEntry(host).allowed;
}

}  // namespace lekto
