// SteamVR's path registry (openvrpaths.vrpath), fed any text: the runtime folder read
// from it is a non-empty string without a NUL, and it is the first "runtime" entry of
// the JSON document the text holds.
#include <nlohmann/json.hpp>
#include <string_view>

#include "app/tracking/openvr_runtime.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> folder = tracking::runtimeFolderFromPathRegistry(text);
  if (!folder) return 0;
  FUZZ_CHECK(!folder->empty() && folder->find('\0') == std::string::npos);
  const auto document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  FUZZ_CHECK(!document.is_discarded() && document.at("runtime").at(0).get<std::string>() == *folder);
  return 0;
}
