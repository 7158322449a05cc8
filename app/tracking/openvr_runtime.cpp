#include "app/tracking/openvr_runtime.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/paths.h"
#include "platform/steamvr_files.h"

namespace tracking {
namespace {

// A path registry is a small JSON file; anything far larger is not one.
constexpr std::size_t kMaxRegistryBytes = 1 << 20;

std::string readSmallFile(const std::string& path) {
  std::ifstream in(platform::utf8Path(path), std::ios::binary);
  if (!in) return "";
  std::string text(kMaxRegistryBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text.size() > kMaxRegistryBytes ? "" : text;
}

template <typename Fn>
Fn exported(const platform::SharedLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.symbol(name));
}

}  // namespace

std::optional<std::string> runtimeFolderFromPathRegistry(std::string_view registryText) {
  const auto json = nlohmann::json::parse(registryText.begin(), registryText.end(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  const auto runtime = json.find("runtime");
  if (runtime == json.end() || !runtime->is_array() || runtime->empty() || !(*runtime)[0].is_string())
    return std::nullopt;
  std::string folder = (*runtime)[0].get<std::string>();
  // An embedded NUL would cut the path short when handed to the loader.
  if (folder.empty() || folder.find('\0') != std::string::npos) return std::nullopt;
  return folder;
}

OpenVrRuntime::Locations OpenVrRuntime::defaultLocations() {
  return {platform::executableFolder(), platform::openvrPathRegistryFile()};
}

OpenVrRuntime::OpenVrRuntime(Locations locations) : locations_(std::move(locations)) {}

std::vector<std::string> OpenVrRuntime::candidates() const {
  std::vector<std::string> files;
  if (!locations_.programFolder.empty())
    files.push_back(platform::joinPath(locations_.programFolder, platform::openvrApiFileName()));
  if (!locations_.pathRegistryFile.empty()) {
    if (const auto runtime = runtimeFolderFromPathRegistry(readSmallFile(locations_.pathRegistryFile)))
      files.push_back(platform::openvrApiInRuntime(*runtime));
  }
  return files;
}

std::string OpenVrRuntime::loadedFrom() const {
  std::lock_guard lock(mutex_);
  return loadedFrom_;
}

bool OpenVrRuntime::loadFrom(const std::string& path) {
  if (!std::ifstream(platform::utf8Path(path), std::ios::binary))
    return false;  // not there: no loader error to collect
  if (!library_.load(path)) return false;
  Exports found;
  found.isRuntimeInstalled = exported<vr::VR_IsRuntimeInstalled_t>(library_, "VR_IsRuntimeInstalled");
  found.initInternal2 = exported<vr::VR_InitInternal2_t>(library_, "VR_InitInternal2");
  found.shutdownInternal = exported<vr::VR_ShutdownInternal_t>(library_, "VR_ShutdownInternal");
  found.isInterfaceVersionValid = exported<vr::VR_IsInterfaceVersionValid_t>(library_, "VR_IsInterfaceVersionValid");
  found.getGenericInterface = exported<vr::VR_GetGenericInterface_t>(library_, "VR_GetGenericInterface");
  found.getInitToken = exported<vr::VR_GetInitToken_t>(library_, "VR_GetInitToken");
  found.errorAsEnglish =
      exported<vr::VR_GetVRInitErrorAsEnglishDescription_t>(library_, "VR_GetVRInitErrorAsEnglishDescription");
  if (!found.isRuntimeInstalled || !found.initInternal2 || !found.shutdownInternal || !found.isInterfaceVersionValid ||
      !found.getGenericInterface || !found.getInitToken || !found.errorAsEnglish) {
    // A library of that name without the client exports is not the client library.
    library_.unload();
    return false;
  }
  exports_ = found;
  loadedFrom_ = path;
  return true;
}

bool OpenVrRuntime::ensureLoaded() {
  if (library_.isLoaded()) return true;
  for (const std::string& file : candidates())
    if (loadFrom(file)) return true;
  return false;
}

bool OpenVrRuntime::isRuntimeInstalled() {
  std::lock_guard lock(mutex_);
  return ensureLoaded() && exports_.isRuntimeInstalled();
}

std::uint32_t OpenVrRuntime::init(vr::EVRInitError* error, vr::EVRApplicationType type) {
  std::lock_guard lock(mutex_);
  if (!ensureLoaded()) {
    *error = vr::VRInitError_Init_InstallationNotFound;
    return 0;
  }
  return exports_.initInternal2(error, type, nullptr);
}

void OpenVrRuntime::shutdown() {
  std::lock_guard lock(mutex_);
  if (library_.isLoaded()) exports_.shutdownInternal();
}

bool OpenVrRuntime::isInterfaceVersionValid(const char* version) {
  std::lock_guard lock(mutex_);
  return library_.isLoaded() && exports_.isInterfaceVersionValid(version);
}

void* OpenVrRuntime::genericInterface(const char* version, vr::EVRInitError* error) {
  std::lock_guard lock(mutex_);
  if (!library_.isLoaded()) {
    *error = vr::VRInitError_Init_NotInitialized;
    return nullptr;
  }
  return exports_.getGenericInterface(version, error);
}

std::uint32_t OpenVrRuntime::initToken() {
  std::lock_guard lock(mutex_);
  return library_.isLoaded() ? exports_.getInitToken() : 0;
}

std::string OpenVrRuntime::errorDescription(vr::EVRInitError error) {
  std::lock_guard lock(mutex_);
  const char* text = library_.isLoaded() ? exports_.errorAsEnglish(error) : nullptr;
  return text ? text : "Unknown error (" + std::to_string(static_cast<int>(error)) + ")";
}

}  // namespace tracking
