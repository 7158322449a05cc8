#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/layer_registry.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr const char* kImplicitSubfolder = "/openxr/1/api_layers/implicit.d";

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (!(home && *home)) {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  return home && *home ? home : "";
}

std::string dataHome() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return xdg;
  const std::string home = homeFolder();
  return home.empty() ? "" : home + "/.local/share";
}

std::vector<std::string> splitPathList(const char* value, const char* fallback) {
  const std::string text = value && *value ? value : fallback;
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ':');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

RegistryResult fromErrno(int error) {
  if (error == ENOENT) return {RegistryStatus::NotFound, error};
  if (error == EACCES || error == EPERM) return {RegistryStatus::AccessDenied, error};
  return {RegistryStatus::Failed, error == 0 ? EIO : error};
}

// The manifest's JSON, or a discarded value when the file is missing or not JSON.
nlohmann::json readManifest(const std::string& path, int& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = errno == 0 ? ENOENT : errno;
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  std::stringstream text;
  text << in.rdbuf();
  error = 0;
  return nlohmann::json::parse(text.str(), nullptr, false);
}

const nlohmann::json* libraryPathOf(const nlohmann::json& manifest) {
  if (!manifest.is_object()) return nullptr;
  const auto layer = manifest.find("api_layer");
  if (layer == manifest.end() || !layer->is_object()) return nullptr;
  const auto library = layer->find("library_path");
  if (library == layer->end() || !library->is_string()) return nullptr;
  return &*library;
}

std::string registeredCopyPath(const std::string& folder, const std::string& manifestPath) {
  return joinPath(folder, fs::path(manifestPath).filename().string());
}

// The registered copy belongs to the manifest when its library lies in the manifest's folder.
bool copyBelongsTo(const std::string& copyPath, const std::string& manifestPath) {
  int error = 0;
  const nlohmann::json copy = readManifest(copyPath, error);
  const nlohmann::json* library = libraryPathOf(copy);
  if (!library) return false;
  const std::string folder = fs::path(manifestPath).parent_path().lexically_normal().string();
  const std::string path = fs::path(library->get<std::string>()).lexically_normal().string();
  return !folder.empty() && path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

ImplicitLayerList::~ImplicitLayerList() { close(); }

std::string ImplicitLayerList::location() {
  const std::string base = dataHome();
  return base.empty() ? "" : base + kImplicitSubfolder;
}

RegistryResult ImplicitLayerList::open(bool create) {
  close();
  const std::string folder = location();
  if (folder.empty()) return {RegistryStatus::NotFound, ENOENT};
  if (create) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return fromErrno(error.value());
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return fromErrno(errno);
  if (!S_ISDIR(info.st_mode)) return {RegistryStatus::Failed, ENOTDIR};
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return fromErrno(errno);
  folder_ = folder;
  return {};
}

RegistryResult ImplicitLayerList::add(const std::string& manifestPath) {
  if (folder_.empty()) return {RegistryStatus::Failed, EBADF};
  int error = 0;
  nlohmann::json manifest = readManifest(manifestPath, error);
  if (error != 0) return fromErrno(error);
  const nlohmann::json* library = libraryPathOf(manifest);
  if (!library) return {RegistryStatus::Failed, EINVAL};
  // The copy lives in another folder, so a library path relative to the manifest is made absolute.
  fs::path libraryPath = library->get<std::string>();
  if (libraryPath.is_relative()) libraryPath = fs::path(manifestPath).parent_path() / libraryPath;
  manifest["api_layer"]["library_path"] = libraryPath.lexically_normal().string();

  std::string reason;
  errno = 0;
  if (!replaceFileAtomically(registeredCopyPath(folder_, manifestPath), manifest.dump(4) + "\n", reason))
    return fromErrno(errno);
  return {};
}

RegistryResult ImplicitLayerList::remove(const std::string& manifestPath) {
  if (folder_.empty()) return {RegistryStatus::Failed, EBADF};
  const std::string copy = registeredCopyPath(folder_, manifestPath);
  // Another program folder's registration, or none: this manifest is not registered.
  if (!copyBelongsTo(copy, manifestPath)) return {RegistryStatus::NotFound, ENOENT};
  if (::unlink(copy.c_str()) != 0) return fromErrno(errno);
  return {};
}

void ImplicitLayerList::close() { folder_.clear(); }

// The user's copy, or a system-wide manifest (a distribution package's in
// /usr/share) whose library lies in the manifest's folder.
bool isImplicitLayerRegistered(const std::string& manifestPath) {
  for (const std::string& manifest : implicitLayerManifests())
    if (copyBelongsTo(manifest, manifestPath)) return true;
  return false;
}

std::vector<std::string> implicitLayerManifests() {
  // The loader's implicit search order: config dirs, /etc, data dirs, the user's data home.
  std::vector<std::string> bases = splitPathList(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg");
  bases.push_back("/etc");
  for (const std::string& base : splitPathList(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
    bases.push_back(base);
  if (const std::string home = dataHome(); !home.empty()) bases.push_back(home);

  std::vector<std::string> manifests;
  for (const std::string& base : bases) {
    std::error_code error;
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(base + kImplicitSubfolder, error))
      if (entry.path().extension() == ".json") found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    manifests.insert(manifests.end(), found.begin(), found.end());
  }
  return manifests;
}

std::string layerToolExecutablePath() { return executablePath(); }

char pathSeparator() { return '/'; }

const char* openXrLoaderLibraryName() { return "libopenxr_loader.so.1"; }

}  // namespace platform
