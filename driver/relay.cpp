#include "driver/relay.h"

#include <algorithm>
#include <set>
#include <vector>

namespace gaitrelay {
namespace {

// The real stick wins over a hand override once it is pushed beyond this radius (squared).
constexpr float kRealStickRadiusSquared = 0.05f * 0.05f;

float clampUnit(float value) { return std::clamp(value, -1.0f, 1.0f); }

constexpr std::string_view kStickAxisPaths[] = {
    "/input/joystick/x",   "/input/joystick/y", "/input/thumbstick/x",
    "/input/thumbstick/y", "/input/trackpad/x", "/input/trackpad/y",
};

}  // namespace

bool Relay::fresh(const StickOverride& o, std::uint64_t now) {
  return o.active && (now < o.lastUpdate || now - o.lastUpdate < hook::kStickStaleMs);
}

bool Relay::fresh(const ButtonOverride& o, std::uint64_t now) {
  return now < o.lastUpdate || now - o.lastUpdate < hook::kButtonStaleMs;
}

void Relay::apply(const hook::Message& m, std::uint64_t now) {
  auto setStick = [&](StickOverride& o) {
    if (m.stick.hasX) o.x = m.stick.x;
    if (m.stick.hasY) o.y = m.stick.y;
    o.active = true;
    o.lastUpdate = now;
    o.restorePending = false;
  };
  auto turnOff = [](StickOverride& o) {
    if (o.active) o.restorePending = true;
    o.active = false;
  };
  switch (m.kind) {
    case hook::Kind::Ignored:
      return;
    case hook::Kind::SerialButton: {
      std::lock_guard lock(buttonLock_);
      auto table = serialButtons_.find(m.serial);
      if (table == serialButtons_.end()) {
        if (serialButtons_.size() >= kMaxSerials) return;
        table = serialButtons_.emplace(m.serial, ButtonTable{}).first;
      }
      if (ButtonOverride* entry = buttonEntry(table->second, m.button)) *entry = {m.pressed, true, now};
      return;
    }
    case hook::Kind::HandButton: {
      std::lock_guard lock(buttonLock_);
      ButtonTable& table = m.hand == hook::Hand::Left ? leftButtons_ : rightButtons_;
      if (ButtonOverride* entry = buttonEntry(table, m.button)) *entry = {m.pressed, true, now};
      return;
    }
    case hook::Kind::SerialStickOff:
    case hook::Kind::SerialStick: {
      std::lock_guard lock(stickLock_);
      auto entry = serialSticks_.find(m.serial);
      if (entry == serialSticks_.end()) {
        if (serialSticks_.size() >= kMaxSerials) return;
        entry = serialSticks_.emplace(m.serial, StickOverride{}).first;
      }
      if (m.kind == hook::Kind::SerialStickOff)
        turnOff(entry->second);
      else
        setStick(entry->second);
      return;
    }
    case hook::Kind::HandStickOff:
    case hook::Kind::HandStick: {
      std::lock_guard lock(stickLock_);
      StickOverride& o = m.hand == hook::Hand::Left ? leftStick_ : rightStick_;
      if (m.kind == hook::Kind::HandStickOff)
        turnOff(o);
      else
        setStick(o);
      return;
    }
    case hook::Kind::AllSticksOff: {
      std::lock_guard lock(stickLock_);
      turnOff(leftStick_);
      turnOff(rightStick_);
      for (auto& [serial, o] : serialSticks_) turnOff(o);
      return;
    }
  }
}

ButtonOverride* Relay::buttonEntry(ButtonTable& table, const std::string& name) {
  auto it = table.find(name);
  if (it != table.end()) return &it->second;
  if (table.size() >= kMaxButtonsPerTable) return nullptr;
  return &table.emplace(name, ButtonOverride{}).first->second;
}

bool Relay::isClickPath(std::string_view name) {
  return name.size() > 5 && name.find("/click") != std::string_view::npos;
}

std::string Relay::buttonNameOf(std::string_view path) {
  // The second segment: "/input/trigger/click" -> "trigger".
  const std::size_t first = path.find('/');
  if (first == std::string_view::npos) return {};
  const std::size_t second = path.find('/', first + 1);
  if (second == std::string_view::npos) return {};
  const std::size_t third = path.find('/', second + 1);
  return std::string(
      path.substr(second + 1, third == std::string_view::npos ? std::string_view::npos : third - second - 1));
}

bool Relay::isStickAxisPath(std::string_view name) {
  return std::find(std::begin(kStickAxisPaths), std::end(kStickAxisPaths), name) != std::end(kStickAxisPaths);
}

void Relay::registerBoolean(vr::VRInputComponentHandle_t handle, std::string_view name, std::int32_t role,
                            std::string_view serial) {
  if (!isClickPath(name)) return;
  std::string button = buttonNameOf(name);
  if (button.empty()) return;
  std::lock_guard lock(buttonLock_);
  booleans_[handle] = BoolComponentEntry{role, std::string(serial), std::move(button)};
}

void Relay::registerScalar(vr::VRInputComponentHandle_t handle, std::string_view name, std::int32_t role,
                           std::string_view serial) {
  if (!isStickAxisPath(name)) return;
  const bool isY = name.find("/y") != std::string_view::npos;
  std::lock_guard scalarLock(scalarLock_);
  scalars_[handle] = ScalarComponentEntry{role, std::string(serial), isY, 0.0f};
  std::lock_guard stickLock(stickLock_);
  if (role == kRoleLeft) (isY ? leftY_ : leftX_) = handle;
  if (role == kRoleRight) (isY ? rightY_ : rightX_) = handle;
}

float Relay::realValueOf(vr::VRInputComponentHandle_t handle) const {
  if (handle == 0) return 0.0f;
  const auto it = scalars_.find(handle);
  return it == scalars_.end() ? 0.0f : it->second.lastReal;
}

float Relay::filterScalar(vr::VRInputComponentHandle_t handle, float real, std::uint64_t now) {
  std::lock_guard scalarLock(scalarLock_);
  const auto it = scalars_.find(handle);
  if (it == scalars_.end()) return real;
  ScalarComponentEntry& entry = it->second;
  entry.lastReal = real;

  std::lock_guard stickLock(stickLock_);
  if (!entry.serial.empty()) {
    const auto o = serialSticks_.find(entry.serial);
    if (o != serialSticks_.end() && fresh(o->second, now))
      return clampUnit((entry.isY ? o->second.y : o->second.x) + real);
  }
  if (entry.role != kRoleLeft && entry.role != kRoleRight) return clampUnit(real);
  const StickOverride& o = handOverride(entry.role);
  if (!fresh(o, now)) return clampUnit(real);
  const float realX = realValueOf(entry.role == kRoleLeft ? leftX_ : rightX_);
  const float realY = realValueOf(entry.role == kRoleLeft ? leftY_ : rightY_);
  if (realX * realX + realY * realY > kRealStickRadiusSquared) return real;
  return clampUnit((entry.isY ? o.y : o.x) + real);
}

ButtonOverride* Relay::activeButtonOverride(const BoolComponentEntry& entry) {
  if (!entry.serial.empty()) {
    const auto table = serialButtons_.find(entry.serial);
    if (table != serialButtons_.end()) {
      const auto o = table->second.find(entry.button);
      if (o != table->second.end() && o->second.active) return &o->second;
    }
  }
  if (entry.role == kRoleLeft || entry.role == kRoleRight) {
    ButtonTable& table = entry.role == kRoleLeft ? leftButtons_ : rightButtons_;
    const auto o = table.find(entry.button);
    if (o != table.end() && o->second.active) return &o->second;
  }
  return nullptr;
}

bool Relay::filterBoolean(vr::VRInputComponentHandle_t handle, bool real, std::uint64_t now) {
  std::lock_guard lock(buttonLock_);
  const auto it = booleans_.find(handle);
  if (it == booleans_.end()) return real;
  it->second.lastReal = real;
  ButtonOverride* o = activeButtonOverride(it->second);
  if (!o) return real;
  // The sender went quiet (killed during a press): the real state shows again.
  if (!fresh(*o, now)) {
    o->active = false;
    return real;
  }
  // A release is reported once; after it the real state shows again.
  if (!o->pressed) o->active = false;
  return o->pressed;
}

void Relay::pushSticks(vr::IVRDriverInput* input, UpdateScalarFn update, std::uint64_t now) {
  std::lock_guard scalarLock(scalarLock_);
  std::lock_guard stickLock(stickLock_);
  auto push = [&](vr::VRInputComponentHandle_t handle, float value) {
    if (handle != 0 && scalars_.count(handle)) update(input, handle, value, 0.0);
  };
  for (const std::int32_t role : {kRoleLeft, kRoleRight}) {
    StickOverride& o = handOverride(role);
    if (!o.active && !o.restorePending) continue;
    const vr::VRInputComponentHandle_t xHandle = role == kRoleLeft ? leftX_ : rightX_;
    const vr::VRInputComponentHandle_t yHandle = role == kRoleLeft ? leftY_ : rightY_;
    const float realX = realValueOf(xHandle);
    const float realY = realValueOf(yHandle);
    if (!fresh(o, now)) {
      // Turned off, or the sender went quiet: give the controller its own values back once.
      push(xHandle, realX);
      push(yHandle, realY);
      o.active = false;
      o.restorePending = false;
    } else if (realX * realX + realY * realY > kRealStickRadiusSquared) {
      push(xHandle, clampUnit(realX));
      push(yHandle, clampUnit(realY));
    } else {
      push(xHandle, clampUnit(realX + o.x));
      push(yHandle, clampUnit(realY + o.y));
    }
  }
  for (auto& [serial, o] : serialSticks_) {
    if (!o.active && !o.restorePending) continue;
    const bool live = fresh(o, now);
    for (const auto& [handle, entry] : scalars_) {
      // A component whose serial could not be read is never addressed by serial.
      if (entry.serial.empty() || entry.serial != serial) continue;
      // Live: the override replaces the value. Ended: the real value once, as for a hand.
      update(input, handle, live ? clampUnit(entry.isY ? o.y : o.x) : entry.lastReal, 0.0);
    }
    if (!live) {
      o.active = false;
      o.restorePending = false;
    }
  }
}

void Relay::pushButtons(vr::IVRDriverInput* input, UpdateBooleanFn update, std::uint64_t now) {
  std::lock_guard lock(buttonLock_);
  // Ended overrides are turned off after the loop, so every component sharing one gets its push.
  std::vector<ButtonOverride*> ended;
  for (const auto& [handle, entry] : booleans_) {
    ButtonOverride* o = activeButtonOverride(entry);
    if (!o) continue;
    const bool live = fresh(*o, now);
    if (!live || !o->pressed) ended.push_back(o);
    // Lapsed: the real value once, as for a stick.
    update(input, handle, live ? o->pressed : entry.lastReal, 0.0);
  }
  for (ButtonOverride* o : ended) o->active = false;
}

StickOverride Relay::handStick(hook::Hand hand) const {
  std::lock_guard lock(stickLock_);
  return hand == hook::Hand::Left ? leftStick_ : rightStick_;
}

bool Relay::serialStick(const std::string& serial, StickOverride& out) const {
  std::lock_guard lock(stickLock_);
  const auto it = serialSticks_.find(serial);
  if (it == serialSticks_.end()) return false;
  out = it->second;
  return true;
}

bool Relay::handButton(hook::Hand hand, const std::string& name, ButtonOverride& out) const {
  std::lock_guard lock(buttonLock_);
  const ButtonTable& table = hand == hook::Hand::Left ? leftButtons_ : rightButtons_;
  const auto it = table.find(name);
  if (it == table.end()) return false;
  out = it->second;
  return true;
}

bool Relay::serialButton(const std::string& serial, const std::string& name, ButtonOverride& out) const {
  std::lock_guard lock(buttonLock_);
  const auto table = serialButtons_.find(serial);
  if (table == serialButtons_.end()) return false;
  const auto it = table->second.find(name);
  if (it == table->second.end()) return false;
  out = it->second;
  return true;
}

std::size_t Relay::serialStickCount() const {
  std::lock_guard lock(stickLock_);
  return serialSticks_.size();
}

std::size_t Relay::controllerCount() const {
  std::set<std::string> controllers;
  auto note = [&](std::int32_t role, const std::string& serial) {
    if (!serial.empty())
      controllers.insert("SN:" + serial);
    else if (role == kRoleLeft || role == kRoleRight)
      controllers.insert(role == kRoleLeft ? "L" : "R");
  };
  {
    std::lock_guard lock(buttonLock_);
    for (const auto& [handle, entry] : booleans_) note(entry.role, entry.serial);
  }
  std::lock_guard lock(scalarLock_);
  for (const auto& [handle, entry] : scalars_) note(entry.role, entry.serial);
  return controllers.size();
}

bool Relay::overrideInForce(std::uint64_t now) const {
  {
    std::lock_guard scalarLock(scalarLock_);
    std::lock_guard stickLock(stickLock_);
    if ((fresh(leftStick_, now) && (leftX_ || leftY_)) || (fresh(rightStick_, now) && (rightX_ || rightY_)))
      return true;
    for (const auto& [serial, o] : serialSticks_) {
      if (!fresh(o, now)) continue;
      for (const auto& [handle, entry] : scalars_)
        if (entry.serial == serial) return true;
    }
  }
  std::lock_guard lock(buttonLock_);
  for (const auto& [handle, entry] : booleans_) {
    if (!entry.serial.empty()) {
      const auto table = serialButtons_.find(entry.serial);
      if (table != serialButtons_.end()) {
        const auto o = table->second.find(entry.button);
        if (o != table->second.end() && o->second.active && fresh(o->second, now)) return true;
      }
    }
    if (entry.role != kRoleLeft && entry.role != kRoleRight) continue;
    const ButtonTable& table = entry.role == kRoleLeft ? leftButtons_ : rightButtons_;
    const auto o = table.find(entry.button);
    if (o != table.end() && o->second.active && fresh(o->second, now)) return true;
  }
  return false;
}

}  // namespace gaitrelay
