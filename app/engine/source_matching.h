#pragma once

#include <string>
#include <string_view>

#include "app/core/config.h"

namespace engine {

// A handler decides with the tracking section of the one configuration snapshot
// it took for its sample, so one sample is judged against one consistent selection.
using SourceSelection = core::Config::Tracking;

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
