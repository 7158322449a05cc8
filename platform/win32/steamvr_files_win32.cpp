#include <shlobj.h>
#include <windows.h>

#include "platform/steamvr_files.h"

namespace platform {

std::string openvrPathRegistryFile() {
  char base[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof base);
  if (length == 0 || length >= sizeof base) {
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base))) return "";
  }
  return std::string(base) + "\\openvr\\openvrpaths.vrpath";
}

std::string openvrApiFileName() { return "openvr_api.dll"; }

std::string openvrApiInRuntime(const std::string& runtimeFolder) {
  std::string folder = runtimeFolder;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder + "\\bin\\win64\\openvr_api.dll";
}

}  // namespace platform
