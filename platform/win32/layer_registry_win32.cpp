#include <windows.h>

#include "platform/layer_registry.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

constexpr const wchar_t* kImplicitKey = L"SOFTWARE\\Khronos\\OpenXR\\1\\ApiLayers\\Implicit";

RegistryResult fromStatus(LSTATUS status) {
  if (status == ERROR_SUCCESS) return {};
  if (status == ERROR_FILE_NOT_FOUND) return {RegistryStatus::NotFound, status};
  if (status == ERROR_ACCESS_DENIED) return {RegistryStatus::AccessDenied, status};
  return {RegistryStatus::Failed, status};
}

HKEY asKey(void* key) { return static_cast<HKEY>(key); }

void appendValueNames(HKEY root, std::vector<std::string>& names) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, kImplicitKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  std::wstring name(32768, L'\0');  // the longest value name the registry allows, plus the terminator
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LSTATUS status = ::RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) names.push_back(win32::narrow(name.substr(0, length)));
  }
  ::RegCloseKey(key);
}

}  // namespace

ImplicitLayerList::~ImplicitLayerList() { close(); }

std::string ImplicitLayerList::location() { return "HKEY_LOCAL_MACHINE\\" + win32::narrow(kImplicitKey); }

RegistryResult ImplicitLayerList::open(bool create) {
  close();
  HKEY key = nullptr;
  const LSTATUS status =
      create ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kImplicitKey, 0, nullptr, 0,
                                 KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr)
             : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kImplicitKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
  if (status == ERROR_SUCCESS) key_ = key;
  return fromStatus(status);
}

RegistryResult ImplicitLayerList::add(const std::string& manifestPath) {
  if (!key_) return {RegistryStatus::Failed, ERROR_INVALID_HANDLE};
  const DWORD enabled = 0;  // the loader's convention: 0 means the layer is enabled
  return fromStatus(::RegSetValueExW(asKey(key_), win32::widen(manifestPath).c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&enabled), sizeof enabled));
}

RegistryResult ImplicitLayerList::remove(const std::string& manifestPath) {
  if (!key_) return {RegistryStatus::Failed, ERROR_INVALID_HANDLE};
  return fromStatus(::RegDeleteValueW(asKey(key_), win32::widen(manifestPath).c_str()));
}

void ImplicitLayerList::close() {
  if (key_) ::RegCloseKey(asKey(key_));
  key_ = nullptr;
}

bool isImplicitLayerRegistered(const std::string& manifestPath) {
  const std::wstring name = win32::widen(manifestPath);
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, kImplicitKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) continue;
    const LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(key);
    if (status == ERROR_SUCCESS) return true;
  }
  return false;
}

std::vector<std::string> implicitLayerManifests() {
  std::vector<std::string> names;
  appendValueNames(HKEY_LOCAL_MACHINE, names);
  appendValueNames(HKEY_CURRENT_USER, names);
  return names;
}

std::string layerToolExecutablePath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";  // failed, or truncated
  return win32::narrow(std::wstring(buffer, length));
}

char pathSeparator() { return '\\'; }

const char* openXrLoaderLibraryName() { return "openxr_loader.dll"; }

}  // namespace platform
