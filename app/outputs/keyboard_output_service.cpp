#include "app/outputs/keyboard_output_service.h"

#include <algorithm>

#include "app/outputs/key_names.h"

namespace outputs {

namespace {

constexpr std::uint16_t kModifierKeys[] = {0x10, 0x11, 0x12, 0x5B};  // Shift, Control, Alt, left Windows

// A flag for a direction whose values are below zero (forward, left): set beyond
// -threshold, kept while beyond -(threshold - margin).
bool negativeDirection(bool wasSet, float value, float threshold) {
  return wasSet ? value < -(threshold - KeyboardOutputService::kReleaseMargin) : value < -threshold;
}

bool positiveDirection(bool wasSet, float value, float threshold) {
  return wasSet ? value > threshold - KeyboardOutputService::kReleaseMargin : value > threshold;
}

}  // namespace

KeyboardOutputService::KeyboardOutputService(core::Settings& settings, core::Logger& logger,
                                             platform::IKeyInjector& injector, std::ostream& out)
    : settings_(settings), logger_(logger), injector_(injector), out_(out) {}

KeyboardOutputService::~KeyboardOutputService() {
  std::lock_guard lock(mutex_);
  releaseEverythingLocked();
}

void KeyboardOutputService::init() { logger_.info("KeyboardOutputService: Backend is ready."); }

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

void KeyboardOutputService::pressKey(const std::string& binding) {
  std::lock_guard lock(mutex_);
  // A second press of a binding already down adds nothing: one release lifts it.
  if (pressed_.insert(binding).second) pressBinding(binding);
}

void KeyboardOutputService::releaseKey(const std::string& binding) {
  std::lock_guard lock(mutex_);
  if (pressed_.erase(binding) > 0) {
    releaseBinding(binding);
    return;
  }
  // Not pressed through this service: still send key-ups so a key stuck by other
  // means comes up, except for keys that a held binding keeps down.
  const BindingKeys keys = resolveBinding(binding);
  for (const std::uint16_t code : {keys.key, keys.modifier})
    if (code != 0 && downCount_.count(code) == 0) injector_.sendKey(code, false);
}

void KeyboardOutputService::update(float x, float y) {
  std::lock_guard lock(mutex_);
  const float t1 = settings_.keyboard_threshold / 100.0f;
  const float t2 = settings_.keyboard_threshold_2 / 100.0f;
  const float thresholds[2] = {t1, t2};
  for (int stage = 0; stage < 2; ++stage) {
    bool* f = &flags_[stage * 4];
    f[0] = negativeDirection(f[0], y, thresholds[stage]);  // forward
    f[1] = positiveDirection(f[1], y, thresholds[stage]);  // back
    f[2] = negativeDirection(f[2], x, thresholds[stage]);  // left
    f[3] = positiveDirection(f[3], x, thresholds[stage]);  // right
  }

  const core::SharedText* s1[4] = {&settings_.key_fwd, &settings_.key_back, &settings_.key_left, &settings_.key_right};
  const core::SharedText* s2[4] = {&settings_.key_fwd_2, &settings_.key_back_2, &settings_.key_left_2,
                                   &settings_.key_right_2};
  std::set<std::string> wanted;
  for (int direction = 0; direction < 4; ++direction) {
    if (flags_[4 + direction])
      wanted.insert(s2[direction]->get());
    else if (flags_[direction])
      wanted.insert(s1[direction]->get());
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
  settings_.held_keys.set(held_);
}

void KeyboardOutputService::reset() {
  std::lock_guard lock(mutex_);
  // Everything still down comes up first (held bindings, then jump/crouch), then
  // the four modifiers are lifted unconditionally in case anything else left one down.
  for (const std::string& binding : held_) releaseBinding(binding);
  for (const std::string& binding : pressed_) releaseBinding(binding);
  for (const std::uint16_t modifier : kModifierKeys) {
    downCount_.erase(modifier);
    injector_.sendKey(modifier, false);
  }
  releaseEverythingLocked();
  out_ << "[Keyboard] Reset modifier keys." << std::endl;
  flags_.fill(false);
  held_.clear();
  pressed_.clear();
  settings_.held_keys.set(held_);
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
