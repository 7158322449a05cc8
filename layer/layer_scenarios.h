#pragma once

#include <string>

#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"
#include "testing/xr_game/xr_chain.h"

// Game flows through the layer, shared by the real-loader tests (Linux) and the
// harness that plays the loader (Windows, under Wine). Each drives a whole flow and
// checks what the game and the main program's records see.
namespace layertest {

inline constexpr char kTouch[] = "/interaction_profiles/oculus/touch_controller";
inline constexpr char kSimple[] = "/interaction_profiles/khr/simple_controller";
inline constexpr char kVive[] = "/interaction_profiles/htc/vive_controller";

// The main program's side of the two records, started fresh.
class ProgramSide {
 public:
  ProgramSide();
  ~ProgramSide();
  xrshm::InputRecord& input() { return *static_cast<xrshm::InputRecord*>(input_.data()); }
  // Moves the record's sequence, as the program does after every write.
  void publish() { ++input().sequence; }
  // Moves the layer's clock (it stands still otherwise).
  static void advanceClock(unsigned milliseconds);
  // The state record as the layer last wrote it; null before the layer created it.
  const xrshm::StateRecord* state();

 private:
  platform::SharedMemory input_;
  platform::SharedMemory state_;
};

// A move action on the left thumbstick: injected while the real stick rests, the
// real stick alone beyond radius 0.05, clamped, and (0, 0) once when injection ends.
// The runtime refuses nothing but `expectedRefusals` (one per line).
void stickScenario(testsupport::XrChain& chain, const std::string& expectedRefusals = "");

// Buttons pressed from both masks, float axes of the stick with the rest radius,
// subaction paths, and real presses left alone.
void buttonAndAxisScenario(testsupport::XrChain& chain);

// Head and controllers published every frame, in stage space or (without a stage)
// local space; `gameSyncs` false plays a game that never attaches or syncs.
void publicationScenario(testsupport::XrChain& chain, bool stageSupported, bool gameSyncs);

// A runtime that refuses one of the layer's Touch paths: the game's own suggestion
// still succeeds and its bindings work.
void refusedLayerBindingScenario(testsupport::XrChain& chain);

}  // namespace layertest
