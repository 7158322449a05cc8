#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "app/core/clock.h"
#include "app/core/settings.h"
#include "app/tracking/console_lines.h"
#include "app/tracking/hold_to_toggle.h"
#include "app/tracking/openvr_devices.h"
#include "app/tracking/openvr_manager.h"
#include "app/tracking/receivers.h"

namespace tracking {

// The "SteamVR (OpenVR)" source: a thread that holds a background OpenVR session,
// polls the chosen device's pose at about 90 Hz and hands its position and angles to
// the callbacks, runs the hold-to-toggle gesture while `bind_steamvr_toggle` is set,
// and keeps the shared device list for the HMD choice.
class openvr_server final : public IOpenVrHmdThread {
 public:
  static constexpr std::chrono::milliseconds kPollPeriod{11};

  openvr_server(core::Settings& settings, OpenVRManager& manager, TrackingToggle& toggle, const core::Clock& clock,
                ConsoleLines& console);
  ~openvr_server() override;
  openvr_server(const openvr_server&) = delete;
  openvr_server& operator=(const openvr_server&) = delete;

  // Install before the first start.
  void set_position_callback(Vec3Callback callback) override;
  void set_rotation_callback(Vec3Callback callback) override;

  // Starts the thread for this device index; a running thread keeps its index.
  void start(int hmdDeviceIndex) override;
  // Clears the running flag and joins the thread (one poll period at most).
  void stop() override;
  bool running() const { return running_.load(); }

  // A copy of the shared device list, built with a utility session when it is empty.
  std::vector<DeviceListEntry> get_device_list();
  // Rebuilds the shared device list with a utility session.
  void refresh_device_list();

  // The hold-to-toggle gesture's state (for tests and diagnostics).
  const HoldToToggle& hold_toggle() const { return holdToggle_; }

 private:
  void threadMain(int deviceIndex);
  void checkHoldToggle(vr::IVRSystem& system);

  core::Settings& settings_;
  OpenVRManager& manager_;
  HoldToToggle holdToggle_;
  const core::Clock& clock_;
  ConsoleLines& console_;
  Vec3Callback onPosition_;
  Vec3Callback onRotation_;

  std::atomic<bool> running_{false};
  std::thread thread_;
  std::mutex listMutex_;
  std::vector<DeviceListEntry> deviceList_;
};

}  // namespace tracking
