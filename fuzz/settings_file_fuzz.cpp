// The settings file loader, fed any bytes as "usersettings.json": it never crashes,
// a file that fails to load is kept byte for byte before the first save replaces it,
// and what is saved loads back to the same settings.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "app/core/settings_file.h"
#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One folder for the whole run, emptied before every input and removed when the run ends.
struct RunFolder {
  RunFolder() {
    std::string pattern = (fs::temp_directory_path() / "strivo_settings_fuzz_XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    path = pattern;
  }
  ~RunFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

const fs::path& folder() {
  static const RunFolder made;
  return made.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& dir = folder();
  for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
  const std::string original(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(dir / "usersettings.json", std::ios::binary);
    out << original;
  }

  std::ostringstream log;
  core::SettingsFile file([&] { return dir.string(); }, (dir / "absent.json").string(), log, log);
  core::Settings loaded;
  const bool loadedWhole = file.load(loaded);
  FUZZ_CHECK(file.save(loaded));
  if (!loadedWhole) FUZZ_CHECK(readAll(dir / "usersettings.json.broken") == original);

  core::Settings again;
  core::SettingsFile reread([&] { return dir.string(); }, (dir / "absent.json").string(), log, log);
  FUZZ_CHECK(reread.load(again));
  FUZZ_CHECK(core::serializeSettings(again) == core::serializeSettings(loaded));
  return 0;
}
