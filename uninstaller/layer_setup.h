#pragma once

#include <string>

#include "uninstaller/layer_tool_console.h"

namespace layertools {

// LayerSetup: registers the manifest in this program folder's "api_layer" folder
// with the OpenXR loader. Exit code 0 on success, 1 on failure.
int runLayerSetup(const std::string& executablePath, char separator, IRegistrationList& list, const Console& console);

}  // namespace layertools
