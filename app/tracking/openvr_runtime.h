#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/openvr/client_api.h"
#include "platform/shared_library.h"

namespace tracking {

// The runtime folder named by SteamVR's path registry (the text of openvrpaths.vrpath):
// the first entry of its "runtime" array. None when the text is not such a file.
std::optional<std::string> runtimeFolderFromPathRegistry(std::string_view registryText);

// The OpenVR client library (openvr_api), loaded at run time from the first place that
// has it: beside the program, then the runtime's own copy under the folder SteamVR's
// path registry names. When neither can be loaded the runtime counts as not installed,
// and the next call looks again. Thread-safe.
class OpenVrRuntime {
 public:
  struct Locations {
    std::string programFolder;     // searched first
    std::string pathRegistryFile;  // openvrpaths.vrpath
  };
  // The platform's places: the running program's folder and the user's path registry.
  static Locations defaultLocations();

  explicit OpenVrRuntime(Locations locations);
  OpenVrRuntime(const OpenVrRuntime&) = delete;
  OpenVrRuntime& operator=(const OpenVrRuntime&) = delete;

  // The library files tried, in order (for diagnostics and tests).
  std::vector<std::string> candidates() const;
  // The file the library was loaded from; empty while none is loaded.
  std::string loadedFrom() const;

  // VR_IsRuntimeInstalled; false when no library can be loaded.
  bool isRuntimeInstalled();
  // VR_InitInternal2; returns the init token (0 on failure, with *error set).
  std::uint32_t init(vr::EVRInitError* error, vr::EVRApplicationType type);
  void shutdown();
  bool isInterfaceVersionValid(const char* version);
  void* genericInterface(const char* version, vr::EVRInitError* error);
  std::uint32_t initToken();
  // The runtime's English text for an init error.
  std::string errorDescription(vr::EVRInitError error);

 private:
  struct Exports {
    vr::VR_IsRuntimeInstalled_t isRuntimeInstalled = nullptr;
    vr::VR_InitInternal2_t initInternal2 = nullptr;
    vr::VR_ShutdownInternal_t shutdownInternal = nullptr;
    vr::VR_IsInterfaceVersionValid_t isInterfaceVersionValid = nullptr;
    vr::VR_GetGenericInterface_t getGenericInterface = nullptr;
    vr::VR_GetInitToken_t getInitToken = nullptr;
    vr::VR_GetVRInitErrorAsEnglishDescription_t errorAsEnglish = nullptr;
  };
  // Loads the library if it is not loaded yet; true when it is loaded with every export.
  bool ensureLoaded();
  bool loadFrom(const std::string& path);

  const Locations locations_;
  mutable std::recursive_mutex mutex_;
  platform::SharedLibrary library_;
  std::string loadedFrom_;
  Exports exports_;
};

}  // namespace tracking
