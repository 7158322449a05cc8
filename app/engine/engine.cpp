#include "app/engine/engine.h"

#include <chrono>
#include <cmath>
#include <initializer_list>

#include "platform/hot_path.h"

namespace engine {
namespace {

using core::Source;

bool isOneOf(Source value, std::initializer_list<Source> options) {
  for (Source option : options)
    if (value == option) return true;
  return false;
}

// A sample with an infinite or NaN component is dropped whole: a NaN would stay in
// the stick filter for good, and an infinite angle has no place on the circle.
bool allFinite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// Into -180..180: subtract 360 while above 180, then add 360 while below -180.
// fmod takes the whole turns off first so a huge angle cannot keep the loop going;
// for finite floats it gives the same result as subtracting one turn at a time.
float wrapAngle(float angle) {
  if (angle > 180.0f || angle < -180.0f) angle = std::fmod(angle, 360.0f);
  if (angle > 180.0f) angle -= 360.0f;
  if (angle < -180.0f) angle += 360.0f;
  return angle;
}

// The component of `v` on a signed axis.
float alongAxis(const core::AtomicVec3& v, core::AccelAxis axis) {
  const core::AxisComponent component = core::axisComponent(axis);
  return component.sign * v[component.index];
}

}  // namespace

Engine::Engine(core::Settings& settings, core::Logger& logger, core::ServiceManager& services, const core::Clock& clock,
               outputs::IOutputPort& output, InstallCallbacks installCallbacks, SaveSettings saveSettings,
               SubmitPadReport submitPadReport)
    : settings_(settings),
      logger_(logger),
      services_(services),
      clock_(clock),
      output_(output),
      installCallbacks_(std::move(installCallbacks)),
      saveSettings_(std::move(saveSettings)),
      submitPadReport_(std::move(submitPadReport)),
      stickMapper_() {}

Engine::~Engine() { stop(); }

void Engine::start() {
  if (running_) return;
  services_.initializeAll();
  if (installCallbacks_) installCallbacks_(callbacks());
  running_ = true;
  thread_ = std::thread(&Engine::threadMain, this);
  logger_.info("Engine: Logic initialized.");
}

void Engine::stop() {
  const bool wasRunning = running_.exchange(false);
  { std::lock_guard lock(wakeMutex_); }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (wasRunning) services_.cleanupAll();
}

core::SampleSink Engine::callbacks() {
  core::SampleSink callbacks;
  callbacks.on_rotation = [this](std::string_view n, float a, float b, float c) { onRotation(n, a, b, c); };
  callbacks.on_quaternion = [this](std::string_view n, float x, float y, float z, float w) {
    onQuaternion(n, x, y, z, w);
  };
  callbacks.on_position = [this](std::string_view n, float x, float y, float z) { onPosition(n, x, y, z); };
  callbacks.on_acceleration = [this](std::string_view n, float x, float y, float z) { onAcceleration(n, x, y, z); };
  return callbacks;
}

// ---- Handlers ----

STRIVO_HOT_PATH void Engine::onRotation(std::string_view source, float a, float b, float c) {
  if (!allFinite({a, b, c})) return;
  std::lock_guard lock(lock_);
  if (!settings_.tracking_active) return;
  const core::Config& config = config_.latest();  // one value for the whole sample
  const SourceSelection& selection = config.tracking;

  if (isJumpTrackerSource(source, selection)) {
    live_.jump_tracker_orientation.set(a, b, c);
    hooks_->setJumpOrientation(a, b, c);
  }
  if (!isLocomotionSource(source, selection)) return;

  const double now = clock_.now();
  activity_.lastSampleTime = now;
  noteSample({a, b, c, 0.0f}, 0.1f, now);
  live_.raw_orientation.setAngles(a, b, c);

  const bool solarXR = selection.tracker_source == Source::SlimeSolarXr;
  const core::Config::Locomotion& locomotion = config.locomotion;
  const core::Mounting orientation = solarXR ? locomotion.slime_orientation : locomotion.orientation;
  const core::Facing facing = solarXR ? locomotion.slime_facing : locomotion.screen_facing;
  const Angles mapped = mapper_.mapAngles(a, b, c, orientation, facing);
  live_.mapped_orientation.set(mapped[0], mapped[1], mapped[2]);
  finishLocomotionSample(config);
}

STRIVO_HOT_PATH void Engine::onQuaternion(std::string_view source, float x, float y, float z, float w) {
  if (!allFinite({x, y, z, w})) return;
  std::lock_guard lock(lock_);
  if (!settings_.tracking_active) return;
  const core::Config& config = config_.latest();  // one value for the whole sample
  const SourceSelection& selection = config.tracking;
  const bool locomotion = isLocomotionSource(source, selection);
  const bool jumpTracker = isJumpTrackerSource(source, selection);
  if (!locomotion && !jumpTracker) return;

  const Quaternion q{x, y, z, w};
  Angles mapped;
  if (locomotion) {
    const double now = clock_.now();
    activity_.lastSampleTime = now;
    noteSample({x, y, z, w}, 0.001f, now);
    const bool solarXR = selection.tracker_source == Source::SlimeSolarXr;
    const core::Config::Locomotion& locomotion = config.locomotion;
    const core::Mounting orientation = solarXR ? locomotion.slime_orientation : locomotion.orientation;
    const core::Facing facing = solarXR ? locomotion.slime_facing : locomotion.screen_facing;
    mapped = mapper_.mapQuaternion(q, orientation, facing, true);
  } else {
    // Without correction the mounting plays no part.
    mapped = mapper_.mapQuaternion(q, core::Mounting::Portrait, core::Facing::Outward, false);
  }

  if (jumpTracker) {
    live_.jump_tracker_orientation.set(mapped[0], mapped[1], mapped[2]);
    hooks_->setJumpOrientation(mapped[0], mapped[1], mapped[2]);
  }
  if (!locomotion) return;

  live_.raw_orientation.setQuaternion(q);
  live_.mapped_orientation.set(mapped[0], mapped[1], mapped[2]);
  finishLocomotionSample(config);
}

STRIVO_HOT_PATH void Engine::noteSample(const float (&values)[4], float limit, double now) {
  bool changed = activity_.lastChangeTime == 0.0;
  for (int i = 0; i < 4; ++i)
    if (std::fabs(values[i] - lastSample_[i]) > limit) changed = true;
  if (!changed) return;
  activity_.lastChangeTime = now;
  for (int i = 0; i < 4; ++i) lastSample_[i] = values[i];
  activity_.stalled = false;
}

STRIVO_HOT_PATH void Engine::finishLocomotionSample(const core::Config& config) {
  const SourceSelection& selection = config.tracking;
  const core::Config::Locomotion& locomotion = config.locomotion;
  Angles centred = live_.mapped_orientation.get();
  if (isOneOf(selection.tracker_source,
              {Source::Phone, Source::SlimeSolarXr, Source::SlimeOsc, Source::SteamVrTracker})) {
    for (int i = 0; i < 3; ++i) centred[i] -= locomotion.center_offset[i];
  }
  if (locomotion.fix_angle_discontinuity)
    for (float& angle : centred) angle = wrapAngle(angle);

  Stick stick;
  const bool slime = isOneOf(selection.tracker_source, {Source::SlimeOsc, Source::SlimeSolarXr});
  if (!activity_.stalled) {
    stick = stickMapper_.compute(locomotion, centred, slime);
  } else {
    centred = {0.0f, 0.0f, 0.0f};
  }
  live_.centered_orientation.set(centred[0], centred[1], centred[2]);
  const AxisMap map = StickMapper::axisMap(locomotion, slime);
  const Angles mapped = live_.mapped_orientation.get();
  core::LeanSample sample;
  sample.time = clock_.now();
  for (int i = 0; i < 3; ++i) sample.mapped[i] = mapped[i];
  sample.leanSide = -axisSum(centred, map, core::AxisX);
  sample.leanForward = axisSum(centred, map, core::AxisY);
  // While TEST OUTPUT pushes, the push owns the output's stick.
  const bool pushing = testPushActive();
  sample.stickX = pushing ? 0.0f : stick.x;
  sample.stickY = pushing ? -1.0f : stick.y;
  history_->lean.push(sample);
  live_.stick[0].store(stick.x, std::memory_order_relaxed);
  live_.stick[1].store(stick.y, std::memory_order_relaxed);
  if (!pushing) output_.updateStick(stick.x, stick.y);
}

void Engine::recordJump(double now, float signal, float threshold, float unsuppressed, bool fired, bool acceleration) {
  // A marker where a jump would have fired but compensation or crouch suppression
  // held it back: the first sample of each such stretch.
  const bool suppressed = !fired && unsuppressed > threshold && signal <= threshold;
  core::JumpSample sample;
  sample.time = now;
  sample.signal = signal;
  sample.flags = (fired ? core::JumpSample::Fired : 0) |
                 (suppressed && !jumpWasSuppressed_ ? core::JumpSample::Suppressed : 0) |
                 (acceleration ? core::JumpSample::Acceleration : 0);
  jumpWasSuppressed_ = suppressed;
  history_->jump.push(sample);
}

void Engine::onPosition(std::string_view source, float x, float y, float z) {
  if (!allFinite({x, y, z})) return;
  std::lock_guard lock(lock_);
  if (!settings_.tracking_active) return;
  live_.head_position.set(x, y, z);

  const core::Config& config = config_.latest();
  const Source hmdSource = config.tracking.hmd_source;
  const double now = clock_.now();
  if (isOneOf(hmdSource, {Source::SlimeOsc, Source::OpenVr, Source::OpenXr}) &&
      isHeadPositionSource(source, hmdSource)) {
    const bool fired = hooks_->detectHeightJump(y);
    if (fired) pressJump("Engine: Jump detected (Height)!");
    const float rise = live_.jump_rise * 100.0f;  // centimetres above the window's low point
    recordJump(now, rise, config.jump.jump_threshold, rise + live_.compensation, fired, false);
  }

  const Source squatSource = config.tracking.squat_source;
  if (isOneOf(squatSource, {Source::OpenVr, Source::OpenXr}) && source == core::choiceText(squatSource)) {
    hooks_->updateCrouch(y);
    history_->crouch.push({now, y * 100.0f, live_.crouching.load()});
  }
}

void Engine::onAcceleration(std::string_view source, float x, float y, float z) {
  if (!allFinite({x, y, z})) return;
  const TapToggle toggle = hooks_->checkTap(source, x, y, z);
  {
    std::lock_guard lock(lock_);
    if (settings_.tracking_active) {
      live_.last_acceleration.set(x, y, z);
      const core::Config& config = config_.latest();
      const Source hmdSource = config.tracking.hmd_source;
      const Source trackerSource = config.tracking.tracker_source;
      const bool solarXR = hmdSource == Source::SlimeSolarXr || trackerSource == Source::SlimeSolarXr;
      const bool sourceGate = isOneOf(hmdSource, {Source::PhoneAcceleration, Source::Phone, Source::SlimeSolarXr}) ||
                              trackerSource == Source::SlimeSolarXr;
      bool nameGate = source == core::choiceText(Source::Phone);
      if (!nameGate && solarXR) {
        const std::string& jumpTracker = config.tracking.slime_jump_tracker_name;
        nameGate = jumpTracker == "None" || jumpTracker.empty() || source == jumpTracker;
      }
      if (sourceGate && nameGate) {
        const bool fired = hooks_->detectAccelerationJump(x, y, z);
        if (fired) pressJump("Engine: Jump detected (Accel)!");
        const float along = alongAxis(live_.averaged_acceleration, config.jump.jump_accel_axis);
        const float shown = live_.jump_suppressed ? 0.0f : along;  // what the detector compared
        recordJump(clock_.now(), shown, config.jump.jump_accel_threshold, along, fired, true);
      }
    }
  }
  if (toggle != TapToggle::None) {
    hooks_->tapToggled(toggle == TapToggle::TurnedOn);
    if (saveSettings_) saveSettings_();
  }
}

void Engine::pressJump(const char* logLine) {
  logger_.info(logLine);
  output_.setJump(true);
  jumpReleaseTime_ = clock_.now() + settings_.config.snapshot()->jump.jump_duration;
}

// ---- Outputs and centre ----

void Engine::resetOutputs() {
  std::lock_guard lock(lock_);
  testPushUntil_ = 0.0;  // centring below is the push's release
  live_.stick[0] = 0.0f;
  live_.stick[1] = 0.0f;
  live_.mapped_orientation.set(0, 0, 0);
  live_.centered_orientation.set(0, 0, 0);
  activity_.stalled = false;
  output_.centerAll();
}

void Engine::setCenter() {
  {
    std::lock_guard lock(lock_);
    const Angles mapped = live_.mapped_orientation.get();
    settings_.config.edit([&mapped](core::Config& c) { c.locomotion.center_offset = mapped; });
  }
  if (saveSettings_) saveSettings_();
}

void Engine::clearCenter() {
  {
    std::lock_guard lock(lock_);
    settings_.config.edit([](core::Config& c) { c.locomotion.center_offset = {0, 0, 0}; });
  }
  if (saveSettings_) saveSettings_();
}

// ---- Engine thread ----

void Engine::releaseJumpIfDue(double now) {
  const double due = jumpReleaseTime_;
  if (due <= 0.0 || now < due) return;
  std::lock_guard lock(lock_);
  // A handler may have pressed again and moved the time on since the first look.
  const double current = jumpReleaseTime_;
  if (current <= 0.0 || now < current) return;
  output_.setJump(false);
  jumpReleaseTime_ = 0.0;
}

void Engine::releaseCrouchIfDue(double now) {
  std::lock_guard lock(lock_);
  if (hooks_->takeDueCrouchRelease(now)) output_.setCrouch(false);
}

void Engine::startTestPush(double seconds) {
  std::lock_guard lock(lock_);
  // The live stick stays the tracker's: the watchdog judges the tracker by it.
  testPushUntil_ = clock_.now() + seconds;
  output_.updateStick(0.0f, -1.0f);
}

void Engine::runTestPush(double now) {
  if (!testPushActive()) return;
  std::lock_guard lock(lock_);
  const double until = testPushUntil_;
  if (until <= 0.0) return;  // reset meanwhile
  if (now < until) {
    output_.updateStick(0.0f, -1.0f);  // outputs that expect a steady stream keep getting it
    return;
  }
  testPushUntil_ = 0.0;
  output_.updateStick(0.0f, 0.0f);
}

void Engine::runPass(double now) {
  runTestPush(now);
  releaseJumpIfDue(now);
  releaseCrouchIfDue(now);
  hooks_->watchdog(now);
  {
    std::lock_guard lock(lock_);
    output_.keepAlive();
  }
  // The pad's report keeps flowing while no tracker data arrives, so input
  // forwarded from a second controller is not lost.
  if (submitPadReport_ && settings_.config.snapshot()->outputs.mode == core::OutputMode::Pad) {
    std::lock_guard lock(lock_);
    submitPadReport_();
  }
  ++passes_;
}

void Engine::threadMain() {
  // One pass every 20 ms plus the pass's own work. The wait wakes early on stop.
  while (running_) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    {
      std::unique_lock lock(wakeMutex_);
      wake_.wait_until(lock, deadline, [this] { return !running_; });
    }
    if (!running_) break;
    runPass(clock_.now());
  }
}

}  // namespace engine
