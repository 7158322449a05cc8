// The layer library driven by a harness that plays the loader's part, so the
// Windows DLL runs the same flows under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "layer/layer_scenarios.h"
#include "testing/support/export_table.h"

namespace {

TEST(LayerUnderHarness, StickInjection) {
  std::vector<std::string> exports;
  ASSERT_TRUE(testsupport::exportedNames(testsupport::builtLayerLibrary(), exports));
  std::sort(exports.begin(), exports.end());
  EXPECT_EQ(exports, (std::vector<std::string>{"xrEnumerateApiLayerProperties", "xrNegotiateLoaderApiLayerInterface"}));

  auto chain = testsupport::makeHarnessChain(1);
  layertest::stickScenario(*chain);
}

// The layer twice in one chain (one library): the upper entry steps over the lower.
TEST(LayerUnderHarness, StickInjectionWithTheLayerTwiceInTheChain) {
  auto chain = testsupport::makeHarnessChain(2);
  layertest::stickScenario(*chain);
}

TEST(LayerUnderHarness, ButtonsAndAxes) {
  auto chain = testsupport::makeHarnessChain(1);
  layertest::buttonAndAxisScenario(*chain);
}

TEST(LayerUnderHarness, PublicationInLocalSpaceForAGameThatNeverSyncs) {
  auto chain = testsupport::makeHarnessChain(1);
  layertest::publicationScenario(*chain, false, false);
}

TEST(LayerUnderHarness, RuntimeRefusingALayerBindingKeepsTheGameBindings) {
  auto chain = testsupport::makeHarnessChain(1);
  layertest::refusedLayerBindingScenario(*chain);
}

}  // namespace
