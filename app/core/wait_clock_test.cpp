#include "app/core/wait_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace core {
namespace {

using namespace std::chrono_literals;

// The steady clock's sleepers share one condition variable: a stop wakes only the
// sleeper it was meant for, and a deadline still ends a sleep that nobody stops.
TEST(SteadyWaitClock, AStopEndsOnlyItsOwnSleep) {
  const std::shared_ptr<WaitClock> clock = steadyWaitClock();
  std::atomic<int> stoppedEarly{0};
  std::atomic<bool> otherReturned{false};
  std::stop_source first, second;
  std::jthread a([&] { stoppedEarly += !clock->sleepUntil(clock->now() + 60s, first.get_token()); });
  std::jthread b([&] {
    clock->sleepUntil(clock->now() + 60s, second.get_token());
    otherReturned = true;
  });
  std::this_thread::sleep_for(20ms);  // both are waiting (if not, the stop is seen on entry)
  first.request_stop();
  a.join();
  EXPECT_EQ(stoppedEarly, 1);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(otherReturned);
  second.request_stop();
  b.join();
  EXPECT_TRUE(otherReturned);
  EXPECT_TRUE(clock->sleepUntil(clock->now() + 1ms, std::stop_token{}));  // a deadline that passes
}

}  // namespace
}  // namespace core
