#include "app/engine/source_matching.h"

namespace engine {
namespace {

constexpr std::string_view kSolarXR = "SlimeVR (SolarXR)";
constexpr std::string_view kSlimeOsc = "SlimeVR (OSC)";

bool isOscHeadAddress(std::string_view source) {
  return source.find("/tracking/trackers/head/") != std::string_view::npos;
}

bool isChosenSolarXRTracker(std::string_view source, const SourceSelection& s) {
  return s.slime_tracker_name != "None" && source == s.slime_tracker_name;
}

}  // namespace

SourceSelection SourceSelection::read(const core::Settings& settings) {
  return {settings.tracker_source.get(), settings.hmd_source.get(), settings.slime_tracker_name.get(),
          settings.slime_tracker_id.load(std::memory_order_relaxed)};
}

bool isLocomotionSource(std::string_view source, const SourceSelection& s) {
  if (source == s.tracker_source) return true;
  if (s.tracker_source == kSolarXR && isChosenSolarXRTracker(source, s)) return true;
  if (s.tracker_source == kSlimeOsc) {
    const std::string address = "/tracking/trackers/" + std::to_string(s.slime_tracker_id) + "/";
    return source.find(address) != std::string_view::npos;
  }
  return false;
}

bool isJumpTrackerSource(std::string_view source, const SourceSelection& s) {
  if (source == s.hmd_source) return true;
  if (s.hmd_source == kSlimeOsc) return isOscHeadAddress(source);
  return s.hmd_source == kSolarXR && isChosenSolarXRTracker(source, s);
}

bool isHeadPositionSource(std::string_view source, std::string_view hmdSource) {
  return source == hmdSource || (hmdSource == kSlimeOsc && isOscHeadAddress(source));
}

}  // namespace engine
