#include "app/outputs/keyboard_output_service.h"

#include <algorithm>
#include <set>

#include "app/outputs/key_names.h"
#include "platform/hot_path.h"

namespace outputs {

namespace {

constexpr std::uint16_t kModifierKeys[] = {0x10, 0x11, 0x12, 0x5B};  // Shift, Control, Alt, left Windows

// A flag for a direction whose values are below zero (back, left): set beyond
// -threshold, kept while beyond -(threshold - margin).
bool negativeDirection(bool wasSet, float value, float threshold) {
  return wasSet ? value < -(threshold - KeyboardOutputService::kReleaseMargin) : value < -threshold;
}

// Forward, right: set beyond +threshold, kept while beyond threshold - margin.
bool positiveDirection(bool wasSet, float value, float threshold) {
  return wasSet ? value > threshold - KeyboardOutputService::kReleaseMargin : value > threshold;
}

}  // namespace

KeyboardOutputService::KeyboardOutputService(core::Logger& logger, platform::IKeyInjector& injector, std::ostream& out)
    : logger_(logger), injector_(injector), out_(out) {}

KeyboardOutputService::~KeyboardOutputService() {
  std::lock_guard lock(mutex_);
  releaseEverythingLocked();
}

void KeyboardOutputService::configure(const OutputConfig& config) {
  std::lock_guard lock(mutex_);
  if (config.keyboard.keys != config_.keys || config.keyboard.keys2 != config_.keys2) bindingsChanged_ = true;
  config_ = config.keyboard;
}

void KeyboardOutputService::start() { logger_.info("KeyboardOutputService: Backend is ready."); }

void KeyboardOutputService::keyDown(std::uint16_t code) {
  if (downCount_[code]++ == 0) injector_.sendKey(code, true);
}

void KeyboardOutputService::keyUp(std::uint16_t code) {
  const auto found = downCount_.find(code);
  if (found == downCount_.end() || found->second == 0) return;
  if (--found->second == 0) {
    downCount_.erase(found);
    injector_.sendKey(code, false);
  }
}

namespace {

// The codes a binding puts down, modifier first. A binding whose key part names no
// key ("ctrl+shift+w", "shift+") sends nothing at all rather than a lone modifier.
struct BindingKeys {
  std::uint16_t modifier = 0;
  std::uint16_t key = 0;
};

BindingKeys resolveBinding(const std::string& binding) {
  const KeyBinding parts = parseKeyBinding(binding);
  BindingKeys keys;
  keys.key = parts.key.empty() ? 0 : virtualKeyOf(parts.key);
  if (keys.key != 0 && !parts.modifier.empty()) keys.modifier = virtualKeyOf(parts.modifier);
  return keys;
}

}  // namespace

void KeyboardOutputService::pressBinding(const std::string& binding) {
  const BindingKeys keys = resolveBinding(binding);
  if (keys.modifier) keyDown(keys.modifier);
  if (keys.key) keyDown(keys.key);
}

void KeyboardOutputService::releaseBinding(const std::string& binding) {
  const BindingKeys keys = resolveBinding(binding);
  if (keys.key) keyUp(keys.key);
  if (keys.modifier) keyUp(keys.modifier);
}

const std::string* KeyboardOutputService::bindingOf(Action action) const {
  switch (action) {
    case Action::Jump:
      return &config_.jumpKey;
    case Action::Crouch:
      return &config_.crouchKey;
    case Action::SecondStage:
      break;
  }
  return nullptr;
}

void KeyboardOutputService::press(Action action) {
  std::lock_guard lock(mutex_);
  const std::string* binding = bindingOf(action);
  if (!binding) return;
  std::optional<std::string>& pressed = pressed_[slotOf(action)];
  // A second press of the binding already down adds nothing: one release lifts it.
  if (pressed == *binding) return;
  if (pressed) releaseBinding(*pressed);
  pressed = *binding;
  pressBinding(*binding);
}

void KeyboardOutputService::release(Action action) {
  std::lock_guard lock(mutex_);
  std::optional<std::string>& pressed = pressed_[slotOf(action)];
  if (pressed) {
    releaseBinding(*pressed);
    pressed.reset();
    return;
  }
  const std::string* binding = bindingOf(action);
  if (!binding) return;
  // Not pressed through this output: still send key-ups so a key stuck by other
  // means comes up, except for keys that a held binding keeps down.
  const BindingKeys keys = resolveBinding(*binding);
  for (const std::uint16_t code : {keys.key, keys.modifier})
    if (code != 0 && downCount_.count(code) == 0) injector_.sendKey(code, false);
}

STRIVO_HOT_PATH void KeyboardOutputService::stick(float x, float y) {
  std::lock_guard lock(mutex_);
  const std::array<bool, 8> before = flags_;
  const float thresholds[2] = {config_.threshold, config_.threshold2};
  for (int stage = 0; stage < 2; ++stage) {
    bool* f = &flags_[stage * 4];
    f[0] = positiveDirection(f[0], y, thresholds[stage]);  // forward
    f[1] = negativeDirection(f[1], y, thresholds[stage]);  // back
    f[2] = negativeDirection(f[2], x, thresholds[stage]);  // left
    f[3] = positiveDirection(f[3], x, thresholds[stage]);  // right
  }
  // The same directions with the same bindings want the keys already down.
  if (flags_ == before && !bindingsChanged_) return;
  bindingsChanged_ = false;
  std::set<std::string> wanted;
  for (int direction = 0; direction < 4; ++direction) {
    if (flags_[4 + direction])
      wanted.insert(config_.keys2[direction]);
    else if (flags_[direction])
      wanted.insert(config_.keys[direction]);
  }
  syncLocked({wanted.begin(), wanted.end()});
}

void KeyboardOutputService::syncHeldKeys(const std::vector<std::string>& wanted) {
  std::lock_guard lock(mutex_);
  syncLocked(wanted);
}

void KeyboardOutputService::syncLocked(const std::vector<std::string>& wantedList) {
  const std::set<std::string> held(held_.begin(), held_.end());
  const std::set<std::string> wanted(wantedList.begin(), wantedList.end());
  for (const std::string& binding : held)
    if (!wanted.count(binding)) releaseBinding(binding);
  for (const std::string& binding : wanted)
    if (!held.count(binding)) pressBinding(binding);
  held_.assign(wanted.begin(), wanted.end());
}

void KeyboardOutputService::reset() {
  std::lock_guard lock(mutex_);
  // Everything still down comes up first (held bindings, then jump/crouch), then
  // the four modifiers are lifted unconditionally in case anything else left one down.
  for (const std::string& binding : held_) releaseBinding(binding);
  for (const auto& binding : pressed_)
    if (binding) releaseBinding(*binding);
  for (const std::uint16_t modifier : kModifierKeys) {
    downCount_.erase(modifier);
    injector_.sendKey(modifier, false);
  }
  releaseEverythingLocked();
  out_ << "[Keyboard] Reset modifier keys." << std::endl;
  flags_.fill(false);
  held_.clear();
  pressed_ = {};
}

void KeyboardOutputService::releaseEverythingLocked() {
  for (const auto& [code, count] : downCount_) injector_.sendKey(code, false);
  downCount_.clear();
}

std::vector<std::string> KeyboardOutputService::heldKeys() const {
  std::lock_guard lock(mutex_);
  return held_;
}

std::array<bool, 8> KeyboardOutputService::directionFlags() const {
  std::lock_guard lock(mutex_);
  return flags_;
}

}  // namespace outputs
