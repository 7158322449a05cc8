#pragma once

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/bridges/wait_clock.h"
#include "app/tracking/receivers.h"
#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"

namespace bridges {

// The head source "OpenXR (In-Game)": attaches to the state record the OpenXR layer
// publishes from inside a running game and, every kPollPeriod, hands a head position
// from a new frame (changed counter, head valid) to the position callback.
class OpenXRHmdReader final : public tracking::IOpenXrHmdReader {
 public:
  static constexpr std::chrono::milliseconds kPollPeriod{16};

  OpenXRHmdReader(std::ostream& out = std::cout, std::ostream& err = std::cerr,
                  std::shared_ptr<WaitClock> clock = steadyWaitClock(),
                  std::string sectionName = xrshm::kStateRecordName);
  ~OpenXRHmdReader() override;

  // Attaches and starts polling; true also when already running. Fails, with one
  // line on the error stream, while no game with the layer has made the section.
  bool attach();
  void start() override { attach(); }
  // Stops polling and detaches; must not be called from inside the callback.
  void stop() override;
  // Replaces the callback; runs on the poll thread under a lock, so it must not call this.
  void set_position_callback(tracking::Vec3Callback callback) override;

  bool running() const;

 private:
  void poll(std::stop_token stop);
  void sample();

  std::ostream& out_;
  std::ostream& err_;
  std::shared_ptr<WaitClock> clock_;
  std::string sectionName_;

  mutable std::mutex lifecycleMutex_;  // start and stop
  platform::SharedMemory memory_;
  std::uint32_t lastCounter_ = 0;  // poll thread only while running
  std::jthread thread_;

  std::mutex callbackMutex_;
  tracking::Vec3Callback callback_;
};

}  // namespace bridges
