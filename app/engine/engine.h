#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "app/core/clock.h"
#include "app/core/live_history.h"
#include "app/core/logger.h"
#include "app/core/sample_sink.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/engine/engine_hooks.h"
#include "app/engine/live_view.h"
#include "app/engine/orientation_mapper.h"
#include "app/engine/source_matching.h"
#include "app/engine/stick_mapper.h"
#include "app/engine/tracker_activity.h"
#include "app/outputs/output_port.h"

namespace engine {

// The locomotion engine: receives every tracker value, turns the locomotion
// tracker's lean into the walking stick for the outputs, feeds the jump and crouch
// detectors, and runs the 50 Hz thread for timed releases, the watchdog and the
// virtual pad's report.
class Engine {
 public:
  // Hands the engine's four handlers to the tracking service (its thread-safe setter).
  using InstallCallbacks = std::function<void(core::SampleSink)>;
  // Writes the settings file; called after the centre changes and after a tap toggle.
  using SaveSettings = std::function<void()>;
  // Sends the virtual pad's current report; called each pass in "Xbox Controller (vJoy)" mode.
  using SubmitPadReport = std::function<void()>;

  Engine(core::Settings& settings, core::Logger& logger, core::ServiceManager& services, const core::Clock& clock,
         outputs::IOutputPort& output, InstallCallbacks installCallbacks, SaveSettings saveSettings,
         SubmitPadReport submitPadReport);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The detectors beside the mapping. Call before start; the engine does not own them.
  void setHooks(EngineHooks& hooks) { hooks_ = &hooks; }

  // initializeAll, install the handlers, start the engine thread; logs
  // "Engine: Logic initialized.".
  void start();
  // Stops and joins the engine thread, then cleanupAll. Safe to call twice.
  void stop();
  bool running() const { return running_; }

  // The four tracking handlers; they run on the receiver threads.
  void onRotation(std::string_view source, float a, float b, float c);
  void onQuaternion(std::string_view source, float x, float y, float z, float w);
  void onPosition(std::string_view source, float x, float y, float z);
  void onAcceleration(std::string_view source, float x, float y, float z);
  // The handlers bound to this engine, as the tracking service stores them.
  core::SampleSink callbacks();

  // Stops all motion at once: zero stick and orientations, clear stalled, centre all outputs.
  void resetOutputs();
  // `center_offset` := the current mapped orientation, then the settings file is saved.
  void setCenter();
  // `center_offset` := (0, 0, 0), then the settings file is saved.
  void clearCenter();

  // TEST OUTPUT: pushes the stick fully forward through the output for `seconds`,
  // then centres it exactly once (on the engine thread's first pass after the
  // time, or at once through resetOutputs). Tracker samples do not move the
  // stick meanwhile. A second call while pushing extends the push.
  void startTestPush(double seconds = 1.0);
  bool testPushActive() const { return testPushUntil_.load() > 0.0; }

  // The live plots' data, filled on the sample path.
  const core::LiveHistory& history() const { return *history_; }
  // The values the window shows, written on the sample path and read without the lock.
  const LiveView& live() const { return live_; }

  // One pass of the engine thread at engine time `now`.
  void runPass(double now);
  // Number of engine-thread passes so far (for tests and diagnostics).
  long passes() const { return passes_; }

  // For the detectors: the engine lock (recursive), the engine clock, the settings,
  // the live view they publish into, the locomotion tracker's sample times for the watchdog.
  std::recursive_mutex& lock() { return lock_; }
  const core::Clock& clock() const { return clock_; }
  core::Settings& settings() { return settings_; }
  LiveView& live() { return live_; }
  TrackerActivity& activity() { return activity_; }
  const TrackerActivity& activity() const { return activity_; }

  // When the pressed jump is let go (engine seconds); 0 when none is pending.
  double jumpReleaseTime() const { return jumpReleaseTime_; }

 private:
  void threadMain();
  // Change detection for the locomotion sample `values`: any component moving more
  // than `limit`, or no change seen yet, marks a change and clears stalled.
  void noteSample(const float (&values)[4], float limit, double now);
  // Centre, wrap, stick and output: the end of every locomotion sample.
  void finishLocomotionSample(const core::Config& config);
  // Presses jump and schedules its release `jump_duration` from now.
  void pressJump(const char* logLine);
  // Releases jump when its release time has come; takes the lock only then.
  void releaseJumpIfDue(double now);
  // Releases crouch when the crouch detector's trigger press has run its time; under the lock.
  void releaseCrouchIfDue(double now);
  // Holds the test push, or ends it once its time has come; engine thread.
  void runTestPush(double now);
  // Records a jump-detector input for the Jump tab's plot; under the lock.
  void recordJump(double now, float signal, float threshold, float unsuppressed, bool fired, bool acceleration);

  core::Settings& settings_;
  core::Logger& logger_;
  core::ServiceManager& services_;
  const core::Clock& clock_;
  outputs::IOutputPort& output_;
  InstallCallbacks installCallbacks_;
  SaveSettings saveSettings_;
  SubmitPadReport submitPadReport_;
  EngineHooks noHooks_;
  EngineHooks* hooks_ = &noHooks_;

  std::recursive_mutex lock_;
  core::ConfigStore::Reader config_{settings_.config};  // the sample handlers' value; under the lock
  OrientationMapper mapper_;
  StickMapper stickMapper_;

  std::unique_ptr<core::LiveHistory> history_ = std::make_unique<core::LiveHistory>();
  LiveView live_;
  TrackerActivity activity_;
  float lastSample_[4] = {};  // the last locomotion sample that counted as a change; under the lock
  std::atomic<double> jumpReleaseTime_{0.0};
  bool jumpWasSuppressed_ = false;
  std::atomic<double> testPushUntil_{0.0};

  std::atomic<bool> running_{false};
  std::atomic<long> passes_{0};
  std::thread thread_;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace engine
