#include "app/outputs/virtual_joystick_service.h"

#include <cmath>
#include <sstream>
#include <utility>

#include "app/core/fixed_line.h"
#include "platform/hot_path.h"

namespace outputs {
namespace {

constexpr std::int16_t kStickMax = 32767;
constexpr std::int16_t kStickMin = -32768;

// -1..+1 to a stick value, truncated toward zero; never -32768, and out-of-range or
// non-numeric input is held to the stick's range instead of overflowing.
std::int16_t toStick(float value) {
  if (std::isnan(value)) return 0;
  const float clamped = std::fmax(-1.0f, std::fmin(1.0f, value));
  return static_cast<std::int16_t>(std::trunc(static_cast<double>(clamped) * kStickMax));
}

std::string hex(std::uint32_t code) {
  std::ostringstream text;
  text << std::hex << std::nouppercase << code;
  return text.str();
}

}  // namespace

std::uint16_t VirtualJoystickService::buttonBit(std::string_view name) {
  for (const auto& entry : platform::kXusbPressableButtons)
    if (name == entry.name) return entry.bit;
  return 0;
}

VirtualJoystickService::VirtualJoystickService(core::Logger& logger, platform::VirtualPadBus& bus,
                                               IPadReportMerger& merger, std::function<void()> busMissing,
                                               std::ostream& out, std::ostream& err)
    : logger_(logger), bus_(bus), merger_(merger), busMissing_(std::move(busMissing)), out_(out), err_(err) {}

VirtualJoystickService::~VirtualJoystickService() {
  // Unplug quietly if the owner never called shutdown.
  std::lock_guard lock(mutex_);
  if (target_) {
    bus_.targetRemove(client_, target_);
    bus_.targetFree(target_);
  }
  if (client_) {
    bus_.disconnect(client_);
    bus_.free(client_);
  }
}

void VirtualJoystickService::configure(const OutputConfig& config) {
  std::lock_guard lock(mutex_);
  config_ = config.pad;
}

void VirtualJoystickService::start() {
  std::lock_guard lock(mutex_);
  logger_.info("VirtualJoystickService: Initializing ViGEm...");
  bool present = false;
  if (auto probe = bus_.alloc()) {
    present = bus_.connect(probe) == platform::VirtualPadBus::kErrorNone;
    if (present) bus_.disconnect(probe);
    bus_.free(probe);
  }
  if (!present) {
    logger_.warn("VirtualJoystickService: ViGEmBus driver not found. Prompting.");
    if (busMissing_) busMissing_();
  }
  plugIn();
}

void VirtualJoystickService::plugIn() {
  if (client_) return;
  client_ = bus_.alloc();
  if (!client_) {
    err_ << "[ViGEm] Failed to allocate client." << std::endl;
    return;
  }
  const std::uint32_t connected = bus_.connect(client_);
  if (connected != platform::VirtualPadBus::kErrorNone) {
    err_ << "[ViGEm] Connection failed with error: " << hex(connected) << std::endl;
    explainFailure();
    bus_.free(client_);
    client_ = nullptr;
    return;
  }
  target_ = bus_.targetX360Alloc();
  const std::uint32_t added = bus_.targetAdd(client_, target_);
  if (added == platform::VirtualPadBus::kErrorNone) {
    report_ = {};
    out_ << "[ViGEm] Xbox 360 controller initialized and plugged in." << std::endl;
    return;
  }
  err_ << "[ViGEm] Failed to add target: " << hex(added) << std::endl;
  explainFailure();
  bus_.targetFree(target_);
  bus_.disconnect(client_);
  bus_.free(client_);
  target_ = nullptr;
  client_ = nullptr;
}

void VirtualJoystickService::explainFailure() {
  const std::string problem = bus_.lastProblem();
  if (!problem.empty()) err_ << "[ViGEm] " << problem << std::endl;
}

void VirtualJoystickService::stop() {
  std::lock_guard lock(mutex_);
  // The game sees the pad at rest before it goes away.
  for (std::size_t action = 0; action < kActionCount; ++action) releaseLocked(static_cast<Action>(action));
  stickLocked(0, 0);
  if (client_) submitLocked();
  if (target_) {
    bus_.targetRemove(client_, target_);
    bus_.targetFree(target_);
  }
  if (client_) {
    bus_.disconnect(client_);
    bus_.free(client_);
  }
  target_ = nullptr;
  client_ = nullptr;
  out_ << "[ViGEm] Cleaned up." << std::endl;
}

STRIVO_HOT_PATH void VirtualJoystickService::stick(float x, float y) {
  std::lock_guard lock(mutex_);
  stickLocked(x, y);
  submitLocked();
}

void VirtualJoystickService::stickLocked(float x, float y) {
  if (!client_) return;
  report_.sThumbLX = toStick(x);
  report_.sThumbLY = lsDown_ ? kStickMin : (lsUp_ ? kStickMax : toStick(y));
  if (rsDown_) {
    report_.sThumbRY = kStickMin;
  } else if (rsUp_) {
    report_.sThumbRY = kStickMax;
  } else {
    report_.sThumbRX = 0;
    report_.sThumbRY = 0;
  }
}

const std::string& VirtualJoystickService::buttonOf(Action action) const {
  switch (action) {
    case Action::Jump:
      return config_.jumpButton;
    case Action::Crouch:
      return config_.crouchButton;
    case Action::SecondStage:
      break;
  }
  return config_.secondButton;
}

void VirtualJoystickService::press(Action action) {
  std::lock_guard lock(mutex_);
  const std::string name = buttonOf(action);
  std::string& held = held_[slotOf(action)];
  if (!held.empty() && held == name) return;  // already down: the report has not changed
  if (!held.empty()) {
    const std::string previous = std::exchange(held, {});
    releaseName(previous);
  }
  // A press while unplugged is not remembered, so a later plug-in starts at rest.
  if (client_) held = name;
  pressName(name);
  submitLocked();
}

void VirtualJoystickService::release(Action action) {
  std::lock_guard lock(mutex_);
  releaseLocked(action);
  submitLocked();
}

void VirtualJoystickService::releaseLocked(Action action) {
  std::string& held = held_[slotOf(action)];
  const std::string name = held.empty() ? buttonOf(action) : std::exchange(held, {});
  releaseName(name);
}

void VirtualJoystickService::centre() {
  std::lock_guard lock(mutex_);
  for (std::size_t action = 0; action < kActionCount; ++action) releaseLocked(static_cast<Action>(action));
  stickLocked(0, 0);
  submitLocked();
}

void VirtualJoystickService::pressName(const std::string& name) {
  if (!client_) return;
  if (name == "LS Down") {
    report_.sThumbLY = kStickMin;
    lsDown_ = true;
  } else if (name == "RS Down") {
    report_.sThumbRY = kStickMin;
    rsDown_ = true;
  } else if (name == "LS Up") {
    report_.sThumbLY = kStickMax;
    lsUp_ = true;
  } else if (name == "RS Up") {
    report_.sThumbRY = kStickMax;
    rsUp_ = true;
  } else {
    report_.wButtons |= buttonBit(name);
  }
}

void VirtualJoystickService::releaseName(const std::string& name) {
  // A name still held by another action (jump or crouch and the second stage on the
  // same name) stays down.
  for (const std::string& held : held_)
    if (held == name) return;
  // Overrides are forgotten also while unplugged, so a later plug-in never brings
  // back a press whose release came in between.
  if (name == "LS Down")
    lsDown_ = false;
  else if (name == "RS Down")
    rsDown_ = false;
  else if (name == "LS Up")
    lsUp_ = false;
  else if (name == "RS Up")
    rsUp_ = false;
  if (!client_) return;
  // An override's axis returns to the centre unless the opposite override still holds it.
  if (name == "LS Down") {
    if (!lsUp_) report_.sThumbLY = 0;
  } else if (name == "RS Down") {
    if (!rsUp_) report_.sThumbRY = 0;
  } else if (name == "LS Up") {
    if (!lsDown_) report_.sThumbLY = 0;
  } else if (name == "RS Up") {
    if (!rsDown_) report_.sThumbRY = 0;
  } else {
    report_.wButtons &= static_cast<std::uint16_t>(~buttonBit(name));
  }
}

void VirtualJoystickService::submitReport() {
  std::lock_guard lock(mutex_);
  submitLocked();
}

void VirtualJoystickService::submitLocked() {
  const pad::XusbReport merged = merger_.mergeReport(report_);
  if (client_ && target_) bus_.targetX360Update(client_, target_, merged);
  ++submitCount_;
  if (submitCount_ % 60 == 0) {
    // Built in place: this runs on the sample path.
    logger_.info(core::FixedLine<96>()
                     .add("ViGEm Update - Local: (")
                     .addSigned(report_.sThumbLX)
                     .add(",")
                     .addSigned(report_.sThumbLY)
                     .add(") Merged: (")
                     .addSigned(merged.sThumbLX)
                     .add(",")
                     .addSigned(merged.sThumbLY)
                     .add(") Buttons: ")
                     .add(std::uint64_t{merged.wButtons})
                     .view());
  }
}

pad::XusbReport VirtualJoystickService::localReport() const {
  std::lock_guard lock(mutex_);
  return report_;
}

bool VirtualJoystickService::pluggedIn() const {
  std::lock_guard lock(mutex_);
  return client_ != nullptr;
}

std::uint32_t VirtualJoystickService::submitCount() const {
  std::lock_guard lock(mutex_);
  return submitCount_;
}

}  // namespace outputs
