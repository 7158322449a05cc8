#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "app/core/wait_clock.h"

namespace testsupport {

// A WaitClock whose time moves only when the test advances it. Sleepers wake when
// the time reaches their deadline (or their stop is requested).
class ManualWaitClock final : public core::WaitClock {
 public:
  TimePoint now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }

  bool sleepUntil(TimePoint deadline, std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    const auto sleeper = sleepers_.insert(deadline);
    changed_.notify_all();
    const bool reached = changed_.wait(lock, stop, [&] { return now_ >= deadline; });
    sleepers_.erase(sleeper);
    changed_.notify_all();
    return reached;
  }

  void advance(std::chrono::nanoseconds step) {
    std::lock_guard lock(mutex_);
    now_ += step;
    changed_.notify_all();
  }

  // Waits (bounded) until some thread sleeps until exactly `deadline`.
  bool waitForSleeper(TimePoint deadline, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return sleepers_.count(deadline) > 0; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  TimePoint now_{};
  std::multiset<TimePoint> sleepers_;
};

// Polls `condition` until it holds or `timeout` passes; for results another thread produces.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testsupport
