#pragma once

#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "platform/key_injector.h"

namespace testsupport {

// Stands in for the platform's key injector: keeps every event, in order, as a line
// "down W" / "up shift" (see outputs::keyLabel).
class RecordingKeyInjector : public platform::IKeyInjector {
 public:
  bool sendKey(std::uint16_t virtualKey, bool down) override;

  std::vector<std::string> events() const;
  // Returns the events so far and forgets them.
  std::vector<std::string> take();
  // Keys whose last event was a key-down, as labels, ascending by code.
  std::vector<std::string> keysDown() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<std::pair<std::uint16_t, bool>> raw_;
};

// Writes each event as one line "[KeyInjector] down W" to a stream, for programs
// whose key output a whole-program test reads.
class PrintingKeyInjector : public platform::IKeyInjector {
 public:
  explicit PrintingKeyInjector(std::ostream& out) : out_(out) {}
  bool sendKey(std::uint16_t virtualKey, bool down) override;

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace testsupport
