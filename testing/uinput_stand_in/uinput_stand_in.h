#pragma once

#include <linux/uinput.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// One step of a program's conversation with /dev/uinput, as the stand-in saw it.
struct UinputStep {
  enum class Kind { Ioctl, Write };
  Kind kind = Kind::Ioctl;
  int connection = 0;               // which opening of the device, counted from 1 in open order
  unsigned long request = 0;        // the ioctl request
  unsigned long value = 0;          // the ioctl's integer argument (UI_SET_*BIT)
  uinput_setup setup{};             // UI_DEV_SETUP's argument
  uinput_abs_setup abs{};           // UI_ABS_SETUP's argument
  std::vector<input_event> events;  // a write, cut into whole events
  std::size_t strayBytes = 0;       // a write's bytes after its last whole event
};

// A stand-in for /dev/uinput built on umockdev: every process that runs with
// umockdev's preload library (LD_PRELOAD, see kPreload) and this object's
// UMOCKDEV_DIR (set in the environment, so children inherit it) sees a writable
// /dev/uinput whose ioctls and writes are answered and recorded here. One at a time
// per process.
class UinputStandIn {
 public:
  static constexpr const char* kPreload = "libumockdev-preload.so.0";

  struct Options {
    int refuseCreateWith = 0;  // when not 0, UI_DEV_CREATE fails with this errno
  };

  explicit UinputStandIn(Options options);
  UinputStandIn() : UinputStandIn(Options{}) {}
  ~UinputStandIn();
  UinputStandIn(const UinputStandIn&) = delete;
  UinputStandIn& operator=(const UinputStandIn&) = delete;

  // Empty when the stand-in is in place, else what is missing.
  std::string problem() const;

  std::vector<UinputStep> steps() const;
  // The integer arguments of every `request` on one connection (for UI_SET_*BIT).
  std::set<unsigned long> values(int connection, unsigned long request) const;
  // Every event written on one connection, in order.
  std::vector<input_event> events(int connection) const;
  // The ioctl requests of one connection, in order.
  std::vector<unsigned long> requests(int connection) const;
  // How many openings of the device made a request (an opening that only closes is not counted).
  int connections() const;

  // True once no descriptor of the device is open any more (after at least one request).
  bool allClosed() const;
  // Waits up to `timeout` for `done` to hold over the recorded steps.
  bool waitFor(const std::function<bool(const std::vector<UinputStep>&)>& done,
               std::chrono::milliseconds timeout) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// What a reader of the device would hold after `events`: the value of each
// (type, code) as of the last SYN_REPORT; events after it are not yet reported.
std::map<std::pair<int, int>, int> reportedState(const std::vector<input_event>& events);

// True when umockdev's preload library is loaded into this process.
bool uinputPreloadActive();

}  // namespace testsupport
