#include "app/engine/source_matching.h"

#include "platform/hot_path.h"

namespace engine {
namespace {

using core::Source;

bool isOscHeadAddress(std::string_view source) {
  return source.find("/tracking/trackers/head/") != std::string_view::npos;
}

STRIVO_HOT_PATH bool isChosenSolarXRTracker(std::string_view source, const SourceSelection& s) {
  return s.slime_tracker_name != "None" && source == s.slime_tracker_name;
}

}  // namespace

STRIVO_HOT_PATH bool isLocomotionSource(std::string_view source, const SourceSelection& s) {
  if (source == core::choiceText(s.tracker_source)) return true;
  if (s.tracker_source == Source::SlimeSolarXr && isChosenSolarXRTracker(source, s)) return true;
  if (s.tracker_source == Source::SlimeOsc) {
    const std::string address = "/tracking/trackers/" + std::to_string(s.slime_tracker_id) + "/";
    return source.find(address) != std::string_view::npos;
  }
  return false;
}

STRIVO_HOT_PATH bool isJumpTrackerSource(std::string_view source, const SourceSelection& s) {
  if (source == core::choiceText(s.hmd_source)) return true;
  if (s.hmd_source == Source::SlimeOsc) return isOscHeadAddress(source);
  return s.hmd_source == Source::SlimeSolarXr && isChosenSolarXRTracker(source, s);
}

bool isHeadPositionSource(std::string_view source, Source hmdSource) {
  return source == core::choiceText(hmdSource) || (hmdSource == Source::SlimeOsc && isOscHeadAddress(source));
}

}  // namespace engine
