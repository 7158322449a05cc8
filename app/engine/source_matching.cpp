#include "app/engine/source_matching.h"

#include "app/core/fixed_line.h"
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
    // Built in place: this runs for every SlimeVR sample.
    core::FixedLine<48> address;  // room for the longest id
    address.add("/tracking/trackers/").addSigned(s.slime_tracker_id).add("/");
    return source.find(address.view()) != std::string_view::npos;
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
