#include "uninstaller/layer_check.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/shared_library.h"

namespace layertools {
namespace {

// The loader's XrApiLayerProperties (type 1), as published by the OpenXR API.
struct ApiLayerProperties {
  std::int32_t type;
  void* next;
  char layerName[256];
  std::uint64_t specVersion;
  std::uint32_t layerVersion;
  char description[256];
};
static_assert(sizeof(ApiLayerProperties) == 544);
constexpr std::int32_t kTypeApiLayerProperties = 1;
constexpr std::uint32_t kMostLayers = 1024;  // more than any machine has; bounds what we allocate

using EnumerateApiLayerProperties = std::int32_t (*)(std::uint32_t, std::uint32_t*, ApiLayerProperties*);

std::string readUtf8File(const std::string& utf8Path) {
  const std::u8string path(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size());
  std::ifstream in{std::filesystem::path(path), std::ios::binary};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

LoaderLayers queryLoaderLayers(const std::string& libraryName) {
  LoaderLayers answer;
  platform::SharedLibrary loader;
  if (!loader.load(libraryName)) {
    answer.error = loader.error();
    return answer;
  }
  auto enumerate = reinterpret_cast<EnumerateApiLayerProperties>(loader.symbol("xrEnumerateApiLayerProperties"));
  if (!enumerate) {
    answer.error = "xrEnumerateApiLayerProperties is not exported";
    return answer;
  }
  answer.loaded = true;
  std::uint32_t count = 0;
  std::int32_t result = enumerate(0, &count, nullptr);
  if (result < 0) {
    answer.error = "xrEnumerateApiLayerProperties failed: " + std::to_string(result);
    return answer;
  }
  if (count > kMostLayers) count = kMostLayers;
  std::vector<ApiLayerProperties> layers(count, ApiLayerProperties{});
  for (auto& layer : layers) layer.type = kTypeApiLayerProperties;
  std::uint32_t written = 0;
  result = count == 0 ? 0 : enumerate(count, &written, layers.data());
  if (result < 0) {
    answer.error = "xrEnumerateApiLayerProperties failed: " + std::to_string(result);
    return answer;
  }
  for (std::uint32_t i = 0; i < written && i < count; ++i) {
    const char* name = layers[i].layerName;
    answer.names.emplace_back(name, strnlen(name, sizeof layers[i].layerName));
  }
  return answer;
}

std::vector<std::string> manifestsNamingLayer(const std::vector<std::string>& paths) {
  std::vector<std::string> ours;
  for (const std::string& path : paths) {
    const nlohmann::json manifest = nlohmann::json::parse(readUtf8File(path), nullptr, false);
    if (!manifest.is_object() || !manifest.contains("api_layer")) continue;
    const nlohmann::json& layer = manifest["api_layer"];
    if (layer.is_object() && layer.contains("name") && layer["name"] == kLayerName) ours.push_back(path);
  }
  return ours;
}

int runLayerCheck(const CheckFacts& facts, const Console& console) {
  console.out(kBanner);
  console.out("   StrivoVR OpenXR API Layer Check");
  console.out(kBanner);
  bool listed = false;
  if (!facts.loader.loaded) {
    console.err("[ERROR] No OpenXR loader is installed: " + facts.loaderName + " could not be loaded (" +
                facts.loader.error + ").");
  } else {
    console.out("[INFO] OpenXR loader: " + facts.loaderName);
    if (!facts.loader.error.empty()) console.err("[ERROR] " + facts.loader.error);
    std::string names;
    for (const std::string& name : facts.loader.names) {
      names += (names.empty() ? "" : ", ") + name;
      listed = listed || name == kLayerName;
    }
    console.out("[INFO] API layers listed by the loader: " + (names.empty() ? std::string("none") : names));
    if (listed)
      console.out(std::string("[OK] ") + kLayerName + " is listed by the OpenXR loader.");
    else
      console.err(std::string("[ERROR] ") + kLayerName + " is not listed by the OpenXR loader.");
  }
  for (const std::string& manifest : facts.ourManifests) console.out("[INFO] Layer manifest: " + manifest);
  if (facts.ourManifests.empty()) console.out(std::string("[INFO] No registered manifest names ") + kLayerName + ".");
  if (facts.ownRegistered)
    console.out("[INFO] This program's manifest is registered: " + facts.ownManifest);
  else
    console.out("[INFO] This program's manifest is not registered (run LayerSetup): " + facts.ownManifest);
  if (facts.disabled)
    console.err(std::string("[WARN] ") + kDisableVariable +
                " is set: the OpenXR loader skips the layer. Remove the variable to enable it.");
  else
    console.out(std::string("[INFO] ") + kDisableVariable + " is not set.");
  return facts.loader.loaded && listed && !facts.disabled ? 0 : 1;
}

}  // namespace layertools
