#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "common/hook/hook_protocol.h"
#include "common/openvr/driver_api.h"

// The driver's memory of other drivers' input components and the overrides the main
// program asked for, and the rules that combine them with the real input.
namespace gaitrelay {

enum Role : std::int32_t { kRoleOther = 0, kRoleLeft = 1, kRoleRight = 2 };

struct BoolComponentEntry {
  std::int32_t role = kRoleOther;
  std::string serial;
  std::string button;
  bool lastReal = false;  // the component's last real report, given back when an override lapses
};

struct ScalarComponentEntry {
  std::int32_t role = kRoleOther;
  std::string serial;
  bool isY = false;
  float lastReal = 0;
};

struct StickOverride {
  float x = 0;
  float y = 0;
  bool active = false;
  std::uint64_t lastUpdate = 0;
  // Turned off by a message while active: the next frame gives the controller its
  // real values back once (a driver that reports only on change would otherwise
  // leave the game seeing the override's last value).
  bool restorePending = false;
};

struct ButtonOverride {
  bool pressed = false;
  bool active = false;
  std::uint64_t lastUpdate = 0;  // the last message that named the button
};

// The real (un-intercepted) update entries, called as plain functions with the
// interface object first, the way both compilers' ABIs pass `this`.
using UpdateBooleanFn = vr::EVRInputError (*)(vr::IVRDriverInput*, vr::VRInputComponentHandle_t, bool, double);
using UpdateScalarFn = vr::EVRInputError (*)(vr::IVRDriverInput*, vr::VRInputComponentHandle_t, float, double);

class Relay {
 public:
  // Caps on the tables a datagram can grow: a hostile sender must not exhaust the
  // server's memory. Real set-ups have a handful of controllers and buttons.
  static constexpr std::size_t kMaxSerials = 64;
  static constexpr std::size_t kMaxButtonsPerTable = 64;

  // Applies one classified datagram received at `now` (milliseconds).
  void apply(const hook::Message& message, std::uint64_t now);

  // Registration after a successful create call of another driver.
  // `name` is the component path, e.g. "/input/a/click".
  void registerBoolean(vr::VRInputComponentHandle_t handle, std::string_view name, std::int32_t role,
                       std::string_view serial);
  void registerScalar(vr::VRInputComponentHandle_t handle, std::string_view name, std::int32_t role,
                      std::string_view serial);
  static bool isClickPath(std::string_view name);
  static std::string buttonNameOf(std::string_view path);
  static bool isStickAxisPath(std::string_view name);

  // The value to forward for a real report.
  float filterScalar(vr::VRInputComponentHandle_t handle, float real, std::uint64_t now);
  bool filterBoolean(vr::VRInputComponentHandle_t handle, bool real, std::uint64_t now);

  // Once per frame, after the datagrams: push the overrides through the real entries.
  // A lapsed override pushes the real value once, then the real reports show.
  void pushSticks(vr::IVRDriverInput* input, UpdateScalarFn update, std::uint64_t now);
  void pushButtons(vr::IVRDriverInput* input, UpdateBooleanFn update, std::uint64_t now);

  // Read-only views for tests.
  StickOverride handStick(hook::Hand hand) const;
  bool serialStick(const std::string& serial, StickOverride& out) const;
  bool handButton(hook::Hand hand, const std::string& name, ButtonOverride& out) const;
  bool serialButton(const std::string& serial, const std::string& name, ButtonOverride& out) const;
  std::size_t serialStickCount() const;

  // For the status answer: controllers with registered components (by serial, or by
  // hand when the serial is unknown), and whether an override reaches one of them at `now`.
  std::size_t controllerCount() const;
  bool overrideInForce(std::uint64_t now) const;

 private:
  using ButtonTable = std::map<std::string, ButtonOverride, std::less<>>;

  static bool fresh(const StickOverride& o, std::uint64_t now);
  static bool fresh(const ButtonOverride& o, std::uint64_t now);
  // Requires the stick lock (and the scalar lock for the real values).
  float realValueOf(vr::VRInputComponentHandle_t handle) const;
  StickOverride& handOverride(std::int32_t role) { return role == kRoleLeft ? leftStick_ : rightStick_; }
  // Requires the button lock. Null when no active override applies.
  ButtonOverride* activeButtonOverride(const BoolComponentEntry& entry);
  ButtonOverride* buttonEntry(ButtonTable& table, const std::string& name);

  // Lock order: scalar before stick; the button lock is never held with either.
  mutable std::mutex buttonLock_;
  mutable std::mutex stickLock_;
  mutable std::mutex scalarLock_;

  // Under buttonLock_.
  std::map<vr::VRInputComponentHandle_t, BoolComponentEntry> booleans_;
  ButtonTable leftButtons_;
  ButtonTable rightButtons_;
  std::map<std::string, ButtonTable, std::less<>> serialButtons_;

  // Under scalarLock_.
  std::map<vr::VRInputComponentHandle_t, ScalarComponentEntry> scalars_;

  // Under stickLock_.
  StickOverride leftStick_;
  StickOverride rightStick_;
  std::map<std::string, StickOverride, std::less<>> serialSticks_;
  vr::VRInputComponentHandle_t leftX_ = 0, leftY_ = 0, rightX_ = 0, rightY_ = 0;
};

}  // namespace gaitrelay
