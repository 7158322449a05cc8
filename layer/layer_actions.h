#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "layer/hooked_functions.h"

namespace xrlayer {

inline constexpr char kTouchProfile[] = "/interaction_profiles/oculus/touch_controller";

// The layer's own actions, in creation order.
enum ActionId : std::size_t {
  PoseL,
  PoseR,
  TrigL,
  TrigR,
  TrigClkL,
  TrigClkR,
  GripL,
  GripR,
  GripClkL,
  GripClkR,
  ThumbL,
  ThumbR,
  ThumbClkL,
  ThumbClkR,
  BtnA,
  BtnB,
  BtnX,
  BtnY,
  BtnMenu,
  kActionCount
};

struct LayerAction {
  const char* name;
  XrActionType type;
  // Suggested for the Touch profile; null where the profile defines no such input
  // (a Touch trigger or grip has a value but no click), since a runtime rejects the
  // whole suggestion for one unknown path. Those actions stay unbound and read 0.
  const char* bindingPath;
};

extern const std::array<LayerAction, kActionCount> kLayerActions;

// What the layer keeps per instance: its action set, and what the game suggested.
struct InjectionState {
  XrActionSet actionSet = XR_NULL_HANDLE;
  std::array<XrAction, kActionCount> actions{};
  std::set<std::string> profiles;                             // suggested so far, by anyone
  std::map<XrAction, std::vector<std::string>> gameBindings;  // the game's paths per action
};

// Creates the layer's action set and actions when the set does not exist yet; a
// failed creation leaves that handle null and later steps skip it.
void ensureLayerActionSet(const DispatchRecord& next, XrInstance instance, InjectionState& state);

// The layer's (action, path) pairs for the Touch profile, leaving out null actions
// and paths the runtime cannot convert.
std::vector<XrActionSuggestedBinding> layerBindings(const DispatchRecord& next, XrInstance instance,
                                                    const InjectionState& state);

// Destroys the layer's action set (with its actions) and forgets their handles.
void dropLayerActionSet(const DispatchRecord& next, InjectionState& state);

// The path's text, or empty when it cannot be converted.
std::string pathText(const DispatchRecord& next, XrInstance instance, XrPath path);

}  // namespace xrlayer
