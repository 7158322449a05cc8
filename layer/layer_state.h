#pragma once

#include <atomic>
#include <map>
#include <optional>
#include <shared_mutex>

#include "common/xr/shared_records.h"
#include "layer/injection_rules.h"
#include "layer/layer_actions.h"
#include "platform/shared_memory.h"

namespace xrlayer {

struct SessionRecord {
  XrInstance instance = XR_NULL_HANDLE;
  XrSpace leftSpace = XR_NULL_HANDLE;  // action spaces of the layer's two pose actions
  XrSpace rightSpace = XR_NULL_HANDLE;
  XrSpace baseSpace = XR_NULL_HANDLE;  // stage, or local when the runtime has no stage
  XrSpace viewSpace = XR_NULL_HANDLE;
  bool attached = false;          // action sets are attached to this session
  bool layerSetAttached = false;  // ...and the layer's set is among them
  bool syncedThisFrame = false;   // the game synced since the last xrEndFrame
};

// Everything the library keeps for the process. The tables change only while the
// game creates or destroys instances and sessions or suggests bindings; the lock
// guards those changes against concurrent queries and is never held while calling
// down the chain.
struct LayerState {
  std::shared_mutex lock;
  std::map<XrInstance, DispatchRecord> instances;
  std::map<XrInstance, InjectionState> injections;
  std::map<XrSession, SessionRecord> sessions;

  platform::SharedMemory inputSection;
  platform::SharedMemory stateSection;
  std::atomic<const xrshm::InputRecord*> input{nullptr};
  std::atomic<xrshm::StateRecord*> state{nullptr};

  RecordLiveness inputLiveness;

  // Last two-axis output per hand while the layer injects into that stick.
  std::atomic<float> lastLeft[2];
  std::atomic<float> lastRight[2];
};

LayerState& layerState();

// Milliseconds of the steady clock. A test sets the time through the environment
// variable STRIVO_XR_LAYER_CLOCK_MS instead; it is looked at only once, at the
// first call, so a game that never sets it never pays for it again.
std::uint64_t layerClockMs();

// Creates or attaches the state section, then the input section, each only while
// not yet mapped; a failure is retried at the next call.
void mapSharedSections();

// Copies of table entries taken under the lock, so callers never hold it while
// calling down the chain.
std::optional<DispatchRecord> dispatchFor(XrInstance instance);
std::optional<SessionRecord> sessionRecord(XrSession session);
// The first recorded instance's dispatch (the lowest handle value), if any.
std::optional<DispatchRecord> firstDispatch();

}  // namespace xrlayer
