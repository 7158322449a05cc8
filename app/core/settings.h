#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "app/core/axis.h"
#include "app/core/choices.h"
#include "app/core/config_store.h"
#include "app/core/guarded.h"

namespace core {

// Three floats that the engine writes and other threads read. Each component is
// atomic on its own; a reader may see components of two neighbouring samples,
// which is harmless for display and for the engine's own reads under its lock.
struct AtomicVec3 {
  std::array<std::atomic<float>, 3> v{};

  AtomicVec3(float x = 0, float y = 0, float z = 0) { set(x, y, z); }
  void set(float x, float y, float z) {
    v[0].store(x, std::memory_order_relaxed);
    v[1].store(y, std::memory_order_relaxed);
    v[2].store(z, std::memory_order_relaxed);
  }
  float operator[](int i) const { return v[i].load(std::memory_order_relaxed); }
  std::array<float, 3> get() const { return {(*this)[0], (*this)[1], (*this)[2]}; }
};

// Every tunable of the program (persisted under its JSON key, in the order of the
// settings table) and the live values several components share (tracking on or off,
// held keys); the engine's own live values are its engine::LiveView. The sections
// that have moved to the configuration value live in `config`, whose subscribers hear
// of each change; the other tunables are still fields here, moved section by section.
// Numbers, flags and choices are atomics. One instance is made by the program's
// composition root; tests make their own.
struct Settings {
  // ---- Persisted: sections held as one value, with change notices ----
  ConfigStore config;

  // ---- Persisted fields ----
  std::atomic<Mounting> slime_orientation{Mounting::Portrait};
  std::atomic<Facing> slime_facing{Facing::Outward};
  std::atomic<float> deadzone{3.0f};
  std::atomic<float> max_angle_x{30.0f};
  std::atomic<float> max_angle_y{30.0f};
  std::atomic<float> progression{0.0f};
  std::atomic<int> phone_map_roll{AxisY};
  std::atomic<int> phone_map_pitch{AxisNone};
  std::atomic<int> phone_map_yaw{AxisX};
  std::atomic<int> slime_map_roll{AxisY};
  std::atomic<int> slime_map_pitch{AxisNone};
  std::atomic<int> slime_map_yaw{AxisX};
  std::atomic<Mounting> orientation{Mounting::Portrait};
  std::atomic<Facing> screen_facing{Facing::Outward};
  std::atomic<float> jump_threshold{15.0f};
  std::atomic<float> jump_duration{0.15f};
  std::atomic<float> jump_window{150.0f};
  std::atomic<float> jump_pitch_comp{0.0f};
  std::atomic<RotationAxis> jump_comp_axis{RotationAxis::Roll};
  std::atomic<AccelAxis> jump_accel_axis{AccelAxis::Y};
  std::atomic<float> jump_accel_threshold{15.0f};
  std::atomic<float> jump_accel_smoothing{50.0f};
  std::atomic<float> jump_accel_suppress_threshold{5.0f};
  std::atomic<float> squat_upper_threshold{140.0f};
  std::atomic<float> squat_lower_threshold{110.0f};
  std::atomic<bool> squat_is_hold{false};
  AtomicVec3 center_offset{0, 0, 0};
  std::atomic<bool> fix_angle_discontinuity{false};
  // The bridge port and the OSC receiver listen on every address (other machines
  // may send) instead of this machine's loopback address only.
  std::atomic<bool> bridge_listen_all{false};
  std::atomic<bool> osc_listen_all{false};

  // ---- Live fields (not persisted) ----
  Guarded<std::vector<std::string>> held_keys;
  std::atomic<bool> tracking_active{true};
};

}  // namespace core
