#include "uninstaller/layer_remover.h"

namespace layertools {

using platform::RegistryStatus;

int runLayerRemover(const std::string& executablePath, char separator, IRegistrationList& list,
                    const Console& console) {
  console.out(kBanner);
  console.out("   StrivoVR OpenXR API Layer Uninstaller");
  console.out(kBanner);
  if (executablePath.empty()) {
    console.err("[ERROR] Failed to get module file name.");
    console.pause(3);
    return 1;
  }
  const std::string manifest = manifestPathFor(executablePath, separator);
  console.out("[INFO] Unregistering layer: " + manifest);

  const platform::RegistryResult opened = list.open(false);
  if (opened.status == RegistryStatus::AccessDenied) {
    console.err("[ERROR] Access Denied. Please run this uninstaller as Administrator.");
    console.pause(5);
    return 1;
  }
  if (opened.status == RegistryStatus::NotFound) {
    console.out("[INFO] OpenXR registry key does not exist. Nothing to uninstall.");
    console.pause(5);
    return 0;
  }
  if (opened.status != RegistryStatus::Ok) {
    console.err("[ERROR] Failed to open registry key. Status: " + std::to_string(opened.code));
    console.pause(5);
    return 1;
  }

  const platform::RegistryResult removed = list.remove(manifest);
  int exitCode = 0;
  if (removed.status == RegistryStatus::Ok) {
    console.out("[SUCCESS] OpenXR API Layer unregistered successfully!");
  } else if (removed.status == RegistryStatus::NotFound) {
    console.out("[INFO] Layer was not registered in the registry. Done.");
  } else {
    console.err("[ERROR] Failed to delete registry value. Status: " + std::to_string(removed.code));
    exitCode = 1;
  }
  list.close();
  console.out("Closing in 5 seconds...");
  console.pause(5);
  return exitCode;
}

}  // namespace layertools
