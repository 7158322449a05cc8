// The OSC decoder: reads only inside the datagram, reports as messages only what
// starts with '/' (or '#' without being a bundle), and every view it hands out lies
// inside the datagram.
#include <cstring>
#include <vector>

#include "app/tracking/osc_decoder.h"
#include "fuzz/fuzz_check.h"

namespace {

class CheckingSink : public tracking::osc::PacketSink {
 public:
  explicit CheckingSink(std::span<const std::byte> packet) : packet_(packet) {}

  void message(std::string_view address, std::span<const float> floats) override {
    FUZZ_CHECK(!address.empty() && (address.front() == '/' || address.front() == '#'));
    FUZZ_CHECK(inside(address.data(), address.size()));
    FUZZ_CHECK(floats.size() <= packet_.size() / 4);
    for (float value : floats) (void)value;  // every float is readable
  }
  void notOsc(std::span<const std::byte> part) override {
    FUZZ_CHECK(inside(part.data(), part.size()));
    if (!part.empty()) FUZZ_CHECK(part.front() != std::byte{'/'} && part.front() != std::byte{'#'});
  }

 private:
  bool inside(const void* data, std::size_t size) const {
    const auto* begin = reinterpret_cast<const char*>(packet_.data());
    const auto* first = static_cast<const char*>(data);
    return first >= begin && first + size <= begin + packet_.size();
  }
  std::span<const std::byte> packet_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::byte> packet(size);
  if (size > 0) std::memcpy(packet.data(), data, size);
  CheckingSink sink(packet);
  tracking::osc::decodePacket(packet, sink);
  return 0;
}
