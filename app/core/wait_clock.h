#pragma once

#include <chrono>
#include <memory>
#include <stop_token>

namespace core {

// The monotonic clock the bridges wait on: the OpenXR writer's delayed release and
// the HMD reader's poll period. Injected so tests move time instead of sleeping.
// Shared by pointer because the writer's release thread may outlive the writer.
class WaitClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~WaitClock() = default;
  virtual TimePoint now() const = 0;
  // Returns true once `deadline` has passed, false as soon as `stop` is requested.
  virtual bool sleepUntil(TimePoint deadline, std::stop_token stop) = 0;
};

// std::chrono::steady_clock.
std::shared_ptr<WaitClock> steadyWaitClock();

}  // namespace core
