// The per-host pacer: the gap between two requests, the slow-down after a busy answer and the way back up.
#include "download/host_pacer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace lekto {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(HostPacerTest, GapSlowDownAndRecovery) {
  std::atomic<bool> stop{false};
  HostPacer pacer(6, milliseconds(150));

  // --delay: the second request to a host starts a whole gap after the first; another host does not wait.
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(pacer.Acquire("a:80", stop));
  ASSERT_TRUE(pacer.Acquire("b:80", stop));
  EXPECT_LT(Clock::now() - start, milliseconds(100));
  ASSERT_TRUE(pacer.Acquire("a:80", stop));
  EXPECT_GE(Clock::now() - start, milliseconds(150));
  pacer.Release("b:80", HostPacer::Answer::kGood);

  // A busy answer halves the requests at once and pauses the host for the time it asked.
  pacer.Release("a:80", HostPacer::Answer::kBusy, milliseconds(400));
  pacer.Release("a:80", HostPacer::Answer::kBusy, milliseconds(400));
  EXPECT_EQ(pacer.AllowedAtOnce("a:80"), 1);
  EXPECT_EQ(pacer.AllowedAtOnce("b:80"), 6);
  const Clock::time_point paused = Clock::now();
  ASSERT_TRUE(pacer.Acquire("a:80", stop));
  EXPECT_GE(Clock::now() - paused, milliseconds(300));

  // Good answers bring it back one step at a time.
  pacer.Release("a:80", HostPacer::Answer::kGood);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(pacer.Acquire("a:80", stop));
    pacer.Release("a:80", HostPacer::Answer::kGood);
  }
  EXPECT_EQ(pacer.AllowedAtOnce("a:80"), 2);

  // A stopped download does not wait out a pause.
  pacer.Release("a:80", HostPacer::Answer::kBusy, milliseconds(60000));
  stop = true;
  const Clock::time_point stopped = Clock::now();
  EXPECT_FALSE(pacer.Acquire("a:80", stop));
  EXPECT_LT(Clock::now() - stopped, milliseconds(1000));
}

}  // namespace
}  // namespace lekto
