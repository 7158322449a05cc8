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

namespace {

OutputKind outputOf(const std::string& mode) {
  if (mode == kKeyboard) return OutputKind::Keyboard;
  if (mode == kXbox) return OutputKind::Pad;
  if (mode == kHook) return OutputKind::Hook;
  if (mode == kOsc) return OutputKind::Osc;
  if (mode == kOpenXr) return OutputKind::OpenXr;
  return OutputKind::None;
}

}  // namespace

void OutputService::initialize() {
  std::lock_guard lock(mutex_);
  logger_.info("OutputService: Initializing sub-output services...");
  if (backends_.hook) backends_.hook->initialize();
  if (backends_.keyboard) backends_.keyboard->init();
  if (backends_.openxr) backends_.openxr->initialize();
  appliedMode_ = std::string(core::choiceText(settings_.mode.load()));
  startModeBackends(appliedMode_);
}

void OutputService::applyOutputMode() {
  std::lock_guard lock(mutex_);
  const std::string mode = std::string(core::choiceText(settings_.mode.load()));
  if (!appliedMode_.empty() && appliedMode_ != mode) {
    // The previous output comes to rest before the new one takes over: jump and
    // crouch that followed it, any press still held on it, its stick.
    const OutputKind previous = outputOf(appliedMode_);
    for (const Action action : {Action::Jump, Action::Crouch}) {
      if (effectiveTarget(action, appliedMode_) == appliedMode_)
        route(action, appliedMode_, false);
      else if (heldOf(action).output == previous)
        releaseHeld(heldOf(action));
    }
    releaseHeld(openXrS2Held_);
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
  releaseHeld(jumpHeld_);
  releaseHeld(crouchHeld_);
  releaseHeld(openXrS2Held_);
  // The OpenXR writer's own clean-up leaves a released record behind.
  if (!appliedMode_.empty() && appliedMode_ != kOpenXr) centreStick(appliedMode_);
  if (backends_.pad) backends_.pad->shutdown();
  if (backends_.hook) backends_.hook->cleanup();
  if (backends_.keyboard) backends_.keyboard->reset();
  if (backends_.osc) backends_.osc->cleanup();
  if (backends_.openxr) backends_.openxr->cleanup();
  appliedMode_.clear();
}

void OutputService::updateStick(float x, float y) {
  std::lock_guard lock(mutex_);
  const std::string mode = std::string(core::choiceText(settings_.mode.load()));
  if (mode == kXbox) {
    if (backends_.pad) backends_.pad->update(x, y);
  } else if (mode == kHook) {
    if (!backends_.hook) return;
    const std::string hand = std::string(core::choiceText(settings_.target_controller.load()));
    if (!hookStickHand_.empty() && hookStickHand_ != hand) {
      // The driver would keep the old hand's stick until its lapse.
      backends_.hook->sendStick(0, 0, hookStickHand_);
      backends_.hook->sendRelease(handLetter(trim(hookStickHand_)) + " OFF");
    }
    hookStickHand_ = hand;
    backends_.hook->sendStick(x, y, hand);
  } else if (mode == kKeyboard) {
    if (backends_.keyboard) backends_.keyboard->update(x, y);
  } else if (mode == kOsc) {
    if (backends_.osc) backends_.osc->update(x, y);
  } else if (mode == kOpenXr) {
    updateOpenXr(x, y);
  }
}

void OutputService::updateOpenXr(float x, float y) {
  if (!backends_.openxr) return;
  const std::string letter = handLetter(trim(std::string(core::choiceText(settings_.target_controller.load()))));
  if (!openXrStickHand_.empty() && openXrStickHand_ != letter) {
    // The old hand's half would stay injected: centring clears the record, and with
    // it every button this output held.
    backends_.openxr->center();
    for (HeldPress* held : {&jumpHeld_, &crouchHeld_, &openXrS2Held_})
      if (held->output == OutputKind::OpenXr) *held = {};
  }
  openXrStickHand_ = letter;
  backends_.openxr->setStick(letter, x, -y);
  if (settings_.enable_openxr_s2 && y < -(settings_.openxr_threshold_2 / 100.0f)) {
    const ButtonSpec spec = resolveButtonSpec(settings_.openxr_button_2.get(),
                                              std::string(core::choiceText(settings_.target_controller.load())));
    const HeldPress wanted{OutputKind::OpenXr, handLetter(spec.hand), spec.button};
    if (openXrS2Held_.held() && openXrS2Held_ != wanted) release(openXrS2Held_);
    // Sent on every sample beyond the threshold, so the layer keeps the button down.
    press(wanted);
    openXrS2Held_ = wanted;
  } else {
    releaseHeld(openXrS2Held_);
  }
}

std::string OutputService::effectiveTarget(Action action, const std::string& mode) const {
  std::string target = std::string(
      core::choiceText((action == Action::Jump ? settings_.jump_output_mode : settings_.squat_output_mode).load()));
  return target == kFollow ? mode : target;
}

HeldPress OutputService::resolve(Action action, const std::string& target) const {
  const bool jump = action == Action::Jump;
  if (target == kXbox) return {OutputKind::Pad, "", (jump ? settings_.jump_button : settings_.squat_button).get()};
  if (target == kHook) {
    const ButtonSpec spec = resolveButtonSpec((jump ? settings_.jump_hook_button : settings_.squat_hook_button).get(),
                                              std::string(core::choiceText(settings_.target_controller.load())));
    return {OutputKind::Hook, spec.hand, spec.button};
  }
  if (target == kKeyboard) return {OutputKind::Keyboard, "", (jump ? settings_.jump_key : settings_.squat_key).get()};
  // VRChat's OSC input has no crouch.
  if (target == kOsc) return jump ? HeldPress{OutputKind::Osc, "", ""} : HeldPress{};
  if (target == kOpenXr)
    return {OutputKind::OpenXr, handLetter(trim(std::string(core::choiceText(settings_.target_controller.load())))),
            jump ? "A" : "B"};
  return {};
}

void OutputService::setJump(bool pressed) {
  std::lock_guard lock(mutex_);
  route(Action::Jump, effectiveTarget(Action::Jump, std::string(core::choiceText(settings_.mode.load()))), pressed);
}

void OutputService::setCrouch(bool pressed) {
  std::lock_guard lock(mutex_);
  route(Action::Crouch, effectiveTarget(Action::Crouch, std::string(core::choiceText(settings_.mode.load()))), pressed);
}

void OutputService::route(Action action, const std::string& target, bool pressed) {
  HeldPress& held = heldOf(action);
  const HeldPress wanted = resolve(action, target);
  if (pressed) {
    // A binding or target changed while held: the old press comes up first.
    if (held.held() && held != wanted) release(held);
    held = wanted;
    press(wanted);
  } else if (held.held()) {
    releaseHeld(held);
  } else {
    // Nothing held here: the current binding is released anyway, which lifts it
    // should it be down by other means.
    release(wanted);
  }
}

void OutputService::press(const HeldPress& p) {
  switch (p.output) {
    case OutputKind::Keyboard:
      if (backends_.keyboard) backends_.keyboard->pressKey(p.button);
      break;
    case OutputKind::Pad:
      if (backends_.pad) backends_.pad->setButton(p.button, true);
      break;
    case OutputKind::Osc:
      if (backends_.osc) backends_.osc->setJump(true);
      break;
    case OutputKind::Hook:
      if (backends_.hook) backends_.hook->buttonEvent(p.button, true, p.hand);
      break;
    case OutputKind::OpenXr:
      if (backends_.openxr) backends_.openxr->setButton(p.hand, p.button, true);
      break;
    case OutputKind::None:
      break;
  }
}

void OutputService::release(const HeldPress& p) {
  switch (p.output) {
    case OutputKind::Keyboard:
      if (backends_.keyboard) backends_.keyboard->releaseKey(p.button);
      break;
    case OutputKind::Pad:
      if (backends_.pad) backends_.pad->setButton(p.button, false);
      break;
    case OutputKind::Osc:
      if (backends_.osc) backends_.osc->setJump(false);
      break;
    case OutputKind::Hook:
      if (backends_.hook) backends_.hook->buttonEvent(p.button, false, p.hand);
      break;
    case OutputKind::OpenXr:
      if (backends_.openxr) backends_.openxr->setButton(p.hand, p.button, false);
      break;
    case OutputKind::None:
      break;
  }
}

void OutputService::releaseHeld(HeldPress& held) {
  if (!held.held()) return;
  release(held);
  held = {};
}

void OutputService::centerAll() {
  std::lock_guard lock(mutex_);
  logger_.info("OutputService: Centering all outputs...");
  const std::string mode = std::string(core::choiceText(settings_.mode.load()));
  route(Action::Jump, effectiveTarget(Action::Jump, mode), false);
  route(Action::Crouch, effectiveTarget(Action::Crouch, mode), false);
  releaseHeld(openXrS2Held_);
  centreStick(mode);
}

void OutputService::centreStick(const std::string& mode) {
  if (mode == kXbox) {
    if (backends_.pad) backends_.pad->update(0, 0);
  } else if (mode == kHook) {
    if (!backends_.hook) return;
    // The hand the stick went to, which may no longer be the configured one.
    const std::string hand =
        hookStickHand_.empty() ? std::string(core::choiceText(settings_.target_controller.load())) : hookStickHand_;
    backends_.hook->sendStick(0, 0, hand);
    backends_.hook->sendRelease(handLetter(trim(hand)) + " OFF");
    hookStickHand_.clear();
  } else if (mode == kKeyboard) {
    if (!backends_.keyboard) return;
    backends_.keyboard->update(0, 0);
    backends_.keyboard->reset();
  } else if (mode == kOsc) {
    if (backends_.osc) backends_.osc->update(0, 0);
  } else if (mode == kOpenXr) {
    if (backends_.openxr) backends_.openxr->center();
    openXrStickHand_.clear();
  }
}

void OutputService::keepAlive() {
  std::lock_guard lock(mutex_);
  if (backends_.hook) backends_.hook->keepAlive();
  if (backends_.openxr) backends_.openxr->keepAlive();
}

bool OutputService::openXrS2Held() const {
  std::lock_guard lock(mutex_);
  return openXrS2Held_.held();
}

HeldPress OutputService::heldJump() const {
  std::lock_guard lock(mutex_);
  return jumpHeld_;
}

HeldPress OutputService::heldCrouch() const {
  std::lock_guard lock(mutex_);
  return crouchHeld_;
}

}  // namespace outputs
