// The update server's reply body, fed any bytes: it never throws or crashes, finds an
// update only for a version above this build's and only with an https download
// address, and says what it found either way.
#include <sstream>
#include <string_view>

#include "app/system/update_check.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  std::ostringstream out, err;
  const auto found = services::readUpdateReply(body, "updates.example.test", out, err);
  if (found) {
    FUZZ_CHECK(services::versionNumber(found->version) > services::versionNumber(services::kCurrentVersion));
    FUZZ_CHECK(found->downloadUrl.rfind("https://", 0) == 0);
    FUZZ_CHECK(out.str().find("[Update] New version available: ") != std::string::npos);
  } else {
    FUZZ_CHECK(out.str().find("[Update] Already up to date") != std::string::npos || !err.str().empty());
  }
  return 0;
}
