#include "app/core/wait_clock.h"

#include <condition_variable>
#include <mutex>

namespace core {
namespace {

class SteadyWaitClock final : public WaitClock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }

  bool sleepUntil(TimePoint deadline, std::stop_token stop) override {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    // Only a stop request ends the wait early; spurious wake-ups resume it.
    wake.wait_until(lock, stop, deadline, [] { return false; });
    return !stop.stop_requested();
  }
};

}  // namespace

std::shared_ptr<WaitClock> steadyWaitClock() { return std::make_shared<SteadyWaitClock>(); }

}  // namespace core
