#pragma once

#include <string>
#include <string_view>

#include "app/core/settings.h"

namespace engine {

// The source settings a handler decides with, copied once per sample so one
// sample is judged against one consistent selection.
struct SourceSelection {
  core::Source tracker_source = core::Source::Phone;
  core::Source hmd_source = core::Source::PhoneAcceleration;
  std::string slime_tracker_name;
  int slime_tracker_id = 0;

  static SourceSelection read(const core::Settings& settings);
};

// True when a value named `source` comes from the locomotion tracker: the selected
// tracker source itself, the chosen SolarXR tracker, or an OSC address of the
// chosen SlimeVR tracker number.
bool isLocomotionSource(std::string_view source, const SourceSelection& selection);

// True when a value named `source` comes from the jump tracker (`hmd_source`, or
// the chosen SolarXR tracker when jumps come from SolarXR, or SlimeVR's head
// addresses when they come from SlimeVR's OSC stream).
bool isJumpTrackerSource(std::string_view source, const SourceSelection& selection);

// True when a position named `source` is the head height `hmd_source` selects: the
// source itself, or with "SlimeVR (OSC)" the position SlimeVR sends for the head
// ("/tracking/trackers/head/position"); OSC values carry their address as their name.
bool isHeadPositionSource(std::string_view source, core::Source hmdSource);

}  // namespace engine
