#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/core/logger.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/engine/engine_clock.h"

namespace engine {

// The locomotion engine: owns the 50 Hz engine thread and starts/stops the
// services around it.
class Engine {
 public:
  Engine(core::Settings& settings, core::Logger& logger, core::ServiceManager& services, const Clock& clock);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // initializeAll, then the engine thread; logs "Engine: Logic initialized.".
  void start();
  // Stops and joins the engine thread, then cleanupAll. Safe to call twice.
  void stop();
  bool running() const { return running_; }

  // Number of engine-thread passes so far (for tests and diagnostics).
  long passes() const { return passes_; }

  // One pass of the engine thread at engine time `now`.
  void runPass(double now);

 private:
  void threadMain();

  core::Settings& settings_;
  core::Logger& logger_;
  core::ServiceManager& services_;
  const Clock& clock_;
  std::atomic<bool> running_{false};
  std::atomic<long> passes_{0};
  std::thread thread_;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace engine
