#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <optional>

#include "app/core/logger.h"
#include "app/core/service.h"
#include "app/outputs/output.h"
#include "app/outputs/output_port.h"

namespace outputs {

// The one door from the engine to the outputs: the stick goes to the main output,
// jump and crouch to their target (core::targetOutput), and the second stage is
// pressed on the main output while the stick leans beyond its threshold.
//
// The configuration is asked of `config` at each call; when it changed, every output
// is configured anew, a press whose output no longer serves it is released there, and
// on a mode change the old output is centred (or stopped) before the new one starts.
// Each action remembers the output its press went to, so its release goes there.
//
// Calls are serialised by a private lock, so a notice's applyOutputMode, the sample
// path and the engine thread never enter an output at the same time.
class OutputService : public IOutputPort, public core::IService {
 public:
  // The configuration to follow, or nullptr when it has not changed since the last
  // call. Called under the service's lock.
  using ConfigSource = std::function<const OutputConfig*()>;

  OutputService(core::Logger& logger, OutputSet outputs, ConfigSource config);

  // Starts the outputs in use (and those that always run: keys, hook, OpenXR).
  void initialize() override;
  // Releases every press, then stops every running output.
  void cleanup() override;
  // Follows a changed configuration now (the output section's change notices call it).
  void applyOutputMode();

  void updateStick(float x, float y) override;
  void setJump(bool pressed) override;
  void setCrouch(bool pressed) override;
  void centerAll() override;
  void keepAlive() override;

  // Where the action's press went; empty while it is not held.
  std::optional<core::OutputMode> holderOf(Action action) const;

 private:
  IOutput* output(core::OutputMode mode) const { return outputs_[slotOf(mode)]; }
  bool wanted(core::OutputMode mode) const;
  void refresh();
  void apply(const OutputConfig& next);
  void startWanted();
  void route(Action action, bool pressed);
  void pressOn(Action action, core::OutputMode mode);
  void releaseHeld(Action action);
  void followSecondStage(float forward);

  core::Logger& logger_;
  OutputSet outputs_;
  ConfigSource source_;

  mutable std::mutex mutex_;
  OutputConfig config_;
  bool running_ = false;
  std::array<bool, kOutputModeCount> started_{};
  std::array<std::optional<core::OutputMode>, kActionCount> holder_{};
};

}  // namespace outputs
