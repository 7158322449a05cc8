#pragma once

#include <atomic>
#include <deque>

#include "app/core/settings.h"
#include "app/engine/live_view.h"

namespace engine {

// The detectors time their windows with the wall clock: whole milliseconds of the
// system clock, as seconds. Injected so tests set the time.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual double nowSeconds() const = 0;
};

class SystemWallClock final : public WallClock {
 public:
  double nowSeconds() const override;
};

// A jump detector fed by the engine under its lock. Slot order matters to nobody
// outside this program, but the operations are kept in the documented order.
class IJumpDetector {
 public:
  virtual ~IJumpDetector() = default;
  virtual bool processHeight(float height) = 0;
  virtual bool processAcceleration(float x, float y, float z) = 0;
  virtual void setOrientation(float a, float b, float c) = 0;
  virtual bool isJumping() const = 0;
};

// Reports a quick rise of the head: the newest height minus the lowest height of
// the last `jump_window` milliseconds, less an optional head-tilt compensation.
class HeightJumpDetector final : public IJumpDetector {
 public:
  HeightJumpDetector(core::Settings& settings, LiveView& live, const WallClock& clock);

  bool processHeight(float height) override;
  bool processAcceleration(float, float, float) override { return false; }
  void setOrientation(float a, float b, float c) override;
  bool isJumping() const override { return jumping_; }

 private:
  struct Sample {
    double time;
    float height;
    float angles[3];
  };

  core::Settings& settings_;
  LiveView& live_;
  const WallClock& clock_;
  std::deque<Sample> window_;
  // Heights increase from front to back, so the front is the window's minimum.
  std::deque<Sample> minimum_;
  float angles_[3] = {0, 0, 0};
  std::atomic<bool> jumping_{false};  // read by the user interface without the lock
  double lastJumpTime_ = 0;
};

// Reports a strong acceleration along the chosen axis, averaged over the last
// `jump_accel_smoothing` milliseconds; a downward push (crouching) suppresses
// jumps for half a second.
class AccelJumpDetector final : public IJumpDetector {
 public:
  AccelJumpDetector(core::Settings& settings, LiveView& live, const WallClock& clock);

  bool processHeight(float) override { return false; }
  bool processAcceleration(float x, float y, float z) override;
  void setOrientation(float, float, float) override {}
  bool isJumping() const override { return jumping_; }

 private:
  struct Sample {
    double time;
    float x, y, z;
  };

  core::Settings& settings_;
  LiveView& live_;
  const WallClock& clock_;
  std::deque<Sample> window_;
  // Doubles keep the add/subtract drift of a long session far below a float's step.
  double sumX_ = 0, sumY_ = 0, sumZ_ = 0;
  std::atomic<bool> jumping_{false};  // read by the user interface without the lock
  double lastJumpTime_ = 0;
  double suppressUntil_ = 0;
};

// Owns one detector of each kind and routes by `hmd_source`.
class JumpDetectorManager {
 public:
  JumpDetectorManager(core::Settings& settings, LiveView& live, const WallClock& clock);

  // The height detector's answer when `hmd_source` is a position source, else false.
  bool height(float y);
  // The acceleration detector's answer when `hmd_source` is an acceleration source, else false.
  bool acceleration(float x, float y, float z);
  void setOrientation(float a, float b, float c);
  // Read by the user interface without the engine lock.
  bool isJumping() const;

  HeightJumpDetector& heightDetector() { return height_; }
  AccelJumpDetector& accelDetector() { return accel_; }

 private:
  core::Settings& settings_;
  HeightJumpDetector height_;
  AccelJumpDetector accel_;
};

}  // namespace engine
