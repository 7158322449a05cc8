#pragma once

#include <string>

#include "uninstaller/layer_tool_console.h"

namespace layertools {

// LayerRemover: removes this program folder's layer registration and answers the
// exit code (0 also when there was nothing to remove, 1 on failure). An empty
// `executablePath` means the program's own path could not be read.
int runLayerRemover(const std::string& executablePath, char separator, IRegistrationList& list, const Console& console);

}  // namespace layertools
