#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/steamvr_files.h"

namespace platform {

std::string openvrPathRegistryFile() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/openvr/openvrpaths.vrpath";
  const char* home = std::getenv("HOME");
  if (!(home && *home)) {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  if (!(home && *home)) return "";
  return std::string(home) + "/.config/openvr/openvrpaths.vrpath";
}

std::string openvrApiFileName() { return "libopenvr_api.so"; }

std::string openvrApiInRuntime(const std::string& runtimeFolder) {
  std::string folder = runtimeFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/bin/linux64/libopenvr_api.so";
}

}  // namespace platform
