#include "app/outputs/openxr_input_writer.h"

#include <cstring>
#include <system_error>
#include <thread>

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

OpenXRInputWriter::~OpenXRInputWriter() { cleanup(); }

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
  shared_->held[0] = shared_->held[1] = 0;
  ++shared_->mapping;
  platform::setLastStopRecord(shared_->memory.data(), xrshm::kInputRecordSize);
  out_ << "[OpenXR Out] Shared memory initialized for input injection." << std::endl;
  return true;
}

void OpenXRInputWriter::cleanup() {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  // The record outlives this process (and on POSIX the layer too): leave it released.
  xrshm::InputRecord* record = shared_->record();
  const std::uint32_t sequence = record->sequence;
  std::memset(record, 0, xrshm::kInputRecordSize);
  record->sequence = sequence + 1;
  shared_->held[0] = shared_->held[1] = 0;
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

void OpenXRInputWriter::setStick(const std::string& hand, float x, float y) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  xrshm::InputRecord* record = shared_->record();
  if (hand == "L") {
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

void OpenXRInputWriter::setButton(const std::string& hand, const std::string& button, bool pressed) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->memory.isOpen()) return;
  xrshm::InputRecord* record = shared_->record();
  const std::uint64_t bit = buttonBit(button);
  int side = hand == "L" ? 0 : 1;
  // A release goes to the hand that holds the bit, should the target have moved since the press.
  if (!pressed && !(shared_->held[side] & bit) && (shared_->held[1 - side] & bit)) side = 1 - side;
  std::uint64_t& mask = side == 0 ? record->leftButtons : record->rightButtons;
  std::uint64_t& confirm = side == 0 ? record->leftConfirm : record->rightConfirm;
  if (pressed) {
    mask |= bit;
    confirm |= bit;
    shared_->held[side] |= bit;
  } else {
    mask &= ~bit;
    confirm &= ~bit;
    shared_->held[side] &= ~bit;
  }
  ++record->sequence;
}

void OpenXRInputWriter::center() {
  std::uint64_t mapping = 0;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->memory.isOpen()) return;
    xrshm::InputRecord* record = shared_->record();
    // Both sticks stay injected at zero, so the game sees only the controllers' own
    // sticks, and every injected button is released.
    record->leftX = record->leftY = record->rightX = record->rightY = 0.0f;
    record->leftActive = record->rightActive = 1;
    record->leftButtons = record->rightButtons = record->leftConfirm = record->rightConfirm = 0;
    shared_->held[0] = shared_->held[1] = 0;
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
  shared->held[0] = shared->held[1] = 0;
  record->sequence = 1;
}

}  // namespace outputs
