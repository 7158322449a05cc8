#pragma once

#include <string>

#include "common/xr/openxr_api.h"

// What a test may do to the fake OpenXR runtime besides calling OpenXR: script the
// controllers and the head, make the stage or a binding path unsupported, and read
// back what the runtime refused and which action sets it synced. The runtime
// library exports these functions under these names; tests find them by name.
extern "C" {
// Inputs by full path, as the runtime's current profile (Touch) reports them:
// a thumbstick as (x, y); a trigger, grip or axis as x; a click as x >= 0.5.
// An input never scripted (or cleared) is not present, so actions bound only to it are inactive.
typedef void (*PFN_fakexrSetInput)(const char* path, float x, float y);
typedef void (*PFN_fakexrClearInput)(const char* path);
// Poses in the local space: "/user/head" for the head (view), ".../input/grip/pose" for a hand.
typedef void (*PFN_fakexrSetPose)(const char* path, const float* position3, const float* orientation4);
typedef void (*PFN_fakexrSetStageSupported)(int supported);
// Treats this binding path as one the Touch profile does not define.
typedef void (*PFN_fakexrRefusePath)(const char* path);
// Calls the runtime answered with an error, and the error texts ("xrSyncActions: ...").
typedef int (*PFN_fakexrRefusalCount)();
typedef const char* (*PFN_fakexrRefusal)(int index);
// How many successful syncs included the action set of this name.
typedef int (*PFN_fakexrSyncCount)(const char* actionSetName);
// The runtime's own function of this name, bypassing every layer.
typedef PFN_xrVoidFunction (*PFN_fakexrRuntimeFunction)(const char* name);
}

// The stage origin lies this far below the local origin (a standing user's floor).
inline constexpr float kFakeStageFloorBelowLocal = 1.5f;

#define STRIVO_FAKEXR_CONTROLS(X)                  \
  X(SetInput, fakexr_set_input)                    \
  X(ClearInput, fakexr_clear_input)                \
  X(SetPose, fakexr_set_pose)                      \
  X(SetStageSupported, fakexr_set_stage_supported) \
  X(RefusePath, fakexr_refuse_path)                \
  X(RefusalCount, fakexr_refusal_count)            \
  X(Refusal, fakexr_refusal)                       \
  X(SyncCount, fakexr_sync_count)                  \
  X(RuntimeFunction, fakexr_runtime_function)

// The control functions looked up in a loaded runtime library.
struct FakeRuntimeControl {
#define STRIVO_FAKEXR_FIELD(field, symbol) PFN_fakexr##field field = nullptr;
  STRIVO_FAKEXR_CONTROLS(STRIVO_FAKEXR_FIELD)
#undef STRIVO_FAKEXR_FIELD

  // lookup(name) returns the exported symbol's address; false when any is missing.
  template <typename Lookup>
  bool load(Lookup lookup) {
    bool complete = true;
#define STRIVO_FAKEXR_LOAD(field, symbol)                       \
  field = reinterpret_cast<PFN_fakexr##field>(lookup(#symbol)); \
  complete = complete && field != nullptr;
    STRIVO_FAKEXR_CONTROLS(STRIVO_FAKEXR_LOAD)
#undef STRIVO_FAKEXR_LOAD
    return complete;
  }

  // Every refusal so far, one per line (empty when the runtime refused nothing).
  std::string refusals() const {
    std::string text;
    for (int i = 0; i < RefusalCount(); ++i) text += std::string(Refusal(i)) + "\n";
    return text;
  }
};
