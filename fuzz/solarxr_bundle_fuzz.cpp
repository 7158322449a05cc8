// The SolarXR message decoder: reads only inside the message, delivers nothing from a
// message it rejects, and every tracker name it hands out lies inside the message (or
// is the name for trackers without one).
#include <cmath>
#include <cstring>
#include <vector>

#include "app/tracking/solarxr_messages.h"
#include "fuzz/fuzz_check.h"

namespace solarxr = tracking::solarxr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> message(data, data + size);
  const auto* begin = reinterpret_cast<const char*>(message.data());
  int delivered = 0;
  const bool accepted = solarxr::decodeBundle(message, [&](const solarxr::TrackerSample& sample) {
    ++delivered;
    const bool inMessage = sample.name.data() >= begin && sample.name.data() + sample.name.size() <= begin + size;
    FUZZ_CHECK(inMessage || sample.name == solarxr::kUnnamedTracker);
    if (sample.hasRotation)
      for (float value : sample.rotation) (void)value;
  });
  if (!accepted) FUZZ_CHECK(delivered == 0);
  return 0;
}
