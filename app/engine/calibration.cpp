#include "app/engine/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace engine::calibration {
namespace {

// The p-th percentile (0..1) of `values`, nearest rank; 0 for none.
float percentile(std::vector<float> values, float p) {
  if (values.empty()) return 0.0f;
  const auto rank = static_cast<std::size_t>(std::ceil(p * values.size()));
  const std::size_t index = std::clamp<std::size_t>(rank, 1, values.size()) - 1;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

// The samples of [start, end], or a message when `what` went quiet in there.
template <class Sample>
bool covered(const std::vector<Sample>& samples, double start, double end, const char* what,
             std::vector<const Sample*>& inside, std::string& message) {
  double last = start;
  for (const Sample& s : samples) {
    if (s.time < start || s.time > end) continue;
    if (s.time - last > kMaxGap) break;
    inside.push_back(&s);
    last = s.time;
  }
  if (inside.size() >= kMinSamples && end - last <= kMaxGap) return true;
  char text[160];
  std::snprintf(text, sizeof text,
                "The %s went silent %.1f s into this step. Check it is on and connected, then retry.", what,
                last - start);
  message = text;
  return false;
}

bool covered(const Recording& r, std::vector<const core::LeanSample*>& inside, std::string& message) {
  return covered(r.samples, r.start, r.end, "tracker", inside, message);
}

Angles centred(const core::LeanSample& s, const Angles& centre) {
  return {s.mapped[0] - centre[0], s.mapped[1] - centre[1], s.mapped[2] - centre[2]};
}

}  // namespace

StandResult stand(const Recording& recording, const AxisMap& map) {
  StandResult result;
  std::vector<const core::LeanSample*> inside;
  if (!covered(recording, inside, result.message)) {
    result.problem = Problem::Silent;
    return result;
  }
  for (int i = 0; i < 3; ++i) {
    std::vector<float> angle;
    for (const core::LeanSample* s : inside) angle.push_back(s->mapped[i]);
    result.centre[i] = percentile(angle, 0.5f);
  }
  std::vector<float> sway;
  for (const core::LeanSample* s : inside) {
    const Angles a = centred(*s, result.centre);
    sway.push_back(std::max(std::fabs(axisSum(a, map, core::AxisX)), std::fabs(axisSum(a, map, core::AxisY))));
  }
  result.sway95 = percentile(sway, 0.95f);
  // Half a degree and a quarter of the sway again above it keep a still player still.
  result.deadzone = std::clamp(result.sway95 * 1.25f + 0.5f, 1.0f, 10.0f);
  return result;
}

LeanResult lean(const Recording& recording, const AxisMap& map, const Angles& centre, float deadzone,
                Direction direction) {
  LeanResult result;
  std::vector<const core::LeanSample*> inside;
  if (!covered(recording, inside, result.message)) {
    result.problem = Problem::Silent;
    return result;
  }
  std::vector<float> along;
  for (const core::LeanSample* s : inside) {
    const Angles a = centred(*s, centre);
    // Forward is the positive Y sum, right the negative X sum (the stick's own signs).
    const float forward = axisSum(a, map, core::AxisY), right = -axisSum(a, map, core::AxisX);
    switch (direction) {
      case Direction::Forward:
        along.push_back(forward);
        break;
      case Direction::Back:
        along.push_back(-forward);
        break;
      case Direction::Right:
        along.push_back(right);
        break;
      case Direction::Left:
        along.push_back(-right);
        break;
    }
  }
  result.reach = percentile(along, 0.9f);
  const float needed = std::max(kMinReach, 2.0f * deadzone);
  if (!(result.reach >= needed)) {
    result.problem = Problem::TooSmall;
    char text[160];
    std::snprintf(text, sizeof text,
                  "The lean reached only %.1f deg; at least %.1f deg is needed. Lean further, then retry.",
                  std::isfinite(result.reach) ? std::max(result.reach, 0.0f) : 0.0f, needed);
    result.message = text;
  }
  return result;
}

float sensitivity(float reachOneWay, float reachOtherWay) {
  return std::clamp(std::min(reachOneWay, reachOtherWay), 5.0f, 90.0f);
}

JumpSignal jumpSignalOf(core::Source hmdSource) {
  using core::Source;
  if (hmdSource == Source::OpenVr || hmdSource == Source::OpenXr || hmdSource == Source::SlimeOsc)
    return JumpSignal::Height;
  if (hmdSource == Source::PhoneAcceleration || hmdSource == Source::SlimeSolarXr) return JumpSignal::Acceleration;
  return JumpSignal::None;
}

bool hasCrouchSource(core::Source squatSource) {
  return squatSource == core::Source::OpenVr || squatSource == core::Source::OpenXr;
}

namespace {

// The jumps of [from, to): stretches at or above `level`, rises closer than
// kJumpSeparation counted as one; each jump's highest value.
std::vector<float> jumpPeaks(const std::vector<const core::JumpSample*>& samples, double from, double to, float level) {
  std::vector<float> peaks;
  double lastHigh = -1e9;
  for (const core::JumpSample* s : samples) {
    if (s->time < from || s->time >= to || !(s->signal >= level)) continue;
    if (peaks.empty() || s->time - lastHigh > kJumpSeparation) peaks.push_back(s->signal);
    peaks.back() = std::max(peaks.back(), s->signal);
    lastHigh = s->time;
  }
  std::sort(peaks.begin(), peaks.end(), std::greater<>());
  return peaks;
}

bool measureJumps(const std::vector<const core::JumpSample*>& samples, const HeadRecording& r, JumpSignal signal,
                  HeadResult& result) {
  const bool height = signal == JumpSignal::Height;
  const char* unit = height ? "cm" : "m/s\xC2\xB2";
  std::vector<float> still, jumping;
  for (const core::JumpSample* s : samples) {
    if (s->time < r.jumpsFrom) still.push_back(s->signal);
    if (s->time >= r.jumpsFrom && s->time < r.crouchFrom) jumping.push_back(s->signal);
  }
  result.noise = std::max(percentile(still, 0.95f), 0.0f);
  const float needed = std::max(height ? kMinJumpRise : kMinJumpAccel, kNoiseFactor * result.noise);
  const std::vector<float> peaks = jumpPeaks(samples, r.jumpsFrom, r.crouchFrom, needed);
  for (std::size_t i = 0; i < 2 && i < peaks.size(); ++i) result.peaks[i] = peaks[i];
  char text[200];
  if (peaks.empty()) {
    const float highest = jumping.empty() ? 0.0f : *std::max_element(jumping.begin(), jumping.end());
    std::snprintf(text, sizeof text,
                  "The jumps reached only %.1f %s; at least %.1f %s is needed. Jump higher, then retry.",
                  std::isfinite(highest) ? std::max(highest, 0.0f) : 0.0f, unit, needed, unit);
  } else if (peaks.size() < 2) {
    std::snprintf(text, sizeof text, "Only one jump reached %.1f %s. Jump twice, a second or so apart, then retry.",
                  needed, unit);
  } else {
    // Both jumps are at least kNoiseFactor times the noise, so the threshold stays above it.
    result.jumpThreshold = std::clamp(kJumpFraction * peaks[1], 1.0f, height ? 30.0f : 50.0f);
    return true;
  }
  result.problem = Problem::TooSmall;
  result.message = text;
  return false;
}

bool measureCrouch(const std::vector<const core::CrouchSample*>& samples, const HeadRecording& r, HeadResult& result) {
  std::vector<float> standing, crouching;
  for (const core::CrouchSample* s : samples) {
    if (s->time < r.jumpsFrom) standing.push_back(s->heightCm);
    if (s->time >= r.crouchFrom) crouching.push_back(s->heightCm);
  }
  result.standing = percentile(standing, 0.5f);
  result.crouched = percentile(crouching, 0.05f);
  const float depth = result.standing - result.crouched;
  if (!(depth >= kMinCrouchDepth)) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "The crouch went only %.0f cm below standing; at least %.0f cm is needed. Crouch lower, then retry.",
                  std::isfinite(depth) ? std::max(depth, 0.0f) : 0.0f, kMinCrouchDepth);
    result.problem = Problem::TooSmall;
    result.message = text;
    return false;
  }
  // Within the sliders' 50 to 200 cm, the lower one below the upper one.
  result.lower = std::clamp(result.standing - 0.6f * depth, 50.0f, 199.0f);
  result.upper = std::clamp(result.standing - 0.3f * depth, result.lower + 1.0f, 200.0f);
  return true;
}

}  // namespace

HeadResult head(const HeadRecording& recording, JumpSignal signal, bool crouchSource) {
  HeadResult result;
  std::vector<const core::JumpSample*> jumps;
  std::vector<const core::CrouchSample*> heights;
  const bool silent = (signal != JumpSignal::None && !covered(recording.jump, recording.start, recording.end,
                                                              "jump source", jumps, result.message)) ||
                      (crouchSource && !covered(recording.crouch, recording.start, recording.end, "crouch source",
                                                heights, result.message));
  if (silent) {
    result.problem = Problem::Silent;
    return result;
  }
  if (signal != JumpSignal::None && !measureJumps(jumps, recording, signal, result)) return result;
  if (crouchSource) measureCrouch(heights, recording, result);
  return result;
}

}  // namespace engine::calibration
