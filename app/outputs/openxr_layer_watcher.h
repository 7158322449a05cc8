#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/core/logger.h"
#include "app/core/polling_worker.h"
#include "app/core/wait_clock.h"
#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"

namespace outputs {

// Watches the frame counter of the state record the OpenXR layer writes from inside a
// game, whatever the head source is, and logs when a game with the layer starts and
// stops rendering. It only reads the counter; the head reader is separate.
class OpenXRLayerWatcher {
 public:
  static constexpr std::chrono::milliseconds kPollStep{100};
  static constexpr std::chrono::milliseconds kRetryPeriod{1000};
  static constexpr std::chrono::milliseconds kSilenceLimit{3000};

  OpenXRLayerWatcher(core::Logger& logger, std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock(),
                     std::string sectionName = xrshm::kStateRecordName);
  ~OpenXRLayerWatcher();
  OpenXRLayerWatcher(const OpenXRLayerWatcher&) = delete;
  OpenXRLayerWatcher& operator=(const OpenXRLayerWatcher&) = delete;

  void start();
  void stop();

  // A game's frames are advancing the counter.
  bool gameRunning() const { return gameRunning_.load(); }
  // Frames seen advancing since start (for a rate).
  std::uint64_t frames() const { return frames_.load(); }

 private:
  std::chrono::milliseconds step(core::WaitClock::TimePoint now);

  core::Logger& logger_;
  std::string sectionName_;

  std::mutex lifecycleMutex_;
  core::PollingWorker worker_;
  // The thread's own while it runs.
  platform::SharedMemory memory_;
  std::uint32_t lastCounter_ = 0;
  core::WaitClock::TimePoint lastFrame_{};
  core::WaitClock::TimePoint lastTry_{};
  bool tried_ = false;

  std::atomic<bool> gameRunning_{false};
  std::atomic<std::uint64_t> frames_{0};
};

}  // namespace outputs
