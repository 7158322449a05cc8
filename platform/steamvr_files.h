#pragma once

#include <string>

namespace platform {

// Where SteamVR's path registry file lives for this user: Windows
// %LOCALAPPDATA%\openvr\openvrpaths.vrpath; Linux $XDG_CONFIG_HOME/openvr/openvrpaths.vrpath,
// else ~/.config/openvr/openvrpaths.vrpath. Empty when the user's folder is unknown.
std::string openvrPathRegistryFile();

// The OpenVR client library's file name ("openvr_api.dll", "libopenvr_api.so").
std::string openvrApiFileName();

// The runtime's own copy of the client library under a SteamVR folder
// (bin\win64\openvr_api.dll, bin/linux64/libopenvr_api.so).
std::string openvrApiInRuntime(const std::string& runtimeFolder);

}  // namespace platform
