#include "app/outputs/steamvr_hook_service.h"

#include <algorithm>

#include "platform/last_stop.h"

namespace outputs {
namespace {

// Every hand argument is L when it is exactly "Left", R otherwise.
const char* hookHandLetter(const std::string& hand) { return hand == "Left" ? "L" : "R"; }
int handIndex(const std::string& hand) { return hand == "Left" ? 0 : 1; }

}  // namespace

SteamVRHookService::SteamVRHookService(core::Settings& settings, core::Logger& logger, DriverStatusCheck driverStatus,
                                       platform::Endpoint driver, std::ostream& out,
                                       std::shared_ptr<core::WaitClock> clock)
    : settings_(settings),
      logger_(logger),
      driverStatus_(std::move(driverStatus)),
      driver_(driver),
      out_(out),
      clock_(std::move(clock)) {}

SteamVRHookService::~SteamVRHookService() { cleanup(); }

void SteamVRHookService::initialize() {
  std::lock_guard lock(mutex_);
  logger_.info("SteamVRHookService: Initializing...");
  if (driverStatus_) {
    const DriverComponentStatus status = driverStatus_();
    if (!status.registered && status.filesPresent) {
      logger_.info("SteamVRHookService: Driver missing but files exist. Prompting.");
      settings_.show_steamvr_driver_prompt = true;
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

void SteamVRHookService::cleanup() {
  std::lock_guard lock(mutex_);
  if (initialized_) {
    for (const HeldPress& press : held_) sendAll(pressMessages(press.address, press.letter, press.button, false));
    for (const StickAddress& stick : sticks_) send(hook::releaseMessage(stick.address));
  }
  held_.clear();
  sticks_.clear();
  backHeld_[0] = backHeld_[1] = forwardHeld_[0] = forwardHeld_[1] = false;
  s2Pressed_ = false;
  publishLastStop();
  socket_.close();
  initialized_ = false;
}

std::string SteamVRHookService::addressFor(const std::string& letter) const {
  return hook::address(settings_.hook_target_serial.get(), letter);
}

void SteamVRHookService::send(const std::string& message) {
  if (socket_.isOpen()) socket_.sendTo(message, driver_);  // a failed send is not retried
}

void SteamVRHookService::sendAll(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) send(message);
}

void SteamVRHookService::noteStickAddress(const std::string& letter, const std::string& address) {
  for (const StickAddress& stick : sticks_)
    if (stick.address == address) return;
  sticks_.push_back({letter, address});
  publishLastStop();
}

void SteamVRHookService::sendStick(float x, float y, const std::string& hand) {
  std::lock_guard lock(mutex_);
  if (!initialized_) return;
  const int index = handIndex(hand);
  float v = y;
  if (backHeld_[index])
    v = 1.0f;  // back wins over forward
  else if (forwardHeld_[index])
    v = -1.0f;
  // The engine's y is negative forward; the wire's is positive forward.
  const std::string address = addressFor(hookHandLetter(hand));
  send(hook::stickMessage(address, x, -v));
  noteStickAddress(hookHandLetter(hand), address);
  if (backHeld_[index] || forwardHeld_[index]) {
    // The sample carried the held pseudo-button: a repeat on top would only zero x for a moment.
    const core::WaitClock::TimePoint now = clock_->now();
    for (HeldPress& press : held_)
      if (press.address == address && (press.button == "Thumbstick Back" || press.button == "Thumbstick Forward"))
        press.lastSent = now;
  }

  if (!settings_.enable_steamvr_s2.load(std::memory_order_relaxed)) {
    if (s2Pressed_) {
      buttonEventLocked(s2Spec_.button, false, s2Spec_.hand);
      s2Pressed_ = false;
    }
  } else if (v < -(settings_.steamvr_threshold_2.load(std::memory_order_relaxed) / 100.0f)) {
    const outputs::ButtonSpec spec = outputs::resolveButtonSpec(
        settings_.steamvr_button_2.get(), std::string(core::choiceText(settings_.target_controller.load())));
    // A button changed while held: the old one is let go first.
    if (s2Pressed_ && (spec.button != s2Spec_.button || spec.hand != s2Spec_.hand))
      buttonEventLocked(s2Spec_.button, false, s2Spec_.hand);
    buttonEventLocked(spec.button, true, spec.hand);
    if (!s2Pressed_) logger_.info("SteamVR S2 Threshold Crossed: Pressing " + spec.button);
    s2Pressed_ = true;
    s2Spec_ = spec;
  } else if (s2Pressed_) {
    logger_.info("SteamVR S2 Threshold Left: Releasing " + s2Spec_.button);
    buttonEventLocked(s2Spec_.button, false, s2Spec_.hand);
    s2Pressed_ = false;
  }
}

void SteamVRHookService::buttonEvent(const std::string& button, bool pressed, const std::string& hand) {
  std::lock_guard lock(mutex_);
  buttonEventLocked(button, pressed, hand);
}

std::vector<std::string> SteamVRHookService::pressMessages(const std::string& address, const std::string& letter,
                                                           const std::string& button, bool pressed) {
  if (button == "Thumbstick Back") return {hook::stickMessage(address, 0.0f, pressed ? -1.0f : 0.0f)};
  if (button == "Thumbstick Forward") return {hook::stickMessage(address, 0.0f, pressed ? 1.0f : 0.0f)};
  std::vector<std::string> messages{hook::buttonMessage(address, button, pressed)};
  // Controllers whose stick click is /input/joystick/click know it as "joystick".
  if (hook::needsJoystickCompanion(button)) messages.push_back(hook::joystickCompanionMessage(letter, pressed));
  return messages;
}

void SteamVRHookService::buttonEventLocked(const std::string& button, bool pressed, const std::string& hand) {
  if (!initialized_) return;
  const std::string letter = hookHandLetter(hand);
  const int index = handIndex(hand);
  if (button == "Thumbstick Back") backHeld_[index] = pressed;
  if (button == "Thumbstick Forward") forwardHeld_[index] = pressed;
  const auto found = std::find_if(held_.begin(), held_.end(), [&](const HeldPress& press) {
    return press.letter == letter && press.button == button;
  });
  if (!pressed) {
    // Released where it was pressed, even when the target serial changed since.
    const std::string address = found != held_.end() ? found->address : addressFor(letter);
    sendAll(pressMessages(address, letter, button, false));
    if (found != held_.end()) {
      held_.erase(found);
      publishLastStop();
    }
    return;
  }
  const std::string address = addressFor(letter);
  if (found != held_.end() && found->address != address) sendAll(pressMessages(found->address, letter, button, false));
  sendAll(pressMessages(address, letter, button, true));
  const bool pseudo = button == "Thumbstick Back" || button == "Thumbstick Forward";
  if (pseudo) noteStickAddress(letter, address);
  if (found == held_.end()) {
    held_.push_back({letter, button, address, clock_->now()});
    publishLastStop();
  } else if (found->address != address) {
    found->address = address;
    found->lastSent = clock_->now();
    publishLastStop();
  } else {
    found->lastSent = clock_->now();
  }
}

void SteamVRHookService::keepAlive() {
  std::lock_guard lock(mutex_);
  if (!initialized_ || held_.empty()) return;
  const core::WaitClock::TimePoint now = clock_->now();
  for (HeldPress& press : held_) {
    if (now - press.lastSent < kRepeatInterval) continue;
    sendAll(pressMessages(press.address, press.letter, press.button, true));
    press.lastSent = now;
  }
}

void SteamVRHookService::sendRelease(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!initialized_ || text.size() < 4 || text.find(" OFF") == std::string::npos) return;
  const std::string letter = text[0] == 'L' ? "L" : "R";
  const std::string current = addressFor(letter);
  // Every address this hand's stick went to, the current one last.
  for (auto it = sticks_.begin(); it != sticks_.end();) {
    if (it->letter != letter) {
      ++it;
      continue;
    }
    if (it->address != current) send(hook::releaseMessage(it->address));
    it = sticks_.erase(it);
  }
  send(hook::releaseMessage(current));
  publishLastStop();
}

void SteamVRHookService::publishLastStop() {
  std::vector<std::string> datagrams;
  for (const StickAddress& stick : sticks_) datagrams.push_back(hook::releaseMessage(stick.address));
  for (const HeldPress& press : held_) {
    for (std::string& message : pressMessages(press.address, press.letter, press.button, false))
      datagrams.push_back(std::move(message));
  }
  platform::setLastStopDatagrams(platform::LastStopSlot::Hook, driver_, datagrams);
}

}  // namespace outputs
