#include "app/core/wait_clock.h"

#include <condition_variable>
#include <mutex>

namespace core {
namespace {

class SteadyWaitClock final : public WaitClock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }

  bool sleepUntil(TimePoint deadline, std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    // Only a stop request ends the wait early; spurious wake-ups (another sleeper's
    // stop wakes them all) resume it.
    wake_.wait_until(lock, stop, deadline, [] { return false; });
    return !stop.stop_requested();
  }

 private:
  // Shared by every sleeper of this clock: made once, as condition_variable_any
  // allocates when it is made.
  std::mutex mutex_;
  std::condition_variable_any wake_;
};

}  // namespace

std::shared_ptr<WaitClock> steadyWaitClock() { return std::make_shared<SteadyWaitClock>(); }

}  // namespace core
