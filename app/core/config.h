#pragma once

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

  Program program;
  bool operator==(const Config&) const = default;
};

// The sections as bits, for subscriptions and change notices.
enum ConfigSection : unsigned {
  kProgramSection = 1u << 0,
  kAllSections = kProgramSection,
};

// The sections in which `a` and `b` differ.
inline unsigned changedSections(const Config& a, const Config& b) {
  unsigned changed = 0;
  if (!(a.program == b.program)) changed |= kProgramSection;
  return changed;
}

}  // namespace core
