#pragma once

#include <array>
#include <cstdint>

#include "app/outputs/output_config.h"

namespace outputs {

// What an output can be asked to press. The second stage is the button held while
// the stick leans forward beyond its threshold.
enum class Action : std::uint8_t { Jump, Crouch, SecondStage };
inline constexpr std::size_t kActionCount = 3;
constexpr std::size_t slotOf(Action action) { return static_cast<std::size_t>(action); }

// One output of the program: simulated keys, the virtual pad, VRChat OSC, the
// SteamVR driver's hook datagrams, the OpenXR layer's input record.
//
// Sticks: x and y in -1..+1, x positive right, y positive forward.
// Presses: `press` puts down the action's binding as configured at that moment and
// remembers it; pressing again with the same binding does no more than the output's
// own repeat, and with a changed binding lifts the old one first. `release` lifts
// exactly what the action's press put down, whatever the configuration says by then;
// with nothing held it lifts the current binding, should it be down by other means.
// Two actions on one binding are kept apart: it stays down while either holds it.
class IOutput {
 public:
  virtual ~IOutput() = default;
  // The configuration from now on (each output keeps the part it needs).
  virtual void configure(const OutputConfig& config) = 0;
  virtual void start() = 0;
  // Comes to rest (stick centred, nothing held) and shuts down; sends nothing after.
  virtual void stop() = 0;
  virtual void stick(float x, float y) = 0;
  virtual void press(Action action) = 0;
  virtual void release(Action action) = 0;
  // The stick at rest and every press released; the output keeps running.
  virtual void centre() = 0;
  // From the engine's periodic pass (every 20 ms): repeats or re-stamps what is held.
  virtual void keepAlive() = 0;
};

// The five outputs, indexed by slotOf(mode); a null entry is an output missing from this build.
using OutputSet = std::array<IOutput*, kOutputModeCount>;

}  // namespace outputs
