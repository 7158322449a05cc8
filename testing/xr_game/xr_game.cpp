#include "testing/xr_game/xr_game.h"

#include <cstring>

namespace testsupport {
namespace {

template <std::size_t N>
void copyText(char (&target)[N], const char* text) {
  std::strncpy(target, text, N - 1);
  target[N - 1] = '\0';
}

}  // namespace

XrGame::XrGame(PFN_xrGetInstanceProcAddr getProcAddr, CreateInstance createInstance)
    : getProcAddr_(getProcAddr), createInstance_(createInstance) {}

XrGame::~XrGame() {
  if (session_ != XR_NULL_HANDLE) {
    reinterpret_cast<PFN_xrEndSession>(function("xrEndSession"))(session_);
    reinterpret_cast<PFN_xrDestroySession>(function("xrDestroySession"))(session_);
  }
  if (instance_ != XR_NULL_HANDLE) reinterpret_cast<PFN_xrDestroyInstance>(function("xrDestroyInstance"))(instance_);
}

PFN_xrVoidFunction XrGame::function(const char* name) {
  PFN_xrVoidFunction found = nullptr;
  getProcAddr_(instance_, name, &found);
  return found;
}

XrResult XrGame::start() {
  auto info = xrStruct<XrInstanceCreateInfo>(XR_TYPE_INSTANCE_CREATE_INFO);
  copyText(info.applicationInfo.applicationName, "strivo test game");
  info.applicationInfo.apiVersion = XR_MAKE_VERSION(1, 0, 0);
  const char* extensions[] = {XR_MND_HEADLESS_EXTENSION_NAME};
  info.enabledExtensionCount = 1;
  info.enabledExtensionNames = extensions;
  XrResult result = createInstance_(&info, &instance_);
  if (XR_FAILED(result)) return result;

  auto systemInfo = xrStruct<XrSystemGetInfo>(XR_TYPE_SYSTEM_GET_INFO);
  systemInfo.formFactor = XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY;
  XrSystemId system = XR_NULL_SYSTEM_ID;
  result = reinterpret_cast<PFN_xrGetSystem>(function("xrGetSystem"))(instance_, &systemInfo, &system);
  if (XR_FAILED(result)) return result;

  auto sessionInfo = xrStruct<XrSessionCreateInfo>(XR_TYPE_SESSION_CREATE_INFO);
  sessionInfo.systemId = system;
  result = reinterpret_cast<PFN_xrCreateSession>(function("xrCreateSession"))(instance_, &sessionInfo, &session_);
  if (XR_FAILED(result)) return result;

  auto setInfo = xrStruct<XrActionSetCreateInfo>(XR_TYPE_ACTION_SET_CREATE_INFO);
  copyText(setInfo.actionSetName, "gameplay");
  copyText(setInfo.localizedActionSetName, "Gameplay");
  return reinterpret_cast<PFN_xrCreateActionSet>(function("xrCreateActionSet"))(instance_, &setInfo, &set_);
}

XrPath XrGame::path(const std::string& text) {
  XrPath value = XR_NULL_PATH;
  reinterpret_cast<PFN_xrStringToPath>(function("xrStringToPath"))(instance_, text.c_str(), &value);
  return value;
}

XrAction XrGame::action(const char* name, XrActionType type, const std::vector<std::string>& subactions) {
  auto info = xrStruct<XrActionCreateInfo>(XR_TYPE_ACTION_CREATE_INFO);
  copyText(info.actionName, name);
  copyText(info.localizedActionName, name);
  info.actionType = type;
  std::vector<XrPath> paths;
  for (const std::string& text : subactions) paths.push_back(path(text));
  info.countSubactionPaths = static_cast<uint32_t>(paths.size());
  info.subactionPaths = paths.data();
  XrAction created = XR_NULL_HANDLE;
  reinterpret_cast<PFN_xrCreateAction>(function("xrCreateAction"))(set_, &info, &created);
  return created;
}

XrResult XrGame::suggest(const char* profile, const std::vector<std::pair<XrAction, std::string>>& bindings) {
  std::vector<XrActionSuggestedBinding> list;
  for (const auto& [action, text] : bindings) list.push_back({action, path(text)});
  auto info = xrStruct<XrInteractionProfileSuggestedBinding>(XR_TYPE_INTERACTION_PROFILE_SUGGESTED_BINDING);
  info.interactionProfile = path(profile);
  info.countSuggestedBindings = static_cast<uint32_t>(list.size());
  info.suggestedBindings = list.data();
  return reinterpret_cast<PFN_xrSuggestInteractionProfileBindings>(function("xrSuggestInteractionProfileBindings"))(
      instance_, &info);
}

XrResult XrGame::attach() {
  auto info = xrStruct<XrSessionActionSetsAttachInfo>(XR_TYPE_SESSION_ACTION_SETS_ATTACH_INFO);
  info.countActionSets = 1;
  info.actionSets = &set_;
  return reinterpret_cast<PFN_xrAttachSessionActionSets>(function("xrAttachSessionActionSets"))(session_, &info);
}

XrResult XrGame::begin() {
  auto info = xrStruct<XrSessionBeginInfo>(XR_TYPE_SESSION_BEGIN_INFO);
  info.primaryViewConfigurationType = XR_VIEW_CONFIGURATION_TYPE_PRIMARY_STEREO;
  return reinterpret_cast<PFN_xrBeginSession>(function("xrBeginSession"))(session_, &info);
}

XrResult XrGame::sync() {
  XrActiveActionSet active{set_, XR_NULL_PATH};
  auto info = xrStruct<XrActionsSyncInfo>(XR_TYPE_ACTIONS_SYNC_INFO);
  info.countActiveActionSets = 1;
  info.activeActionSets = &active;
  return reinterpret_cast<PFN_xrSyncActions>(function("xrSyncActions"))(session_, &info);
}

XrResult XrGame::frame(bool syncGameSet) {
  auto waitInfo = xrStruct<XrFrameWaitInfo>(XR_TYPE_FRAME_WAIT_INFO);
  auto state = xrStruct<XrFrameState>(XR_TYPE_FRAME_STATE);
  XrResult result = reinterpret_cast<PFN_xrWaitFrame>(function("xrWaitFrame"))(session_, &waitInfo, &state);
  if (XR_FAILED(result)) return result;
  auto beginInfo = xrStruct<XrFrameBeginInfo>(XR_TYPE_FRAME_BEGIN_INFO);
  result = reinterpret_cast<PFN_xrBeginFrame>(function("xrBeginFrame"))(session_, &beginInfo);
  if (XR_FAILED(result)) return result;
  if (syncGameSet && XR_FAILED(result = sync())) return result;
  auto endInfo = xrStruct<XrFrameEndInfo>(XR_TYPE_FRAME_END_INFO);
  endInfo.displayTime = state.predictedDisplayTime;
  endInfo.environmentBlendMode = XR_ENVIRONMENT_BLEND_MODE_OPAQUE;
  return reinterpret_cast<PFN_xrEndFrame>(function("xrEndFrame"))(session_, &endInfo);
}

XrActionStateGetInfo XrGame::getInfo(XrAction action, const char* subaction) {
  auto info = xrStruct<XrActionStateGetInfo>(XR_TYPE_ACTION_STATE_GET_INFO);
  info.action = action;
  info.subactionPath = subaction ? path(subaction) : XR_NULL_PATH;
  return info;
}

XrActionStateVector2f XrGame::stick(XrAction action, const char* subaction) {
  const XrActionStateGetInfo info = getInfo(action, subaction);
  auto state = xrStruct<XrActionStateVector2f>(XR_TYPE_ACTION_STATE_VECTOR2F);
  lastQuery_ =
      reinterpret_cast<PFN_xrGetActionStateVector2f>(function("xrGetActionStateVector2f"))(session_, &info, &state);
  return state;
}

XrActionStateFloat XrGame::axis(XrAction action, const char* subaction) {
  const XrActionStateGetInfo info = getInfo(action, subaction);
  auto state = xrStruct<XrActionStateFloat>(XR_TYPE_ACTION_STATE_FLOAT);
  lastQuery_ = reinterpret_cast<PFN_xrGetActionStateFloat>(function("xrGetActionStateFloat"))(session_, &info, &state);
  return state;
}

XrActionStateBoolean XrGame::button(XrAction action, const char* subaction) {
  const XrActionStateGetInfo info = getInfo(action, subaction);
  auto state = xrStruct<XrActionStateBoolean>(XR_TYPE_ACTION_STATE_BOOLEAN);
  lastQuery_ =
      reinterpret_cast<PFN_xrGetActionStateBoolean>(function("xrGetActionStateBoolean"))(session_, &info, &state);
  return state;
}

}  // namespace testsupport
