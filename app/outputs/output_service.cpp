#include "app/outputs/output_service.h"

#include "platform/hot_path.h"

namespace outputs {
namespace {

using core::OutputMode;

// Outputs that run whatever is selected: they cost nothing while unused, and the
// hook and the layer's record are ready the moment a target names them. The pad and
// VRChat OSC run only while the main output or a target uses them.
constexpr std::array<bool, kOutputModeCount> kAlwaysRuns = [] {
  std::array<bool, kOutputModeCount> runs{};
  for (const OutputMode mode : {OutputMode::Keyboard, OutputMode::SteamVrHook, OutputMode::OpenXrLayer})
    runs[slotOf(mode)] = true;
  return runs;
}();

constexpr std::array<Action, 2> kRoutedActions{Action::Jump, Action::Crouch};

}  // namespace

OutputService::OutputService(core::Logger& logger, OutputSet outputs, ConfigSource config)
    : logger_(logger), outputs_(outputs), source_(std::move(config)) {}

bool OutputService::wanted(OutputMode mode) const { return kAlwaysRuns[slotOf(mode)] || usesOutput(config_, mode); }

void OutputService::initialize() {
  std::lock_guard lock(mutex_);
  logger_.info("OutputService: Initializing sub-output services...");
  if (const OutputConfig* next = source_ ? source_() : nullptr) config_ = *next;
  for (IOutput* output : outputs_)
    if (output) output->configure(config_);
  running_ = true;
  startWanted();
}

void OutputService::startWanted() {
  for (const auto& entry : core::ChoiceNames<OutputMode>::table) {
    const std::size_t slot = slotOf(entry.value);
    if (started_[slot] || !outputs_[slot] || !wanted(entry.value)) continue;
    outputs_[slot]->start();
    started_[slot] = true;
  }
}

void OutputService::cleanup() {
  std::lock_guard lock(mutex_);
  for (std::size_t action = 0; action < kActionCount; ++action) releaseHeld(static_cast<Action>(action));
  for (std::size_t slot = 0; slot < kOutputModeCount; ++slot) {
    if (started_[slot]) outputs_[slot]->stop();
    started_[slot] = false;
  }
  running_ = false;
}

void OutputService::applyOutputMode() {
  std::lock_guard lock(mutex_);
  refresh();
}

STRIVO_HOT_PATH void OutputService::refresh() {
  if (!source_) return;
  const OutputConfig* next = source_();
  if (next && *next != config_) apply(*next);
}

void OutputService::apply(const OutputConfig& next) {
  const OutputMode previous = config_.mode;
  config_ = next;
  for (IOutput* output : outputs_)
    if (output) output->configure(config_);
  if (!running_) return;
  // A press whose output no longer serves it comes up there.
  for (const Action action : kRoutedActions) {
    const core::ActionTarget target = action == Action::Jump ? config_.jumpTarget : config_.crouchTarget;
    if (holder_[slotOf(action)] && *holder_[slotOf(action)] != core::targetOutput(target, config_.mode))
      releaseHeld(action);
  }
  const auto& secondHolder = holder_[slotOf(Action::SecondStage)];
  if (secondHolder && (*secondHolder != config_.mode || !config_.secondStage[slotOf(config_.mode)].enabled))
    releaseHeld(Action::SecondStage);
  if (previous != config_.mode && started_[slotOf(previous)] && wanted(previous)) {
    // The old main output comes to rest before the new one takes over; what it still
    // held is lifted with it. One no longer in use is stopped below, which rests it too.
    for (auto& holder : holder_)
      if (holder == previous) holder.reset();
    output(previous)->centre();
  }
  for (std::size_t slot = 0; slot < kOutputModeCount; ++slot) {
    if (!started_[slot] || wanted(static_cast<OutputMode>(slot))) continue;
    for (auto& holder : holder_)
      if (holder && slotOf(*holder) == slot) holder.reset();
    outputs_[slot]->stop();
    started_[slot] = false;
  }
  startWanted();
}

STRIVO_HOT_PATH void OutputService::updateStick(float x, float y) {
  std::lock_guard lock(mutex_);
  refresh();
  const float forward = -y;  // the engine's forward is negative, the outputs' positive
  if (IOutput* main = output(config_.mode)) main->stick(x, forward);
  followSecondStage(forward);
}

STRIVO_HOT_PATH void OutputService::followSecondStage(float forward) {
  const SecondStageConfig& stage = config_.secondStage[slotOf(config_.mode)];
  // Pressed on every sample beyond the threshold, so a changed binding follows at once.
  if (stage.enabled && forward > stage.threshold)
    pressOn(Action::SecondStage, config_.mode);
  else
    releaseHeld(Action::SecondStage);
}

void OutputService::setJump(bool pressed) {
  std::lock_guard lock(mutex_);
  refresh();
  route(Action::Jump, pressed);
}

void OutputService::setCrouch(bool pressed) {
  std::lock_guard lock(mutex_);
  refresh();
  route(Action::Crouch, pressed);
}

void OutputService::route(Action action, bool pressed) {
  const OutputMode target =
      core::targetOutput(action == Action::Jump ? config_.jumpTarget : config_.crouchTarget, config_.mode);
  if (pressed) {
    pressOn(action, target);
  } else if (holder_[slotOf(action)]) {
    releaseHeld(action);
  } else if (IOutput* out = output(target)) {
    out->release(action);  // lifts the current binding should it be down by other means
  }
}

void OutputService::pressOn(Action action, OutputMode mode) {
  auto& holder = holder_[slotOf(action)];
  // A target changed while held: the old press comes up first.
  if (holder && *holder != mode) releaseHeld(action);
  IOutput* out = output(mode);
  if (!out) return;
  out->press(action);
  holder = mode;
}

STRIVO_HOT_PATH void OutputService::releaseHeld(Action action) {
  auto& holder = holder_[slotOf(action)];
  if (!holder) return;
  if (IOutput* out = output(*holder)) out->release(action);
  holder.reset();
}

void OutputService::centerAll() {
  std::lock_guard lock(mutex_);
  refresh();
  logger_.info("OutputService: Centering all outputs...");
  for (const Action action : kRoutedActions) route(action, false);
  releaseHeld(Action::SecondStage);
  if (IOutput* main = output(config_.mode)) main->centre();
}

void OutputService::keepAlive() {
  std::lock_guard lock(mutex_);
  refresh();
  for (std::size_t slot = 0; slot < kOutputModeCount; ++slot)
    if (started_[slot]) outputs_[slot]->keepAlive();
}

std::optional<OutputMode> OutputService::holderOf(Action action) const {
  std::lock_guard lock(mutex_);
  return holder_[slotOf(action)];
}

}  // namespace outputs
