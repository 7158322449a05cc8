#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/outputs/backends.h"
#include "platform/key_injector.h"

namespace outputs {

// Walks a keyboard-only game: the engine's stick becomes held keys, two strengths
// per direction (S1 and S2, with a release margin), and the jump and crouch
// bindings are pressed and released on request.
//
// Every key this service puts down is counted, so a key shared by two held
// bindings (Shift of "shift+w" and "shift+a") goes up only when neither wants it,
// and reset, centring and destruction release everything still down: no key is
// ever left pressed in the game.
class KeyboardOutputService : public IKeyboardBackend {
 public:
  static constexpr float kReleaseMargin = 0.05f;

  KeyboardOutputService(core::Settings& settings, core::Logger& logger, platform::IKeyInjector& injector,
                        std::ostream& out = std::cout);
  ~KeyboardOutputService() override;
  KeyboardOutputService(const KeyboardOutputService&) = delete;
  KeyboardOutputService& operator=(const KeyboardOutputService&) = delete;

  void init() override;
  void update(float x, float y) override;
  void pressKey(const std::string& binding) override;
  void releaseKey(const std::string& binding) override;
  void reset() override;

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

  core::Settings& settings_;
  core::Logger& logger_;
  platform::IKeyInjector& injector_;
  std::ostream& out_;

  mutable std::mutex mutex_;
  std::array<bool, 8> flags_{};
  std::vector<std::string> held_;           // stick bindings held down
  std::set<std::string> pressed_;           // jump/crouch bindings pressed through pressKey
  std::map<std::uint16_t, int> downCount_;  // how many held bindings want each key down
};

}  // namespace outputs
