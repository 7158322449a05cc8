// The SolarXR message decoder: reads only inside the message, delivers nothing from a
// message it rejects, and every tracker name it hands out is valid UTF-8 of bounded
// length: the message's own bytes, a repaired copy of them, or the name for trackers
// without one.
#include <cmath>
#include <cstring>
#include <vector>

#include "app/core/utf8_text.h"
#include "app/tracking/solarxr_messages.h"
#include "fuzz/fuzz_check.h"

namespace solarxr = tracking::solarxr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> message(data, data + size);
  int delivered = 0;
  const bool accepted = solarxr::decodeBundle(message, [&](const solarxr::TrackerSample& sample) {
    ++delivered;
    FUZZ_CHECK(sample.name.size() <= solarxr::kMaxTrackerNameBytes && core::isValidUtf8(sample.name));
    if (sample.hasRotation)
      for (float value : sample.rotation) (void)value;
  });
  if (!accepted) FUZZ_CHECK(delivered == 0);
  return 0;
}
