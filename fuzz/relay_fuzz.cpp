// The driver's relay fed random sequences of datagrams, clock steps, real reports and
// frames: it never crashes and forwards only finite values for finite real ones; once
// every address is released ("X OFF" and the button releases) or has been silent, and
// the lapse has passed, a few frames give the controllers back and nothing is
// overridden any more.
#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/relay.h"
#include "fuzz/fuzz_check.h"

// How long a button override holds without a datagram naming it: hook::kButtonStaleMs
// where the protocol has it, else 0 (a button holds until its release arrives). Checks
// of silent buttons wait for it.
namespace fallback {
inline constexpr std::uint64_t kButtonStaleMs = 0;
}
namespace hook {
using namespace fallback;  // found only when hook declares no kButtonStaleMs of its own
}

namespace {

constexpr std::uint64_t kButtonLapseMs = hook::kButtonStaleMs;

// The button entries, with the time where they take it (buttons that lapse).
template <class Relay>
bool filterBoolean(Relay& relay, vr::VRInputComponentHandle_t handle, bool real, std::uint64_t now) {
  if constexpr (requires { relay.filterBoolean(handle, real, now); })
    return relay.filterBoolean(handle, real, now);
  else
    return relay.filterBoolean(handle, real);
}
template <class Relay>
void pushButtons(Relay& relay, gaitrelay::UpdateBooleanFn update, std::uint64_t now) {
  if constexpr (requires { relay.pushButtons(nullptr, update, now); })
    relay.pushButtons(nullptr, update, now);
  else
    relay.pushButtons(nullptr, update);
}

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool more() const { return at < size; }
  std::uint8_t byte() { return at < size ? data[at++] : 0; }
  std::string text(std::size_t length) {
    length = std::min(length, size - at);
    std::string out(reinterpret_cast<const char*>(data) + at, length);
    at += length;
    return out;
  }
};

const char* const kAddresses[] = {"L", "R", "SN:A", "SN:B", "SN:C"};
const char* const kButtons[] = {"a", "b", "trigger", "joystick", "grip", "system"};
const char* const kClickPaths[] = {"/input/a/click",        "/input/b/click",    "/input/trigger/click",
                                   "/input/joystick/click", "/input/grip/click", "/input/system/click"};
const char* const kAxisPaths[] = {"/input/joystick/x",   "/input/joystick/y", "/input/thumbstick/x",
                                  "/input/thumbstick/y", "/input/trackpad/x", "/input/trackpad/y"};
const char* const kSerials[] = {"", "A", "B", "C"};

// What the frames pushed through the real entries.
std::vector<std::pair<vr::VRInputComponentHandle_t, float>> scalarPushes;
std::vector<vr::VRInputComponentHandle_t> booleanPushes;

vr::EVRInputError recordScalar(vr::IVRDriverInput*, vr::VRInputComponentHandle_t handle, float value, double) {
  scalarPushes.emplace_back(handle, value);
  return vr::EVRInputError{};
}
vr::EVRInputError recordBoolean(vr::IVRDriverInput*, vr::VRInputComponentHandle_t handle, bool, double) {
  booleanPushes.push_back(handle);
  return vr::EVRInputError{};
}

float realValue(std::uint8_t byte) { return static_cast<std::int8_t>(byte) / 100.0f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  gaitrelay::Relay relay;
  std::set<vr::VRInputComponentHandle_t> booleans, scalars;
  std::uint64_t now = 1000;
  // Every button a message named, for the final releases.
  std::set<std::pair<std::string, std::string>> serialButtons;
  std::set<std::pair<int, std::string>> handButtons;
  const bool released = (in.byte() & 1) != 0;

  auto apply = [&](const std::string& datagram) {
    const hook::Message message = hook::parse(datagram);
    if (message.kind == hook::Kind::SerialButton) serialButtons.emplace(message.serial, message.button);
    if (message.kind == hook::Kind::HandButton) handButtons.emplace(static_cast<int>(message.hand), message.button);
    relay.apply(message, now);
  };
  auto frame = [&] {
    scalarPushes.clear();
    booleanPushes.clear();
    relay.pushSticks(nullptr, recordScalar, now);
    pushButtons(relay, recordBoolean, now);
    for (const auto& [handle, value] : scalarPushes) FUZZ_CHECK(std::isfinite(value) && scalars.count(handle));
    for (const auto handle : booleanPushes) FUZZ_CHECK(booleans.count(handle));
  };

  for (int step = 0; in.more() && step < 256; ++step) {
    const std::uint8_t op = in.byte();
    const char* address = kAddresses[(op >> 3) % 5];
    switch (op & 7) {
      case 0:
        apply(in.text(in.byte()));
        break;
      case 1:
        apply(hook::stickMessage(address, realValue(in.byte()), realValue(in.byte())));
        break;
      case 2:
        apply(hook::buttonMessage(address, kButtons[in.byte() % 6], (op & 0x80) != 0));
        break;
      case 3:
        apply(op & 0x80 ? std::string("ALL OFF") : hook::releaseMessage(address));
        break;
      case 4:
        now += in.byte() * 4u;
        break;
      case 5: {
        const std::uint8_t which = in.byte();
        const vr::VRInputComponentHandle_t handle = 1 + which % 24;
        const std::int32_t role = (which >> 5) % 3;
        const std::string serial = kSerials[op >> 6];
        if (which & 0x10) {
          relay.registerBoolean(handle, kClickPaths[which % 6], role, serial);
          booleans.insert(handle);
        } else {
          relay.registerScalar(100 + handle, kAxisPaths[which % 6], role, serial);
          scalars.insert(100 + handle);
        }
        break;
      }
      case 6: {
        const std::uint8_t which = in.byte();
        const float real = realValue(in.byte());
        FUZZ_CHECK(std::isfinite(relay.filterScalar(100 + 1 + which % 24, real, now)));
        filterBoolean(relay, 1 + which % 24, (which & 0x80) != 0, now);
        break;
      }
      case 7:
        frame();
        break;
    }
  }

  if (released || kButtonLapseMs == 0) {
    for (const auto& [serial, button] : serialButtons) {
      hook::Message release{hook::Kind::SerialButton, hook::Hand::Left, serial, button, false, {}};
      relay.apply(release, now);
    }
    for (const auto& [hand, button] : handButtons) {
      hook::Message release{hook::Kind::HandButton, static_cast<hook::Hand>(hand), {}, button, false, {}};
      relay.apply(release, now);
    }
  }
  if (released) {
    for (const char* address : kAddresses) apply(hook::releaseMessage(address));
    apply("ALL OFF");
  }
  now += std::max(hook::kStickStaleMs, kButtonLapseMs);
  // A release is reported once by each override that held the component (its
  // serial's and its hand's), the real stick values once.
  for (int i = 0; i < 3; ++i) frame();
  FUZZ_CHECK(scalarPushes.empty() && booleanPushes.empty());
  for (const auto handle : scalars)
    for (const float real : {0.0f, 0.02f, -0.7f, 1.5f})
      FUZZ_CHECK(relay.filterScalar(handle, real, now) == std::clamp(real, -1.0f, 1.0f));
  for (const auto handle : booleans)
    for (const bool real : {false, true}) FUZZ_CHECK(filterBoolean(relay, handle, real, now) == real);
  return 0;
}
