// A headless OpenXR runtime for tests, loaded by the real loader (or a test harness
// playing the loader). It is strict: unknown handles, wrong structure types, calls
// out of order and binding paths the profile does not define are refused with the
// error a conformant runtime returns, and every refusal is recorded for the test.
#include <cstring>
#include <string>

#include "testing/fake_xr_runtime/fake_runtime_model.h"
#include "testing/fake_xr_runtime/fake_xr_control.h"

namespace fakexr {
namespace {

using Guard = std::lock_guard<std::mutex>;

template <typename H>
std::uint64_t id(H handle) {
  return reinterpret_cast<std::uint64_t>(handle);
}
template <typename H>
H handle(std::uint64_t value) {
  return reinterpret_cast<H>(value);
}

XrResult refuse(XrResult result, const std::string& what) {
  model().refusals.push_back(what);
  return result;
}

template <std::size_t N>
void copyText(char (&target)[N], const char* text) {
  std::strncpy(target, text, N - 1);
  target[N - 1] = '\0';
}

XrResult sessionChecked(XrSession session, const char* function) {
  if (!model().sessions.count(id(session)))
    return refuse(XR_ERROR_HANDLE_INVALID, std::string(function) + ": unknown session");
  return XR_SUCCESS;
}

// ---- Instance ----

XRAPI_ATTR XrResult XRAPI_CALL enumerateInstanceExtensionProperties(const char* layer, uint32_t capacity,
                                                                    uint32_t* count, XrExtensionProperties* out) {
  if (layer) return XR_ERROR_API_LAYER_NOT_PRESENT;
  *count = 1;
  if (capacity == 0) return XR_SUCCESS;
  if (!out || out[0].type != XR_TYPE_EXTENSION_PROPERTIES) return XR_ERROR_VALIDATION_FAILURE;
  copyText(out[0].extensionName, XR_MND_HEADLESS_EXTENSION_NAME);
  out[0].extensionVersion = XR_MND_headless_SPEC_VERSION;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL createInstance(const XrInstanceCreateInfo* info, XrInstance* instance) {
  Model& m = model();
  Guard guard(m.lock);
  if (!info || info->type != XR_TYPE_INSTANCE_CREATE_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateInstance: bad info");
  if (m.instance) return refuse(XR_ERROR_LIMIT_REACHED, "xrCreateInstance: one instance at a time");
  m.headless = false;
  for (uint32_t i = 0; i < info->enabledExtensionCount; ++i) {
    if (std::strcmp(info->enabledExtensionNames[i], XR_MND_HEADLESS_EXTENSION_NAME) != 0) {
      return refuse(XR_ERROR_EXTENSION_NOT_PRESENT, "xrCreateInstance: unknown extension");
    }
    m.headless = true;
  }
  m.instance = m.newHandle();
  *instance = handle<XrInstance>(m.instance);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL destroyInstance(XrInstance instance) {
  Model& m = model();
  Guard guard(m.lock);
  if (id(instance) != m.instance || !m.instance)
    return refuse(XR_ERROR_HANDLE_INVALID, "xrDestroyInstance: unknown instance");
  m.instance = 0;
  m.sessions.clear();
  m.spaces.clear();
  m.actions.clear();
  m.actionSets.clear();
  m.bindings.clear();
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL getInstanceProperties(XrInstance instance, XrInstanceProperties* properties) {
  Guard guard(model().lock);
  if (id(instance) != model().instance)
    return refuse(XR_ERROR_HANDLE_INVALID, "xrGetInstanceProperties: unknown instance");
  properties->runtimeVersion = XR_MAKE_VERSION(0, 1, 0);
  copyText(properties->runtimeName, "Strivo fake runtime");
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL pollEvent(XrInstance instance, XrEventDataBuffer*) {
  Guard guard(model().lock);
  if (id(instance) != model().instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrPollEvent: unknown instance");
  return XR_EVENT_UNAVAILABLE;
}

XRAPI_ATTR XrResult XRAPI_CALL getSystem(XrInstance instance, const XrSystemGetInfo* info, XrSystemId* system) {
  Guard guard(model().lock);
  if (id(instance) != model().instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrGetSystem: unknown instance");
  if (!info || info->type != XR_TYPE_SYSTEM_GET_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrGetSystem: bad info");
  if (info->formFactor != XR_FORM_FACTOR_HEAD_MOUNTED_DISPLAY) return XR_ERROR_FORM_FACTOR_UNSUPPORTED;
  *system = 1;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL stringToPath(XrInstance instance, const char* text, XrPath* path) {
  Model& m = model();
  Guard guard(m.lock);
  if (id(instance) != m.instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrStringToPath: unknown instance");
  if (!text || !Model::wellFormedPath(text)) return refuse(XR_ERROR_PATH_FORMAT_INVALID, "xrStringToPath: bad format");
  *path = m.pathFor(text);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL pathToString(XrInstance instance, XrPath path, uint32_t capacity, uint32_t* count,
                                            char* buffer) {
  Model& m = model();
  Guard guard(m.lock);
  if (id(instance) != m.instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrPathToString: unknown instance");
  const std::optional<std::string> text = m.pathText(path);
  if (!text) return refuse(XR_ERROR_PATH_INVALID, "xrPathToString: unknown path");
  *count = static_cast<uint32_t>(text->size() + 1);
  if (capacity == 0) return XR_SUCCESS;
  if (capacity < *count) return refuse(XR_ERROR_SIZE_INSUFFICIENT, "xrPathToString: buffer too small");
  std::memcpy(buffer, text->c_str(), *count);
  return XR_SUCCESS;
}

// ---- Actions ----

XRAPI_ATTR XrResult XRAPI_CALL createActionSet(XrInstance instance, const XrActionSetCreateInfo* info,
                                               XrActionSet* set) {
  Model& m = model();
  Guard guard(m.lock);
  if (id(instance) != m.instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrCreateActionSet: unknown instance");
  if (!info || info->type != XR_TYPE_ACTION_SET_CREATE_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateActionSet: bad info");
  for (const auto& [handleValue, existing] : m.actionSets) {
    if (existing.name == info->actionSetName) return refuse(XR_ERROR_NAME_DUPLICATED, "xrCreateActionSet: name taken");
  }
  const std::uint64_t value = m.newHandle();
  m.actionSets[value] = {m.instance, info->actionSetName, {}};
  *set = handle<XrActionSet>(value);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL destroyActionSet(XrActionSet set) {
  Model& m = model();
  Guard guard(m.lock);
  if (!m.actionSets.erase(id(set))) return refuse(XR_ERROR_HANDLE_INVALID, "xrDestroyActionSet: unknown set");
  for (auto it = m.actions.begin(); it != m.actions.end();) {
    it = it->second.set == id(set) ? m.actions.erase(it) : std::next(it);
  }
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL createAction(XrActionSet set, const XrActionCreateInfo* info, XrAction* action) {
  Model& m = model();
  Guard guard(m.lock);
  const auto owner = m.actionSets.find(id(set));
  if (owner == m.actionSets.end()) return refuse(XR_ERROR_HANDLE_INVALID, "xrCreateAction: unknown set");
  if (!info || info->type != XR_TYPE_ACTION_CREATE_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateAction: bad info");
  if (!owner->second.attachedTo.empty())
    return refuse(XR_ERROR_ACTIONSETS_ALREADY_ATTACHED, "xrCreateAction: set attached");
  const std::uint64_t value = m.newHandle();
  ActionRecord record{id(set), info->actionType, {}};
  for (uint32_t i = 0; i < info->countSubactionPaths; ++i) record.subactions.push_back(info->subactionPaths[i]);
  m.actions[value] = record;
  *action = handle<XrAction>(value);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL destroyAction(XrAction action) {
  Model& m = model();
  Guard guard(m.lock);
  if (!m.actions.erase(id(action))) return refuse(XR_ERROR_HANDLE_INVALID, "xrDestroyAction: unknown action");
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL suggestBindings(XrInstance instance, const XrInteractionProfileSuggestedBinding* info) {
  Model& m = model();
  Guard guard(m.lock);
  const char* fn = "xrSuggestInteractionProfileBindings: ";
  if (id(instance) != m.instance) return refuse(XR_ERROR_HANDLE_INVALID, std::string(fn) + "unknown instance");
  if (!info || info->type != XR_TYPE_INTERACTION_PROFILE_SUGGESTED_BINDING || info->countSuggestedBindings == 0) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, std::string(fn) + "bad info");
  }
  for (const auto& [value, set] : m.actionSets) {
    if (!set.attachedTo.empty()) return refuse(XR_ERROR_ACTIONSETS_ALREADY_ATTACHED, std::string(fn) + "after attach");
  }
  const std::string profile = m.pathText(info->interactionProfile).value_or("");
  if (!Model::knownProfile(profile))
    return refuse(XR_ERROR_PATH_UNSUPPORTED, std::string(fn) + "unknown profile " + profile);
  std::map<std::uint64_t, std::vector<std::string>> suggested;
  for (uint32_t i = 0; i < info->countSuggestedBindings; ++i) {
    const XrActionSuggestedBinding& binding = info->suggestedBindings[i];
    if (!m.actions.count(id(binding.action)))
      return refuse(XR_ERROR_HANDLE_INVALID, std::string(fn) + "unknown action");
    const std::string path = m.pathText(binding.binding).value_or("");
    if (!m.profileDefines(profile, path)) {
      return refuse(XR_ERROR_PATH_UNSUPPORTED, std::string(fn) + profile + " has no " + path);
    }
    suggested[id(binding.action)].push_back(path);
  }
  m.bindings[profile] = suggested;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL attachSessionActionSets(XrSession session, const XrSessionActionSetsAttachInfo* info) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrAttachSessionActionSets"); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_SESSION_ACTION_SETS_ATTACH_INFO || info->countActionSets == 0) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrAttachSessionActionSets: bad info");
  }
  SessionRecord& record = m.sessions[id(session)];
  if (record.attached) return refuse(XR_ERROR_ACTIONSETS_ALREADY_ATTACHED, "xrAttachSessionActionSets: attached twice");
  for (uint32_t i = 0; i < info->countActionSets; ++i) {
    if (!m.actionSets.count(id(info->actionSets[i]))) {
      return refuse(XR_ERROR_HANDLE_INVALID, "xrAttachSessionActionSets: unknown set");
    }
  }
  for (uint32_t i = 0; i < info->countActionSets; ++i)
    m.actionSets[id(info->actionSets[i])].attachedTo.insert(id(session));
  record.attached = true;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL syncActions(XrSession session, const XrActionsSyncInfo* info) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrSyncActions"); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_ACTIONS_SYNC_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrSyncActions: bad info");
  for (uint32_t i = 0; i < info->countActiveActionSets; ++i) {
    const auto set = m.actionSets.find(id(info->activeActionSets[i].actionSet));
    if (set == m.actionSets.end()) return refuse(XR_ERROR_HANDLE_INVALID, "xrSyncActions: unknown set");
    if (!set->second.attachedTo.count(id(session))) {
      return refuse(XR_ERROR_ACTIONSET_NOT_ATTACHED, "xrSyncActions: " + set->second.name + " not attached");
    }
  }
  SessionRecord& record = m.sessions[id(session)];
  for (uint32_t i = 0; i < info->countActiveActionSets; ++i) {
    const std::uint64_t set = id(info->activeActionSets[i].actionSet);
    record.syncedInputs[set] = m.inputs;
    ++m.syncCounts[m.actionSets[set].name];
  }
  return XR_SUCCESS;
}

// Checks shared by the four state queries; fills value on success.
XrResult queryValue(XrSession session, const XrActionStateGetInfo* info, XrStructureType stateType,
                    XrStructureType expected, XrActionType type, const char* fn, ActionValue& value) {
  Model& m = model();
  if (XrResult result = sessionChecked(session, fn); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_ACTION_STATE_GET_INFO || stateType != expected) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, std::string(fn) + ": bad structure");
  }
  const auto action = m.actions.find(id(info->action));
  if (action == m.actions.end()) return refuse(XR_ERROR_HANDLE_INVALID, std::string(fn) + ": unknown action");
  if (!m.actionSets[action->second.set].attachedTo.count(id(session))) {
    return refuse(XR_ERROR_ACTIONSET_NOT_ATTACHED, std::string(fn) + ": set not attached");
  }
  if (action->second.type != type) return refuse(XR_ERROR_ACTION_TYPE_MISMATCH, std::string(fn) + ": type mismatch");
  std::string subaction;
  if (info->subactionPath != XR_NULL_PATH) {
    bool declared = false;
    for (XrPath path : action->second.subactions) declared = declared || path == info->subactionPath;
    if (!declared) return refuse(XR_ERROR_PATH_UNSUPPORTED, std::string(fn) + ": undeclared subaction path");
    subaction = m.pathText(info->subactionPath).value_or("");
  }
  value = m.value(id(session), id(info->action), subaction);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL getBoolean(XrSession session, const XrActionStateGetInfo* info,
                                          XrActionStateBoolean* state) {
  Guard guard(model().lock);
  ActionValue value;
  const XrResult result = queryValue(session, info, state->type, XR_TYPE_ACTION_STATE_BOOLEAN,
                                     XR_ACTION_TYPE_BOOLEAN_INPUT, "xrGetActionStateBoolean", value);
  if (XR_FAILED(result)) return result;
  state->isActive = value.active;
  state->currentState = value.active && value.x >= 0.5f;
  state->changedSinceLastSync = XR_FALSE;
  state->lastChangeTime = 0;
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL getFloat(XrSession session, const XrActionStateGetInfo* info,
                                        XrActionStateFloat* state) {
  Guard guard(model().lock);
  ActionValue value;
  const XrResult result = queryValue(session, info, state->type, XR_TYPE_ACTION_STATE_FLOAT, XR_ACTION_TYPE_FLOAT_INPUT,
                                     "xrGetActionStateFloat", value);
  if (XR_FAILED(result)) return result;
  state->isActive = value.active;
  state->currentState = value.active ? value.x : 0.0f;
  state->changedSinceLastSync = XR_FALSE;
  state->lastChangeTime = 0;
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL getVector2f(XrSession session, const XrActionStateGetInfo* info,
                                           XrActionStateVector2f* state) {
  Guard guard(model().lock);
  ActionValue value;
  const XrResult result = queryValue(session, info, state->type, XR_TYPE_ACTION_STATE_VECTOR2F,
                                     XR_ACTION_TYPE_VECTOR2F_INPUT, "xrGetActionStateVector2f", value);
  if (XR_FAILED(result)) return result;
  state->isActive = value.active;
  state->currentState = value.active ? XrVector2f{value.x, value.y} : XrVector2f{0, 0};
  state->changedSinceLastSync = XR_FALSE;
  state->lastChangeTime = 0;
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL getPose(XrSession session, const XrActionStateGetInfo* info, XrActionStatePose* state) {
  Guard guard(model().lock);
  ActionValue value;
  const XrResult result = queryValue(session, info, state->type, XR_TYPE_ACTION_STATE_POSE, XR_ACTION_TYPE_POSE_INPUT,
                                     "xrGetActionStatePose", value);
  if (XR_FAILED(result)) return result;
  state->isActive = value.active;
  return result;
}

// ---- Sessions, spaces, frames ----

XRAPI_ATTR XrResult XRAPI_CALL createSession(XrInstance instance, const XrSessionCreateInfo* info, XrSession* session) {
  Model& m = model();
  Guard guard(m.lock);
  if (id(instance) != m.instance) return refuse(XR_ERROR_HANDLE_INVALID, "xrCreateSession: unknown instance");
  if (!info || info->type != XR_TYPE_SESSION_CREATE_INFO || info->systemId != 1) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateSession: bad info");
  }
  if (!m.headless) return refuse(XR_ERROR_GRAPHICS_DEVICE_INVALID, "xrCreateSession: no graphics binding");
  if (!m.sessions.empty()) return refuse(XR_ERROR_LIMIT_REACHED, "xrCreateSession: one session at a time");
  const std::uint64_t value = m.newHandle();
  m.sessions[value] = SessionRecord{};
  *session = handle<XrSession>(value);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL destroySession(XrSession session) {
  Model& m = model();
  Guard guard(m.lock);
  if (!m.sessions.erase(id(session))) return refuse(XR_ERROR_HANDLE_INVALID, "xrDestroySession: unknown session");
  for (auto it = m.spaces.begin(); it != m.spaces.end();) {
    it = it->second.session == id(session) ? m.spaces.erase(it) : std::next(it);
  }
  for (auto& [value, set] : m.actionSets) set.attachedTo.erase(id(session));
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL beginSession(XrSession session, const XrSessionBeginInfo* info) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrBeginSession"); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_SESSION_BEGIN_INFO)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrBeginSession: bad info");
  SessionRecord& record = m.sessions[id(session)];
  if (record.running) return refuse(XR_ERROR_SESSION_RUNNING, "xrBeginSession: already running");
  record.running = true;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL endSession(XrSession session) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrEndSession"); XR_FAILED(result)) return result;
  SessionRecord& record = m.sessions[id(session)];
  if (!record.running) return refuse(XR_ERROR_SESSION_NOT_RUNNING, "xrEndSession: not running");
  record.running = false;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL waitFrame(XrSession session, const XrFrameWaitInfo*, XrFrameState* state) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrWaitFrame"); XR_FAILED(result)) return result;
  SessionRecord& record = m.sessions[id(session)];
  if (!record.running) return refuse(XR_ERROR_SESSION_NOT_RUNNING, "xrWaitFrame: not running");
  if (!state || state->type != XR_TYPE_FRAME_STATE)
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrWaitFrame: bad state");
  record.nextDisplayTime += 11'111'111;
  state->predictedDisplayTime = record.nextDisplayTime;
  state->predictedDisplayPeriod = 11'111'111;
  state->shouldRender = XR_FALSE;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL beginFrame(XrSession session, const XrFrameBeginInfo*) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrBeginFrame"); XR_FAILED(result)) return result;
  SessionRecord& record = m.sessions[id(session)];
  if (!record.running) return refuse(XR_ERROR_SESSION_NOT_RUNNING, "xrBeginFrame: not running");
  record.frameBegun = true;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL endFrame(XrSession session, const XrFrameEndInfo* info) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrEndFrame"); XR_FAILED(result)) return result;
  SessionRecord& record = m.sessions[id(session)];
  if (!info || info->type != XR_TYPE_FRAME_END_INFO) return refuse(XR_ERROR_VALIDATION_FAILURE, "xrEndFrame: bad info");
  if (!record.running) return refuse(XR_ERROR_SESSION_NOT_RUNNING, "xrEndFrame: not running");
  if (!record.frameBegun) return refuse(XR_ERROR_CALL_ORDER_INVALID, "xrEndFrame: no frame begun");
  if (info->displayTime <= 0) return refuse(XR_ERROR_TIME_INVALID, "xrEndFrame: bad display time");
  if (info->environmentBlendMode != XR_ENVIRONMENT_BLEND_MODE_OPAQUE) {
    return refuse(XR_ERROR_ENVIRONMENT_BLEND_MODE_UNSUPPORTED, "xrEndFrame: blend mode");
  }
  record.frameBegun = false;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL createReferenceSpace(XrSession session, const XrReferenceSpaceCreateInfo* info,
                                                    XrSpace* space) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrCreateReferenceSpace"); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_REFERENCE_SPACE_CREATE_INFO) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateReferenceSpace: bad info");
  }
  if (info->referenceSpaceType == XR_REFERENCE_SPACE_TYPE_STAGE && !m.stageSupported) {
    return refuse(XR_ERROR_REFERENCE_SPACE_UNSUPPORTED, "xrCreateReferenceSpace: no stage");
  }
  const std::uint64_t value = m.newHandle();
  m.spaces[value] = {id(session), info->referenceSpaceType, 0, XR_NULL_PATH};
  *space = handle<XrSpace>(value);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL createActionSpace(XrSession session, const XrActionSpaceCreateInfo* info,
                                                 XrSpace* space) {
  Model& m = model();
  Guard guard(m.lock);
  if (XrResult result = sessionChecked(session, "xrCreateActionSpace"); XR_FAILED(result)) return result;
  if (!info || info->type != XR_TYPE_ACTION_SPACE_CREATE_INFO) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrCreateActionSpace: bad info");
  }
  const auto action = m.actions.find(id(info->action));
  if (action == m.actions.end()) return refuse(XR_ERROR_HANDLE_INVALID, "xrCreateActionSpace: unknown action");
  if (action->second.type != XR_ACTION_TYPE_POSE_INPUT) {
    return refuse(XR_ERROR_ACTION_TYPE_MISMATCH, "xrCreateActionSpace: not a pose action");
  }
  const std::uint64_t value = m.newHandle();
  m.spaces[value] = {id(session), XR_REFERENCE_SPACE_TYPE_LOCAL, id(info->action), info->subactionPath};
  *space = handle<XrSpace>(value);
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL destroySpace(XrSpace space) {
  Model& m = model();
  Guard guard(m.lock);
  if (!m.spaces.erase(id(space))) return refuse(XR_ERROR_HANDLE_INVALID, "xrDestroySpace: unknown space");
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL locateSpace(XrSpace space, XrSpace base, XrTime time, XrSpaceLocation* location) {
  Model& m = model();
  Guard guard(m.lock);
  const auto located = m.spaces.find(id(space));
  const auto relative = m.spaces.find(id(base));
  if (located == m.spaces.end() || relative == m.spaces.end()) {
    return refuse(XR_ERROR_HANDLE_INVALID, "xrLocateSpace: unknown space");
  }
  if (located->second.session != relative->second.session) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrLocateSpace: spaces of two sessions");
  }
  if (time <= 0) return refuse(XR_ERROR_TIME_INVALID, "xrLocateSpace: bad time");
  if (!location || location->type != XR_TYPE_SPACE_LOCATION) {
    return refuse(XR_ERROR_VALIDATION_FAILURE, "xrLocateSpace: bad location");
  }
  // Reference spaces here are never rotated, so a location is the offset of origins.
  const auto [pose, tracked] = *m.posedLocation(located->second);
  const auto [origin, originTracked] = *m.posedLocation(relative->second);
  location->locationFlags = 0;
  if (!tracked || !originTracked) return XR_SUCCESS;
  location->pose = pose;
  location->pose.position.x -= origin.position.x;
  location->pose.position.y -= origin.position.y;
  location->pose.position.z -= origin.position.z;
  location->locationFlags = XR_SPACE_LOCATION_POSITION_VALID_BIT | XR_SPACE_LOCATION_ORIENTATION_VALID_BIT |
                            XR_SPACE_LOCATION_POSITION_TRACKED_BIT | XR_SPACE_LOCATION_ORIENTATION_TRACKED_BIT;
  return XR_SUCCESS;
}

XRAPI_ATTR XrResult XRAPI_CALL getInstanceProcAddr(XrInstance instance, const char* name, PFN_xrVoidFunction* function);

struct Entry {
  const char* name;
  PFN_xrVoidFunction function;
};

#define STRIVO_FAKE_ENTRY(name, fn) \
  { name, reinterpret_cast<PFN_xrVoidFunction>(&fn) }
const Entry kEntries[] = {
    STRIVO_FAKE_ENTRY("xrGetInstanceProcAddr", getInstanceProcAddr),
    STRIVO_FAKE_ENTRY("xrEnumerateInstanceExtensionProperties", enumerateInstanceExtensionProperties),
    STRIVO_FAKE_ENTRY("xrCreateInstance", createInstance),
    STRIVO_FAKE_ENTRY("xrDestroyInstance", destroyInstance),
    STRIVO_FAKE_ENTRY("xrGetInstanceProperties", getInstanceProperties),
    STRIVO_FAKE_ENTRY("xrPollEvent", pollEvent),
    STRIVO_FAKE_ENTRY("xrGetSystem", getSystem),
    STRIVO_FAKE_ENTRY("xrStringToPath", stringToPath),
    STRIVO_FAKE_ENTRY("xrPathToString", pathToString),
    STRIVO_FAKE_ENTRY("xrCreateActionSet", createActionSet),
    STRIVO_FAKE_ENTRY("xrDestroyActionSet", destroyActionSet),
    STRIVO_FAKE_ENTRY("xrCreateAction", createAction),
    STRIVO_FAKE_ENTRY("xrDestroyAction", destroyAction),
    STRIVO_FAKE_ENTRY("xrSuggestInteractionProfileBindings", suggestBindings),
    STRIVO_FAKE_ENTRY("xrAttachSessionActionSets", attachSessionActionSets),
    STRIVO_FAKE_ENTRY("xrSyncActions", syncActions),
    STRIVO_FAKE_ENTRY("xrGetActionStateBoolean", getBoolean),
    STRIVO_FAKE_ENTRY("xrGetActionStateFloat", getFloat),
    STRIVO_FAKE_ENTRY("xrGetActionStateVector2f", getVector2f),
    STRIVO_FAKE_ENTRY("xrGetActionStatePose", getPose),
    STRIVO_FAKE_ENTRY("xrCreateSession", createSession),
    STRIVO_FAKE_ENTRY("xrDestroySession", destroySession),
    STRIVO_FAKE_ENTRY("xrBeginSession", beginSession),
    STRIVO_FAKE_ENTRY("xrEndSession", endSession),
    STRIVO_FAKE_ENTRY("xrWaitFrame", waitFrame),
    STRIVO_FAKE_ENTRY("xrBeginFrame", beginFrame),
    STRIVO_FAKE_ENTRY("xrEndFrame", endFrame),
    STRIVO_FAKE_ENTRY("xrCreateReferenceSpace", createReferenceSpace),
    STRIVO_FAKE_ENTRY("xrCreateActionSpace", createActionSpace),
    STRIVO_FAKE_ENTRY("xrDestroySpace", destroySpace),
    STRIVO_FAKE_ENTRY("xrLocateSpace", locateSpace),
};
#undef STRIVO_FAKE_ENTRY

}  // namespace

PFN_xrVoidFunction lookup(const char* name) {
  for (const Entry& entry : kEntries) {
    if (std::strcmp(entry.name, name) == 0) return entry.function;
  }
  return nullptr;
}

namespace {

XRAPI_ATTR XrResult XRAPI_CALL getInstanceProcAddr(XrInstance instance, const char* name,
                                                   PFN_xrVoidFunction* function) {
  *function = lookup(name);
  return *function ? XR_SUCCESS : XR_ERROR_FUNCTION_UNSUPPORTED;
}

}  // namespace
}  // namespace fakexr

extern "C" {

XRAPI_ATTR XrResult XRAPI_CALL xrNegotiateLoaderRuntimeInterface(const XrNegotiateLoaderInfo* info,
                                                                 XrNegotiateRuntimeRequest* request) {
  if (!info || info->structType != XR_LOADER_INTERFACE_STRUCT_LOADER_INFO || info->structVersion != 1 ||
      info->structSize != sizeof(XrNegotiateLoaderInfo) || !request ||
      request->structType != XR_LOADER_INTERFACE_STRUCT_RUNTIME_REQUEST ||
      request->structSize != sizeof(XrNegotiateRuntimeRequest)) {
    return XR_ERROR_INITIALIZATION_FAILED;
  }
  request->runtimeInterfaceVersion = 1;
  request->runtimeApiVersion = XR_CURRENT_API_VERSION;
  request->getInstanceProcAddr = &fakexr::getInstanceProcAddr;
  return XR_SUCCESS;
}
}
