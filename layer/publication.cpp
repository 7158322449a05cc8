#include "layer/publication.h"

#include <atomic>
#include <mutex>

namespace xrlayer {
namespace {

constexpr XrSpaceLocationFlags kPositionValid = XR_SPACE_LOCATION_POSITION_VALID_BIT;

// Where each of the layer's input values lands in the state record.
struct BooleanField {
  ActionId action;
  std::uint8_t xrshm::StateRecord::*field;
};
constexpr BooleanField kBooleanFields[] = {
    {BtnA, &xrshm::StateRecord::buttonA},
    {BtnB, &xrshm::StateRecord::buttonB},
    {BtnX, &xrshm::StateRecord::buttonX},
    {BtnY, &xrshm::StateRecord::buttonY},
    {ThumbClkL, &xrshm::StateRecord::leftThumbstickClick},
    {ThumbClkR, &xrshm::StateRecord::rightThumbstickClick},
    {TrigClkL, &xrshm::StateRecord::leftTriggerClick},
    {TrigClkR, &xrshm::StateRecord::rightTriggerClick},
    {GripClkL, &xrshm::StateRecord::leftGripClick},
    {GripClkR, &xrshm::StateRecord::rightGripClick},
    {BtnMenu, &xrshm::StateRecord::menu},
};

struct FloatField {
  ActionId action;
  float xrshm::StateRecord::*field;
};
constexpr FloatField kFloatFields[] = {
    {TrigL, &xrshm::StateRecord::leftTrigger},
    {GripL, &xrshm::StateRecord::leftGrip},
    {TrigR, &xrshm::StateRecord::rightTrigger},
    {GripR, &xrshm::StateRecord::rightGrip},
};

struct StickField {
  ActionId action;
  float (xrshm::StateRecord::*field)[2];
};
constexpr StickField kStickFields[] = {
    {ThumbL, &xrshm::StateRecord::leftThumbstick},
    {ThumbR, &xrshm::StateRecord::rightThumbstick},
};

void writePose(const XrPosef& pose, float (&position)[3], float (&orientation)[4]) {
  position[0] = pose.position.x;
  position[1] = pose.position.y;
  position[2] = pose.position.z;
  orientation[0] = pose.orientation.x;
  orientation[1] = pose.orientation.y;
  orientation[2] = pose.orientation.z;
  orientation[3] = pose.orientation.w;
}

bool locate(const DispatchRecord& next, XrSpace space, XrSpace base, XrTime time, XrPosef& pose) {
  if (!next.LocateSpace || space == XR_NULL_HANDLE) return false;
  auto location = xrStruct<XrSpaceLocation>(XR_TYPE_SPACE_LOCATION);
  if (next.LocateSpace(space, base, time, &location) != XR_SUCCESS) return false;
  if ((location.locationFlags & kPositionValid) == 0) return false;
  pose = location.pose;
  return true;
}

XrActionStateGetInfo getInfo(XrAction action) {
  auto info = xrStruct<XrActionStateGetInfo>(XR_TYPE_ACTION_STATE_GET_INFO);
  info.action = action;
  return info;
}

void publishController(const DispatchRecord& next, XrSession session, XrAction action, XrSpace space,
                       const SessionRecord& record, XrTime time, xrshm::PoseBlock& block) {
  block.valid = 0;
  if (action == XR_NULL_HANDLE || space == XR_NULL_HANDLE || !next.GetActionStatePose) return;
  const XrActionStateGetInfo info = getInfo(action);
  auto state = xrStruct<XrActionStatePose>(XR_TYPE_ACTION_STATE_POSE);
  if (next.GetActionStatePose(session, &info, &state) != XR_SUCCESS || !state.isActive) return;
  XrPosef pose;
  if (!locate(next, space, record.baseSpace, time, pose)) return;
  writePose(pose, block.position, block.orientation);
  block.valid = 1;
}

}  // namespace

void publishState(const DispatchRecord& next, XrSession session, const SessionRecord& record, XrTime displayTime) {
  LayerState& layer = layerState();
  xrshm::StateRecord* out = layer.state.load(std::memory_order_acquire);
  if (!out || record.baseSpace == XR_NULL_HANDLE) return;
  std::array<XrAction, kActionCount> actions{};
  {
    std::shared_lock guard(layer.lock);
    const auto found = layer.injections.find(record.instance);
    // States of a set that is not attached to this session cannot be read: all inactive.
    if (found != layer.injections.end() && record.layerSetAttached) actions = found->second.actions;
  }

  publishController(next, session, actions[PoseL], record.leftSpace, record, displayTime, out->left);
  publishController(next, session, actions[PoseR], record.rightSpace, record, displayTime, out->right);
  XrPosef head;
  if (locate(next, record.viewSpace, record.baseSpace, displayTime, head)) {
    writePose(head, out->headPosition, out->headOrientation);
    out->headValid = 1;
  }

  for (const BooleanField& entry : kBooleanFields) {
    auto state = xrStruct<XrActionStateBoolean>(XR_TYPE_ACTION_STATE_BOOLEAN);
    const XrActionStateGetInfo info = getInfo(actions[entry.action]);
    const bool pressed = actions[entry.action] != XR_NULL_HANDLE && next.GetActionStateBoolean &&
                         next.GetActionStateBoolean(session, &info, &state) == XR_SUCCESS && state.isActive &&
                         state.currentState;
    out->*entry.field = pressed ? 1 : 0;
  }
  for (const FloatField& entry : kFloatFields) {
    auto state = xrStruct<XrActionStateFloat>(XR_TYPE_ACTION_STATE_FLOAT);
    const XrActionStateGetInfo info = getInfo(actions[entry.action]);
    const bool active = actions[entry.action] != XR_NULL_HANDLE && next.GetActionStateFloat &&
                        next.GetActionStateFloat(session, &info, &state) == XR_SUCCESS && state.isActive;
    out->*entry.field = active ? state.currentState : 0.0f;
  }
  for (const StickField& entry : kStickFields) {
    auto state = xrStruct<XrActionStateVector2f>(XR_TYPE_ACTION_STATE_VECTOR2F);
    const XrActionStateGetInfo info = getInfo(actions[entry.action]);
    const bool active = actions[entry.action] != XR_NULL_HANDLE && next.GetActionStateVector2f &&
                        next.GetActionStateVector2f(session, &info, &state) == XR_SUCCESS && state.isActive;
    (out->*entry.field)[0] = active ? state.currentState.x : 0.0f;
    (out->*entry.field)[1] = active ? state.currentState.y : 0.0f;
  }
  // The reader takes a changed counter as "a new frame is complete".
  std::atomic_thread_fence(std::memory_order_release);
  out->frameCounter = out->frameCounter + 1;
}

}  // namespace xrlayer
