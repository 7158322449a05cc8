#include "app/engine/engine.h"

#include <chrono>

namespace engine {

Engine::Engine(core::Settings& settings, core::Logger& logger, core::ServiceManager& services, const Clock& clock)
    : settings_(settings), logger_(logger), services_(services), clock_(clock) {}

Engine::~Engine() { stop(); }

void Engine::start() {
  if (running_) return;
  services_.initializeAll();
  running_ = true;
  thread_ = std::thread(&Engine::threadMain, this);
  logger_.info("Engine: Logic initialized.");
}

void Engine::stop() {
  const bool wasRunning = running_.exchange(false);
  {
    std::lock_guard lock(wakeMutex_);
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (wasRunning) services_.cleanupAll();
}

void Engine::runPass(double now) { ++passes_; }

void Engine::threadMain() {
  // One pass every 20 ms plus the pass's own work. The wait wakes early on stop.
  while (running_) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    {
      std::unique_lock lock(wakeMutex_);
      wake_.wait_until(lock, deadline, [this] { return !running_; });
    }
    if (!running_) break;
    runPass(clock_.now());
  }
}

}  // namespace engine
