// LayerRemover: removes the OpenXR layer's registration made for this program folder.
#include "platform/layer_registry.h"
#include "uninstaller/layer_remover.h"

int main() {
  layertools::SystemRegistrationList list;
  return layertools::runLayerRemover(platform::layerToolExecutablePath(), platform::pathSeparator(), list,
                                     layertools::systemConsole());
}
