// The layer in the real Khronos loader's chain with the fake runtime behind it.
// Each test is one process: the loader allows one instance per process.
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "layer/layer_scenarios.h"
#include "platform/shared_library.h"
#include "testing/support/export_table.h"
#include "testing/support/temp_folder.h"

namespace {

using testsupport::LoaderChainOptions;
using testsupport::makeLoaderChain;
using testsupport::XrGame;

// How many loaded objects of this process have a file name ending in `suffix`.
int loadedCopies(const std::string& suffix) {
  struct Search {
    std::string suffix;
    int count = 0;
  } search{suffix};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* search = static_cast<Search*>(data);
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        if (name.size() >= search->suffix.size() &&
            name.compare(name.size() - search->suffix.size(), search->suffix.size(), search->suffix) == 0) {
          ++search->count;
        }
        return 0;
      },
      &search);
  return search.count;
}

XrNegotiateLoaderInfo loaderInfo() {
  XrNegotiateLoaderInfo info{};
  info.structType = XR_LOADER_INTERFACE_STRUCT_LOADER_INFO;
  info.structVersion = 1;
  info.structSize = sizeof info;
  info.minInterfaceVersion = info.maxInterfaceVersion = 1;
  info.minApiVersion = XR_MAKE_VERSION(1, 0, 0);
  info.maxApiVersion = XR_MAKE_VERSION(1, 1023, 4095);
  return info;
}

// The staged manifest and exports as the loader sees them, the disable variable,
// and the negotiation and layer-properties answers.
TEST(LayerThroughLoader, ManifestExportsAndNegotiation) {
  const std::string folder = STRIVO_LAYER_DIR;
  const auto manifest = nlohmann::json::parse(testsupport::readFile(folder + "/gait_xrlayer.json"));
  EXPECT_EQ(manifest["file_format_version"], "1.0.0");
  EXPECT_EQ(manifest["api_layer"]["name"], "XR_APILAYER_STRIVO_input");
  EXPECT_EQ(manifest["api_layer"]["library_path"], "./gait_xrlayer.so");
  EXPECT_EQ(manifest["api_layer"]["api_version"], "1.0");
  EXPECT_EQ(manifest["api_layer"]["disable_environment"], "DISABLE_XR_APILAYER_STRIVO_INPUT");

  std::vector<std::string> exports;
  ASSERT_TRUE(testsupport::exportedNames(folder + "/gait_xrlayer.so", exports));
  std::sort(exports.begin(), exports.end());
  EXPECT_EQ(exports, (std::vector<std::string>{"xrEnumerateApiLayerProperties", "xrNegotiateLoaderApiLayerInterface"}));

  {  // Switched off by its variable (any value), the layer is never loaded.
    auto chain = makeLoaderChain({.disableLayer = true});
    ASSERT_EQ(chain->error(), "");
    XrGame game(chain->getProcAddr(), chain->createInstance());
    ASSERT_EQ(game.start(), XR_SUCCESS);
    EXPECT_EQ(loadedCopies("/gait_xrlayer.so"), 0);
  }

  platform::SharedLibrary layer;
  ASSERT_TRUE(layer.load(folder + "/gait_xrlayer.so")) << layer.error();
  auto negotiate =
      reinterpret_cast<PFN_xrNegotiateLoaderApiLayerInterface>(layer.symbol("xrNegotiateLoaderApiLayerInterface"));
  ASSERT_NE(negotiate, nullptr);
  XrNegotiateApiLayerRequest request{};
  request.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_REQUEST;
  request.structVersion = 1;
  request.structSize = sizeof request;
  XrNegotiateLoaderInfo info = loaderInfo();
  info.structSize = 48;
  EXPECT_EQ(negotiate(&info, "XR_APILAYER_STRIVO_input", &request), XR_ERROR_INITIALIZATION_FAILED);
  info = loaderInfo();
  info.structVersion = 2;
  EXPECT_EQ(negotiate(&info, "XR_APILAYER_STRIVO_input", &request), XR_ERROR_INITIALIZATION_FAILED);
  EXPECT_EQ(request.getInstanceProcAddr, nullptr) << "a refused negotiation hands out nothing";
  info = loaderInfo();
  ASSERT_EQ(negotiate(&info, "XR_APILAYER_STRIVO_input", &request), XR_SUCCESS);
  EXPECT_EQ(request.layerInterfaceVersion, 1u);
  EXPECT_EQ(request.layerApiVersion, 0x0001000000000022u);
  ASSERT_NE(request.getInstanceProcAddr, nullptr);
  ASSERT_NE(request.createApiLayerInstance, nullptr);

  PFN_xrVoidFunction function = nullptr;
  EXPECT_EQ(request.getInstanceProcAddr(XR_NULL_HANDLE, "xrGetSystem", &function), XR_ERROR_FUNCTION_UNSUPPORTED);
  EXPECT_EQ(request.getInstanceProcAddr(XR_NULL_HANDLE, "xrSyncActions", &function), XR_SUCCESS);
  EXPECT_NE(function, nullptr);

  XrApiLayerCreateInfo createInfo{};
  createInfo.structType = XR_LOADER_INTERFACE_STRUCT_API_LAYER_CREATE_INFO;
  createInfo.structVersion = 1;
  createInfo.structSize = 536;
  XrInstance instance = XR_NULL_HANDLE;
  EXPECT_EQ(request.createApiLayerInstance(nullptr, &createInfo, &instance), XR_ERROR_INITIALIZATION_FAILED);

  auto enumerate = reinterpret_cast<PFN_xrEnumerateApiLayerProperties>(layer.symbol("xrEnumerateApiLayerProperties"));
  ASSERT_NE(enumerate, nullptr);
  uint32_t count = 0;
  XrApiLayerProperties properties{};
  properties.specVersion = 77;
  EXPECT_EQ(enumerate(0, &count, &properties), XR_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(properties.specVersion, 77u) << "capacity 0 leaves the array alone";
  EXPECT_EQ(enumerate(1, &count, &properties), XR_SUCCESS);
  EXPECT_EQ(properties.type, XR_TYPE_API_LAYER_PROPERTIES);
  EXPECT_STREQ(properties.layerName, "XR_APILAYER_STRIVO_input");
  EXPECT_STREQ(properties.description, "Strivo OpenXR Input Injection Layer");
  EXPECT_EQ(properties.specVersion, XR_MAKE_VERSION(1, 0, 34));
  EXPECT_EQ(properties.layerVersion, 1u);
}

TEST(LayerThroughLoader, StickInjection) {
  auto chain = makeLoaderChain({});
  layertest::stickScenario(*chain);
  EXPECT_EQ(loadedCopies("/gait_xrlayer.so"), 1);
}

// Two copies of the library stack and each finds its own next layer; the upper
// copy cannot create a second set of the same name and does without it.
TEST(LayerThroughLoader, StickInjectionWithTwoCopiesStacked) {
  auto chain = makeLoaderChain({.secondCopy = true});
  // It tries again at each point that makes sure of the set: session, suggestion, attach, begin.
  std::string refusals;
  for (int i = 0; i < 4; ++i) refusals += "xrCreateActionSet: name taken\n";
  layertest::stickScenario(*chain, refusals);
  EXPECT_EQ(loadedCopies("/gait_xrlayer.so"), 2);
}

// One library named by two manifests sits twice in the chain and skips itself.
TEST(LayerThroughLoader, StickInjectionWithDuplicateManifest) {
  auto chain = makeLoaderChain({.duplicateManifest = true});
  layertest::stickScenario(*chain);
}

// The Khronos core validation layer below ours sees everything our layer sends.
TEST(LayerThroughLoader, StickInjectionAboveCoreValidation) {
  auto chain = makeLoaderChain({.coreValidation = true});
  layertest::stickScenario(*chain);
  EXPECT_EQ(loadedCopies("/libXrApiLayer_core_validation.so"), 1);
  EXPECT_EQ(testsupport::validationReport(*chain), "");

  // The report is live: a game's own invalid call shows up in it.
  XrGame game(chain->getProcAddr(), chain->createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  XrActionStateGetInfo info{};  // no structure type
  XrActionStateBoolean state{};
  reinterpret_cast<PFN_xrGetActionStateBoolean>(game.function("xrGetActionStateBoolean"))(game.session(), &info,
                                                                                          &state);
  EXPECT_NE(testsupport::validationReport(*chain), "");
}

// The layer's own mapping fails (a section of that name too small for the record):
// the game runs on, injection works, and nothing is written past the section.
TEST(LayerThroughLoader, UnusableStateSectionLeavesTheGameAndInjectionWorking) {
  layertest::ProgramSide program;
  platform::SharedMemory small;
  ASSERT_TRUE(small.createOrAttach(xrshm::kStateRecordName, 16)) << small.error();
  auto chain = makeLoaderChain({});
  ASSERT_EQ(chain->error(), "");
  chain->runtime().SetInput("/user/hand/left/input/thumbstick", 0, 0);
  XrGame game(chain->getProcAddr(), chain->createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction move = game.action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
  ASSERT_EQ(game.suggest(layertest::kTouch, {{move, "/user/hand/left/input/thumbstick"}}), XR_SUCCESS);
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);
  program.input().leftActive = 1;
  program.input().leftY = 0.4f;
  program.publish();
  for (int i = 0; i < 2; ++i) ASSERT_EQ(game.frame(true), XR_SUCCESS);
  const XrActionStateVector2f state = game.stick(move);
  EXPECT_TRUE(state.isActive);
  EXPECT_FLOAT_EQ(state.currentState.y, 0.4f);
  const auto* bytes = static_cast<const unsigned char*>(small.data());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
  EXPECT_EQ(chain->runtime().refusals(), "");
}

TEST(LayerThroughLoader, ButtonsAndAxes) {
  auto chain = makeLoaderChain({});
  layertest::buttonAndAxisScenario(*chain);
}

TEST(LayerThroughLoader, PublicationInStageSpace) {
  auto chain = makeLoaderChain({});
  layertest::publicationScenario(*chain, true, true);
}

TEST(LayerThroughLoader, PublicationInLocalSpaceForAGameThatNeverSyncs) {
  auto chain = makeLoaderChain({});
  layertest::publicationScenario(*chain, false, false);
}

TEST(LayerThroughLoader, RuntimeRefusingALayerBindingKeepsTheGameBindings) {
  auto chain = makeLoaderChain({});
  layertest::refusedLayerBindingScenario(*chain);
}

}  // namespace
