#include <gtest/gtest.h>

#include <vector>

#include "testing/support/temp_folder.h"
#include "uninstaller/layer_check.h"
#include "uninstaller/layer_remover.h"
#include "uninstaller/layer_setup.h"

// The outcomes a real registry or folder seldom produces; the whole-program tests
// run the usual ones with the real programs.
namespace layertools {
namespace {

using platform::RegistryResult;
using platform::RegistryStatus;
using Lines = std::vector<std::string>;

struct ToolRun {
  Lines out, err, calls;
  std::vector<int> pauses;
  Console console() {
    return {.out = [this](const std::string& line) { out.push_back(line); },
            .err = [this](const std::string& line) { err.push_back(line); },
            .pause = [this](int seconds) { pauses.push_back(seconds); }};
  }
};

struct FakeList : IRegistrationList {
  FakeList(ToolRun& run, RegistryResult openResult, RegistryResult changeResult)
      : run(run), openResult(openResult), changeResult(changeResult) {}
  RegistryResult open(bool create) override { return run.calls.push_back(create ? "create" : "open"), openResult; }
  RegistryResult add(const std::string& path) override { return run.calls.push_back("add " + path), changeResult; }
  RegistryResult remove(const std::string& path) override {
    return run.calls.push_back("remove " + path), changeResult;
  }
  void close() override { run.calls.push_back("close"); }
  ToolRun& run;
  RegistryResult openResult, changeResult;
};

TEST(LayerRemover, EveryOpenAndDeleteOutcomeHasItsLineStreamAndExitCode) {
  const std::string manifest = R"(C:\Games\StrivoVR\api_layer\gait_xrlayer.json)";
  const RegistryResult ok, missing{RegistryStatus::NotFound, 2}, denied{RegistryStatus::AccessDenied, 5};
  struct Row {
    RegistryResult open, remove;
    std::string line;
    bool onError;
    int exitCode;
  };
  for (const Row& row : std::vector<Row>{
           {missing, ok, "[INFO] OpenXR registry key does not exist. Nothing to uninstall.", false, 0},
           {denied, ok, "[ERROR] Access Denied. Please run this uninstaller as Administrator.", true, 1},
           {{RegistryStatus::Failed, 1018}, ok, "[ERROR] Failed to open registry key. Status: 1018", true, 1},
           {ok, ok, "[SUCCESS] OpenXR API Layer unregistered successfully!", false, 0},
           {ok, missing, "[INFO] Layer was not registered in the registry. Done.", false, 0},
           {ok, denied, "[ERROR] Failed to delete registry value. Status: 5", true, 1}}) {
    SCOPED_TRACE(row.line);
    ToolRun run;
    FakeList list(run, row.open, row.remove);
    // A trailing separator before the file name is dropped from the folder.
    EXPECT_EQ(runLayerRemover(R"(C:\Games\StrivoVR\\LayerRemover.exe)", '\\', list, run.console()), row.exitCode);
    const bool opened = row.open.status == RegistryStatus::Ok;
    Lines out = {kBanner, "   StrivoVR OpenXR API Layer Uninstaller", kBanner,
                 "[INFO] Unregistering layer: " + manifest};
    if (!row.onError) out.push_back(row.line);
    if (opened) out.push_back("Closing in 5 seconds...");
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, (row.onError ? Lines{row.line} : Lines{}));
    EXPECT_EQ(run.calls, (opened ? Lines{"open", "remove " + manifest, "close"} : Lines{"open"}));
    EXPECT_EQ(run.pauses, std::vector<int>{5});
  }

  ToolRun run;
  FakeList list(run, ok, ok);
  EXPECT_EQ(runLayerRemover("", '\\', list, run.console()), 1);
  EXPECT_EQ(run.err, Lines{"[ERROR] Failed to get module file name."});
  EXPECT_EQ(run.pauses, std::vector<int>{3});
  EXPECT_TRUE(run.calls.empty());
}

TEST(LayerSetup, RefusesAMissingManifestAndReportsRegistryRefusals) {
  testsupport::TempFolder folder("layer_setup");
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  const std::string program = folder.file("LayerSetup");
  const std::string manifest = (folder.path() / "api_layer" / "gait_xrlayer.json").string();
  ToolRun absent;
  FakeList untouched(absent, {}, {});
  EXPECT_EQ(runLayerSetup(program, separator, untouched, absent.console()), 1);
  EXPECT_EQ(absent.err, Lines{"[ERROR] Layer manifest not found: " + manifest});
  EXPECT_TRUE(absent.calls.empty());

  std::filesystem::create_directories(folder.path() / "api_layer");
  testsupport::writeFile(manifest, "{}");
  ToolRun denied;
  FakeList refusing(denied, {RegistryStatus::AccessDenied, 5}, {});
  EXPECT_EQ(runLayerSetup(program, separator, refusing, denied.console()), 1);
  EXPECT_EQ(denied.err, Lines{"[ERROR] Access Denied. Please run this installer as Administrator."});
  ToolRun failed;
  FakeList failing(failed, {}, {RegistryStatus::Failed, 28});
  EXPECT_EQ(runLayerSetup(program, separator, failing, failed.console()), 1);
  EXPECT_EQ(failed.err, Lines{"[ERROR] Failed to register layer. Status: 28"});
  EXPECT_EQ(failed.calls, (Lines{"create", "add " + manifest, "close"}));
}

TEST(LayerCheck, OnlyWellFormedManifestsNamingOurLayerCount) {
  testsupport::TempFolder folder("layer_check");
  const std::vector<std::pair<std::string, std::string>> files = {
      {"ours.json", R"({"api_layer": {"name": "XR_APILAYER_STRIVO_input"}})"},
      {"other.json", R"({"api_layer": {"name": "XR_APILAYER_other"}})"},
      {"cut_short.json", R"({"api_layer": {"name": "XR_APILAYER_STRIVO_in)"},
      {"wrong_shape.json", R"({"api_layer": "XR_APILAYER_STRIVO_input"})"},
      {"array.json", R"([{"api_layer": {"name": "XR_APILAYER_STRIVO_input"}}])"},
      {"empty.json", ""}};
  Lines paths = {folder.file("missing.json")};
  for (const auto& [name, text] : files) {
    testsupport::writeFile(folder.file(name), text);
    paths.push_back(folder.file(name));
  }
  EXPECT_EQ(manifestsNamingLayer(paths), Lines{folder.file("ours.json")});
}

}  // namespace
}  // namespace layertools
