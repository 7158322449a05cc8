#include "testing/recording_key_injector.h"

#include <map>
#include <ostream>

#include "app/outputs/key_names.h"

namespace testsupport {

namespace {

std::string eventLine(std::uint16_t virtualKey, bool down) {
  return std::string(down ? "down " : "up ") + outputs::keyLabel(virtualKey);
}

}  // namespace

bool RecordingKeyInjector::sendKey(std::uint16_t virtualKey, bool down) {
  std::lock_guard lock(mutex_);
  events_.push_back(eventLine(virtualKey, down));
  raw_.emplace_back(virtualKey, down);
  return true;
}

std::vector<std::string> RecordingKeyInjector::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> RecordingKeyInjector::take() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> taken;
  taken.swap(events_);
  return taken;
}

std::vector<std::string> RecordingKeyInjector::keysDown() const {
  std::lock_guard lock(mutex_);
  std::map<std::uint16_t, bool> state;
  for (const auto& [code, down] : raw_) state[code] = down;
  std::vector<std::string> down;
  for (const auto& [code, isDown] : state)
    if (isDown) down.push_back(outputs::keyLabel(code));
  return down;
}

bool PrintingKeyInjector::sendKey(std::uint16_t virtualKey, bool down) {
  std::lock_guard lock(mutex_);
  out_ << "[KeyInjector] " << eventLine(virtualKey, down) << std::endl;
  return true;
}

}  // namespace testsupport
