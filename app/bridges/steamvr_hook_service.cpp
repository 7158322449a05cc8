#include "app/bridges/steamvr_hook_service.h"

namespace bridges {
namespace {

// Every hand argument is L when it is exactly "Left", R otherwise.
const char* handLetter(const std::string& hand) { return hand == "Left" ? "L" : "R"; }
int handIndex(const std::string& hand) { return hand == "Left" ? 0 : 1; }

}  // namespace

SteamVRHookService::SteamVRHookService(core::Settings& settings, core::Logger& logger, DriverStatusCheck driverStatus,
                                       platform::Endpoint driver, std::ostream& out)
    : settings_(settings), logger_(logger), driverStatus_(std::move(driverStatus)), driver_(driver), out_(out) {}

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
  if (s2Pressed_) {
    const outputs::ButtonSpec spec =
        outputs::resolveButtonSpec(settings_.steamvr_button_2.get(), settings_.target_controller.get());
    buttonEventLocked(spec.button, false, spec.hand);
    s2Pressed_ = false;
  }
  socket_.close();
  initialized_ = false;
}

std::string SteamVRHookService::addressFor(const std::string& letter) const {
  return hook::address(settings_.hook_target_serial.get(), letter);
}

void SteamVRHookService::send(const std::string& message) {
  if (socket_.isOpen()) socket_.sendTo(message, driver_);  // a failed send is not retried
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
  send(hook::stickMessage(addressFor(handLetter(hand)), x, -v));

  const outputs::ButtonSpec spec =
      outputs::resolveButtonSpec(settings_.steamvr_button_2.get(), settings_.target_controller.get());
  if (!settings_.enable_steamvr_s2.load(std::memory_order_relaxed)) {
    if (s2Pressed_) {
      buttonEventLocked(spec.button, false, spec.hand);
      s2Pressed_ = false;
    }
  } else if (v < -(settings_.steamvr_threshold_2.load(std::memory_order_relaxed) / 100.0f)) {
    buttonEventLocked(spec.button, true, spec.hand);
    if (!s2Pressed_) {
      logger_.info("SteamVR S2 Threshold Crossed: Pressing " + spec.button);
      s2Pressed_ = true;
    }
  } else if (s2Pressed_) {
    logger_.info("SteamVR S2 Threshold Left: Releasing " + spec.button);
    buttonEventLocked(spec.button, false, spec.hand);
    s2Pressed_ = false;
  }
}

void SteamVRHookService::buttonEvent(const std::string& button, bool pressed, const std::string& hand) {
  std::lock_guard lock(mutex_);
  buttonEventLocked(button, pressed, hand);
}

void SteamVRHookService::buttonEventLocked(const std::string& button, bool pressed, const std::string& hand) {
  if (!initialized_) return;
  const std::string letter = handLetter(hand);
  const int index = handIndex(hand);
  if (button == "Thumbstick Back") {
    backHeld_[index] = pressed;
    send(hook::stickMessage(addressFor(letter), 0.0f, pressed ? -1.0f : 0.0f));
  } else if (button == "Thumbstick Forward") {
    forwardHeld_[index] = pressed;
    send(hook::stickMessage(addressFor(letter), 0.0f, pressed ? 1.0f : 0.0f));
  } else {
    send(hook::buttonMessage(addressFor(letter), button, pressed));
    // Controllers whose stick click is /input/joystick/click know it as "joystick".
    if (hook::needsJoystickCompanion(button)) send(hook::joystickCompanionMessage(letter, pressed));
  }
}

void SteamVRHookService::sendRelease(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!initialized_ || text.size() < 4 || text.find(" OFF") == std::string::npos) return;
  const std::string letter = text[0] == 'L' ? "L" : "R";
  send(hook::releaseMessage(addressFor(letter)));
}

}  // namespace bridges
