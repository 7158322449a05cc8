#include "app/engine/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// The samples inside the step, or a message when the tracker went quiet.
bool covered(const Recording& r, std::vector<const core::LeanSample*>& inside, std::string& message) {
  double last = r.start;
  for (const core::LeanSample& s : r.samples) {
    if (s.time < r.start || s.time > r.end) continue;
    if (s.time - last > kMaxGap) break;
    inside.push_back(&s);
    last = s.time;
  }
  if (inside.size() >= kMinSamples && r.end - last <= kMaxGap) return true;
  char text[160];
  std::snprintf(text, sizeof text,
                "The tracker went silent %.1f s into this step. Check it is on and connected, then retry.",
                last - r.start);
  message = text;
  return false;
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

}  // namespace engine::calibration
