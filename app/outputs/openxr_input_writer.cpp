#include "app/outputs/openxr_input_writer.h"

#include <cstring>
#include <system_error>
#include <thread>

#include "platform/hot_path.h"
#include "platform/last_stop.h"

namespace outputs {
namespace {

std::uint64_t buttonBit(const std::string& name) {
  if (name == "A" || name == "X") return xrshm::kButtonAX;
  if (name == "B" || name == "Y") return xrshm::kButtonBY;
  if (name == "Grip") return xrshm::kButtonGrip;
  if (name == "Trigger") return xrshm::kButtonTrigger;
  if (name == "Thumbstick Click") return xrshm::kButtonThumbstickClick;
  return 0;
}

// The system's error number from the seam's "<call> failed (error N)" text; the
// whole text when it carries none.
std::string errorCode(const std::string& error) {
  const auto open = error.rfind(' ');
  if (open != std::string::npos && error.back() == ')' && open + 1 < error.size() - 1) {
    const std::string digits = error.substr(open + 1, error.size() - open - 2);
    if (digits.find_first_not_of("0123456789") == std::string::npos) return digits;
  }
  return error;
}

bool isMapFailure(const std::string& error) {
  return error.rfind("MapViewOfFile", 0) == 0 || error.rfind("mmap", 0) == 0;
}

}  // namespace

OpenXRInputWriter::OpenXRInputWriter(std::ostream& out, std::ostream& err, std::shared_ptr<core::WaitClock> clock,
                                     std::string sectionName)
    : out_(out), err_(err), clock_(std::move(clock)), sectionName_(std::move(sectionName)) {}

OpenXRInputWriter::~OpenXRInputWriter() { stop(); }

bool OpenXRInputWriter::open() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->memory.isOpen()) return true;
  if (!shared_->memory.createOrAttach(sectionName_, xrshm::kInputRecordSize)) {
    const std::string& error = shared_->memory.error();
    if (isMapFailure(error))
      err_ << "[OpenXR Out] MapViewOfFile failed (Error: " << errorCode(error) << ")." << std::endl;
    else
      err_ << "[OpenXR Out] Failed to create file mapping (Error: " << errorCode(error) << ")." << std::endl;
    return false;
  }
  // Also wipes what a running layer or an earlier run left there.
  std::memset(shared_->memory.data(), 0, xrshm::kInputRecordSize);
  shared_->held = {};
  ++shared_->mapping;
  platform::setLastStopRecord(shared_->memory.data(), xrshm::kInputRecordSize);
  out_ << "[OpenXR Out] Shared memory initialized for input injection." << std::endl;
  return true;
}

void OpenXRInputWriter::stop() {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  // The record outlives this process (and on POSIX the layer too): leave it released.
  xrshm::InputRecord* record = shared_->record();
  const std::uint32_t sequence = record->sequence;
  std::memset(record, 0, xrshm::kInputRecordSize);
  record->sequence = sequence + 1;
  shared_->held = {};
  stickHand_.reset();
  platform::setLastStopRecord(nullptr, 0);
  shared_->memory.close();
}

void OpenXRInputWriter::keepAlive() {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  xrshm::InputRecord* record = shared_->record();
  // The layer ignores a record whose sequence stands still, so a held state is re-stamped.
  if (record->leftActive || record->rightActive || record->leftButtons || record->rightButtons || record->leftConfirm ||
      record->rightConfirm)
    ++record->sequence;
}

bool OpenXRInputWriter::isMapped() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->memory.isOpen();
}

void OpenXRInputWriter::configure(const OutputConfig& config) {
  std::lock_guard lock(shared_->mutex);
  config_ = config.openxr;
}

STRIVO_HOT_PATH void OpenXRInputWriter::stick(float x, float y) {
  std::unique_lock lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  const core::Hand hand = config_.hand;
  // Centring clears the record, and with it every button this output held.
  if (stickHand_ && *stickHand_ != hand) {
    lock.unlock();
    centre();
    lock.lock();
    if (!shared_->memory.isOpen()) return;
  }
  stickHand_ = hand;
  xrshm::InputRecord* record = shared_->record();
  if (core::handLetter(hand) == 'L') {
    record->leftX = x;
    record->leftY = y;
    record->leftActive = 1;
  } else {
    record->rightX = x;
    record->rightY = y;
    record->rightActive = 1;
  }
  ++record->sequence;
}

OpenXRInputWriter::Bit OpenXRInputWriter::bindingOf(Action action) const {
  const auto side = [](core::Hand hand) { return core::handLetter(hand) == 'L' ? 0 : 1; };
  switch (action) {
    case Action::Jump:
      return {side(config_.hand), buttonBit("A")};
    case Action::Crouch:
      return {side(config_.hand), buttonBit("B")};
    case Action::SecondStage:
      break;
  }
  return {side(config_.second.hand), buttonBit(config_.second.button)};
}

void OpenXRInputWriter::writeBit(const Bit& bit, bool pressed) {
  xrshm::InputRecord* record = shared_->record();
  std::uint64_t& mask = bit.side == 0 ? record->leftButtons : record->rightButtons;
  std::uint64_t& confirm = bit.side == 0 ? record->leftConfirm : record->rightConfirm;
  if (pressed) {
    mask |= bit.bit;
    confirm |= bit.bit;
    return;
  }
  // Another action holding the same bit keeps it down.
  for (const auto& held : shared_->held)
    if (held == bit) return;
  mask &= ~bit.bit;
  confirm &= ~bit.bit;
}

void OpenXRInputWriter::press(Action action) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  const Bit wanted = bindingOf(action);
  std::optional<Bit>& held = shared_->held[slotOf(action)];
  if (held && *held != wanted) {
    const Bit previous = *held;
    held.reset();
    writeBit(previous, false);
  }
  held = wanted;
  writeBit(wanted, true);
  ++shared_->record()->sequence;
}

void OpenXRInputWriter::release(Action action) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  std::optional<Bit>& held = shared_->held[slotOf(action)];
  // What the press set, should the hand or button have changed since; else the current binding.
  const Bit bit = held.value_or(bindingOf(action));
  held.reset();
  writeBit(bit, false);
  ++shared_->record()->sequence;
}

void OpenXRInputWriter::centre() {
  std::uint64_t mapping = 0;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->memory.isOpen()) return;
    stickHand_.reset();
    xrshm::InputRecord* record = shared_->record();
    // Both sticks stay injected at zero, so the game sees only the controllers' own
    // sticks, and every injected button is released.
    record->leftX = record->leftY = record->rightX = record->rightY = 0.0f;
    record->leftActive = record->rightActive = 1;
    record->leftButtons = record->rightButtons = record->leftConfirm = record->rightConfirm = 0;
    shared_->held = {};
    ++record->sequence;
    mapping = shared_->mapping;
  }
  try {
    std::thread(&OpenXRInputWriter::releaseLater, shared_, clock_, mapping, clock_->now() + kReleaseDelay).detach();
  } catch (const std::system_error& error) {
    // The centred record already injects nothing but zeros; it simply stays that way.
    err_ << "[OpenXR Out] Could not start the delayed release: " << error.what() << std::endl;
  }
}

void OpenXRInputWriter::releaseLater(std::shared_ptr<Shared> shared, std::shared_ptr<core::WaitClock> clock,
                                     std::uint64_t mapping, core::WaitClock::TimePoint deadline) {
  clock->sleepUntil(deadline, {});
  std::lock_guard lock(shared->mutex);
  if (!shared->memory.isOpen() || shared->mapping != mapping) return;
  xrshm::InputRecord* record = shared->record();
  // A new left stick value since the centring keeps the injection running.
  if (record->leftX != 0.0f || record->leftY != 0.0f) return;
  std::memset(record, 0, xrshm::kInputRecordSize);
  shared->held = {};
  record->sequence = 1;
}

}  // namespace outputs
