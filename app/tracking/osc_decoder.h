#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// Reads the OSC 1.0 subset that SlimeVR sends: messages and (nested) bundles,
// float arguments ('f') and skipped 32-bit integers ('i'). Everything is read
// strictly inside the given bytes; what does not fit is dropped or cut short.
namespace tracking::osc {

// Bundles nested deeper than this are ignored with everything inside them.
inline constexpr int kMaxBundleDepth = 16;

class PacketSink {
 public:
  virtual ~PacketSink() = default;
  // One decoded message, also one without float arguments. `floats` holds the 'f'
  // arguments in order. Both views are valid only during the call.
  virtual void message(std::string_view address, std::span<const float> floats) = 0;
  // A packet or bundle element whose first byte is neither '/' nor '#'.
  virtual void notOsc(std::span<const std::byte> packet) = 0;
};

// Decodes one datagram (a message or a bundle) and reports what it holds, in order.
void decodePacket(std::span<const std::byte> packet, PacketSink& sink);

}  // namespace tracking::osc
