#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/core/clock.h"
#include "app/tracking/console_lines.h"
#include "app/tracking/openvr_devices.h"
#include "app/tracking/openvr_manager.h"
#include "app/tracking/receivers.h"

namespace tracking {

// The "SteamVR Tracker" source: a thread that holds a background OpenVR session and
// polls one device's pose at about 90 Hz, handing on its lean angles (heading split
// off) and its acceleration in its own frame, derived from velocity changes. The
// device can be changed while the thread runs; the next cycle reads the new one.
class SteamVrTrackerReader final : public ISteamVrTrackerReader {
 public:
  static constexpr std::chrono::milliseconds kPollPeriod{11};
  // The shortest time step the acceleration divides by.
  static constexpr double kMinTimeStep = 0.001;

  SteamVrTrackerReader(OpenVRManager& manager, const core::Clock& clock, ConsoleLines& console);
  ~SteamVrTrackerReader() override;
  SteamVrTrackerReader(const SteamVrTrackerReader&) = delete;
  SteamVrTrackerReader& operator=(const SteamVrTrackerReader&) = delete;

  // Install before the first start.
  void set_rotation_callback(Vec3Callback callback) override;
  void set_accel_callback(Vec3Callback callback) override;

  // Stores the device index (a running thread uses it from its next cycle) and starts
  // the thread if it is not running.
  void start(int trackerDeviceIndex) override;
  void stop() override;
  bool running() const { return running_.load(); }

  // Every connected device with its model, hand and serial number (utility session);
  // empty when SteamVR is not available.
  std::vector<ControllerListEntry> list_controllers();

 private:
  void threadMain();

  OpenVRManager& manager_;
  const core::Clock& clock_;
  ConsoleLines& console_;
  Vec3Callback onRotation_;
  Vec3Callback onAccel_;

  std::atomic<bool> running_{false};
  std::atomic<int> deviceIndex_{-1};
  std::thread thread_;
};

}  // namespace tracking
