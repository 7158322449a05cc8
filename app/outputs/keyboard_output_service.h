#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/outputs/output.h"
#include "platform/key_injector.h"

namespace outputs {

// Walks a keyboard-only game: the engine's stick becomes held keys, two strengths
// per direction (S1 and S2, with a release margin), and the jump and crouch
// bindings are pressed and released on request. The second stage has no key here:
// the second key of each direction is the keyboard's own second strength.
//
// Every key this service puts down is counted, so a key shared by two held
// bindings (Shift of "shift+w" and "shift+a") goes up only when neither wants it,
// and reset, centring and destruction release everything still down: no key is
// ever left pressed in the game.
class KeyboardOutputService final : public IOutput {
 public:
  static constexpr float kReleaseMargin = 0.05f;

  KeyboardOutputService(core::Logger& logger, platform::IKeyInjector& injector, std::ostream& out = std::cout);
  ~KeyboardOutputService() override;
  KeyboardOutputService(const KeyboardOutputService&) = delete;
  KeyboardOutputService& operator=(const KeyboardOutputService&) = delete;

  void configure(const OutputConfig& config) override;
  // Only says that the output is ready.
  void start() override;
  void stop() override { reset(); }
  void stick(float x, float y) override;
  void press(Action action) override;
  void release(Action action) override;
  void centre() override { reset(); }
  void keepAlive() override {}
  // Lifts every key this output holds, then the four modifiers whatever holds them.
  void reset();

  // Releases held bindings that are not wanted, presses wanted ones not yet held
  // (each in ascending order) and makes `wanted` the held list.
  void syncHeldKeys(const std::vector<std::string>& wanted);

  // The bindings the stick currently holds, ascending.
  std::vector<std::string> heldKeys() const;
  // S1 forward, back, left, right, then S2 forward, back, left, right.
  std::array<bool, 8> directionFlags() const;

 private:
  void keyDown(std::uint16_t code);
  void keyUp(std::uint16_t code);
  void pressBinding(const std::string& binding);
  void releaseBinding(const std::string& binding);
  void syncLocked(const std::vector<std::string>& wanted);
  void releaseEverythingLocked();
  const std::string* bindingOf(Action action) const;

  core::Logger& logger_;
  platform::IKeyInjector& injector_;
  std::ostream& out_;

  mutable std::mutex mutex_;
  KeyboardConfig config_;
  bool bindingsChanged_ = false;  // the stick's keys were edited since the last sync
  std::array<bool, 8> flags_{};
  std::vector<std::string> held_;                                 // stick bindings held down
  std::array<std::optional<std::string>, kActionCount> pressed_;  // what each action's press put down
  std::map<std::uint16_t, int> downCount_;                        // how many held bindings want each key down
};

}  // namespace outputs
