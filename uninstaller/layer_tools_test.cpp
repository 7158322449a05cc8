#include <gtest/gtest.h>

#include <vector>

#include "testing/support/temp_folder.h"
#include "uninstaller/layer_check.h"
#include "uninstaller/layer_remover.h"
#include "uninstaller/layer_setup.h"

namespace layertools {
namespace {

using platform::RegistryResult;
using platform::RegistryStatus;

struct RecordingConsole {
  std::vector<std::string> out, err;
  std::vector<int> pauses;
  Console console() {
    return {.out = [this](const std::string& line) { out.push_back(line); },
            .err = [this](const std::string& line) { err.push_back(line); },
            .pause = [this](int seconds) { pauses.push_back(seconds); }};
  }
};

struct FakeList : IRegistrationList {
  RegistryResult openResult, changeResult;
  std::vector<std::string> calls;
  RegistryResult open(bool create) override {
    calls.push_back(create ? "open+create" : "open");
    return openResult;
  }
  RegistryResult add(const std::string& path) override {
    calls.push_back("add " + path);
    return changeResult;
  }
  RegistryResult remove(const std::string& path) override {
    calls.push_back("remove " + path);
    return changeResult;
  }
  void close() override { calls.push_back("close"); }
};

TEST(LayerRemover, EveryOpenAndDeleteOutcomeHasItsLineAndExitCode) {
  const std::string manifest = R"(C:\Games\StrivoVR\api_layer\gait_xrlayer.json)";
  struct Row {
    RegistryResult open, remove;
    std::string line;
    bool onError;
    int exitCode;
    bool removes;
  };
  const std::vector<Row> rows = {
      {{RegistryStatus::NotFound, 2},
       {},
       "[INFO] OpenXR registry key does not exist. Nothing to uninstall.",
       false,
       0,
       false},
      {{RegistryStatus::AccessDenied, 5},
       {},
       "[ERROR] Access Denied. Please run this uninstaller as Administrator.",
       true,
       1,
       false},
      {{RegistryStatus::Failed, 1018}, {}, "[ERROR] Failed to open registry key. Status: 1018", true, 1, false},
      {{}, {}, "[SUCCESS] OpenXR API Layer unregistered successfully!", false, 0, true},
      {{}, {RegistryStatus::NotFound, 2}, "[INFO] Layer was not registered in the registry. Done.", false, 0, true},
      {{}, {RegistryStatus::AccessDenied, 5}, "[ERROR] Failed to delete registry value. Status: 5", true, 1, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    RecordingConsole console;
    FakeList list;
    list.openResult = row.open;
    list.changeResult = row.remove;
    // A trailing separator before the file name is dropped from the folder.
    EXPECT_EQ(runLayerRemover(R"(C:\Games\StrivoVR\\LayerRemover.exe)", '\\', list, console.console()), row.exitCode);
    ASSERT_GE(console.out.size(), 4u);
    EXPECT_EQ(console.out[0], std::string(47, '='));
    EXPECT_EQ(console.out[1], "   StrivoVR OpenXR API Layer Uninstaller");
    EXPECT_EQ(console.out[2], console.out[0]);
    EXPECT_EQ(console.out[3], "[INFO] Unregistering layer: " + manifest);
    const auto& stream = row.onError ? console.err : console.out;
    EXPECT_NE(std::find(stream.begin(), stream.end(), row.line), stream.end());
    EXPECT_EQ(console.pauses, std::vector<int>{5});
    const std::vector<std::string> expectedCalls = row.removes
                                                       ? std::vector<std::string>{"open", "remove " + manifest, "close"}
                                                       : std::vector<std::string>{"open"};
    EXPECT_EQ(list.calls, expectedCalls);
    EXPECT_EQ(console.out.back() == "Closing in 5 seconds...", row.removes);
  }

  RecordingConsole console;
  FakeList list;
  EXPECT_EQ(runLayerRemover("", '\\', list, console.console()), 1);
  EXPECT_EQ(console.err, std::vector<std::string>{"[ERROR] Failed to get module file name."});
  EXPECT_EQ(console.pauses, std::vector<int>{3});
  EXPECT_TRUE(list.calls.empty());
}

TEST(LayerSetup, RegistersOnlyAManifestThatIsThereAndReportsRefusals) {
  testsupport::TempFolder folder("layer_setup");
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  const std::string program = folder.file("LayerSetup");
  const std::string manifest = (folder.path() / "api_layer" / "gait_xrlayer.json").string();

  RecordingConsole missing;
  FakeList untouched;
  EXPECT_EQ(runLayerSetup(program, separator, untouched, missing.console()), 1);
  EXPECT_EQ(missing.err, std::vector<std::string>{"[ERROR] Layer manifest not found: " + manifest});
  EXPECT_TRUE(untouched.calls.empty());

  std::filesystem::create_directories(folder.path() / "api_layer");
  testsupport::writeFile(manifest, "{}");
  RecordingConsole done;
  FakeList list;
  EXPECT_EQ(runLayerSetup(program, separator, list, done.console()), 0);
  EXPECT_EQ(list.calls, (std::vector<std::string>{"open+create", "add " + manifest, "close"}));
  EXPECT_NE(std::find(done.out.begin(), done.out.end(), "[SUCCESS] OpenXR API Layer registered successfully!"),
            done.out.end());
  EXPECT_EQ(done.pauses, std::vector<int>{5});

  RecordingConsole denied;
  FakeList refusing;
  refusing.openResult = {RegistryStatus::AccessDenied, 5};
  EXPECT_EQ(runLayerSetup(program, separator, refusing, denied.console()), 1);
  EXPECT_EQ(denied.err, std::vector<std::string>{"[ERROR] Access Denied. Please run this installer as Administrator."});

  RecordingConsole failed;
  FakeList failing;
  failing.changeResult = {RegistryStatus::Failed, 28};
  EXPECT_EQ(runLayerSetup(program, separator, failing, failed.console()), 1);
  EXPECT_EQ(failed.err, std::vector<std::string>{"[ERROR] Failed to register layer. Status: 28"});
}

TEST(LayerCheck, FindsOurManifestsAndTellsWhyTheLayerIsInactive) {
  testsupport::TempFolder folder("layer_check");
  testsupport::writeFile(folder.file("ours.json"), R"({"api_layer": {"name": "XR_APILAYER_STRIVO_input"}})");
  testsupport::writeFile(folder.file("other.json"), R"({"api_layer": {"name": "XR_APILAYER_other"}})");
  testsupport::writeFile(folder.file("garbage.json"), "{\"api_layer\": [1, 2");
  testsupport::writeFile(folder.file("wrong_shape.json"), R"({"api_layer": "XR_APILAYER_STRIVO_input"})");
  const std::vector<std::string> ours =
      manifestsNamingLayer({folder.file("garbage.json"), folder.file("other.json"), folder.file("ours.json"),
                            folder.file("missing.json"), folder.file("wrong_shape.json")});
  EXPECT_EQ(ours, std::vector<std::string>{folder.file("ours.json")});

  const LoaderLayers absent = queryLoaderLayers(folder.file("no_such_loader.so"));
  EXPECT_FALSE(absent.loaded);
  EXPECT_FALSE(absent.error.empty());

  CheckFacts facts;
  facts.loaderName = "loader.so";
  facts.loader = absent;
  facts.ownManifest = "/p/api_layer/gait_xrlayer.json";
  RecordingConsole noLoader;
  EXPECT_EQ(runLayerCheck(facts, noLoader.console()), 1);
  ASSERT_FALSE(noLoader.err.empty());
  EXPECT_EQ(noLoader.err[0].rfind("[ERROR] No OpenXR loader is installed: loader.so could not be loaded (", 0), 0u);

  facts.loader = LoaderLayers{};
  facts.loader.loaded = true;
  facts.loader.names = {"XR_APILAYER_other", "XR_APILAYER_STRIVO_input"};
  facts.ourManifests = ours;
  facts.ownRegistered = true;
  RecordingConsole active;
  EXPECT_EQ(runLayerCheck(facts, active.console()), 0);
  EXPECT_TRUE(active.err.empty());
  for (const std::string& line : std::vector<std::string>{
           "[INFO] API layers listed by the loader: XR_APILAYER_other, XR_APILAYER_STRIVO_input",
           "[OK] XR_APILAYER_STRIVO_input is listed by the OpenXR loader.", "[INFO] Layer manifest: " + ours[0],
           "[INFO] DISABLE_XR_APILAYER_STRIVO_INPUT is not set."})
    EXPECT_NE(std::find(active.out.begin(), active.out.end(), line), active.out.end()) << line;

  facts.disabled = true;
  RecordingConsole disabled;
  EXPECT_EQ(runLayerCheck(facts, disabled.console()), 1);
  EXPECT_EQ(disabled.err, std::vector<std::string>{"[WARN] DISABLE_XR_APILAYER_STRIVO_INPUT is set: the OpenXR loader "
                                                   "skips the layer. Remove the variable to enable it."});
}

}  // namespace
}  // namespace layertools
