#include <cstdlib>
#include <filesystem>

#include "platform/shared_library.h"
#include "testing/support/temp_folder.h"
#include "testing/xr_game/xr_chain.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

constexpr char kManifest[] = "gait_xrlayer.json";
constexpr char kLibrary[] = "gait_xrlayer.so";

fs::path implicitFolder(const fs::path& root) {
  const fs::path folder = root / "openxr" / "1" / "api_layers" / "implicit.d";
  fs::create_directories(folder);
  return folder;
}

// The staged manifest and library, copied as a user's install would hold them.
void installStagedLayer(const fs::path& folder) {
  fs::copy_file(fs::path(STRIVO_LAYER_DIR) / kManifest, folder / kManifest, fs::copy_options::overwrite_existing);
  fs::copy_file(fs::path(STRIVO_LAYER_DIR) / kLibrary, folder / kLibrary, fs::copy_options::overwrite_existing);
}

class LoaderChain : public XrChain {
 public:
  explicit LoaderChain(const LoaderChainOptions& options) : folder_("strivo_xr_loader") {
    const bool registered = options.registeredDataHome != nullptr;
    const fs::path data = registered ? fs::path(options.registeredDataHome) : folder_.path() / "data";
    const fs::path config = folder_.path() / "config";
    const fs::path first = implicitFolder(data);
    if (!registered) installStagedLayer(first);
    if (options.secondCopy) installStagedLayer(implicitFolder(config));
    if (options.duplicateManifest) {
      std::string manifest = readFile((first / kManifest).string());
      const std::string relative = std::string("./") + kLibrary;
      manifest.replace(manifest.find(relative), relative.size(), (first / kLibrary).string());
      writeFile((implicitFolder(config) / "gait_xrlayer_again.json").string(), manifest);
    }
    fs::create_directories(folder_.path() / "home");
    ::setenv("XR_RUNTIME_JSON", STRIVO_FAKE_XR_RUNTIME_JSON, 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", config.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (folder_.path() / "none").c_str(), 1);
    ::setenv("HOME", (folder_.path() / "home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XR_ENABLE_API_LAYERS");
    if (options.disableLayer) ::setenv("DISABLE_XR_APILAYER_STRIVO_INPUT", "0", 1);
    if (options.coreValidation) {
      ::setenv("XR_API_LAYER_PATH", "/usr/share/openxr/1/api_layers/explicit.d", 1);
      ::setenv("XR_ENABLE_API_LAYERS", "XR_APILAYER_LUNARG_core_validation", 1);
      ::setenv("XR_CORE_VALIDATION_EXPORT_TYPE", "text", 1);
      ::setenv("XR_CORE_VALIDATION_FILE_NAME", validationFile().c_str(), 1);
    }

    if (!loader_.load("libopenxr_loader.so.1")) {
      error_ = "loader: " + loader_.error();
      return;
    }
    // Loaded here first, the runtime is the same object the loader opens later.
    if (!runtimeLibrary_.load(STRIVO_FAKE_XR_RUNTIME) ||
        !control_.load([this](const char* name) { return runtimeLibrary_.symbol(name); })) {
      error_ = "runtime: " + runtimeLibrary_.error();
    }
  }

  PFN_xrGetInstanceProcAddr getProcAddr() override {
    return reinterpret_cast<PFN_xrGetInstanceProcAddr>(loader_.symbol("xrGetInstanceProcAddr"));
  }
  XrGame::CreateInstance createInstance() override {
    return reinterpret_cast<XrGame::CreateInstance>(loader_.symbol("xrCreateInstance"));
  }
  FakeRuntimeControl& runtime() override { return control_; }
  const std::string& error() const override { return error_; }
  std::string validationFile() const { return folder_.file("validation.txt"); }

 private:
  TempFolder folder_;
  platform::SharedLibrary loader_;
  platform::SharedLibrary runtimeLibrary_;
  FakeRuntimeControl control_;
  std::string error_;
};

}  // namespace

std::unique_ptr<XrChain> makeLoaderChain(const LoaderChainOptions& options) {
  return std::make_unique<LoaderChain>(options);
}

std::string validationReport(XrChain& chain) {
  auto* loader = dynamic_cast<LoaderChain*>(&chain);
  return loader ? readFile(loader->validationFile()) : std::string();
}

}  // namespace testsupport
