#include <windows.h>

#include "platform/steamvr_files.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace win32 {
std::string localAppDataFolder();  // paths_win32.cpp
}  // namespace win32

std::string openvrPathRegistryFile() {
  std::wstring base(MAX_PATH, L'\0');
  DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), static_cast<DWORD>(base.size()));
  if (length >= base.size()) {
    base.resize(length);
    length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", base.data(), static_cast<DWORD>(base.size()));
  }
  std::string folder = length > 0 && length < base.size() ? win32::narrow(base.substr(0, length)) : "";
  if (folder.empty()) folder = win32::localAppDataFolder();
  if (folder.empty()) return "";
  return folder + "\\openvr\\openvrpaths.vrpath";
}

std::string openvrApiFileName() { return "openvr_api.dll"; }

std::string openvrApiInRuntime(const std::string& runtimeFolder) {
  std::string folder = runtimeFolder;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder + "\\bin\\win64\\openvr_api.dll";
}

}  // namespace platform
