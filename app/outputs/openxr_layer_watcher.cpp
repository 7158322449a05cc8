#include "app/outputs/openxr_layer_watcher.h"

#include <cstring>
#include <system_error>

namespace outputs {
namespace {

// A counter that jumps further than this between two looks is a new game's record,
// not frames: it counts as one.
constexpr std::uint32_t kMaxStep = 100000;

}  // namespace

OpenXRLayerWatcher::OpenXRLayerWatcher(core::Logger& logger, std::shared_ptr<core::WaitClock> clock,
                                       std::string sectionName)
    : logger_(logger), clock_(std::move(clock)), sectionName_(std::move(sectionName)) {}

OpenXRLayerWatcher::~OpenXRLayerWatcher() { stop(); }

void OpenXRLayerWatcher::start() {
  std::lock_guard lock(lifecycleMutex_);
  if (thread_.joinable()) return;
  tried_ = false;
  try {
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
  } catch (const std::system_error&) {
    logger_.error("[OpenXR Out] Could not start the layer watcher.");
  }
}

void OpenXRLayerWatcher::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
  memory_.close();
  gameRunning_ = false;
}

void OpenXRLayerWatcher::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    const core::WaitClock::TimePoint now = clock_->now();
    step(now);
    if (!clock_->sleepUntil(now + kPollStep, stop)) break;
  }
}

void OpenXRLayerWatcher::step(core::WaitClock::TimePoint now) {
  if (!memory_.isOpen()) {
    if (tried_ && now - lastTry_ < kRetryPeriod) return;
    tried_ = true;
    lastTry_ = now;
    if (!memory_.openExistingReadOnly(sectionName_, xrshm::kStateRecordSize)) return;
    std::memcpy(&lastCounter_, memory_.data(), sizeof lastCounter_);
    lastFrame_ = now;
    return;
  }
  std::uint32_t counter = 0;
  std::memcpy(&counter, memory_.data(), sizeof counter);  // the first 4 bytes of what is mapped
  if (counter != lastCounter_) {
    const std::uint32_t advanced = counter - lastCounter_;
    frames_ += advanced > kMaxStep ? 1 : advanced;
    lastCounter_ = counter;
    lastFrame_ = now;
    if (!gameRunning_) {
      gameRunning_ = true;
      logger_.info("[OpenXR Out] A game with the layer is running");
    }
    return;
  }
  if (now - lastFrame_ < kSilenceLimit) return;
  if (gameRunning_) {
    gameRunning_ = false;
    logger_.info("[OpenXR Out] The game with the layer stopped");
  }
  // Let go of the record so that a game that has exited takes it with it; look again later.
  memory_.close();
  lastTry_ = now;
}

}  // namespace outputs
