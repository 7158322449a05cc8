// The phone tracker datagram decoder: reads only inside the datagram, classifies by
// size as documented, and a decoded rotation or acceleration re-encodes to the same bytes.
#include <cstring>
#include <vector>

#include "app/tracking/owotrack_protocol.h"
#include "fuzz/fuzz_check.h"

namespace owo = tracking::owotrack;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so a read past the end is caught by AddressSanitizer.
  std::vector<std::byte> datagram(size);
  if (size > 0) std::memcpy(datagram.data(), data, size);
  const owo::Packet packet = owo::decode(datagram);

  if (size < 4) {
    FUZZ_CHECK(packet.kind == owo::Packet::TooShort);
    return 0;
  }
  FUZZ_CHECK(packet.type == owo::readU32(datagram, 0));
  std::size_t floats = 0;
  switch (packet.kind) {
    case owo::Packet::Rotation:
      FUZZ_CHECK(size >= owo::kRotationSize);
      floats = 4;
      break;
    case owo::Packet::Acceleration:
      FUZZ_CHECK(size >= owo::kAccelerationSize);
      floats = 3;
      break;
    case owo::Packet::Tap:
    case owo::Packet::UserAction:
      FUZZ_CHECK(size >= owo::kEventSize);
      FUZZ_CHECK(packet.code == data[owo::kHeaderSize]);
      break;
    case owo::Packet::TooShort:
      FUZZ_CHECK(false);
      break;
    default:
      break;
  }
  if (floats > 0) {
    std::vector<std::byte> encoded(owo::kHeaderSize + 4 * floats);
    owo::writeHeader(encoded, packet.type, 0);
    for (std::size_t i = 0; i < floats; ++i) owo::writeF32(encoded, owo::kHeaderSize + 4 * i, packet.values[i]);
    FUZZ_CHECK(std::memcmp(encoded.data(), data, 4) == 0);
    FUZZ_CHECK(std::memcmp(encoded.data() + owo::kHeaderSize, data + owo::kHeaderSize, 4 * floats) == 0);
  }
  return 0;
}
