#include <windows.h>

// After windows.h, which they rely on.
#include <shlobj.h>

#include "platform/paths.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace win32 {

// The per-user local application-data folder as UTF-8; empty when unknown.
std::string localAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) return "";
  return narrow(folder);
}

}  // namespace win32

std::string userDataFolder(const std::string& appName) {
  const std::string base = win32::localAppDataFolder();
  if (base.empty()) return ".";
  const std::string folder = base + "\\" + appName;
  ::CreateDirectoryW(win32::widen(folder).c_str(), nullptr);  // result ignored: an existing folder is fine
  return folder;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

std::string executablePath() {
  // Long paths need more than MAX_PATH: grow until the name fits.
  std::wstring buffer(MAX_PATH, L'\0');
  while (buffer.size() <= 32768) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return win32::narrow(buffer.substr(0, length));
    buffer.resize(buffer.size() * 2);
  }
  return "";
}

std::string executableFolder() {
  const std::string path = executablePath();
  const auto separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator);
}

std::string executableFileName(const std::string& baseName) { return baseName + ".exe"; }

}  // namespace platform
