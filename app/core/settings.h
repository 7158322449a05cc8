#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "app/core/axis.h"
#include "app/core/choices.h"
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
// held keys, prompts); the engine's own live values are its engine::LiveView.
// Numbers, flags and choices are atomics; texts are read as copies (see Guarded). One
// instance is made by the program's composition root; tests make their own.
struct Settings {
  // ---- Persisted fields ----
  std::atomic<int> osc_input_port{9000};
  std::atomic<int> owotrack_input_port{6969};
  std::atomic<int> solarxr_port{21110};
  std::atomic<OutputMode> mode{OutputMode::SteamVrHook};
  std::atomic<Source> hmd_source{Source::PhoneAcceleration};
  std::atomic<Source> tracker_source{Source::Phone};
  std::atomic<int> slime_tracker_id{1};
  std::atomic<int> openvr_hmd_id{0};
  std::atomic<int> steamvr_tracker_id{-1};
  SharedText steamvr_tracker_name{"None"};
  SharedText slime_tracker_name{"None"};
  SharedText slime_jump_tracker_name{"None"};
  std::atomic<Mounting> slime_orientation{Mounting::Portrait};
  std::atomic<Facing> slime_facing{Facing::Outward};
  std::atomic<Hand> target_controller{Hand::Left};
  SharedText hook_target_serial{""};
  SharedText hook_target_name{"Left Hand (Default)"};
  std::atomic<float> deadzone{3.0f};
  std::atomic<float> max_angle_x{30.0f};
  std::atomic<float> max_angle_y{30.0f};
  std::atomic<float> keyboard_threshold{30.0f};
  std::atomic<float> keyboard_threshold_2{60.0f};
  std::atomic<bool> enable_xbox_s2{false};
  std::atomic<float> xbox_threshold_2{80.0f};
  SharedText xbox_button_2{"LB"};
  std::atomic<bool> enable_steamvr_s2{false};
  std::atomic<float> steamvr_threshold_2{80.0f};
  SharedText steamvr_button_2{"Left: Grip"};
  std::atomic<bool> enable_openxr_s2{false};
  std::atomic<float> openxr_threshold_2{80.0f};
  SharedText openxr_button_2{"Left: Grip"};
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
  SharedText jump_button{"A"};
  SharedText jump_key{"space"};
  SharedText jump_hook_button{"Left: A"};
  std::atomic<ActionTarget> jump_output_mode{ActionTarget::FollowMain};
  std::atomic<AccelAxis> jump_accel_axis{AccelAxis::Y};
  std::atomic<float> jump_accel_threshold{15.0f};
  std::atomic<float> jump_accel_smoothing{50.0f};
  std::atomic<float> jump_accel_suppress_threshold{5.0f};
  std::atomic<Source> squat_source{Source::Disabled};
  std::atomic<float> squat_upper_threshold{140.0f};
  std::atomic<float> squat_lower_threshold{110.0f};
  std::atomic<bool> squat_is_hold{false};
  SharedText squat_button{"B"};
  SharedText squat_key{"ctrl"};
  SharedText squat_hook_button{"Left: B"};
  std::atomic<ActionTarget> squat_output_mode{ActionTarget::FollowMain};
  SharedText vrchat_osc_address{"127.0.0.1"};
  std::atomic<int> vrchat_osc_port{9000};
  SharedText key_fwd{"w"};
  SharedText key_back{"s"};
  SharedText key_left{"a"};
  SharedText key_right{"d"};
  SharedText key_fwd_2{"shift+w"};
  SharedText key_back_2{"shift+s"};
  SharedText key_left_2{"shift+a"};
  SharedText key_right_2{"shift+d"};
  AtomicVec3 center_offset{0, 0, 0};
  std::atomic<bool> debug_mode{true};
  std::atomic<bool> fix_angle_discontinuity{false};
  std::atomic<bool> check_for_updates{true};
  std::atomic<bool> enable_experimental_openxr{false};
  std::atomic<bool> start_on_launch{true};
  std::atomic<bool> bind_steamvr_toggle{false};
  std::atomic<bool> slimevr_tap_toggle{false};
  std::atomic<int> steamvr_toggle_hand{0};
  std::atomic<bool> enable_audio_feedback{true};
  std::atomic<float> audio_volume{0.5f};
  std::atomic<float> slimevr_tap_sensitivity{20.0f};
  std::atomic<int> slimevr_tap_axis{2};
  // The bridge port and the OSC receiver listen on every address (other machines
  // may send) instead of this machine's loopback address only.
  std::atomic<bool> bridge_listen_all{false};
  std::atomic<bool> osc_listen_all{false};

  // ---- Live fields (not persisted) ----
  Guarded<std::vector<std::string>> held_keys;
  std::atomic<bool> tracking_active{true};
  std::atomic<bool> show_steamvr_driver_prompt{false};
  std::atomic<bool> show_vigem_prompt{false};
  std::atomic<bool> restart_needed{false};  // SteamVR must restart for a driver change
  std::atomic<bool> update_available{false};
  std::atomic<bool> update_prompt_dismissed{false};
  SharedText newest_version;
  SharedText update_download_url;
};

}  // namespace core
