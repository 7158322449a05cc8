// The bridge datagram parser: accepts exactly the datagrams of at least 16 bytes that
// start with the magic, leaves the report alone otherwise, and an accepted report
// re-encodes to the datagram's first 16 bytes.
#include <cstring>
#include <vector>

#include "common/pad/bridge_datagram.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::byte> datagram(size);
  if (size > 0) std::memcpy(datagram.data(), data, size);

  pad::XusbReport sentinel;
  sentinel.wButtons = 0xBEEF;
  sentinel.sThumbLX = -1234;
  pad::XusbReport report = sentinel;
  const bool accepted = pad::parseBridgeDatagram(datagram, report);

  const bool wellFormed = size >= pad::kBridgeDatagramBytes && std::memcmp(data, "SVBR", 4) == 0;
  FUZZ_CHECK(accepted == wellFormed);
  if (!accepted) {
    FUZZ_CHECK(report == sentinel);
    return 0;
  }
  const auto encoded = pad::encodeBridgeDatagram(report);
  FUZZ_CHECK(std::memcmp(encoded.data(), data, pad::kBridgeDatagramBytes) == 0);
  return 0;
}
