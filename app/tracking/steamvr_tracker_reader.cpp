#include "app/tracking/steamvr_tracker_reader.h"

#include <algorithm>
#include <array>

#include "app/tracking/openvr_pose_math.h"

namespace tracking {

SteamVrTrackerReader::SteamVrTrackerReader(OpenVRManager& manager, const core::Clock& clock, ConsoleLines& console)
    : manager_(manager), clock_(clock), console_(console) {}

SteamVrTrackerReader::~SteamVrTrackerReader() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void SteamVrTrackerReader::set_rotation_callback(Vec3Callback callback) { onRotation_ = std::move(callback); }
void SteamVrTrackerReader::set_accel_callback(Vec3Callback callback) { onAccel_ = std::move(callback); }

void SteamVrTrackerReader::start(int trackerDeviceIndex) {
  deviceIndex_ = trackerDeviceIndex;
  if (running_) return;
  if (thread_.joinable()) thread_.join();  // a run that ended by itself
  running_ = true;
  thread_ = std::thread(&SteamVrTrackerReader::threadMain, this);
}

void SteamVrTrackerReader::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void SteamVrTrackerReader::threadMain() {
  console_.out("[SteamVR Input] Worker thread started. Acquiring session...");
  vr::IVRSystem* system = manager_.acquire_session(vr::VRApplication_Background);
  if (!system) {
    console_.err("[SteamVR Input] Failed to acquire VR system from manager.");
    running_ = false;
    return;
  }

  std::array<vr::TrackedDevicePose_t, vr::k_unMaxTrackedDeviceCount> poses{};
  Vec3f previousVelocity{0, 0, 0};
  double previousTime = clock_.now();
  while (running_) {
    const int index = deviceIndex_.load();
    if (index >= 0 && index < static_cast<int>(vr::k_unMaxTrackedDeviceCount)) {
      system->GetDeviceToAbsoluteTrackingPose(vr::TrackingUniverseRawAndUncalibrated, 0.0f, poses.data(),
                                              vr::k_unMaxTrackedDeviceCount);
      const double now = clock_.now();
      const double step = now - previousTime;
      previousTime = now;
      const vr::TrackedDevicePose_t& pose = poses[static_cast<std::size_t>(index)];
      if (pose.bPoseIsValid) {
        const Angles angles = trackerAngles(pose.mDeviceToAbsoluteTracking);
        if (onRotation_) onRotation_(angles[0], angles[1], angles[2]);

        const Vec3f velocity{pose.vVelocity.v[0], pose.vVelocity.v[1], pose.vVelocity.v[2]};
        const float divisor = static_cast<float>(std::max(step, kMinTimeStep));
        const Vec3f world{(velocity[0] - previousVelocity[0]) / divisor, (velocity[1] - previousVelocity[1]) / divisor,
                          (velocity[2] - previousVelocity[2]) / divisor};
        previousVelocity = velocity;
        const Vec3f local = toDeviceFrame(pose.mDeviceToAbsoluteTracking, world);
        if (onAccel_) onAccel_(local[0], local[1], local[2]);
      }
    }
    std::this_thread::sleep_for(kPollPeriod);
  }

  manager_.release_session();
  console_.out("[SteamVR Input] Worker thread finished.");
}

std::vector<ControllerListEntry> SteamVrTrackerReader::list_controllers() {
  vr::IVRSystem* system = manager_.acquire_session(vr::VRApplication_Utility);
  if (!system) return {};
  auto list = buildControllerList(*system);
  manager_.release_session();
  return list;
}

}  // namespace tracking
