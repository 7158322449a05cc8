#pragma once

#include <type_traits>

#include "common/xr/openxr_api.h"

// The functions the layer takes from the next layer in the chain, in the order of
// the dispatch record (after the next xrGetInstanceProcAddr itself).
#define STRIVO_XR_NEXT_FUNCTIONS(X)    \
  X(CreateSession)                     \
  X(DestroySession)                    \
  X(CreateActionSet)                   \
  X(DestroyActionSet)                  \
  X(CreateAction)                      \
  X(SuggestInteractionProfileBindings) \
  X(AttachSessionActionSets)           \
  X(CreateActionSpace)                 \
  X(CreateReferenceSpace)              \
  X(SyncActions)                       \
  X(GetActionStatePose)                \
  X(GetActionStateBoolean)             \
  X(GetActionStateFloat)               \
  X(GetActionStateVector2f)            \
  X(LocateSpace)                       \
  X(StringToPath)                      \
  X(PathToString)                      \
  X(BeginSession)                      \
  X(EndFrame)

// The functions the layer answers itself when the game asks for them by name.
#define STRIVO_XR_HOOKED_FUNCTIONS(X)  \
  X(EnumerateApiLayerProperties)       \
  X(CreateSession)                     \
  X(DestroySession)                    \
  X(SuggestInteractionProfileBindings) \
  X(AttachSessionActionSets)           \
  X(BeginSession)                      \
  X(SyncActions)                       \
  X(EndFrame)                          \
  X(GetActionStateBoolean)             \
  X(GetActionStateFloat)               \
  X(GetActionStateVector2f)

namespace xrlayer {

// The next layer's functions for one instance; a function it does not provide stays null.
struct DispatchRecord {
  PFN_xrGetInstanceProcAddr GetInstanceProcAddr = nullptr;
#define STRIVO_DISPATCH_FIELD(name) PFN_xr##name name = nullptr;
  STRIVO_XR_NEXT_FUNCTIONS(STRIVO_DISPATCH_FIELD)
#undef STRIVO_DISPATCH_FIELD
};

// Fills the record through the next layer's xrGetInstanceProcAddr.
DispatchRecord fetchDispatch(PFN_xrGetInstanceProcAddr next, XrInstance instance);

// The layer's own versions, declared from the API's function types so a definition
// with another signature cannot link.
namespace hooks {
#define STRIVO_DECLARE_HOOK(name) extern std::remove_pointer_t<PFN_xr##name> name;
STRIVO_XR_HOOKED_FUNCTIONS(STRIVO_DECLARE_HOOK)
#undef STRIVO_DECLARE_HOOK
}  // namespace hooks

// The layer's function for this name, or null when the layer does not hook it.
PFN_xrVoidFunction hookedFunction(const char* name);

}  // namespace xrlayer
