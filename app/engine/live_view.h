#pragma once

#include <array>
#include <atomic>

#include "app/core/settings.h"  // core::AtomicVec3
#include "app/engine/orientation_mapper.h"

namespace engine {

// The locomotion tracker's orientation as it arrived: the angles of a source that
// sends angles, or the quaternion of one that sends quaternions, turned into angles
// only when read. The tracker sends up to a thousand a second; the window reads a
// few times a second. A read while the source changes kind may show one mixed value.
class RawOrientation {
 public:
  void setAngles(float roll, float pitch, float yaw) {
    store(roll, pitch, yaw, 0.0f);
    quaternion_.store(false, std::memory_order_relaxed);
  }
  void setQuaternion(const Quaternion& q) {
    store(q.x, q.y, q.z, q.w);
    quaternion_.store(true, std::memory_order_relaxed);
  }
  Angles get() const {
    const auto at = [this](int i) { return v_[i].load(std::memory_order_relaxed); };
    if (quaternion_.load(std::memory_order_relaxed)) return quaternionToEuler({at(0), at(1), at(2), at(3)});
    return {at(0), at(1), at(2)};
  }

 private:
  void store(float a, float b, float c, float d) {
    v_[0].store(a, std::memory_order_relaxed);
    v_[1].store(b, std::memory_order_relaxed);
    v_[2].store(c, std::memory_order_relaxed);
    v_[3].store(d, std::memory_order_relaxed);
  }
  std::array<std::atomic<float>, 4> v_{};
  std::atomic<bool> quaternion_{false};
};

// What the engine and its detectors last saw and did, for the window to show. The
// engine owns the one instance and only it and its detectors write it; every value
// is an atomic, so the window reads it without the engine lock.
struct LiveView {
  // The locomotion tracker and the stick made from it (the engine).
  std::array<std::atomic<float>, 2> stick{};
  RawOrientation raw_orientation;
  core::AtomicVec3 mapped_orientation;
  core::AtomicVec3 centered_orientation;
  // The jump and crouch sources as they arrive (the engine).
  core::AtomicVec3 jump_tracker_orientation;
  core::AtomicVec3 head_position;
  core::AtomicVec3 last_acceleration;
  // The jump detectors.
  core::AtomicVec3 averaged_acceleration;
  std::atomic<bool> jump_suppressed{false};
  std::atomic<bool> jumping{false};
  std::atomic<float> jump_rise{0.0f};  // metres above the window's low point, less compensation
  std::atomic<float> compensation_angle_range{0.0f};
  std::atomic<float> compensation{0.0f};  // centimetres
  // The crouch detector.
  std::atomic<bool> crouching{false};
  std::atomic<float> head_height{0.0f};  // centimetres
  // The triple-tap check: the last measure of the locomotion tracker's acceleration.
  std::atomic<float> tap_value{0.0f};
};

}  // namespace engine
