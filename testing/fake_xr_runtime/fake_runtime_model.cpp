#include "testing/fake_xr_runtime/fake_runtime_model.h"

#include <cmath>

#include "testing/fake_xr_runtime/fake_xr_control.h"

namespace fakexr {
namespace {

constexpr char kTouch[] = "/interaction_profiles/oculus/touch_controller";
constexpr char kSimple[] = "/interaction_profiles/khr/simple_controller";
constexpr char kVive[] = "/interaction_profiles/htc/vive_controller";

// The inputs each profile defines for a hand, as published for OpenXR 1.0.
const std::set<std::string>& touchInputs(bool left) {
  static const std::set<std::string> kLeft = {
      "input/x/click",          "input/x/touch",         "input/y/click",       "input/y/touch",
      "input/menu/click",       "input/squeeze/value",   "input/trigger/value", "input/trigger/touch",
      "input/thumbstick",       "input/thumbstick/x",    "input/thumbstick/y",  "input/thumbstick/click",
      "input/thumbstick/touch", "input/thumbrest/touch", "input/grip/pose",     "input/aim/pose",
      "output/haptic"};
  static const std::set<std::string> kRight = {
      "input/a/click",          "input/a/touch",         "input/b/click",       "input/b/touch",
      "input/system/click",     "input/squeeze/value",   "input/trigger/value", "input/trigger/touch",
      "input/thumbstick",       "input/thumbstick/x",    "input/thumbstick/y",  "input/thumbstick/click",
      "input/thumbstick/touch", "input/thumbrest/touch", "input/grip/pose",     "input/aim/pose",
      "output/haptic"};
  return left ? kLeft : kRight;
}

const std::set<std::string>& simpleInputs() {
  static const std::set<std::string> kInputs = {"input/select/click", "input/menu/click", "input/grip/pose",
                                                "input/aim/pose", "output/haptic"};
  return kInputs;
}

const std::set<std::string>& viveInputs() {
  static const std::set<std::string> kInputs = {
      "input/system/click", "input/squeeze/click", "input/menu/click", "input/trigger/click",  "input/trigger/value",
      "input/trackpad",     "input/trackpad/x",    "input/trackpad/y", "input/trackpad/click", "input/trackpad/touch",
      "input/grip/pose",    "input/aim/pose",      "output/haptic"};
  return kInputs;
}

std::optional<ScriptedInput> inputAt(const std::map<std::string, ScriptedInput>& inputs, const std::string& path) {
  if (const auto found = inputs.find(path); found != inputs.end()) return found->second;
  // An axis of a scripted two-axis input.
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string axis = path.substr(slash + 1);
  const auto parent = inputs.find(path.substr(0, slash));
  if (parent == inputs.end() || (axis != "x" && axis != "y")) return std::nullopt;
  return ScriptedInput{axis == "x" ? parent->second.x : parent->second.y, 0};
}

}  // namespace

Model& model() {
  static Model instance;
  return instance;
}

bool Model::wellFormedPath(const std::string& text) {
  if (text.size() < 2 || text.front() != '/' || text.back() == '/') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool allowed =
        (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '/';
    if (!allowed || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) return false;
  }
  return true;
}

XrPath Model::pathFor(const std::string& text) {
  if (const auto found = pathIds_.find(text); found != pathIds_.end()) return found->second;
  pathTexts_.push_back(text);
  const XrPath id = pathTexts_.size();
  pathIds_[text] = id;
  return id;
}

std::optional<std::string> Model::pathText(XrPath path) const {
  if (path == XR_NULL_PATH || path > pathTexts_.size()) return std::nullopt;
  return pathTexts_[path - 1];
}

bool Model::knownProfile(const std::string& profile) {
  return profile == kTouch || profile == kSimple || profile == kVive;
}

bool Model::profileDefines(const std::string& profile, const std::string& path) const {
  if (refusedPaths.count(path)) return false;
  for (const bool left : {true, false}) {
    const std::string hand = left ? "/user/hand/left/" : "/user/hand/right/";
    if (path.rfind(hand, 0) != 0) continue;
    const std::string input = path.substr(hand.size());
    if (profile == kTouch) return touchInputs(left).count(input) != 0;
    if (profile == kSimple) return simpleInputs().count(input) != 0;
    if (profile == kVive) return viveInputs().count(input) != 0;
  }
  return false;
}

ActionValue Model::value(std::uint64_t session, std::uint64_t action, const std::string& subaction) const {
  ActionValue result;
  const auto actionRecord = actions.find(action);
  const auto sessionRecord = sessions.find(session);
  const auto profile = bindings.find(kTouch);
  if (actionRecord == actions.end() || sessionRecord == sessions.end() || profile == bindings.end()) return result;
  const auto synced = sessionRecord->second.syncedInputs.find(actionRecord->second.set);
  const auto paths = profile->second.find(action);
  if (synced == sessionRecord->second.syncedInputs.end() || paths == profile->second.end()) return result;
  for (const std::string& path : paths->second) {
    if (!subaction.empty() && path.rfind(subaction + "/", 0) != 0) continue;
    const std::optional<ScriptedInput> input = inputAt(synced->second, path);
    if (!input) continue;
    // Several bound inputs: the one pushed furthest wins (clicks and poses: any present one).
    if (!result.active || std::hypot(input->x, input->y) > std::hypot(result.x, result.y)) {
      result.x = input->x;
      result.y = input->y;
    }
    result.active = true;
  }
  return result;
}

std::optional<std::pair<XrPosef, bool>> Model::posedLocation(const SpaceRecord& space) const {
  const XrPosef identity{{0, 0, 0, 1}, {0, 0, 0}};
  if (space.action == 0) {
    if (space.reference == XR_REFERENCE_SPACE_TYPE_LOCAL) return std::make_pair(identity, true);
    if (space.reference == XR_REFERENCE_SPACE_TYPE_STAGE) {
      XrPosef stage = identity;
      stage.position.y = -kFakeStageFloorBelowLocal;
      return std::make_pair(stage, true);
    }
    const auto head = poses.find("/user/head");
    if (head == poses.end()) return std::make_pair(identity, false);
    return std::make_pair(head->second, true);
  }
  // A pose action's space follows the bound grip while the action is active.
  const auto paths = bindings.find(kTouch);
  const std::string subaction = pathText(space.subaction).value_or("");
  if (!value(space.session, space.action, subaction).active || paths == bindings.end()) {
    return std::make_pair(identity, false);
  }
  const auto bound = paths->second.find(space.action);
  if (bound == paths->second.end()) return std::make_pair(identity, false);
  for (const std::string& path : bound->second) {
    if (const auto pose = poses.find(path); pose != poses.end()) return std::make_pair(pose->second, true);
  }
  return std::make_pair(identity, false);
}

}  // namespace fakexr
