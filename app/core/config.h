#pragma once

#include <array>
#include <string>

#include "app/core/axis.h"
#include "app/core/choices.h"

namespace core {

// The program's persisted choices as one plain value: copyable, comparable, in
// sections. A section is the unit a service subscribes to (ConfigStore), so a
// service hears of a change only in what it depends on. Fields keep the names of
// their keys in the settings file.
struct Config {
  // How the program starts and toggles, its sounds and its window's extras.
  struct Program {
    bool debug_mode = true;
    bool check_for_updates = true;
    bool enable_experimental_openxr = false;
    bool start_on_launch = true;
    bool bind_steamvr_toggle = false;  // the "Hold SteamVR Thumbstick" gesture
    int steamvr_toggle_hand = 0;       // 0 left, 1 right
    bool slimevr_tap_toggle = false;
    float slimevr_tap_sensitivity = 20.0f;
    int slimevr_tap_axis = 2;
    bool enable_audio_feedback = true;
    float audio_volume = 0.5f;
    bool operator==(const Program&) const = default;
  };

  // What the outputs do: the mode, the stick's hand, thresholds, keys and buttons,
  // the jump and crouch targets, the VRChat address.
  struct Outputs {
    OutputMode mode = OutputMode::SteamVrHook;
    Hand target_controller = Hand::Left;
    std::string hook_target_serial = "";
    std::string hook_target_name = "Left Hand (Default)";
    float keyboard_threshold = 30.0f;
    float keyboard_threshold_2 = 60.0f;
    bool enable_xbox_s2 = false;
    float xbox_threshold_2 = 80.0f;
    std::string xbox_button_2 = "LB";
    bool enable_steamvr_s2 = false;
    float steamvr_threshold_2 = 80.0f;
    std::string steamvr_button_2 = "Left: Grip";
    bool enable_openxr_s2 = false;
    float openxr_threshold_2 = 80.0f;
    std::string openxr_button_2 = "Left: Grip";
    std::string jump_button = "A";
    std::string jump_key = "space";
    std::string jump_hook_button = "Left: A";
    ActionTarget jump_output_mode = ActionTarget::FollowMain;
    std::string squat_button = "B";
    std::string squat_key = "ctrl";
    std::string squat_hook_button = "Left: B";
    ActionTarget squat_output_mode = ActionTarget::FollowMain;
    std::string vrchat_osc_address = "127.0.0.1";
    int vrchat_osc_port = 9000;
    std::string key_fwd = "w";
    std::string key_back = "s";
    std::string key_left = "a";
    std::string key_right = "d";
    std::string key_fwd_2 = "shift+w";
    std::string key_back_2 = "shift+s";
    std::string key_left_2 = "shift+a";
    std::string key_right_2 = "shift+d";
    bool bridge_listen_all = false;  // the bridge port takes datagrams from other machines too
    bool operator==(const Outputs&) const = default;
  };

  // Where the tracker values come from: the sources, the receivers' ports, and which
  // device or tracker of a source is meant.
  struct Tracking {
    Source tracker_source = Source::Phone;
    Source hmd_source = Source::PhoneAcceleration;
    Source squat_source = Source::Disabled;
    int osc_input_port = 9000;
    int owotrack_input_port = 6969;
    int solarxr_port = 21110;
    int slime_tracker_id = 1;
    int openvr_hmd_id = 0;
    int steamvr_tracker_id = -1;
    std::string steamvr_tracker_name = "None";
    std::string slime_tracker_name = "None";
    std::string slime_jump_tracker_name = "None";
    bool osc_listen_all = false;  // the OSC receiver takes datagrams from other machines too
    bool operator==(const Tracking&) const = default;
  };

  // How the lean becomes the stick: the tracker's mounting, the axis maps, the
  // centre, the dead zone, the maximum angles and the curve.
  struct Locomotion {
    Mounting orientation = Mounting::Portrait;
    Facing screen_facing = Facing::Outward;
    Mounting slime_orientation = Mounting::Portrait;
    Facing slime_facing = Facing::Outward;
    int phone_map_roll = AxisY;
    int phone_map_pitch = AxisNone;
    int phone_map_yaw = AxisX;
    int slime_map_roll = AxisY;
    int slime_map_pitch = AxisNone;
    int slime_map_yaw = AxisX;
    std::array<float, 3> center_offset{0, 0, 0};
    bool fix_angle_discontinuity = false;
    float deadzone = 3.0f;
    float max_angle_x = 30.0f;
    float max_angle_y = 30.0f;
    float progression = 0.0f;
    bool operator==(const Locomotion&) const = default;
  };

  // When a jump fires: the height detector's threshold, window and compensation,
  // the acceleration detector's axis, threshold, smoothing and suppression.
  struct Jump {
    float jump_threshold = 15.0f;
    float jump_duration = 0.15f;
    float jump_window = 150.0f;
    float jump_pitch_comp = 0.0f;
    RotationAxis jump_comp_axis = RotationAxis::Roll;
    AccelAxis jump_accel_axis = AccelAxis::Y;
    float jump_accel_threshold = 15.0f;
    float jump_accel_smoothing = 50.0f;
    float jump_accel_suppress_threshold = 5.0f;
    bool operator==(const Jump&) const = default;
  };

  // When a crouch starts and ends, and whether it is held.
  struct Crouch {
    float squat_upper_threshold = 140.0f;
    float squat_lower_threshold = 110.0f;
    bool squat_is_hold = false;
    bool operator==(const Crouch&) const = default;
  };

  Program program;
  Outputs outputs;
  Tracking tracking;
  Locomotion locomotion;
  Jump jump;
  Crouch crouch;
  bool operator==(const Config&) const = default;
};

// The sections as bits, for subscriptions and change notices.
enum ConfigSection : unsigned {
  kProgramSection = 1u << 0,
  kOutputsSection = 1u << 1,
  kTrackingSection = 1u << 2,
  kLocomotionSection = 1u << 3,
  kJumpSection = 1u << 4,
  kCrouchSection = 1u << 5,
  kAllSections =
      kProgramSection | kOutputsSection | kTrackingSection | kLocomotionSection | kJumpSection | kCrouchSection,
};

// The sections in which `a` and `b` differ.
inline unsigned changedSections(const Config& a, const Config& b) {
  unsigned changed = 0;
  if (!(a.program == b.program)) changed |= kProgramSection;
  if (!(a.outputs == b.outputs)) changed |= kOutputsSection;
  if (!(a.tracking == b.tracking)) changed |= kTrackingSection;
  if (!(a.locomotion == b.locomotion)) changed |= kLocomotionSection;
  if (!(a.jump == b.jump)) changed |= kJumpSection;
  if (!(a.crouch == b.crouch)) changed |= kCrouchSection;
  return changed;
}

}  // namespace core
