#include "app/outputs/openxr_layer_watcher.h"

#include <cstring>

namespace outputs {
namespace {

// A counter that jumps further than this between two looks is a new game's record,
// not frames: it counts as one.
constexpr std::uint32_t kMaxStep = 100000;

}  // namespace

OpenXRLayerWatcher::OpenXRLayerWatcher(core::Logger& logger, std::shared_ptr<core::WaitClock> clock,
                                       std::string sectionName)
    : logger_(logger), sectionName_(std::move(sectionName)), worker_(std::move(clock)) {}

OpenXRLayerWatcher::~OpenXRLayerWatcher() { stop(); }

void OpenXRLayerWatcher::start() {
  std::lock_guard lock(lifecycleMutex_);
  if (worker_.running()) return;
  tried_ = false;
  if (!worker_.start([this](core::WaitClock::TimePoint now) { return step(now); }))
    logger_.error("[OpenXR Out] Could not start the layer watcher.");
}

void OpenXRLayerWatcher::stop() {
  std::lock_guard lock(lifecycleMutex_);
  if (!worker_.running()) return;
  worker_.stop();
  memory_.close();
  gameRunning_ = false;
}

std::chrono::milliseconds OpenXRLayerWatcher::step(core::WaitClock::TimePoint now) {
  if (!memory_.isOpen()) {
    if (tried_ && now - lastTry_ < kRetryPeriod) return kPollStep;
    tried_ = true;
    lastTry_ = now;
    if (!memory_.openExistingReadOnly(sectionName_, xrshm::kStateRecordSize)) return kPollStep;
    std::memcpy(&lastCounter_, memory_.data(), sizeof lastCounter_);
    lastFrame_ = now;
    return kPollStep;
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
    return kPollStep;
  }
  if (now - lastFrame_ < kSilenceLimit) return kPollStep;
  if (gameRunning_) {
    gameRunning_ = false;
    logger_.info("[OpenXR Out] The game with the layer stopped");
  }
  // Let go of the record so that a game that has exited takes it with it; look again later.
  memory_.close();
  lastTry_ = now;
  return kPollStep;
}

}  // namespace outputs
