#include "app/core/settings_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "testing/support/temp_folder.h"

namespace core {
namespace {

using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

// The file a fresh record saves, key by key as the settings table defines them.
const char* const kDefaultFile = R"json({
    "audio_volume": 0.5,
    "bind_steamvr_toggle": false,
    "bridge_listen_all": false,
    "center_offset": [
        0.0,
        0.0,
        0.0
    ],
    "check_for_updates": true,
    "deadzone": 3.0,
    "debug_mode": true,
    "enable_audio_feedback": true,
    "enable_experimental_openxr": false,
    "enable_openxr_s2": false,
    "enable_steamvr_s2": false,
    "enable_xbox_s2": false,
    "fix_angle_discontinuity": false,
    "hmd_source": "Phone (Acceleration)",
    "hook_target_name": "Left Hand (Default)",
    "hook_target_serial": "",
    "jump_accel_axis": "Y",
    "jump_accel_smoothing": 50.0,
    "jump_accel_suppress_threshold": 5.0,
    "jump_accel_threshold": 15.0,
    "jump_button": "A",
    "jump_comp_axis": "Roll",
    "jump_duration": 0.15000000596046448,
    "jump_hook_button": "Left: A",
    "jump_key": "space",
    "jump_output_mode": "Follow Main Output",
    "jump_pitch_comp": 0.0,
    "jump_threshold": 15.0,
    "jump_window": 150.0,
    "key_back": "s",
    "key_back_2": "shift+s",
    "key_fwd": "w",
    "key_fwd_2": "shift+w",
    "key_left": "a",
    "key_left_2": "shift+a",
    "key_right": "d",
    "key_right_2": "shift+d",
    "keyboard_threshold": 30.0,
    "keyboard_threshold_2": 60.0,
    "max_angle_x": 30.0,
    "max_angle_y": 30.0,
    "mode": "SteamVR Hook",
    "openvr_hmd_id": 0,
    "openxr_button_2": "Left: Grip",
    "openxr_threshold_2": 80.0,
    "orientation": "Vertical (Portrait)",
    "osc_input_port": 9000,
    "osc_listen_all": false,
    "owotrack_input_port": 6969,
    "phone_map_pitch": "None",
    "phone_map_roll": "Y",
    "phone_map_yaw": "X",
    "progression": 0.0,
    "screen_facing": "Screen Outward (Default)",
    "slime_facing": "Screen Outward (Default)",
    "slime_jump_tracker_name": "None",
    "slime_map_pitch": "None",
    "slime_map_roll": "Y",
    "slime_map_yaw": "X",
    "slime_orientation": "Vertical (Portrait)",
    "slime_tracker_id": 1,
    "slime_tracker_name": "None",
    "slimevr_tap_axis": 2,
    "slimevr_tap_sensitivity": 20.0,
    "slimevr_tap_toggle": false,
    "solarxr_port": 21110,
    "squat_button": "B",
    "squat_hook_button": "Left: B",
    "squat_is_hold": false,
    "squat_key": "ctrl",
    "squat_lower_threshold": 110.0,
    "squat_output_mode": "Follow Main Output",
    "squat_source": "Disabled",
    "squat_upper_threshold": 140.0,
    "start_on_launch": true,
    "steamvr_button_2": "Left: Grip",
    "steamvr_threshold_2": 80.0,
    "steamvr_toggle_hand": 0,
    "steamvr_tracker_id": -1,
    "steamvr_tracker_name": "None",
    "target_controller": "Left",
    "tracker_source": "Phone",
    "vrchat_osc_address": "127.0.0.1",
    "vrchat_osc_port": 9000,
    "xbox_button_2": "LB",
    "xbox_threshold_2": 80.0
})json";

std::string withNativeLineEnds(const std::string& text) {
  std::string converted;
  for (char c : text) {
    if (c == '\n')
      converted += platform::nativeLineEnding();
    else
      converted += c;
  }
  return converted;
}

std::size_t filesIn(const std::string& folder) {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

struct SettingsFileTest : ::testing::Test {
  TempFolder folder{"settings_file"};
  std::string dataFolder = folder.file("data");
  std::string fallback = folder.file("settings.json");
  std::ostringstream out;
  std::ostringstream err;
  SettingsFile file{[this] {
                      std::filesystem::create_directories(dataFolder);
                      return dataFolder;
                    },
                    fallback, out, err};
  Settings settings;

  void writeUserFile(const std::string& json) {
    std::filesystem::create_directories(dataFolder);
    writeFile(file.path(), json);
  }
  std::string savedText() { return readFile(file.path()); }
};

TEST_F(SettingsFileTest, FreshRecordSavesExactlyTheDefaultFile) {
  ASSERT_TRUE(file.save(settings));
  EXPECT_EQ(savedText(), withNativeLineEnds(kDefaultFile));
  EXPECT_EQ(out.str(), "[Settings] Saved to " + file.path() + "\n");
}

TEST_F(SettingsFileTest, SavedFileLoadsBackToTheSameValues) {
  settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = 7.25f; });
  settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  settings.config.edit([&](core::Config& c) {
    c.outputs.hook_target_name = "Controller \xC3\xA9\xE2\x9C\x93";
  });  // non-ASCII is written as UTF-8
  settings.config.edit([&](core::Config& c) { c.locomotion.slime_map_yaw = AxisNegZ; });
  settings.config.edit([&](core::Config& c) { c.locomotion.center_offset = {1.5f, -2.0f, 170.25f}; });
  settings.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 3; });
  settings.config.edit([&](core::Config& c) { c.tracking.osc_listen_all = true; });
  ASSERT_TRUE(file.save(settings));
  EXPECT_NE(savedText().find("\"Controller \xC3\xA9\xE2\x9C\x93\""), std::string::npos);

  Settings loaded;
  ASSERT_TRUE(file.load(loaded));
  EXPECT_EQ(loaded.config.snapshot()->locomotion.deadzone, 7.25f);
  EXPECT_EQ(loaded.config.snapshot()->outputs.mode, core::OutputMode::Keyboard);
  EXPECT_EQ(loaded.config.snapshot()->outputs.hook_target_name, settings.config.snapshot()->outputs.hook_target_name);
  EXPECT_EQ(loaded.config.snapshot()->locomotion.slime_map_yaw, AxisNegZ);
  EXPECT_EQ(loaded.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{1.5f, -2.0f, 170.25f}));
  EXPECT_EQ(loaded.config.snapshot()->tracking.steamvr_tracker_id, 3);
  EXPECT_EQ(serializeSettings(loaded), serializeSettings(settings));
}

TEST_F(SettingsFileTest, MissingFilesLeaveTheRecordAndSaySo) {
  settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = 9.0f; });
  EXPECT_FALSE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.deadzone, 9.0f);
  EXPECT_EQ(out.str(), "[Settings] No settings file found, using defaults.\n");
}

TEST_F(SettingsFileTest, FallbackFileIsReadButNeverWritten) {
  writeFile(fallback, R"({"deadzone": 5.5})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.deadzone, 5.5f);
  EXPECT_NE(out.str().find("[Settings] Loading from " + fallback + "\n"), std::string::npos);
  EXPECT_NE(out.str().find("[Settings] Loaded successfully.\n"), std::string::npos);

  ASSERT_TRUE(file.save(settings));
  EXPECT_EQ(readFile(fallback), R"({"deadzone": 5.5})");
  EXPECT_NE(savedText().find("\"deadzone\": 5.5"), std::string::npos);

  // Once the user's file exists it wins over the fallback.
  Settings again;
  writeFile(fallback, R"({"deadzone": 1.0})");
  ASSERT_TRUE(file.load(again));
  EXPECT_EQ(again.config.snapshot()->locomotion.deadzone, 5.5f);
}

TEST_F(SettingsFileTest, LegacyKeysFillTheNewFieldsOnlyWhenTheNewKeysAreMissing) {
  writeUserFile(
      R"({"slime_loco_id": 4, "slime_loco_name": "hip", "map_roll": "X", "map_pitch": "-Z", "map_yaw": "None"})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->tracking.slime_tracker_id, 4);
  EXPECT_EQ(settings.config.snapshot()->tracking.slime_tracker_name, "hip");
  for (auto* roll :
       {&settings.config.snapshot()->locomotion.phone_map_roll, &settings.config.snapshot()->locomotion.slime_map_roll})
    EXPECT_EQ(*roll, AxisX);
  for (auto* pitch : {&settings.config.snapshot()->locomotion.phone_map_pitch,
                      &settings.config.snapshot()->locomotion.slime_map_pitch})
    EXPECT_EQ(*pitch, AxisNegZ);
  for (auto* yaw :
       {&settings.config.snapshot()->locomotion.phone_map_yaw, &settings.config.snapshot()->locomotion.slime_map_yaw})
    EXPECT_EQ(*yaw, AxisNone);

  writeUserFile(
      R"({"slime_tracker_id": 7, "slime_loco_id": 4, "slime_tracker_name": "chest", "slime_loco_name": "hip"})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->tracking.slime_tracker_id, 7);
  EXPECT_EQ(settings.config.snapshot()->tracking.slime_tracker_name, "chest");
  // Legacy keys are never written back.
  ASSERT_TRUE(file.save(settings));
  EXPECT_EQ(savedText().find("slime_loco"), std::string::npos);
  EXPECT_EQ(savedText().find("\"map_roll\""), std::string::npos);
}

TEST_F(SettingsFileTest, MappingKeysDefaultToFixedTextsNotTheCurrentValues) {
  settings.config.edit([&](core::Config& c) { c.locomotion.phone_map_pitch = AxisZ; });
  settings.config.edit([&](core::Config& c) { c.locomotion.phone_map_yaw = AxisNegY; });
  settings.config.edit([&](core::Config& c) { c.locomotion.slime_map_roll = AxisNegX; });
  writeUserFile(R"({"phone_map_roll": "Z"})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.phone_map_roll, AxisZ);
  EXPECT_EQ(settings.config.snapshot()->locomotion.phone_map_pitch, AxisNone);
  EXPECT_EQ(settings.config.snapshot()->locomotion.phone_map_yaw, AxisX);
  EXPECT_EQ(settings.config.snapshot()->locomotion.slime_map_roll,
            AxisY);  // no slime keys and no legacy keys: fixed default

  writeUserFile(R"({"phone_map_roll": "y", "slime_map_roll": "Sideways"})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.phone_map_roll, AxisNone);
  EXPECT_EQ(settings.config.snapshot()->locomotion.slime_map_roll, AxisNone);
}

TEST_F(SettingsFileTest, WrongTypeStopsTheLoadKeepingWhatWasReadBefore) {
  writeUserFile(R"({"osc_input_port": 9100, "owotrack_input_port": 7000, "deadzone": "3", "max_angle_x": 45})");
  settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = 4.0f; });
  EXPECT_FALSE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->tracking.osc_input_port, 9100);
  EXPECT_EQ(settings.config.snapshot()->tracking.owotrack_input_port, 7000);
  EXPECT_EQ(settings.config.snapshot()->locomotion.deadzone, 4.0f);
  EXPECT_EQ(settings.config.snapshot()->locomotion.max_angle_x, 30.0f);  // after the failing key: untouched
  EXPECT_EQ(err.str().rfind("[Settings] Load error: ", 0), 0u) << err.str();

  // What start-up does next: save the record, so the good members survive and the bad one is replaced.
  Settings fresh;
  writeUserFile(R"({"osc_input_port": 9100, "owotrack_input_port": 7000, "deadzone": "3"})");
  EXPECT_FALSE(file.load(fresh));
  ASSERT_TRUE(file.save(fresh));
  Settings reloaded;
  ASSERT_TRUE(file.load(reloaded));
  EXPECT_EQ(reloaded.config.snapshot()->tracking.osc_input_port, 9100);
  EXPECT_EQ(reloaded.config.snapshot()->tracking.owotrack_input_port, 7000);
  EXPECT_EQ(reloaded.config.snapshot()->locomotion.deadzone, 3.0f);
}

TEST_F(SettingsFileTest, NumbersConvertLikeTypedReads) {
  writeUserFile(R"({"osc_input_port": 9000.7, "owotrack_input_port": -12.9, "deadzone": true, "max_angle_x": 12})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->tracking.osc_input_port, 9000);
  EXPECT_EQ(settings.config.snapshot()->tracking.owotrack_input_port, -12);
  EXPECT_EQ(settings.config.snapshot()->locomotion.deadzone, 1.0f);
  EXPECT_EQ(settings.config.snapshot()->locomotion.max_angle_x, 12.0f);

  writeUserFile(R"({"enable_xbox_s2": 1})");
  EXPECT_FALSE(file.load(settings));
  writeUserFile(R"({"mode": 5})");
  EXPECT_FALSE(file.load(settings));
}

TEST_F(SettingsFileTest, IntegersOutsideTheIntRangeAreErrorsNotWrappedValues) {
  for (const char* json :
       {R"({"osc_input_port": 1e20})", R"({"osc_input_port": 4294967297})", R"({"osc_input_port": -3000000000})"}) {
    settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = 9000; });
    writeUserFile(json);
    EXPECT_FALSE(file.load(settings)) << json;
    EXPECT_EQ(settings.config.snapshot()->tracking.osc_input_port, 9000) << json;
  }
}

TEST_F(SettingsFileTest, NumbersAFieldCannotHoldAreRefusedAndLaterKeysStillLoad) {
  const std::string later = R"("max_angle_x": 12, "jump_threshold": 22})";
  Settings expected;  // what the later keys alone give
  writeUserFile("{" + later);
  ASSERT_TRUE(file.load(expected));
  struct Case {
    const char* member;
    bool refused;
  } cases[] = {{R"("deadzone": 1e39, )", true},  // beyond float: was read as infinity
               {R"("deadzone": -1e39, )", true},
               {R"("deadzone": 3e38, )", false},
               {R"("osc_input_port": 2147483648, )", true},
               {R"("osc_input_port": 2147483647, )", false},
               {R"("center_offset": [1, 1e39, 3], )", true}};
  for (const Case& c : cases) {
    Settings target;
    writeUserFile("{" + std::string(c.member) + later);
    EXPECT_EQ(file.load(target), !c.refused) << c.member;
    if (c.refused) {
      EXPECT_EQ(serializeSettings(target), serializeSettings(expected)) << c.member;
    }
    EXPECT_EQ(target.config.snapshot()->jump.jump_threshold, 22.0f) << c.member;
    ASSERT_TRUE(file.save(target));  // a refused file is kept aside first
    EXPECT_EQ(savedText().find("null"), std::string::npos) << c.member;
  }
  // A float that is no number never reaches the file: its default stands in.
  settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = std::numeric_limits<float>::quiet_NaN(); });
  settings.config.edit([&](core::Config& c) {
    c.locomotion.center_offset = {1, -std::numeric_limits<float>::infinity(), 2};
  });
  ASSERT_TRUE(file.save(settings));
  ASSERT_TRUE(file.load(expected));
  EXPECT_EQ(expected.config.snapshot()->locomotion.deadzone, 3.0f);
  EXPECT_EQ(expected.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{1, 0, 2}));
}

TEST_F(SettingsFileTest, CenterNeedsThreeNumbers) {
  settings.config.edit([&](core::Config& c) { c.locomotion.center_offset = {4, 5, 6}; });
  writeUserFile(R"({"center_offset": [1, 2]})");
  EXPECT_FALSE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{4, 5, 6}));

  writeUserFile(R"({"center_offset": "not an array"})");
  EXPECT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{4, 5, 6}));

  writeUserFile(R"({"center_offset": [1, 2, 3, 99]})");
  EXPECT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{1, 2, 3}));
}

TEST_F(SettingsFileTest, MalformedDocumentsAreLoadErrorsThatChangeNothing) {
  const std::vector<std::string> documents = {
      "",
      "{",
      R"({"deadzone": 5.0,})",
      "// comment\n{}",
      "[1, 2, 3]",
      "\"text\"",
      "null",
      std::string(64, '\0'),  // a file left full of zeros by a crash
      std::string(100000, '['),
      "\xFF\xFE\x00\x01",
  };
  for (const auto& document : documents) {
    Settings target;
    target.config.edit([&](core::Config& c) { c.locomotion.deadzone = 2.0f; });
    err.str("");
    writeUserFile(document);
    EXPECT_FALSE(file.load(target)) << document.substr(0, 40);
    EXPECT_EQ(target.config.snapshot()->locomotion.deadzone, 2.0f);
    EXPECT_EQ(err.str().rfind("[Settings] Load error: ", 0), 0u);
  }
}

TEST_F(SettingsFileTest, UnknownMembersAreIgnoredAndNotKept) {
  writeUserFile(R"({"something_new": [1, {"a": 2}], "deadzone": 6})");
  ASSERT_TRUE(file.load(settings));
  EXPECT_EQ(settings.config.snapshot()->locomotion.deadzone, 6.0f);
  ASSERT_TRUE(file.save(settings));
  EXPECT_EQ(savedText().find("something_new"), std::string::npos);
}

TEST_F(SettingsFileTest, TextThatIsNotUtf8IsSavedRepairedAndLoadsBack) {
  settings.config.edit([&](core::Config& c) { c.outputs.hook_target_name = "bad \xFF utf-8"; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "cut \xE2\x9C"; });
  ASSERT_TRUE(file.save(settings)) << err.str();
  Settings loaded;
  ASSERT_TRUE(file.load(loaded)) << err.str();
  EXPECT_EQ(loaded.config.snapshot()->outputs.hook_target_name, "bad \xEF\xBF\xBD utf-8");
  EXPECT_EQ(loaded.config.snapshot()->tracking.slime_tracker_name, "cut \xEF\xBF\xBD");
}

TEST_F(SettingsFileTest, UnwritableFolderIsReportedAndNothingIsDestroyed) {
  SettingsFile broken([this] { return folder.file("no/such/folder"); }, fallback, out, err);
  EXPECT_FALSE(broken.save(settings));
  EXPECT_EQ(err.str(), "[Settings] Failed to open file for writing: " + broken.path() + "\n");
}

TEST_F(SettingsFileTest, ConcurrentSavesNeverInterleave) {
  std::vector<std::thread> savers;
  for (int t = 0; t < 4; ++t) {
    savers.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) {
        settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = static_cast<float>(t * 100 + i); });
        file.save(settings);
      }
    });
  }
  for (auto& saver : savers) saver.join();
  Settings loaded;
  ASSERT_TRUE(file.load(loaded));  // a whole, parseable document
  const int written = static_cast<int>(loaded.config.snapshot()->locomotion.deadzone);
  EXPECT_TRUE(written % 100 < 25 && written / 100 < 4) << written;
  EXPECT_EQ(savedText(), withNativeLineEnds(serializeSettings(loaded)));
  EXPECT_EQ(filesIn(dataFolder), 1u);
}

// 2026-12-08 07:13:24 UTC, the time that dates the kept copies below.
std::chrono::system_clock::time_point keptAt() {
  using namespace std::chrono;
  return sys_days{year{2026} / 12 / 8} + hours{7} + minutes{13} + seconds{24};
}

TEST_F(SettingsFileTest, DamagedFileIsKeptBeforeItIsReplacedAndNoCopyIsEverOverwritten) {
  SettingsFile dated([this] { return dataFolder; }, fallback, out, err, keptAt);
  std::filesystem::create_directories(dataFolder);
  const std::string damaged[] = {R"({"deadzone": 7.5, "mode": "Keyboard", "key_fwd": "i",})", "",
                                 "{\"key_fwd\": \"\xE9\"}"};
  const std::string names[] = {".broken", ".broken-20261208T071324Z", ".broken-20261208T071324Z-2"};
  for (std::size_t i = 0; i < 3; ++i) {
    writeFile(dated.path(), damaged[i]);
    Settings target;
    out.str("");
    EXPECT_FALSE(dated.load(target));
    ASSERT_TRUE(dated.save(target)) << err.str();
    const std::string log = out.str();
    const std::size_t kept = log.find("[Settings] The damaged file was kept as " + dated.path() + names[i] + "\n");
    ASSERT_NE(kept, std::string::npos) << log;
    EXPECT_LT(kept, log.find("[Settings] Saved to ")) << log;
    for (std::size_t j = 0; j <= i; ++j) EXPECT_EQ(readFile(dated.path() + names[j]), damaged[j]) << j;
    EXPECT_EQ(savedText(), withNativeLineEnds(serializeSettings(Settings{})));
  }
  // Kept once: later saves, and saves after a good load, make no further copies.
  out.str("");
  ASSERT_TRUE(dated.save(settings));
  ASSERT_TRUE(dated.load(settings));
  ASSERT_TRUE(dated.save(settings));
  EXPECT_EQ(out.str().find("kept as"), std::string::npos);
  EXPECT_EQ(filesIn(dataFolder), 4u);
}

TEST_F(SettingsFileTest, WhenNoCopyCanBeMadeTheDamagedFileIsNeverWritten) {
  SettingsFile dated([this] { return dataFolder; }, fallback, out, err, keptAt);
  std::filesystem::create_directories(dataFolder);
  const std::string stamp = dated.path() + ".broken-20261208T071324Z";
  std::vector<std::string> taken = {dated.path() + ".broken", stamp};
  for (int n = 2; n <= 8; ++n) taken.push_back(stamp + "-" + std::to_string(n));
  for (const auto& name : taken) writeFile(name, "older copy");

  // Nine names taken: the tenth and last one is used.
  writeFile(dated.path(), "{,}");
  EXPECT_FALSE(dated.load(settings));
  ASSERT_TRUE(dated.save(settings));
  EXPECT_EQ(readFile(stamp + "-9"), "{,}");

  // All ten taken: the damaged file stays as it is, and so does every older copy.
  writeFile(dated.path(), "{,,}");
  EXPECT_FALSE(dated.load(settings));
  err.str("");
  EXPECT_FALSE(dated.save(settings));
  EXPECT_FALSE(dated.save(settings));  // every save is refused, not only the first
  const std::string refusal =
      "[Settings] Could not keep the damaged file " + dated.path() +
      ": every name for the copy is taken. It was left as it is and the settings were not saved.\n";
  EXPECT_EQ(err.str(), refusal + refusal);
  EXPECT_EQ(readFile(dated.path()), "{,,}");
  for (const auto& name : taken) EXPECT_EQ(readFile(name), "older copy");

  // Once a name is free again, the next save keeps the file and writes.
  std::filesystem::remove(taken[0]);
  ASSERT_TRUE(dated.save(settings));
  EXPECT_EQ(readFile(taken[0]), "{,,}");

  // A file that cannot be read cannot be kept (here a folder in its place): nothing is written.
  const std::string blocked = folder.file("blocked");
  SettingsFile unreadable([&] { return blocked; }, fallback, out, err, keptAt);
  std::filesystem::create_directories(std::filesystem::path(unreadable.path()) / "inside");
  EXPECT_FALSE(unreadable.load(settings));
  err.str("");
  EXPECT_FALSE(unreadable.save(settings));
  EXPECT_EQ(err.str().rfind("[Settings] Could not keep the damaged file " + unreadable.path() + ": ", 0), 0u)
      << err.str();
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(unreadable.path()) / "inside"));
  EXPECT_EQ(filesIn(blocked), 1u);
}

}  // namespace
}  // namespace core
