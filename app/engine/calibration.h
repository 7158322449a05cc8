#pragma once

#include <string>
#include <vector>

#include "app/core/choices.h"
#include "app/core/live_history.h"
#include "app/engine/orientation_mapper.h"
#include "app/engine/stick_mapper.h"

namespace engine {

// The calibration's computation, a pure function of recorded samples as the
// engine's history keeps them: the mapped orientation over time, the jump
// detector's input and the crouch source's head height.
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

// What the jump detector that `hmd_source` selects compares with its threshold:
// the head's rise in centimetres, the smoothed acceleration in m/s², or nothing.
enum class JumpSignal { None, Height, Acceleration };
JumpSignal jumpSignalOf(core::Source hmdSource);
// Whether `squat_source` delivers head heights to the crouch detector.
bool hasCrouchSource(core::Source squatSource);

// The optional head step: standing still from `start`, jumping from `jumpsFrom`,
// crouching and standing up from `crouchFrom` to `end`. A part without a source
// has no length (jumpsFrom == crouchFrom without a jump source, crouchFrom == end
// without a crouch source).
struct HeadRecording {
  std::vector<core::JumpSample> jump;
  std::vector<core::CrouchSample> crouch;
  double start = 0, jumpsFrom = 0, crouchFrom = 0, end = 0;
};

struct HeadResult {
  Problem problem = Problem::None;
  std::string message;
  float noise = 0;             // 95th percentile of the jump signal while standing still
  float peaks[2] = {};         // the two highest jumps, higher first
  float jumpThreshold = 0;     // for `jump_threshold` (cm) or `jump_accel_threshold` (m/s²)
  float standing = 0;          // median head height standing still, cm
  float crouched = 0;          // 5th percentile of the head height in the crouch part, cm
  float upper = 0, lower = 0;  // the crouch thresholds, cm
};

// Jumps further apart than this are two jumps; closer rises belong to one.
constexpr double kJumpSeparation = 0.4;
// The smallest jump that can set a threshold: a rise of 4 cm or 3 m/s², and
// never less than 2.5 times the standing noise.
constexpr float kMinJumpRise = 4.0f, kMinJumpAccel = 3.0f, kNoiseFactor = 2.5f;
// The threshold sits at this fraction of the smaller of the two highest jumps.
constexpr float kJumpFraction = 0.6f;
// The smallest crouch that can set the crouch thresholds, cm below standing.
constexpr float kMinCrouchDepth = 15.0f;

// The jump threshold from the two highest jumps (kept above the standing noise,
// within the sliders' ranges) and the crouch thresholds between the standing and
// crouched heights (lower at 60 % of the depth below standing, upper at 30 %).
HeadResult head(const HeadRecording& recording, JumpSignal signal, bool crouchSource);

}  // namespace calibration
}  // namespace engine
