#pragma once

#include <string>
#include <vector>

// The OpenXR loader's list of implicit API layers, where a layer is known by the
// full path of its manifest.
// Windows: a DWORD value (0 = enabled) named by the manifest path under
//   HKEY_LOCAL_MACHINE\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit, 64-bit view.
// Linux: the user's implicit.d folder ($XDG_DATA_HOME/openxr/1/api_layers/implicit.d,
//   else ~/.local/share/...), holding a copy of the manifest under the same file name
//   whose library path is made absolute. That copy belongs to a manifest when its
//   library path lies in the manifest's folder.
namespace platform {

enum class RegistryStatus { Ok, NotFound, AccessDenied, Failed };

struct RegistryResult {
  RegistryStatus status = RegistryStatus::Ok;
  long code = 0;  // the system's status number (Windows error code, errno); 0 on success
};

class ImplicitLayerList {
 public:
  ImplicitLayerList() = default;
  ~ImplicitLayerList();
  ImplicitLayerList(const ImplicitLayerList&) = delete;
  ImplicitLayerList& operator=(const ImplicitLayerList&) = delete;

  // Where the list lives (the registry key or the folder), for messages.
  static std::string location();

  // Opens the list for changes. With `create` a missing list is made first.
  RegistryResult open(bool create);
  // Registers / unregisters the manifest at this path; the list must be open.
  // Removing a manifest that is not registered answers NotFound.
  RegistryResult add(const std::string& manifestPath);
  RegistryResult remove(const std::string& manifestPath);
  void close();

 private:
  void* key_ = nullptr;  // Windows: the open HKEY
  std::string folder_;   // Linux: the open folder
};

// Whether the manifest is registered (Windows: under HKLM, else under HKCU; Linux:
// any implicit manifest the loader reads names a library in the manifest's folder).
bool isImplicitLayerRegistered(const std::string& manifestPath);

// Every implicit-layer manifest the loader would read, in its search order.
std::vector<std::string> implicitLayerManifests();

// The running program's full path as the layer tools name it (Windows: the wide
// module path in UTF-8, empty when longer than 260 characters); empty when unknown.
std::string layerToolExecutablePath();

// The separator of manifest paths on this platform.
char pathSeparator();

// The file name of the installed OpenXR loader library.
const char* openXrLoaderLibraryName();

}  // namespace platform
