#include "app/tracking/openvr_server.h"

#include <array>

#include "app/tracking/openvr_pose_math.h"

namespace tracking {
namespace {

// Thumbstick or trackpad click, trigger click: the buttons a hold can be made with.
constexpr std::uint64_t kHoldButtons =
    (1ull << vr::k_EButton_Axis0) | (1ull << vr::k_EButton_Axis1) | (1ull << vr::k_EButton_Axis2);

}  // namespace

openvr_server::openvr_server(core::Settings& settings, OpenVRManager& manager, TrackingToggle& toggle,
                             const core::Clock& clock, ConsoleLines& console)
    : settings_(settings), manager_(manager), holdToggle_(toggle), clock_(clock), console_(console) {}

openvr_server::~openvr_server() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void openvr_server::set_position_callback(Vec3Callback callback) { onPosition_ = std::move(callback); }
void openvr_server::set_rotation_callback(Vec3Callback callback) { onRotation_ = std::move(callback); }

void openvr_server::start(int hmdDeviceIndex) {
  if (running_) return;
  if (thread_.joinable()) thread_.join();  // a run that ended by itself
  running_ = true;
  thread_ = std::thread(&openvr_server::threadMain, this, hmdDeviceIndex);
}

void openvr_server::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void openvr_server::threadMain(int deviceIndex) {
  console_.out("[OpenVR] Background thread started. Requesting session...");
  vr::IVRSystem* system = manager_.acquire_session(vr::VRApplication_Background);
  if (!system) {
    console_.err("[OpenVR] Failed to acquire session from manager.");
    running_ = false;
    return;
  }
  console_.out("[OpenVR] Session acquired. Polling HMD pose...");
  {
    auto list = buildDeviceList(*system);
    std::lock_guard lock(listMutex_);
    deviceList_ = std::move(list);
  }

  std::array<vr::TrackedDevicePose_t, vr::k_unMaxTrackedDeviceCount> poses{};
  while (running_) {
    system->GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseRawAndUncalibrated, 0.0f, poses.data(),
                                            vr::k_unMaxTrackedDeviceCount);
    if (settings_.config.snapshot()->program.bind_steamvr_toggle) checkHoldToggle(*system);
    if (deviceIndex >= 0 && deviceIndex < static_cast<int>(vr::k_unMaxTrackedDeviceCount)) {
      const vr::TrackedDevicePose_t& pose = poses[static_cast<std::size_t>(deviceIndex)];
      if (pose.bPoseIsValid) {
        const auto& m = pose.mDeviceToAbsoluteTracking.m;
        if (onPosition_) onPosition_(m[0][3], m[1][3], m[2][3]);
        const Angles angles = headAngles(pose.mDeviceToAbsoluteTracking);
        if (onRotation_) onRotation_(angles[0], angles[1], angles[2]);
      }
    }
    std::this_thread::sleep_for(kPollPeriod);
  }

  manager_.release_session();
  console_.out("[OpenVR] Worker thread finished.");
}

void openvr_server::checkHoldToggle(vr::IVRSystem& system) {
  const int hand = settings_.config.snapshot()->program.steamvr_toggle_hand;
  vr::ETrackedControllerRole wanted = vr::TrackedControllerRole_Invalid;
  if (hand == 0) wanted = vr::TrackedControllerRole_LeftHand;
  if (hand == 1) wanted = vr::TrackedControllerRole_RightHand;
  if (wanted == vr::TrackedControllerRole_Invalid) return;

  // Index 0 is the headset; controllers come after it.
  for (vr::TrackedDeviceIndex_t index = 1; index < vr::k_unMaxTrackedDeviceCount; ++index) {
    if (!system.IsTrackedDeviceConnected(index) ||
        system.GetTrackedDeviceClass(index) != vr::TrackedDeviceClass_Controller ||
        system.GetControllerRoleForTrackedDeviceIndex(index) != wanted)
      continue;
    vr::VRControllerState_t state{};
    if (!system.GetControllerState(index, &state, sizeof state)) return;
    holdToggle_.update((state.ulButtonPressed & kHoldButtons) != 0, clock_.now());
    return;
  }
}

std::vector<DeviceListEntry> openvr_server::get_device_list() {
  std::lock_guard lock(listMutex_);
  if (deviceList_.empty()) {
    if (vr::IVRSystem* system = manager_.acquire_session(vr::VRApplication_Utility)) {
      deviceList_ = buildDeviceList(*system);
      manager_.release_session();
    }
  }
  return deviceList_;
}

void openvr_server::refresh_device_list() {
  vr::IVRSystem* system = manager_.acquire_session(vr::VRApplication_Utility);
  if (!system) return;
  auto list = buildDeviceList(*system);
  manager_.release_session();
  std::lock_guard lock(listMutex_);
  deviceList_ = std::move(list);
}

}  // namespace tracking
