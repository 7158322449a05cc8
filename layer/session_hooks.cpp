// Session set-up and tear-down, and attaching the layer's set at session begin for
// games that attach none of their own.
#include <mutex>

#include "layer/layer_state.h"

namespace xrlayer {
namespace {

constexpr XrPosef kIdentity{{0, 0, 0, 1}, {0, 0, 0}};

XrSpace actionSpace(const DispatchRecord& next, XrSession session, XrAction action) {
  if (!next.CreateActionSpace || action == XR_NULL_HANDLE) return XR_NULL_HANDLE;
  auto info = xrStruct<XrActionSpaceCreateInfo>(XR_TYPE_ACTION_SPACE_CREATE_INFO);
  info.action = action;
  info.poseInActionSpace = kIdentity;
  XrSpace space = XR_NULL_HANDLE;
  return next.CreateActionSpace(session, &info, &space) == XR_SUCCESS ? space : XR_NULL_HANDLE;
}

XrSpace referenceSpace(const DispatchRecord& next, XrSession session, XrReferenceSpaceType type) {
  if (!next.CreateReferenceSpace) return XR_NULL_HANDLE;
  auto info = xrStruct<XrReferenceSpaceCreateInfo>(XR_TYPE_REFERENCE_SPACE_CREATE_INFO);
  info.referenceSpaceType = type;
  info.poseInReferenceSpace = kIdentity;
  XrSpace space = XR_NULL_HANDLE;
  return next.CreateReferenceSpace(session, &info, &space) == XR_SUCCESS ? space : XR_NULL_HANDLE;
}

}  // namespace

namespace hooks {

XRAPI_ATTR XrResult XRAPI_CALL CreateSession(XrInstance instance, const XrSessionCreateInfo* createInfo,
                                             XrSession* session) {
  const std::optional<DispatchRecord> next = dispatchFor(instance);
  if (!next) return XR_ERROR_HANDLE_INVALID;
  if (!next->CreateSession) return XR_ERROR_FUNCTION_UNSUPPORTED;
  const XrResult result = next->CreateSession(instance, createInfo, session);
  if (XR_FAILED(result)) return result;

  mapSharedSections();
  LayerState& state = layerState();
  InjectionState injection;
  {
    std::shared_lock guard(state.lock);
    const auto found = state.injections.find(instance);
    if (found != state.injections.end()) injection = found->second;
  }
  ensureLayerActionSet(*next, instance, injection);

  SessionRecord record;
  record.instance = instance;
  record.leftSpace = actionSpace(*next, *session, injection.actions[PoseL]);
  record.rightSpace = actionSpace(*next, *session, injection.actions[PoseR]);
  record.baseSpace = referenceSpace(*next, *session, XR_REFERENCE_SPACE_TYPE_STAGE);
  if (record.baseSpace == XR_NULL_HANDLE)
    record.baseSpace = referenceSpace(*next, *session, XR_REFERENCE_SPACE_TYPE_LOCAL);
  record.viewSpace = referenceSpace(*next, *session, XR_REFERENCE_SPACE_TYPE_VIEW);
  {
    std::unique_lock guard(state.lock);
    InjectionState& stored = state.injections[instance];
    stored.actionSet = injection.actionSet;
    stored.actions = injection.actions;
    state.sessions[*session] = record;
  }
  return result;
}

XRAPI_ATTR XrResult XRAPI_CALL DestroySession(XrSession session) {
  LayerState& state = layerState();
  std::optional<DispatchRecord> next;
  XrActionSet layerSet = XR_NULL_HANDLE;
  {
    std::unique_lock guard(state.lock);
    const auto found = state.sessions.find(session);
    if (found != state.sessions.end()) {
      const auto dispatch = state.instances.find(found->second.instance);
      if (dispatch != state.instances.end()) next = dispatch->second;
      InjectionState& injection = state.injections[found->second.instance];
      layerSet = injection.actionSet;
      injection.actionSet = XR_NULL_HANDLE;
      injection.actions.fill(XR_NULL_HANDLE);
      state.sessions.erase(found);
    }
    if (!next && !state.instances.empty()) next = state.instances.begin()->second;
  }
  if (!next || !next->DestroySession) return XR_SUCCESS;
  if (layerSet != XR_NULL_HANDLE && next->DestroyActionSet) next->DestroyActionSet(layerSet);
  return next->DestroySession(session);
}

}  // namespace hooks
}  // namespace xrlayer
