// The library's one export: SteamVR's server asks it for our provider.
#include <cstring>

#include "driver/server_driver.h"

namespace {
gaitrelay::CServerDriver g_serverDriver;
}

// Exported by name through exports.def (Windows) and exports.map (Linux), which also
// keep every other symbol of the library private.
extern "C" void* HmdDriverFactory(const char* interfaceName, int* returnCode) {
  if (interfaceName && std::strcmp(interfaceName, vr::IServerTrackedDeviceProvider_Version) == 0)
    return static_cast<vr::IServerTrackedDeviceProvider*>(&g_serverDriver);
  if (returnCode) *returnCode = vr::VRInitError_Init_InterfaceNotFound;
  return nullptr;
}
