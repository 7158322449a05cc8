#include "uninstaller/layer_setup.h"

#include <filesystem>
#include <system_error>

namespace layertools {
namespace {

bool fileExists(const std::string& utf8Path) {
  const std::u8string path(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size());
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

int finish(const Console& console, int exitCode) {
  console.out("Closing in 5 seconds...");
  console.pause(5);
  return exitCode;
}

}  // namespace

int runLayerSetup(const std::string& executablePath, char separator, IRegistrationList& list, const Console& console) {
  console.out(kBanner);
  console.out("   StrivoVR OpenXR API Layer Setup");
  console.out(kBanner);
  if (executablePath.empty()) {
    console.err("[ERROR] Failed to get module file name.");
    return finish(console, 1);
  }
  const std::string manifest = manifestPathFor(executablePath, separator);
  console.out("[INFO] Registering layer: " + manifest);
  // Registering a path the loader cannot read would only make it skip the entry.
  if (!fileExists(manifest)) {
    console.err("[ERROR] Layer manifest not found: " + manifest);
    return finish(console, 1);
  }

  const platform::RegistryResult opened = list.open(true);
  if (opened.status == platform::RegistryStatus::AccessDenied) {
    console.err("[ERROR] Access Denied. Please run this installer as Administrator.");
    return finish(console, 1);
  }
  if (opened.status != platform::RegistryStatus::Ok) {
    console.err("[ERROR] Failed to open registry key. Status: " + std::to_string(opened.code));
    return finish(console, 1);
  }
  const platform::RegistryResult added = list.add(manifest);
  list.close();
  if (added.status != platform::RegistryStatus::Ok) {
    console.err("[ERROR] Failed to register layer. Status: " + std::to_string(added.code));
    return finish(console, 1);
  }
  console.out("[SUCCESS] OpenXR API Layer registered successfully!");
  console.out("[INFO] Registered in: " + platform::ImplicitLayerList::location());
  return finish(console, 0);
}

}  // namespace layertools
