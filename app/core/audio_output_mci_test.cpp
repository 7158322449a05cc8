// AudioService on the real Windows media command interface. The commands pass
// through a recorder so the test sees exactly what was sent and what came back;
// where no sound device or MP3 decoder exists (a headless test machine) the open
// fails, and the failure must then be reported and nothing more sent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "app/core/audio_service.h"
#include "testing/support/temp_folder.h"

namespace core {
namespace {

struct RecordingDevice : platform::IAudioDevice {
  std::unique_ptr<platform::IAudioDevice> real = platform::makeAudioDevice();
  std::vector<std::string> commands;
  std::vector<unsigned> results;
  unsigned send(const std::string& command) override {
    commands.push_back(command);
    results.push_back(real->send(command));
    return results.back();
  }
  bool errorText(unsigned code, std::string& text) override { return real->errorText(code, text); }
};

struct MciOutput : ::testing::Test {
  void SetUp() override { previous = std::filesystem::current_path(); }
  void TearDown() override {
    device.send("close mp3_feedback");
    std::filesystem::current_path(previous);
  }
  Settings settings;
  RecordingDevice device;
  std::ostringstream err;
  AudioService audio{settings, device, err};
  std::filesystem::path previous;
};

TEST_F(MciOutput, StopSoundFromTheProgramFolder) {
  const char* dist = std::getenv("STRIVO_DIST_DIR");
  ASSERT_NE(dist, nullptr);
  std::filesystem::current_path(dist);
  ASSERT_TRUE(std::filesystem::exists("audio/stop.mp3"));
  settings.config.edit([](core::Config& c) { c.program.audio_volume = 0.7f; });
  audio.playStopSound();

  ASSERT_GE(device.commands.size(), 2u);
  EXPECT_EQ(device.commands[0], "close mp3_feedback");
  EXPECT_EQ(device.commands[1], "open \"audio/stop.mp3\" type mpegvideo alias mp3_feedback");
  std::cout << "sound device: "
            << (device.results[1] == 0 ? "opened" : "absent, code " + std::to_string(device.results[1])) << std::endl;
  if (device.results[1] == 0) {
    EXPECT_EQ(device.commands, (std::vector<std::string>{
                                   "close mp3_feedback", "open \"audio/stop.mp3\" type mpegvideo alias mp3_feedback",
                                   "setaudio mp3_feedback volume to 700", "play mp3_feedback from 0"}));
    EXPECT_EQ(err.str(), "");
    // The device stays open after playing; the next sound closes it first.
    audio.playStartSound();
    EXPECT_EQ(device.commands[4], "close mp3_feedback");
    EXPECT_EQ(device.results[4], 0u);
  } else {
    EXPECT_EQ(device.commands.size(), 2u);
    EXPECT_EQ(err.str().rfind("[AudioService] Failed to open audio/stop.mp3", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(" (Code: " + std::to_string(device.results[1]) + ")\n"), std::string::npos) << err.str();
  }
}

TEST_F(MciOutput, MissingFileIsReportedWithTheSystemsErrorText) {
  testsupport::TempFolder elsewhere("strivo_mci");
  std::filesystem::current_path(elsewhere.path());
  audio.playStartSound();
  ASSERT_EQ(device.commands.size(), 2u);
  EXPECT_NE(device.results[1], 0u);
  std::string text;
  ASSERT_TRUE(device.errorText(device.results[1], text));
  EXPECT_EQ(err.str(), "[AudioService] Failed to open audio/start.mp3: " + text +
                           " (Code: " + std::to_string(device.results[1]) + ")\n");
}

TEST_F(MciOutput, DisabledSendsNoCommand) {
  settings.config.edit([](core::Config& c) { c.program.enable_audio_feedback = false; });
  audio.playStartSound();
  EXPECT_TRUE(device.commands.empty());
}

}  // namespace
}  // namespace core
