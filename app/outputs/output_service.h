#pragma once

#include <mutex>
#include <string>

#include "app/core/logger.h"
#include "app/core/service.h"
#include "app/core/settings.h"
#include "app/outputs/backends.h"
#include "app/outputs/output_port.h"

namespace outputs {

// A button named with its hand, as in "Left: Grip".
struct ButtonSpec {
  std::string hand;
  std::string button;
};

// Splits `text` at its first colon into hand and button and trims both of spaces,
// tabs, CR and LF. Without a colon the hand is `defaultHand` and the button the text.
ButtonSpec resolveButtonSpec(const std::string& text, const std::string& defaultHand);
// "L" for "Left", "R" for "Right": the first character; empty for an empty hand.
std::string handLetter(const std::string& hand);

// The one door from the engine to the output backends: routes the stick, jump and
// crouch to the backend the settings select, starts and stops the backends, and
// runs the OpenXR layer's second-threshold button.
//
// Each press (jump, crouch, the OpenXR second stage) is remembered as it was made
// and released exactly there: a binding, hand, target or mode changed while it is
// held never leaves the old one down, and the next press uses the new binding.
//
// Calls are serialised by a private lock, so the user interface's applyOutputMode
// and the engine thread's timed releases never enter a backend at the same time
// as the engine's handlers.
class OutputService : public IOutputPort, public core::IService {
 public:
  OutputService(core::Settings& settings, core::Logger& logger, Backends backends);

  void initialize() override;
  // Releases what is held and centres the stick of the mode in use, then stops the backends.
  void cleanup() override;
  // Starts or stops the mode-dependent backends after `mode` changed. The output
  // of the mode that was in use before is centred and released first, so nothing
  // it held stays pressed (keys, buttons, a stick in the OpenXR record).
  void applyOutputMode();

  void updateStick(float x, float y) override;
  void setJump(bool pressed) override;
  void setCrouch(bool pressed) override;
  void centerAll() override;
  void keepAlive() override;

  bool openXrS2Held() const;
  // What jump, crouch and the OpenXR second stage hold now (for tests and diagnostics).
  HeldPress heldJump() const;
  HeldPress heldCrouch() const;

 private:
  enum class Action { Jump, Crouch };

  void startModeBackends(const std::string& mode);
  // The press `action` would make now on the output `target`.
  HeldPress resolve(Action action, const std::string& target) const;
  HeldPress& heldOf(Action action) { return action == Action::Jump ? jumpHeld_ : crouchHeld_; }
  void route(Action action, const std::string& target, bool pressed);
  void press(const HeldPress& press);
  void release(const HeldPress& press);
  void releaseHeld(HeldPress& held);
  void centreStick(const std::string& mode);
  void updateOpenXr(float x, float y);
  std::string effectiveTarget(Action action, const std::string& mode) const;

  core::Settings& settings_;
  core::Logger& logger_;
  Backends backends_;

  mutable std::mutex mutex_;
  HeldPress jumpHeld_;
  HeldPress crouchHeld_;
  HeldPress openXrS2Held_;
  std::string hookStickHand_;    // the hand the hook's stick was last sent for
  std::string openXrStickHand_;  // the hand letter of the last OpenXR stick
  std::string appliedMode_;      // the mode whose backends were last started; empty before initialize
};

}  // namespace outputs
