// The dotted-quad address parser, fed any text: it accepts only four parts below 256
// (as "%u" reads them: blanks and a sign may lead) with nothing after them, and an accepted address prints as text that
// parses back to the same address.
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/udp_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::Endpoint parsed{0x01020304u, 1};
  if (!platform::Endpoint::parse(text, 4445, parsed)) {
    FUZZ_CHECK(parsed.address == 0x01020304u && parsed.port == 1);  // untouched on failure
    return 0;
  }
  FUZZ_CHECK(parsed.port == 4445);
  int dots = 0;
  for (char c : text.substr(0, text.find('\0'))) {
    if (c == '.') ++dots;
    const bool allowed =
        (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == ' ' || (c >= '\t' && c <= '\r');
    FUZZ_CHECK(allowed);
  }
  FUZZ_CHECK(dots == 3);
  platform::Endpoint again;
  FUZZ_CHECK(platform::Endpoint::parse(parsed.addressText(), 9000, again));
  FUZZ_CHECK(again.address == parsed.address && again.port == 9000);
  return 0;
}
