#pragma once

#include <string>
#include <vector>

#include "app/core/live_history.h"
#include "app/engine/orientation_mapper.h"
#include "app/engine/stick_mapper.h"

namespace engine {

// The calibration's computation, a pure function of recorded locomotion samples
// (the mapped orientation over time, as the engine's history keeps them).
namespace calibration {

// What one step of the wizard recorded: its samples and when it ran (engine clock).
struct Recording {
  std::vector<core::LeanSample> samples;
  double start = 0, end = 0;
};

enum class Problem { None, Silent, TooSmall };

struct StandResult {
  Problem problem = Problem::None;
  std::string message;
  Angles centre{};     // per-angle median of the mapped orientation
  float sway95 = 0;    // 95th percentile of the lean away from that centre, degrees
  float deadzone = 0;  // the dead zone the sway asks for
};

enum class Direction { Forward, Back, Left, Right };

struct LeanResult {
  Problem problem = Problem::None;
  std::string message;
  float reach = 0;  // 90th percentile of the lean in the step's direction, degrees
};

// Samples that arrive no more than this far apart (and this close to the step's
// edges) count as a tracker that kept talking.
constexpr double kMaxGap = 0.5;
// The fewest samples a step needs.
constexpr std::size_t kMinSamples = 10;
// The smallest lean that can set a sensitivity (the sliders' lower end).
constexpr float kMinReach = 5.0f;

// Standing still: the centre and the dead zone (a margin above the sway's 95th
// percentile, never below 1 degree, never above 10).
StandResult stand(const Recording& recording, const AxisMap& map);

// Leaning one way from `centre`: how far the lean reached. Too small when it
// stays under kMinReach or under twice the dead zone.
LeanResult lean(const Recording& recording, const AxisMap& map, const Angles& centre, float deadzone,
                Direction direction);

// The sensitivity that a pair of opposite leans gives: the smaller reach, so
// that full speed is reachable both ways, within the sliders' 5 to 90 degrees.
float sensitivity(float reachOneWay, float reachOtherWay);

}  // namespace calibration
}  // namespace engine
