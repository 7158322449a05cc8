// The settings loader, fed any bytes as the text of "usersettings.json" (in memory, so
// a run makes thousands of inputs a second): it never crashes, what loads serialises
// without error, and the serialised text loads back whole to the same settings.
#include <sstream>
#include <string_view>

#include "app/core/settings_file.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::ostringstream log;
  core::Settings loaded;
  core::loadSettingsText(text, loaded, log);
  std::string saved;
  try {
    saved = core::serializeSettings(loaded);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "the loaded settings do not serialise: %s\n", error.what());
    std::abort();
  }
  // Settings the input left at their defaults round-trip as the defaults do, checked once.
  static const std::string defaults = core::serializeSettings(core::Settings{});
  static bool defaultsChecked = false;
  if (saved == defaults && defaultsChecked) return 0;
  defaultsChecked = defaultsChecked || saved == defaults;
  core::Settings again;
  FUZZ_CHECK(core::loadSettingsText(saved, again, log));
  FUZZ_CHECK(core::serializeSettings(again) == saved);
  return 0;
}
