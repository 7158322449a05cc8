// Merging the layer's action set into the game's bindings, attachments and syncs.
// The layer's additions never make a game's call fail: when the runtime refuses the
// merged request, the game's own request is passed on unchanged.
#include <mutex>

#include "layer/layer_state.h"
#include "layer/publication.h"

namespace xrlayer {
namespace {

// The instance's dispatch and a copy of its injection state with the layer's set
// made sure of (and stored back when it was just created).
struct InstanceView {
  DispatchRecord next;
  InjectionState injection;
};

std::optional<InstanceView> prepareInstance(XrInstance instance) {
  const std::optional<DispatchRecord> next = dispatchFor(instance);
  if (!next) return std::nullopt;
  LayerState& state = layerState();
  InstanceView view{*next, {}};
  {
    std::shared_lock guard(state.lock);
    const auto found = state.injections.find(instance);
    if (found != state.injections.end()) view.injection = found->second;
  }
  if (view.injection.actionSet == XR_NULL_HANDLE) {
    ensureLayerActionSet(view.next, instance, view.injection);
    std::unique_lock guard(state.lock);
    InjectionState& stored = state.injections[instance];
    stored.actionSet = view.injection.actionSet;
    stored.actions = view.injection.actions;
  }
  return view;
}

void addProfile(XrInstance instance, const std::string& profile) {
  LayerState& state = layerState();
  std::unique_lock guard(state.lock);
  state.injections[instance].profiles.insert(profile);
}

XrResult suggestLayerBindings(const InstanceView& view, XrInstance instance) {
  const std::vector<XrActionSuggestedBinding> bindings = layerBindings(view.next, instance, view.injection);
  XrPath profile = XR_NULL_PATH;
  if (bindings.empty() || !view.next.StringToPath || !view.next.SuggestInteractionProfileBindings ||
      view.next.StringToPath(instance, kTouchProfile, &profile) != XR_SUCCESS) {
    return XR_ERROR_RUNTIME_FAILURE;
  }
  auto suggestion = xrStruct<XrInteractionProfileSuggestedBinding>(XR_TYPE_INTERACTION_PROFILE_SUGGESTED_BINDING);
  suggestion.interactionProfile = profile;
  suggestion.countSuggestedBindings = static_cast<uint32_t>(bindings.size());
  suggestion.suggestedBindings = bindings.data();
  return view.next.SuggestInteractionProfileBindings(instance, &suggestion);
}

bool touchProfileSuggested(XrInstance instance) {
  LayerState& state = layerState();
  std::shared_lock guard(state.lock);
  const auto found = state.injections.find(instance);
  return found != state.injections.end() && found->second.profiles.count(kTouchProfile) != 0;
}

void markSession(XrSession session, bool attached, bool layerSetAttached) {
  LayerState& state = layerState();
  std::unique_lock guard(state.lock);
  const auto found = state.sessions.find(session);
  if (found == state.sessions.end()) return;
  found->second.attached = attached;
  found->second.layerSetAttached = layerSetAttached;
}

void setSynced(XrSession session, bool synced) {
  LayerState& state = layerState();
  std::unique_lock guard(state.lock);
  const auto found = state.sessions.find(session);
  if (found != state.sessions.end()) found->second.syncedThisFrame = synced;
}

XrActionSet layerSetOf(XrInstance instance) {
  LayerState& state = layerState();
  std::shared_lock guard(state.lock);
  const auto found = state.injections.find(instance);
  return found == state.injections.end() ? XR_NULL_HANDLE : found->second.actionSet;
}

}  // namespace

namespace hooks {

XRAPI_ATTR XrResult XRAPI_CALL
SuggestInteractionProfileBindings(XrInstance instance, const XrInteractionProfileSuggestedBinding* suggested) {
  std::optional<InstanceView> view = prepareInstance(instance);
  if (!view) return XR_ERROR_HANDLE_INVALID;
  if (!view->next.SuggestInteractionProfileBindings) return XR_ERROR_FUNCTION_UNSUPPORTED;
  if (!suggested) return view->next.SuggestInteractionProfileBindings(instance, suggested);

  const std::string profile = pathText(view->next, instance, suggested->interactionProfile);
  std::vector<std::pair<XrAction, std::string>> gamePaths;
  for (uint32_t i = 0; suggested->suggestedBindings && i < suggested->countSuggestedBindings; ++i) {
    const XrActionSuggestedBinding& binding = suggested->suggestedBindings[i];
    gamePaths.emplace_back(binding.action, pathText(view->next, instance, binding.binding));
  }

  XrResult result = XR_ERROR_RUNTIME_FAILURE;
  const bool addOurs = profile.find("oculus/touch_controller") != std::string::npos;
  std::vector<XrActionSuggestedBinding> merged;
  if (addOurs) merged = layerBindings(view->next, instance, view->injection);
  if (!merged.empty() && suggested->suggestedBindings) {
    merged.insert(merged.begin(), suggested->suggestedBindings,
                  suggested->suggestedBindings + suggested->countSuggestedBindings);
    XrInteractionProfileSuggestedBinding withOurs = *suggested;
    withOurs.countSuggestedBindings = static_cast<uint32_t>(merged.size());
    withOurs.suggestedBindings = merged.data();
    result = view->next.SuggestInteractionProfileBindings(instance, &withOurs);
  }
  if (merged.empty() || XR_FAILED(result)) result = view->next.SuggestInteractionProfileBindings(instance, suggested);
  if (XR_FAILED(result)) return result;

  // Only accepted suggestions count: the game's paths feed the injection, and the
  // profile is recorded as suggested.
  LayerState& state = layerState();
  std::unique_lock guard(state.lock);
  InjectionState& injection = state.injections[instance];
  if (!profile.empty()) injection.profiles.insert(profile);
  for (auto& [action, path] : gamePaths) {
    if (!path.empty()) injection.gameBindings[action].push_back(std::move(path));
  }
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL AttachSessionActionSets(XrSession session, const XrSessionActionSetsAttachInfo* info) {
  const std::optional<SessionRecord> record = sessionRecord(session);
  if (!record) return XR_ERROR_HANDLE_INVALID;
  std::optional<InstanceView> view = prepareInstance(record->instance);
  if (!view) return XR_ERROR_HANDLE_INVALID;
  if (!view->next.AttachSessionActionSets) return XR_ERROR_FUNCTION_UNSUPPORTED;
  if (!touchProfileSuggested(record->instance) && XR_SUCCEEDED(suggestLayerBindings(*view, record->instance))) {
    addProfile(record->instance, kTouchProfile);
  }
  const XrActionSet ours = view->injection.actionSet;
  if (ours == XR_NULL_HANDLE || !info || !info->actionSets) {
    const XrResult result = view->next.AttachSessionActionSets(session, info);
    if (XR_SUCCEEDED(result)) markSession(session, true, false);
    return result;
  }
  std::vector<XrActionSet> sets(info->actionSets, info->actionSets + info->countActionSets);
  sets.push_back(ours);
  XrSessionActionSetsAttachInfo withOurs = *info;
  withOurs.countActionSets = static_cast<uint32_t>(sets.size());
  withOurs.actionSets = sets.data();
  XrResult result = view->next.AttachSessionActionSets(session, &withOurs);
  if (XR_SUCCEEDED(result)) {
    markSession(session, true, true);
    return result;
  }
  result = view->next.AttachSessionActionSets(session, info);
  if (XR_SUCCEEDED(result)) markSession(session, true, false);
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL BeginSession(XrSession session, const XrSessionBeginInfo* info) {
  const std::optional<SessionRecord> record = sessionRecord(session);
  if (!record) return XR_ERROR_HANDLE_INVALID;
  std::optional<InstanceView> view = prepareInstance(record->instance);
  if (!view) return XR_ERROR_HANDLE_INVALID;
  if (!record->attached) {
    if (!touchProfileSuggested(record->instance)) suggestLayerBindings(*view, record->instance);
    bool layerSetAttached = false;
    if (view->injection.actionSet != XR_NULL_HANDLE && view->next.AttachSessionActionSets) {
      auto attach = xrStruct<XrSessionActionSetsAttachInfo>(XR_TYPE_SESSION_ACTION_SETS_ATTACH_INFO);
      attach.countActionSets = 1;
      attach.actionSets = &view->injection.actionSet;
      layerSetAttached = XR_SUCCEEDED(view->next.AttachSessionActionSets(session, &attach));
    }
    markSession(session, true, layerSetAttached);
  }
  if (!view->next.BeginSession) return XR_ERROR_FUNCTION_UNSUPPORTED;
  return view->next.BeginSession(session, info);
}

XRAPI_ATTR XrResult XRAPI_CALL SyncActions(XrSession session, const XrActionsSyncInfo* info) {
  const std::optional<SessionRecord> record = sessionRecord(session);
  if (!record) return XR_ERROR_HANDLE_INVALID;
  const std::optional<DispatchRecord> next = dispatchFor(record->instance);
  if (!next || !next->SyncActions) return XR_ERROR_FUNCTION_UNSUPPORTED;
  setSynced(session, true);
  const XrActionSet ours = layerSetOf(record->instance);
  // Only a set attached to this session may be synced; anything else would fail the game's sync.
  if (ours == XR_NULL_HANDLE || !record->layerSetAttached || !info || !info->activeActionSets) {
    return next->SyncActions(session, info);
  }
  std::vector<XrActiveActionSet> sets(info->activeActionSets, info->activeActionSets + info->countActiveActionSets);
  sets.push_back({ours, XR_NULL_PATH});
  XrActionsSyncInfo withOurs = *info;
  withOurs.countActiveActionSets = static_cast<uint32_t>(sets.size());
  withOurs.activeActionSets = sets.data();
  const XrResult result = next->SyncActions(session, &withOurs);
  return XR_FAILED(result) ? next->SyncActions(session, info) : result;
}

XRAPI_ATTR XrResult XRAPI_CALL EndFrame(XrSession session, const XrFrameEndInfo* info) {
  const std::optional<SessionRecord> record = sessionRecord(session);
  if (!record) return XR_ERROR_HANDLE_INVALID;
  const std::optional<DispatchRecord> next = dispatchFor(record->instance);
  if (!next || !next->EndFrame) return XR_ERROR_FUNCTION_UNSUPPORTED;
  const XrActionSet ours = layerSetOf(record->instance);
  if (!record->syncedThisFrame && ours != XR_NULL_HANDLE && record->layerSetAttached && next->SyncActions) {
    XrActiveActionSet active{ours, XR_NULL_PATH};
    auto sync = xrStruct<XrActionsSyncInfo>(XR_TYPE_ACTIONS_SYNC_INFO);
    sync.countActiveActionSets = 1;
    sync.activeActionSets = &active;
    next->SyncActions(session, &sync);
  }
  if (info) publishState(*next, session, *record, info->displayTime);
  setSynced(session, false);
  return next->EndFrame(session, info);
}

}  // namespace hooks
}  // namespace xrlayer
