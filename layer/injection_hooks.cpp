// The three action-state queries: the runtime's answer, then the main program's
// input applied to actions the game bound to matching inputs.
#include <cstring>
#include <mutex>

#include "layer/layer_state.h"

namespace xrlayer {
namespace {

// Looks up the session and calls the real query. On success, and when the input
// record is mapped, applies rule(input, paths, subaction) to the game's bindings
// of the queried action.
template <typename State, typename Query, typename Rule>
XrResult query(XrSession session, const XrActionStateGetInfo* info, State* state, Query Next, Rule rule) {
  const std::optional<SessionRecord> record = sessionRecord(session);
  if (!record) return XR_ERROR_HANDLE_INVALID;
  const std::optional<DispatchRecord> next = dispatchFor(record->instance);
  if (!next || !(*next.*Next)) return XR_ERROR_FUNCTION_UNSUPPORTED;
  const XrResult result = (*next.*Next)(session, info, state);
  if (XR_FAILED(result) || !info || !state) return result;

  LayerState& layer = layerState();
  const xrshm::InputRecord* shared = layer.input.load(std::memory_order_acquire);
  if (!shared) return result;
  std::string subaction;
  if (info->subactionPath != XR_NULL_PATH) subaction = pathText(*next, record->instance, info->subactionPath);
  xrshm::InputRecord input;
  std::memcpy(&input, shared, sizeof input);
  // An abandoned record injects nothing; a stick it held reads (0, 0) once, as after a release.
  if (!layer.inputLiveness.live(input.sequence, layerClockMs())) input = xrshm::InputRecord{};

  std::shared_lock guard(layer.lock);
  const auto injection = layer.injections.find(record->instance);
  if (injection == layer.injections.end()) return result;
  const auto bindings = injection->second.gameBindings.find(info->action);
  if (bindings == injection->second.gameBindings.end()) return result;
  rule(input, bindings->second, subaction, *state);
  return result;
}

}  // namespace

namespace hooks {

XRAPI_ATTR XrResult XRAPI_CALL GetActionStateBoolean(XrSession session, const XrActionStateGetInfo* info,
                                                     XrActionStateBoolean* state) {
  return query(session, info, state, &DispatchRecord::GetActionStateBoolean,
               [](const xrshm::InputRecord& input, const std::vector<std::string>& paths, const std::string& subaction,
                  XrActionStateBoolean& out) {
                 if (!injectedPress(input, paths, subaction)) return;
                 out.currentState = XR_TRUE;
                 out.changedSinceLastSync = XR_TRUE;
                 out.isActive = XR_TRUE;
               });
}

XRAPI_ATTR XrResult XRAPI_CALL GetActionStateFloat(XrSession session, const XrActionStateGetInfo* info,
                                                   XrActionStateFloat* state) {
  return query(session, info, state, &DispatchRecord::GetActionStateFloat,
               [](const xrshm::InputRecord& input, const std::vector<std::string>& paths, const std::string& subaction,
                  XrActionStateFloat& out) {
                 const float real = out.isActive ? out.currentState : 0.0f;
                 const std::optional<float> value = injectedAxis(input, paths, subaction, real);
                 if (!value) return;
                 out.currentState = *value;
                 out.changedSinceLastSync = XR_TRUE;
                 out.isActive = XR_TRUE;
               });
}

XRAPI_ATTR XrResult XRAPI_CALL GetActionStateVector2f(XrSession session, const XrActionStateGetInfo* info,
                                                      XrActionStateVector2f* state) {
  return query(session, info, state, &DispatchRecord::GetActionStateVector2f,
               [](const xrshm::InputRecord& input, const std::vector<std::string>& paths, const std::string& subaction,
                  XrActionStateVector2f& out) {
                 const XrVector2f real = out.isActive ? out.currentState : XrVector2f{0, 0};
                 LayerState& layer = layerState();
                 const std::optional<XrVector2f> value =
                     injectedStick(input, paths, subaction, real, {layer.lastLeft, layer.lastRight});
                 if (!value) return;
                 out.currentState = *value;
                 out.changedSinceLastSync = XR_TRUE;
                 out.isActive = XR_TRUE;
               });
}

}  // namespace hooks
}  // namespace xrlayer
