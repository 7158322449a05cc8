#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace tracking {

// The pause between reconnection attempts, injected so tests can step it.
class IRetryTimer {
 public:
  virtual ~IRetryTimer() = default;
  // Returns after `delay`, or earlier once `cancelled()` is true after a wake().
  virtual void wait(std::chrono::milliseconds delay, const std::function<bool()>& cancelled) = 0;
  // Re-checks the waiter's `cancelled`.
  virtual void wake() = 0;
};

// Waits on the steady clock.
class SteadyRetryTimer final : public IRetryTimer {
 public:
  void wait(std::chrono::milliseconds delay, const std::function<bool()>& cancelled) override {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, delay, cancelled);
  }
  void wake() override {
    // Taking the lock orders the caller's change of `cancelled` before the waiter's check.
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace tracking
