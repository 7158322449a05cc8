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
#include "app/tracking/receivers.h"
#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"

namespace tracking {

// The head source "OpenXR (In-Game)": attaches to the state record the OpenXR layer
// publishes from inside a running game and, every kPollPeriod, hands a head position
// from a new frame (changed counter, head valid) to the position callback.
// A start before the game runs fails, and then keeps trying every kRetryPeriod
// without further messages, so a game started after the program is found.
class OpenXRHmdReader final : public tracking::IOpenXrHmdReader {
 public:
  static constexpr std::chrono::milliseconds kPollPeriod{16};
  static constexpr std::chrono::milliseconds kRetryPeriod{1000};

  explicit OpenXRHmdReader(core::Logger& logger, std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock(),
                           std::string sectionName = xrshm::kStateRecordName);
  ~OpenXRHmdReader() override;

  // Attaches and starts polling; true also when already running. Fails, with one
  // line on the error stream, while no game with the layer has made the section;
  // the reader then attaches by itself once the section appears.
  bool attach();
  void start() override { attach(); }
  // Stops polling and detaches; must not be called from inside the callback.
  void stop() override;
  // Replaces the callback; runs on the poll thread under a lock, so it must not call this.
  void set_position_callback(tracking::Vec3Callback callback) override;

  // Attached and polling.
  bool running() const;

 private:
  bool openSection();
  void startThread(bool attached);
  // Attaches once the section appears, then samples every kPollPeriod.
  std::chrono::milliseconds step();
  void sample();

  core::Logger& logger_;
  std::string sectionName_;

  mutable std::mutex lifecycleMutex_;  // start and stop
  // Used by the thread while it runs, by start and stop only while it does not.
  platform::SharedMemory memory_;
  std::uint32_t lastCounter_ = 0;
  std::atomic<bool> attached_{false};
  core::PollingWorker worker_;  // waits for the section, then polls it

  std::mutex callbackMutex_;
  tracking::Vec3Callback callback_;
};

}  // namespace tracking
