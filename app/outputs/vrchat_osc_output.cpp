#include "app/outputs/vrchat_osc_output.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "platform/hot_path.h"
#include "platform/last_stop.h"

namespace outputs {
namespace {

constexpr std::string_view kHorizontal = "/input/Horizontal";
constexpr std::string_view kVertical = "/input/Vertical";
constexpr std::string_view kJump = "/input/Jump";

// Room for the longest of the three messages ("/input/Horizontal": 20 + 4 + 4 bytes).
constexpr std::size_t kMaxMessage = 32;

struct Message {
  std::array<std::byte, kMaxMessage> bytes{};
  std::size_t size = 0;
  std::span<const std::byte> view() const { return {bytes.data(), size}; }
};

// One OSC message with a single 4-byte argument: the address padded with zeros to
// a multiple of 4 (at least one zero), the type tag ("," + tag, two zeros), then
// the argument big-endian. The addresses are this file's three constants.
STRIVO_HOT_PATH Message message(std::string_view address, char tag, std::uint32_t argument) {
  Message m;
  for (char c : address) m.bytes[m.size++] = static_cast<std::byte>(c);
  do m.bytes[m.size++] = std::byte{0};
  while (m.size % 4 != 0);
  for (std::byte b : {std::byte{','}, static_cast<std::byte>(tag), std::byte{0}, std::byte{0}}) m.bytes[m.size++] = b;
  for (int shift = 24; shift >= 0; shift -= 8) m.bytes[m.size++] = static_cast<std::byte>((argument >> shift) & 0xFF);
  return m;
}

// Into -1..1; a value that is not a number becomes 0, the axis at rest. Adding +0
// turns a negative zero (the negation of a resting y) into a plain 0.
float axis(float value) { return std::isnan(value) ? 0.0f : std::clamp(value, -1.0f, 1.0f) + 0.0f; }

}  // namespace

VRChatOscOutput::VRChatOscOutput(core::Logger& logger, Resolver resolve)
    : logger_(logger), resolve_(std::move(resolve)) {}

VRChatOscOutput::~VRChatOscOutput() {
  // At process exit the avatar must not be left walking; the clean-up line is only
  // written when something was still open.
  if (socket_.isOpen()) stop();
}

void VRChatOscOutput::start() {
  if (initialized_) return;
  const std::string& address = config_.address;
  const int port = config_.port;
  // A destination that cannot be reached is said plainly and nothing is sent,
  // rather than sending to some other address.
  if (port < 1 || port > 65535) {
    logger_.error("VRChat OSC: Port " + std::to_string(port) + " is not a UDP port (1-65535); nothing will be sent");
    return;
  }
  platform::Endpoint destination;
  if (!resolve_ || !resolve_(address, static_cast<std::uint16_t>(port), destination)) {
    logger_.error("VRChat OSC: Cannot resolve address \"" + address + "\" to an IPv4 address; nothing will be sent");
    return;
  }
  if (!socket_.open()) {
    logger_.error("VRChat OSC: Failed to create UDP socket");
    return;
  }
  destination_ = destination;
  initialized_ = true;
  // What a crash sends in its last stop while this output runs.
  std::vector<std::string> rest;
  for (const Message& m : {message(kHorizontal, 'f', 0), message(kVertical, 'f', 0), message(kJump, 'i', 0)})
    rest.emplace_back(reinterpret_cast<const char*>(m.bytes.data()), m.size);
  platform::setLastStopDatagrams(platform::LastStopSlot::VRChatOsc, destination_, rest);
  std::string line = "VRChat OSC Output initialized (" + address + ":" + std::to_string(port) + ")";
  if (destination.addressText() != address) line += " -> " + destination.addressText();
  logger_.info(line);
}

STRIVO_HOT_PATH void VRChatOscOutput::stick(float x, float y) {
  if (!initialized_) return;
  sendFloat(kHorizontal, axis(x));
  sendFloat(kVertical, axis(y));
}

void VRChatOscOutput::press(Action action) {
  if (action == Action::Jump) setJump(true);
}

void VRChatOscOutput::release(Action action) {
  if (action == Action::Jump) setJump(false);
}

void VRChatOscOutput::centre() {
  setJump(false);
  stick(0, 0);
}

void VRChatOscOutput::setJump(bool pressed) {
  if (!initialized_ || pressed == lastJump_) return;
  sendInt(kJump, pressed ? 1 : 0);
  lastJump_ = pressed;
}

void VRChatOscOutput::stop() {
  if (socket_.isOpen()) {
    if (initialized_) {
      sendFloat(kHorizontal, 0.0f);
      sendFloat(kVertical, 0.0f);
      sendInt(kJump, 0);
    }
    socket_.close();
  }
  platform::setLastStopDatagrams(platform::LastStopSlot::VRChatOsc, destination_, {});
  // VRChat was just told the jump is released; remembering that lets the next press through.
  lastJump_ = false;
  initialized_ = false;
  logger_.info("VRChat OSC Output cleaned up");
}

STRIVO_HOT_PATH void VRChatOscOutput::sendFloat(std::string_view address, float value) {
  socket_.sendTo(message(address, 'f', std::bit_cast<std::uint32_t>(value)).view(), destination_);
}

void VRChatOscOutput::sendInt(std::string_view address, std::int32_t value) {
  socket_.sendTo(message(address, 'i', static_cast<std::uint32_t>(value)).view(), destination_);
}

}  // namespace outputs
