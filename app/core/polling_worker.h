#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "app/core/wait_clock.h"

namespace core {

// One thread that calls a step, waits on the injected clock for as long as the step
// asks, and calls it again, until stopped. Stop requests wake the wait at once.
class PollingWorker {
 public:
  // Given the time the step began; returns how long after that the next step begins.
  using Step = std::function<std::chrono::milliseconds(WaitClock::TimePoint now)>;

  explicit PollingWorker(std::shared_ptr<WaitClock> clock);
  ~PollingWorker();
  PollingWorker(const PollingWorker&) = delete;
  PollingWorker& operator=(const PollingWorker&) = delete;

  // Runs `step` first after `firstDelay`; true also when already running, false
  // when no thread could be started.
  bool start(Step step, std::chrono::milliseconds firstDelay = std::chrono::milliseconds(0));
  // Requests the stop and joins; the step is not called again. Not from inside the step.
  void stop();
  bool running() const;

 private:
  std::shared_ptr<WaitClock> clock_;
  mutable std::mutex mutex_;
  std::jthread thread_;
};

}  // namespace core
