#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/core/sample_sink.h"
#include "app/core/service.h"
#include "app/core/settings.h"
#include "app/tracking/receivers.h"

namespace tracking {

// Owns the choice of tracking sources: from `tracker_source`, `hmd_source`,
// `squat_source` and `bind_steamvr_toggle` it starts, stops and restarts the
// receivers, and forwards what they receive to the engine's four callback slots,
// each value tagged with the name of the source it came from. It listens to the
// program section of the configuration while initialised, so switching the
// thumbstick gesture on starts the thread that watches it at once.
class TrackingService final : public core::IService {
 public:
  TrackingService(core::Settings& settings, core::Logger& logger, Receivers receivers);
  ~TrackingService() override;
  TrackingService(const TrackingService&) = delete;
  TrackingService& operator=(const TrackingService&) = delete;

  // Installs the forwarding handlers into every receiver, then refreshes.
  void initialize() override;
  // Stops every receiver this service started.
  void cleanup() override;
  // Brings the running receivers in line with the current settings. Refreshes from
  // several threads (start-up, the window, the configuration's notices) run one at a time.
  void refresh_sources();

  // Fills the engine's slots. Safe while receiver threads are delivering values: a
  // value sees either the old or the new set, and is dropped where a slot is empty.
  void setCallbacks(core::SampleSink callbacks);

  // The port the OSC receiver / phone server was last started on, -1 when stopped.
  int lastOscPort() const { return lastOscPort_; }
  int lastPhonePort() const { return lastPhonePort_; }

 private:
  std::shared_ptr<const core::SampleSink> slots() const { return callbacks_.load(std::memory_order_acquire); }
  void forwardOsc(std::string_view address, std::span<const float> values);
  void refreshOsc(bool needed);
  void refreshPhone(bool needed, core::Source trackerSource);

  void refreshLocked();

  core::Settings& settings_;
  core::Logger& logger_;
  Receivers receivers_;
  std::mutex refreshMutex_;
  bool gestureWatched_ = false;  // bind_steamvr_toggle as the last refresh saw it; guarded by refreshMutex_
  core::ConfigStore::Subscription programNotices_;
  std::atomic<std::shared_ptr<const core::SampleSink>> callbacks_;
  int lastOscPort_ = -1;
  int lastPhonePort_ = -1;
};

}  // namespace tracking
