#include <windows.h>

// After windows.h, which it relies on.
#include <shlobj.h>

#include "platform/paths.h"

namespace platform {

std::string userDataFolder(const std::string& appName) {
  char base[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base))) return ".";
  const std::string folder = std::string(base) + "\\" + appName;
  ::CreateDirectoryA(folder.c_str(), nullptr);  // result ignored: an existing folder is fine
  return folder;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

std::string executablePath() {
  char buffer[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return "";
  return std::string(buffer, length);
}

std::string executableFolder() {
  const std::string path = executablePath();
  const auto separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator);
}

std::string executableFileName(const std::string& baseName) { return baseName + ".exe"; }

}  // namespace platform
