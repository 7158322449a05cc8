// LayerSetup: registers this program folder's OpenXR layer with the loader;
// `LayerSetup --check` reports what the installed loader makes of it.
#include <cstdlib>
#include <string_view>

#include "platform/layer_registry.h"
#include "uninstaller/layer_check.h"
#include "uninstaller/layer_setup.h"

int main(int argc, char** argv) {
  const std::string executable = platform::layerToolExecutablePath();
  const char separator = platform::pathSeparator();
  if (argc > 1 && std::string_view(argv[1]) == "--check") {
    layertools::CheckFacts facts;
    facts.loaderName = platform::openXrLoaderLibraryName();
    facts.loader = layertools::queryLoaderLayers(facts.loaderName);
    facts.ourManifests = layertools::manifestsNamingLayer(platform::implicitLayerManifests());
    facts.ownManifest = layertools::manifestPathFor(executable, separator);
    facts.ownRegistered = platform::isImplicitLayerRegistered(facts.ownManifest);
    facts.disabled = std::getenv(layertools::kDisableVariable) != nullptr;
    return layertools::runLayerCheck(facts, layertools::systemConsole());
  }
  layertools::SystemRegistrationList list;
  return layertools::runLayerSetup(executable, separator, list, layertools::systemConsole());
}
