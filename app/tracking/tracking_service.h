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
// each value tagged with the name of the source it came from. While initialised it
// listens to the configuration's tracking and program sections and refreshes when
// what a refresh acts on changed: a new source, port or device, or the thumbstick
// gesture switched on, takes effect at once without anyone asking.
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
  // What a refresh acts on.
  struct SourcePlan {
    core::Source tracker = core::Source::None, hmd = core::Source::None, squat = core::Source::None;
    int oscPort = -1, phonePort = -1, solarxrPort = -1, openvrHmdId = -1, steamvrTrackerId = -1;
    bool gesture = false;  // the thumbstick gesture needs the OpenVR thread
    bool operator==(const SourcePlan&) const = default;
  };
  static SourcePlan planOf(const core::Config& config);
  void refreshOsc(bool needed, int port);
  void refreshPhone(bool needed, core::Source trackerSource, int port);

  void refreshLocked();

  core::Settings& settings_;
  core::Logger& logger_;
  Receivers receivers_;
  std::mutex refreshMutex_;
  SourcePlan applied_;  // what the last refresh acted on; guarded by refreshMutex_
  core::ConfigStore::Subscription notices_;
  std::atomic<std::shared_ptr<const core::SampleSink>> callbacks_;
  int lastOscPort_ = -1;
  int lastPhonePort_ = -1;
};

}  // namespace tracking
