// LayerSetup and LayerRemover from the program folder, as a user runs them, against
// a private home: registration, the loader's view of it, removal, and the refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
namespace fs = std::filesystem;

const std::string kBanner(47, '=');

struct LayerTools {
  testsupport::TempFolder home{"layer_tools"};
  std::string dist = testsupport::distFolder();
  std::string manifest = dist + "/api_layer/gait_xrlayer.json";
  std::string registered = home.file("data/openxr/1/api_layers/implicit.d/gait_xrlayer.json");

  std::unique_ptr<ChildProcess> run(const std::string& program, std::vector<std::string> arguments = {},
                                    std::map<std::string, std::string> environment = {}) {
    environment.merge(std::map<std::string, std::string>{{"HOME", home.path().string()},
                                                         {"XDG_DATA_HOME", home.file("data")},
                                                         {"XDG_CONFIG_DIRS", home.file("etc")},
                                                         {"XDG_DATA_DIRS", home.file("share")}});
    return std::make_unique<ChildProcess>(program, arguments, environment, home.path().string());
  }
};

// Each run pauses 5 seconds before it exits, so the next run starts as soon as the
// previous one has said what it did.
TEST(LayerToolsProgram, SetupRegistersTheStagedManifestAndRemoverTakesOnlyItsOwnRegistrationAway) {
  LayerTools tools;
  ASSERT_TRUE(fs::exists(tools.manifest)) << "the layer's manifest is not staged: " << tools.manifest;

  auto nothing = tools.run(tools.dist + "/LayerRemover");
  ASSERT_TRUE(nothing->waitForOutput("Nothing to uninstall.", 10s)) << nothing->output() << nothing->errors();

  auto setup = tools.run(tools.dist + "/LayerSetup");
  ASSERT_TRUE(setup->waitForOutput("[SUCCESS]", 10s)) << setup->output() << setup->errors();
  const nlohmann::json copy = nlohmann::json::parse(testsupport::readFile(tools.registered), nullptr, false);
  ASSERT_TRUE(copy.is_object()) << testsupport::readFile(tools.registered);
  EXPECT_EQ(copy["api_layer"]["name"], "XR_APILAYER_STRIVO_input");
  const std::string library = copy["api_layer"]["library_path"];
  EXPECT_EQ(fs::path(library).parent_path(), fs::path(tools.dist) / "api_layer");
  EXPECT_TRUE(fs::exists(library)) << library;

  // The installed loader now lists the layer from the registered copy, unless its disable variable is set.
  auto check = tools.run(tools.dist + "/LayerSetup", {"--check"});
  EXPECT_EQ(check->waitForExit(10s), 0) << check->output() << check->errors();
  EXPECT_NE(check->output().find("[OK] XR_APILAYER_STRIVO_input is listed by the OpenXR loader."), std::string::npos)
      << check->output() << check->errors();
  EXPECT_NE(check->output().find("[INFO] Layer manifest: " + tools.registered), std::string::npos);
  EXPECT_NE(check->output().find("[INFO] This program's manifest is registered: " + tools.manifest), std::string::npos);
  auto disabled = tools.run(tools.dist + "/LayerSetup", {"--check"}, {{"DISABLE_XR_APILAYER_STRIVO_INPUT", ""}});
  EXPECT_EQ(disabled->waitForExit(10s), 1);
  EXPECT_NE(disabled->errors().find("[WARN] DISABLE_XR_APILAYER_STRIVO_INPUT is set"), std::string::npos);

  // A remover in another folder computes another manifest path: not its registration.
  fs::create_directories(tools.home.path() / "elsewhere");
  fs::copy_file(tools.dist + "/LayerRemover", tools.home.file("elsewhere/LayerRemover"));
  auto stranger = tools.run(tools.home.file("elsewhere/LayerRemover"));
  ASSERT_TRUE(stranger->waitForOutput("Closing in 5 seconds...", 10s)) << stranger->output() << stranger->errors();
  EXPECT_NE(stranger->output().find("[INFO] Unregistering layer: " +
                                    tools.home.file("elsewhere/api_layer/gait_xrlayer.json")),
            std::string::npos);
  EXPECT_NE(stranger->output().find("[INFO] Layer was not registered in the registry. Done."), std::string::npos);
  EXPECT_TRUE(fs::exists(tools.registered));

  auto remover = tools.run(tools.dist + "/LayerRemover");
  ASSERT_TRUE(remover->waitForOutput("Closing in 5 seconds...", 10s)) << remover->output() << remover->errors();
  EXPECT_FALSE(fs::exists(tools.registered));
  auto again = tools.run(tools.dist + "/LayerRemover");

  EXPECT_EQ(nothing->waitForExit(10s), 0);
  EXPECT_EQ(nothing->output(), kBanner + "\n   StrivoVR OpenXR API Layer Uninstaller\n" + kBanner +
                                   "\n[INFO] Unregistering layer: " + tools.manifest +
                                   "\n[INFO] OpenXR registry key does not exist. Nothing to uninstall.\n");
  EXPECT_EQ(setup->waitForExit(10s), 0) << setup->errors();
  EXPECT_EQ(stranger->waitForExit(10s), 0);
  EXPECT_EQ(remover->waitForExit(10s), 0);
  EXPECT_EQ(remover->output(),
            kBanner + "\n   StrivoVR OpenXR API Layer Uninstaller\n" + kBanner + "\n[INFO] Unregistering layer: " +
                tools.manifest + "\n[SUCCESS] OpenXR API Layer unregistered successfully!\nClosing in 5 seconds...\n");
  EXPECT_EQ(again->waitForExit(10s), 0);
  EXPECT_NE(again->output().find("[INFO] Layer was not registered in the registry. Done."), std::string::npos);
  EXPECT_EQ(again->errors() + remover->errors() + nothing->errors(), "");
}

// A distribution package puts its manifest in the system's data folder, naming the
// packaged library: the program counts that as its registration, with no user copy.
TEST(LayerToolsProgram, ASystemManifestNamingTheProgramsLibraryCountsAsRegistered) {
  LayerTools tools;
  nlohmann::json manifest = nlohmann::json::parse(testsupport::readFile(tools.manifest));
  manifest["api_layer"]["library_path"] = tools.dist + "/api_layer/gait_xrlayer.so";
  const std::string system = tools.home.file("share/openxr/1/api_layers/implicit.d/strivovr.json");
  fs::create_directories(fs::path(system).parent_path());
  testsupport::writeFile(system, manifest.dump());
  auto check = tools.run(tools.dist + "/LayerSetup", {"--check"});
  EXPECT_EQ(check->waitForExit(10s), 0) << check->output() << check->errors();
  EXPECT_NE(check->output().find("[INFO] This program's manifest is registered: " + tools.manifest), std::string::npos)
      << check->output();
  EXPECT_FALSE(fs::exists(tools.registered));
}

}  // namespace
