#include "layer/layer_actions.h"

#include <cstring>

namespace xrlayer {

const std::array<LayerAction, kActionCount> kLayerActions = {{
    {"pose_l", XR_ACTION_TYPE_POSE_INPUT, "/user/hand/left/input/grip/pose"},
    {"pose_r", XR_ACTION_TYPE_POSE_INPUT, "/user/hand/right/input/grip/pose"},
    {"trig_l", XR_ACTION_TYPE_FLOAT_INPUT, "/user/hand/left/input/trigger/value"},
    {"trig_r", XR_ACTION_TYPE_FLOAT_INPUT, "/user/hand/right/input/trigger/value"},
    {"trig_clk_l", XR_ACTION_TYPE_BOOLEAN_INPUT, nullptr},
    {"trig_clk_r", XR_ACTION_TYPE_BOOLEAN_INPUT, nullptr},
    {"grip_l", XR_ACTION_TYPE_FLOAT_INPUT, "/user/hand/left/input/squeeze/value"},
    {"grip_r", XR_ACTION_TYPE_FLOAT_INPUT, "/user/hand/right/input/squeeze/value"},
    {"grip_clk_l", XR_ACTION_TYPE_BOOLEAN_INPUT, nullptr},
    {"grip_clk_r", XR_ACTION_TYPE_BOOLEAN_INPUT, nullptr},
    {"thumb_l", XR_ACTION_TYPE_VECTOR2F_INPUT, "/user/hand/left/input/thumbstick"},
    {"thumb_r", XR_ACTION_TYPE_VECTOR2F_INPUT, "/user/hand/right/input/thumbstick"},
    {"thumb_clk_l", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/left/input/thumbstick/click"},
    {"thumb_clk_r", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/right/input/thumbstick/click"},
    {"btn_a", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/right/input/a/click"},
    {"btn_b", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/right/input/b/click"},
    {"btn_x", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/left/input/x/click"},
    {"btn_y", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/left/input/y/click"},
    {"btn_menu", XR_ACTION_TYPE_BOOLEAN_INPUT, "/user/hand/left/input/menu/click"},
}};

namespace {

template <std::size_t N>
void copyName(char (&target)[N], const char* text) {
  std::strncpy(target, text, N - 1);
  target[N - 1] = '\0';
}

}  // namespace

void ensureLayerActionSet(const DispatchRecord& next, XrInstance instance, InjectionState& state) {
  if (state.actionSet != XR_NULL_HANDLE || !next.CreateActionSet) return;
  auto setInfo = xrStruct<XrActionSetCreateInfo>(XR_TYPE_ACTION_SET_CREATE_INFO);
  copyName(setInfo.actionSetName, "api_layer_internal");
  copyName(setInfo.localizedActionSetName, "Internal Extraction Layer");
  setInfo.priority = 0;
  XrActionSet set = XR_NULL_HANDLE;
  if (next.CreateActionSet(instance, &setInfo, &set) != XR_SUCCESS) return;
  state.actionSet = set;
  state.actions.fill(XR_NULL_HANDLE);
  if (!next.CreateAction) return;
  for (std::size_t i = 0; i < kActionCount; ++i) {
    auto info = xrStruct<XrActionCreateInfo>(XR_TYPE_ACTION_CREATE_INFO);
    copyName(info.actionName, kLayerActions[i].name);
    copyName(info.localizedActionName, kLayerActions[i].name);
    info.actionType = kLayerActions[i].type;
    XrAction action = XR_NULL_HANDLE;
    if (next.CreateAction(set, &info, &action) == XR_SUCCESS) state.actions[i] = action;
  }
}

std::vector<XrActionSuggestedBinding> layerBindings(const DispatchRecord& next, XrInstance instance,
                                                    const InjectionState& state) {
  std::vector<XrActionSuggestedBinding> bindings;
  if (!next.StringToPath) return bindings;
  for (std::size_t i = 0; i < kActionCount; ++i) {
    if (state.actions[i] == XR_NULL_HANDLE || !kLayerActions[i].bindingPath) continue;
    XrPath path = XR_NULL_PATH;
    if (next.StringToPath(instance, kLayerActions[i].bindingPath, &path) != XR_SUCCESS) continue;
    bindings.push_back({state.actions[i], path});
  }
  return bindings;
}

void dropLayerActionSet(const DispatchRecord& next, InjectionState& state) {
  if (state.actionSet != XR_NULL_HANDLE && next.DestroyActionSet) next.DestroyActionSet(state.actionSet);
  state.actionSet = XR_NULL_HANDLE;
  state.actions.fill(XR_NULL_HANDLE);
}

std::string pathText(const DispatchRecord& next, XrInstance instance, XrPath path) {
  if (!next.PathToString) return {};
  char buffer[512];
  uint32_t length = 0;
  if (next.PathToString(instance, path, sizeof buffer, &length, buffer) != XR_SUCCESS) return {};
  if (length == 0 || length > sizeof buffer) return {};
  return std::string(buffer, length - 1);
}

}  // namespace xrlayer
