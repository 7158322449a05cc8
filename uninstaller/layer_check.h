#pragma once

#include <string>
#include <vector>

#include "uninstaller/layer_tool_console.h"

namespace layertools {

inline constexpr const char* kLayerName = "XR_APILAYER_STRIVO_input";
inline constexpr const char* kDisableVariable = "DISABLE_XR_APILAYER_STRIVO_INPUT";

// What the installed OpenXR loader says about its API layers.
struct LoaderLayers {
  bool loaded = false;
  std::string error;  // why the loader or its function could not be used
  std::vector<std::string> names;
};

// Loads the loader library at run time and asks it for its API layers.
LoaderLayers queryLoaderLayers(const std::string& libraryName);

// The manifests among `paths` whose layer is ours.
std::vector<std::string> manifestsNamingLayer(const std::vector<std::string>& paths);

struct CheckFacts {
  std::string loaderName;
  LoaderLayers loader;
  std::vector<std::string> ourManifests;  // registered manifests that name our layer
  std::string ownManifest;                // this program folder's manifest
  bool ownRegistered = false;
  bool disabled = false;  // the disable variable is set (to anything)
};

// `LayerSetup --check`: says whether the loader lists our layer, from which manifest,
// and whether the disable variable is set. Exit code 0 only when the layer is active.
int runLayerCheck(const CheckFacts& facts, const Console& console);

}  // namespace layertools
