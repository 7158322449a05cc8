#pragma once

#include <memory>
#include <string>

#include "testing/fake_xr_runtime/fake_xr_control.h"
#include "testing/xr_game/xr_game.h"

namespace testsupport {

// How a test game reaches the fake runtime through the layer: the entry points the
// game calls, and the runtime's control functions.
class XrChain {
 public:
  virtual ~XrChain() = default;
  virtual PFN_xrGetInstanceProcAddr getProcAddr() = 0;
  virtual XrGame::CreateInstance createInstance() = 0;
  virtual FakeRuntimeControl& runtime() = 0;
  // Empty when the chain was set up; otherwise what went wrong.
  virtual const std::string& error() const = 0;
};

struct LoaderChainOptions {
  bool secondCopy = false;         // a second copy of the layer library, found through a second manifest
  bool duplicateManifest = false;  // a second manifest naming the same library
  bool coreValidation = false;     // the Khronos core validation layer below ours
  bool disableLayer = false;       // the manifest's disable variable set
  // A data folder where the layer is already registered (as LayerSetup does it); the
  // staged layer is then not copied in.
  const char* registeredDataHome = nullptr;
};

// The real Khronos loader with the fake runtime (XR_RUNTIME_JSON) and the staged
// layer found as an implicit layer in a private XDG folder. Linux only.
std::unique_ptr<XrChain> makeLoaderChain(const LoaderChainOptions& options);
// The core validation layer's report (empty when it found nothing), for a loader chain.
std::string validationReport(XrChain& chain);

// A harness playing the loader's part: negotiates with the layer library and the
// runtime library with the loader's exact structures and builds the create chain,
// with the layer in it `layerCopies` times.
std::unique_ptr<XrChain> makeHarnessChain(int layerCopies);
// The built layer library's path (a Windows path under Wine).
std::string builtLayerLibrary();

}  // namespace testsupport
