#pragma once

#include <array>
#include <atomic>

#include "app/core/settings.h"  // core::AtomicVec3

namespace engine {

// What the engine and its detectors last saw and did, for the window to show. The
// engine owns the one instance and only it and its detectors write it; every value
// is an atomic, so the window reads it without the engine lock.
struct LiveView {
  // The locomotion tracker and the stick made from it (the engine).
  std::array<std::atomic<float>, 2> stick{};
  core::AtomicVec3 raw_orientation;
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
