#include "app/engine/jump_detector.h"

#include <chrono>
#include <cmath>

namespace engine {
namespace {

// Sample times are whole milliseconds, but as seconds since the epoch a double
// only resolves about 0.2 microseconds, so a difference of exactly the limit can
// come out a hair above it. The tolerance keeps "older than the limit" exact for
// millisecond times.
constexpr double kTimeTolerance = 1e-6;

bool olderThan(double age, double limit) { return age > limit + kTimeTolerance; }

bool allFinite(float a, float b = 0, float c = 0) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); }

// The component of (x, y, z) on a signed axis.
float onAxis(core::AccelAxis axis, float x, float y, float z) {
  const core::AxisComponent component = core::axisComponent(axis);
  const float values[3] = {x, y, z};
  return component.sign * values[component.index];
}

}  // namespace

double SystemWallClock::nowSeconds() const {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()) / 1000.0;
}

// ---- HeightJumpDetector ----

HeightJumpDetector::HeightJumpDetector(core::Settings& settings, LiveView& live, const WallClock& clock)
    : settings_(settings), live_(live), clock_(clock) {}

void HeightJumpDetector::setOrientation(float a, float b, float c) {
  angles_[0] = a;
  angles_[1] = b;
  angles_[2] = c;
}

bool HeightJumpDetector::processHeight(float h) {
  // A non-finite height would sit in the window as a bogus minimum; drop it.
  if (!std::isfinite(h)) return false;
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  const core::Config::Jump& jump = config->jump;
  const double t = clock_.nowSeconds();
  const Sample sample{t, h, {angles_[0], angles_[1], angles_[2]}};
  window_.push_back(sample);
  while (!minimum_.empty() && minimum_.back().height >= h) minimum_.pop_back();
  minimum_.push_back(sample);

  const double w = jump.jump_window / 1000.0;
  while (!window_.empty() && olderThan(t - window_.front().time, w)) window_.pop_front();
  while (!minimum_.empty() && olderThan(t - minimum_.front().time, w)) minimum_.pop_front();
  if (window_.size() < 2) return false;

  const float rise = h - minimum_.front().height;

  const float strength = jump.jump_pitch_comp;
  float range = 0;
  if (strength > 0) {
    const int index = static_cast<int>(jump.jump_comp_axis);  // roll, pitch, yaw
    float low = 1e9f, high = -1e9f;
    for (const Sample& s : window_) {
      low = std::min(low, s.angles[index]);
      high = std::max(high, s.angles[index]);
    }
    range = high - low;
  }
  live_.compensation_angle_range = range;
  // Tilting the head moves it up and down without a jump; discount up to 5 m per
  // 90 degrees of tilt, scaled by the strength. A negative strength gives no range.
  const float comp = (strength / 100.0f) * (range / 90.0f) * 5.0f;
  live_.compensation = comp * 100.0f;
  const float risen = std::max(rise - comp, 0.0f);
  live_.jump_rise = risen;

  const double duration = jump.jump_duration;
  bool result = false;
  if (risen > jump.jump_threshold / 100.0f && !jumping_ && olderThan(t - lastJumpTime_, duration)) {
    lastJumpTime_ = t;
    jumping_ = true;
    result = true;
  }
  if (jumping_ && olderThan(t - lastJumpTime_, duration)) jumping_ = false;
  live_.jumping = jumping_.load();
  return result;
}

// ---- AccelJumpDetector ----

AccelJumpDetector::AccelJumpDetector(core::Settings& settings, LiveView& live, const WallClock& clock)
    : settings_(settings), live_(live), clock_(clock) {}

bool AccelJumpDetector::processAcceleration(float x, float y, float z) {
  // One NaN or infinity in the running sums would poison them for good; drop it.
  if (!allFinite(x, y, z)) return false;
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  const core::Config::Jump& jump = config->jump;
  const double t = clock_.nowSeconds();
  window_.push_back({t, x, y, z});
  sumX_ += x;
  sumY_ += y;
  sumZ_ += z;

  const double w = std::max(jump.jump_accel_smoothing / 1000.0, 0.01);
  while (!window_.empty() && olderThan(t - window_.front().time, w)) {
    const Sample& old = window_.front();
    sumX_ -= old.x;
    sumY_ -= old.y;
    sumZ_ -= old.z;
    window_.pop_front();
  }
  if (window_.empty()) return false;
  const double count = static_cast<double>(window_.size());
  const float avgX = static_cast<float>(sumX_ / count);
  const float avgY = static_cast<float>(sumY_ / count);
  const float avgZ = static_cast<float>(sumZ_ / count);
  live_.averaged_acceleration.set(avgX, avgY, avgZ);

  const core::AccelAxis axis = jump.jump_accel_axis;
  float value = onAxis(axis, avgX, avgY, avgZ);

  live_.jump_suppressed = false;
  const float suppress = jump.jump_accel_suppress_threshold;
  if (suppress > 0) {
    for (const Sample& s : window_) {
      if (olderThan(t - s.time, 0.5)) continue;
      if (onAxis(axis, s.x, s.y, s.z) < -suppress) {
        suppressUntil_ = t + 0.5;
        break;
      }
    }
    if (suppressUntil_ > t) {
      live_.jump_suppressed = true;
      value = 0;
    }
  }

  const double duration = jump.jump_duration;
  bool result = false;
  if (value > jump.jump_accel_threshold && !jumping_ && olderThan(t - lastJumpTime_, duration)) {
    lastJumpTime_ = t;
    jumping_ = true;
    result = true;
  }
  if (jumping_ && olderThan(t - lastJumpTime_, duration)) jumping_ = false;
  live_.jumping = jumping_.load();
  return result;
}

// ---- JumpDetectorManager ----

namespace {
using core::Source;
bool isPositionSource(Source s) { return s == Source::SlimeOsc || s == Source::OpenVr || s == Source::OpenXr; }
bool isAccelerationSource(Source s) { return s == Source::PhoneAcceleration || s == Source::SlimeSolarXr; }
}  // namespace

JumpDetectorManager::JumpDetectorManager(core::Settings& settings, LiveView& live, const WallClock& clock)
    : settings_(settings), height_(settings, live, clock), accel_(settings, live, clock) {}

bool JumpDetectorManager::height(float y) {
  return isPositionSource(settings_.config.snapshot()->tracking.hmd_source) && height_.processHeight(y);
}

bool JumpDetectorManager::acceleration(float x, float y, float z) {
  return isAccelerationSource(settings_.config.snapshot()->tracking.hmd_source) && accel_.processAcceleration(x, y, z);
}

void JumpDetectorManager::setOrientation(float a, float b, float c) { height_.setOrientation(a, b, c); }

bool JumpDetectorManager::isJumping() const {
  const Source source = settings_.config.snapshot()->tracking.hmd_source;
  if (isPositionSource(source)) return height_.isJumping();
  if (isAccelerationSource(source)) return accel_.isJumping();
  return false;
}

}  // namespace engine
