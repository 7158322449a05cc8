#include "app/outputs/steamvr_hook_service.h"

#include <algorithm>
#include <string_view>

#include "platform/hot_path.h"
#include "platform/last_stop.h"

namespace outputs {
namespace {

constexpr const char* kThumbstickBack = "Thumbstick Back";
constexpr const char* kThumbstickForward = "Thumbstick Forward";

bool isPseudo(const std::string& button) { return button == kThumbstickBack || button == kThumbstickForward; }

// The hand as the datagrams name it, at the very edge.
struct Letter {
  char text[1];
  explicit Letter(core::Hand hand) : text{core::handLetter(hand)} {}
  std::string_view view() const { return {text, 1}; }
};

}  // namespace

SteamVRHookService::SteamVRHookService(core::Logger& logger, DriverStatusCheck driverStatus,
                                       std::function<void()> driverMissing, platform::Endpoint driver,
                                       std::ostream& out, std::shared_ptr<core::WaitClock> clock)
    : logger_(logger),
      driverStatus_(std::move(driverStatus)),
      driverMissing_(std::move(driverMissing)),
      driver_(driver),
      out_(out),
      clock_(std::move(clock)) {}

SteamVRHookService::~SteamVRHookService() { stop(); }

void SteamVRHookService::configure(const OutputConfig& config) {
  std::lock_guard lock(mutex_);
  config_ = config.hook;
  for (const core::Hand hand : {core::Hand::Left, core::Hand::Right})
    addresses_[static_cast<std::size_t>(hand)] = hook::address(config_.serial, Letter(hand).view());
}

void SteamVRHookService::start() {
  std::lock_guard lock(mutex_);
  logger_.info("SteamVRHookService: Initializing...");
  if (driverStatus_) {
    const DriverComponentStatus status = driverStatus_();
    if (!status.registered && status.filesPresent) {
      logger_.info("SteamVRHookService: Driver missing but files exist. Prompting.");
      if (driverMissing_) driverMissing_();
    }
  }
  if (!socket_.isOpen()) {
    if (socket_.open()) {
      out_ << "[SteamVR Hook] UDP Client initialized (Port " << driver_.port << ")" << '\n';
      out_.flush();
    } else {
      logger_.error("SteamVRHookService: Failed to init UDP client.");
    }
  }
  initialized_ = true;
}

void SteamVRHookService::stop() {
  std::lock_guard lock(mutex_);
  if (initialized_) {
    for (const auto& press : held_)
      if (press) sendAll(pressMessages(press->address, press->hand, press->button, false));
    for (const StickAddress& stick : sticks_) send(hook::releaseMessage(stick.address));
  }
  held_ = {};
  sticks_.clear();
  stickHand_.reset();
  publishLastStop();
  socket_.close();
  initialized_ = false;
}

void SteamVRHookService::send(const std::string& message) {
  if (socket_.isOpen()) socket_.sendTo(message, driver_);  // a failed send is not retried
}

void SteamVRHookService::sendAll(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) send(message);
}

STRIVO_HOT_PATH void SteamVRHookService::noteStickAddress(core::Hand hand, const std::string& address) {
  for (const StickAddress& stick : sticks_)
    if (stick.address == address) return;
  sticks_.push_back({hand, address});
  publishLastStop();
}

STRIVO_HOT_PATH bool SteamVRHookService::holdsPseudo(core::Hand hand, const char* button) const {
  for (const auto& press : held_)
    if (press && press->hand == hand && press->button == button) return true;
  return false;
}

STRIVO_HOT_PATH void SteamVRHookService::stick(float x, float y) {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  const core::Hand hand = config_.hand;
  // The driver would keep the old hand's stick until its lapse.
  if (stickHand_ && *stickHand_ != hand) restStick(*stickHand_);
  stickHand_ = hand;
  const bool back = holdsPseudo(hand, kThumbstickBack);
  const bool forward = holdsPseudo(hand, kThumbstickForward);
  const float v = back ? -1.0f : (forward ? 1.0f : y);  // back wins over forward
  const std::string& address = addressOf(hand);
  char datagram[hook::kMaxDatagram];
  const std::size_t length = hook::writeStickMessage(datagram, address, x, v);
  if (socket_.isOpen() && length > 0)
    socket_.sendTo(std::as_bytes(std::span(datagram, length)), driver_);  // a failed send is not retried
  noteStickAddress(hand, address);
  if (back || forward) {
    // The sample carried the held pseudo-button: a repeat on top would only zero x for a moment.
    const core::WaitClock::TimePoint now = clock_->now();
    for (auto& press : held_)
      if (press && press->address == address && isPseudo(press->button)) press->lastSent = now;
  }
}

const HandButton& SteamVRHookService::bindingOf(Action action) const {
  switch (action) {
    case Action::Jump:
      return config_.jump;
    case Action::Crouch:
      return config_.crouch;
    case Action::SecondStage:
      break;
  }
  return config_.second;
}

std::vector<std::string> SteamVRHookService::pressMessages(const std::string& address, core::Hand hand,
                                                           const std::string& button, bool pressed) {
  if (button == kThumbstickBack) return {hook::stickMessage(address, 0.0f, pressed ? -1.0f : 0.0f)};
  if (button == kThumbstickForward) return {hook::stickMessage(address, 0.0f, pressed ? 1.0f : 0.0f)};
  std::vector<std::string> messages{hook::buttonMessage(address, button, pressed)};
  // Controllers whose stick click is /input/joystick/click know it as "joystick".
  if (hook::needsJoystickCompanion(button))
    messages.push_back(hook::joystickCompanionMessage(Letter(hand).view(), pressed));
  return messages;
}

void SteamVRHookService::press(Action action) {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  const HandButton& binding = bindingOf(action);
  const std::string& address = addressOf(binding.hand);
  std::optional<Press>& held = held_[slotOf(action)];
  const bool same = held && held->hand == binding.hand && held->button == binding.button && held->address == address;
  // A binding, hand or serial changed while held: the old press is let go first.
  if (held && !same) releaseLocked(action);
  sendAll(pressMessages(address, binding.hand, binding.button, true));
  if (same) {
    held->lastSent = clock_->now();
    return;
  }
  if (action == Action::SecondStage && !held) logger_.info("SteamVR S2 Threshold Crossed: Pressing " + binding.button);
  held = Press{binding.hand, binding.button, address, clock_->now()};
  if (isPseudo(binding.button)) noteStickAddress(binding.hand, address);
  publishLastStop();
}

void SteamVRHookService::release(Action action) {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  if (held_[slotOf(action)]) {
    releaseLocked(action);
    return;
  }
  // Nothing held: the current binding is released anyway, should it be down by other means.
  const HandButton& binding = bindingOf(action);
  sendAll(pressMessages(addressOf(binding.hand), binding.hand, binding.button, false));
}

void SteamVRHookService::releaseLocked(Action action) {
  std::optional<Press>& held = held_[slotOf(action)];
  if (!held) return;
  const Press press = std::move(*held);
  held.reset();
  if (action == Action::SecondStage) logger_.info("SteamVR S2 Threshold Left: Releasing " + press.button);
  // Another action holding the same button keeps it down.
  for (const auto& other : held_)
    if (other && other->hand == press.hand && other->button == press.button && other->address == press.address) {
      publishLastStop();
      return;
    }
  // Released where it was pressed, even when the target serial changed since.
  sendAll(pressMessages(press.address, press.hand, press.button, false));
  publishLastStop();
}

void SteamVRHookService::restStick(core::Hand hand) {
  const std::string& current = addressOf(hand);
  send(hook::stickMessage(current, 0.0f, 0.0f));
  // Every address this hand's stick went to, the current one last.
  for (auto it = sticks_.begin(); it != sticks_.end();) {
    if (it->hand != hand) {
      ++it;
      continue;
    }
    if (it->address != current) send(hook::releaseMessage(it->address));
    it = sticks_.erase(it);
  }
  send(hook::releaseMessage(current));
  publishLastStop();
}

void SteamVRHookService::centre() {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  for (std::size_t action = 0; action < kActionCount; ++action) releaseLocked(static_cast<Action>(action));
  // The hand the stick went to, which may no longer be the configured one.
  restStick(stickHand_.value_or(config_.hand));
  stickHand_.reset();
}

void SteamVRHookService::keepAlive() {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  const core::WaitClock::TimePoint now = clock_->now();
  for (auto& press : held_) {
    if (!press || now - press->lastSent < kRepeatInterval) continue;
    sendAll(pressMessages(press->address, press->hand, press->button, true));
    press->lastSent = now;
  }
}

void SteamVRHookService::publishLastStop() {
  std::vector<std::string> datagrams;
  for (const StickAddress& stick : sticks_) datagrams.push_back(hook::releaseMessage(stick.address));
  for (const auto& press : held_) {
    if (!press) continue;
    for (std::string& message : pressMessages(press->address, press->hand, press->button, false))
      datagrams.push_back(std::move(message));
  }
  platform::setLastStopDatagrams(platform::LastStopSlot::Hook, driver_, datagrams);
}

}  // namespace outputs
