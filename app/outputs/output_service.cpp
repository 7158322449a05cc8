#include "app/outputs/output_service.h"

namespace outputs {

namespace {

constexpr const char* kKeyboard = "Keyboard";
constexpr const char* kXbox = "Xbox Controller (vJoy)";
constexpr const char* kHook = "SteamVR Hook";
constexpr const char* kOsc = "VRChat OSC";
constexpr const char* kOpenXr = "OpenXR API Layer";
constexpr const char* kFollow = "Follow Main Output";

std::string trim(const std::string& text) {
  constexpr const char* kBlank = " \t\r\n";
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

}  // namespace

ButtonSpec resolveButtonSpec(const std::string& text, const std::string& defaultHand) {
  ButtonSpec spec{defaultHand, text};
  const auto colon = text.find(':');
  if (colon != std::string::npos) spec = {text.substr(0, colon), text.substr(colon + 1)};
  return {trim(spec.hand), trim(spec.button)};
}

std::string handLetter(const std::string& hand) { return hand.empty() ? "" : hand.substr(0, 1); }

OutputService::OutputService(core::Settings& settings, core::Logger& logger, Backends backends)
    : settings_(settings), logger_(logger), backends_(backends) {}

void OutputService::initialize() {
  std::lock_guard lock(mutex_);
  logger_.info("OutputService: Initializing sub-output services...");
  if (backends_.hook) backends_.hook->initialize();
  if (backends_.keyboard) backends_.keyboard->init();
  if (backends_.openxr) backends_.openxr->initialize();
  appliedMode_ = settings_.mode.get();
  startModeBackends(appliedMode_);
}

void OutputService::applyOutputMode() {
  std::lock_guard lock(mutex_);
  const std::string mode = settings_.mode.get();
  if (!appliedMode_.empty() && appliedMode_ != mode) {
    // Lift what the previous output still holds: its jump and crouch (when they
    // follow the main output) and its stick.
    if (settings_.jump_output_mode.equals(kFollow)) routeJump(appliedMode_, false);
    if (settings_.squat_output_mode.equals(kFollow)) routeCrouch(appliedMode_, false);
    centreStick(appliedMode_);
  }
  startModeBackends(mode);
  appliedMode_ = mode;
}

void OutputService::startModeBackends(const std::string& mode) {
  if (backends_.pad) {
    if (mode == kXbox)
      backends_.pad->init();
    else
      backends_.pad->shutdown();
  }
  if (backends_.osc) {
    if (mode == kOsc)
      backends_.osc->init();
    else
      backends_.osc->cleanup();
  }
}

void OutputService::cleanup() {
  std::lock_guard lock(mutex_);
  if (backends_.pad) backends_.pad->shutdown();
  if (backends_.hook) backends_.hook->cleanup();
  if (backends_.keyboard) backends_.keyboard->reset();
  if (backends_.osc) backends_.osc->cleanup();
  if (backends_.openxr) backends_.openxr->cleanup();
  appliedMode_.clear();
}

void OutputService::updateStick(float x, float y) {
  std::lock_guard lock(mutex_);
  const std::string mode = settings_.mode.get();
  if (mode == kXbox) {
    if (backends_.pad) backends_.pad->update(x, y);
  } else if (mode == kHook) {
    if (backends_.hook) backends_.hook->sendStick(x, y, settings_.target_controller.get());
  } else if (mode == kKeyboard) {
    if (backends_.keyboard) backends_.keyboard->update(x, y);
  } else if (mode == kOsc) {
    if (backends_.osc) backends_.osc->update(x, y);
  } else if (mode == kOpenXr) {
    if (!backends_.openxr) return;
    backends_.openxr->setStick(handLetter(trim(settings_.target_controller.get())), x, -y);
    if (!settings_.enable_openxr_s2) {
      if (openXrS2Latch_) releaseOpenXrS2();
    } else if (y < -(settings_.openxr_threshold_2 / 100.0f)) {
      // Sent on every sample beyond the threshold, so the layer keeps the button down.
      const ButtonSpec spec = resolveButtonSpec(settings_.openxr_button_2.get(), settings_.target_controller.get());
      backends_.openxr->setButton(handLetter(spec.hand), spec.button, true);
      openXrS2Latch_ = true;
    } else if (openXrS2Latch_) {
      releaseOpenXrS2();
    }
  }
}

void OutputService::releaseOpenXrS2() {
  const ButtonSpec spec = resolveButtonSpec(settings_.openxr_button_2.get(), settings_.target_controller.get());
  backends_.openxr->setButton(handLetter(spec.hand), spec.button, false);
  openXrS2Latch_ = false;
}

std::string OutputService::effectiveTarget(const core::SharedText& actionMode, const std::string& mode) const {
  std::string target = actionMode.get();
  return target == kFollow ? mode : target;
}

void OutputService::setJump(bool pressed) {
  std::lock_guard lock(mutex_);
  routeJump(effectiveTarget(settings_.jump_output_mode, settings_.mode.get()), pressed);
}

void OutputService::setCrouch(bool pressed) {
  std::lock_guard lock(mutex_);
  routeCrouch(effectiveTarget(settings_.squat_output_mode, settings_.mode.get()), pressed);
}

void OutputService::routeJump(const std::string& target, bool pressed) {
  if (target == kXbox) {
    if (backends_.pad) backends_.pad->setButton(settings_.jump_button.get(), pressed);
  } else if (target == kHook) {
    if (!backends_.hook) return;
    const ButtonSpec spec = resolveButtonSpec(settings_.jump_hook_button.get(), settings_.target_controller.get());
    backends_.hook->buttonEvent(spec.button, pressed, spec.hand);
  } else if (target == kKeyboard) {
    if (!backends_.keyboard) return;
    if (pressed)
      backends_.keyboard->pressKey(settings_.jump_key.get());
    else
      backends_.keyboard->releaseKey(settings_.jump_key.get());
  } else if (target == kOsc) {
    if (backends_.osc) backends_.osc->setJump(pressed);
  } else if (target == kOpenXr) {
    if (backends_.openxr)
      backends_.openxr->setButton(handLetter(trim(settings_.target_controller.get())), "A", pressed);
  }
}

void OutputService::routeCrouch(const std::string& target, bool pressed) {
  if (target == kXbox) {
    if (backends_.pad) backends_.pad->setButton(settings_.squat_button.get(), pressed);
  } else if (target == kHook) {
    if (!backends_.hook) return;
    const ButtonSpec spec = resolveButtonSpec(settings_.squat_hook_button.get(), settings_.target_controller.get());
    backends_.hook->buttonEvent(spec.button, pressed, spec.hand);
  } else if (target == kKeyboard) {
    if (!backends_.keyboard) return;
    if (pressed)
      backends_.keyboard->pressKey(settings_.squat_key.get());
    else
      backends_.keyboard->releaseKey(settings_.squat_key.get());
  } else if (target == kOpenXr) {
    if (backends_.openxr)
      backends_.openxr->setButton(handLetter(trim(settings_.target_controller.get())), "B", pressed);
  }
  // VRChat's OSC input has no crouch.
}

void OutputService::centerAll() {
  std::lock_guard lock(mutex_);
  logger_.info("OutputService: Centering all outputs...");
  const std::string mode = settings_.mode.get();
  routeJump(effectiveTarget(settings_.jump_output_mode, mode), false);
  routeCrouch(effectiveTarget(settings_.squat_output_mode, mode), false);
  centreStick(mode);
}

void OutputService::centreStick(const std::string& mode) {
  if (mode == kXbox) {
    if (backends_.pad) backends_.pad->update(0, 0);
  } else if (mode == kHook) {
    if (!backends_.hook) return;
    const std::string hand = settings_.target_controller.get();
    backends_.hook->sendStick(0, 0, hand);
    backends_.hook->sendRelease(handLetter(trim(hand)) + " OFF");
  } else if (mode == kKeyboard) {
    if (!backends_.keyboard) return;
    backends_.keyboard->update(0, 0);
    backends_.keyboard->reset();
  } else if (mode == kOsc) {
    if (backends_.osc) backends_.osc->update(0, 0);
  } else if (mode == kOpenXr) {
    if (backends_.openxr) backends_.openxr->center();
  }
}

void OutputService::keepAlive() {
  std::lock_guard lock(mutex_);
  if (backends_.hook) backends_.hook->keepAlive();
  if (backends_.openxr) backends_.openxr->keepAlive();
}

bool OutputService::openXrS2Held() const {
  std::lock_guard lock(mutex_);
  return openXrS2Latch_;
}

}  // namespace outputs
