#include "app/core/polling_worker.h"

#include <system_error>

namespace core {

PollingWorker::PollingWorker(std::shared_ptr<WaitClock> clock) : clock_(std::move(clock)) {}

PollingWorker::~PollingWorker() { stop(); }

bool PollingWorker::start(Step step, std::chrono::milliseconds firstDelay) {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return true;
  try {
    thread_ = std::jthread([clock = clock_, step = std::move(step), firstDelay](std::stop_token stop) {
      if (firstDelay.count() > 0 && !clock->sleepUntil(clock->now() + firstDelay, stop)) return;
      while (!stop.stop_requested()) {
        const WaitClock::TimePoint now = clock->now();
        const std::chrono::milliseconds next = step(now);
        if (!clock->sleepUntil(now + next, stop)) return;
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void PollingWorker::stop() {
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

bool PollingWorker::running() const {
  std::lock_guard lock(mutex_);
  return thread_.joinable();
}

}  // namespace core
