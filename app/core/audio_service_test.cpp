#include "app/core/audio_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sstream>
#include <vector>

#include "testing/support/temp_folder.h"

namespace core {
namespace {

using Commands = std::vector<std::string>;

// Records the command strings; answers `openCode` to every open.
struct RecordingDevice : platform::IAudioDevice {
  Commands commands;
  unsigned openCode = 0;
  bool hasText = true;
  unsigned send(const std::string& command) override {
    commands.push_back(command);
    return command.rfind("open ", 0) == 0 ? openCode : 0;
  }
  bool errorText(unsigned code, std::string& text) override {
    if (!hasText) return false;
    text = "The specified file was not found.";
    return true;
  }
};

struct AudioFixture : ::testing::Test {
  Settings settings;
  RecordingDevice device;
  std::ostringstream err;
  AudioService audio{settings, device, err};
};

TEST_F(AudioFixture, PlayClosesOpensSetsVolumeAndPlays) {
  audio.playStartSound();
  EXPECT_EQ(device.commands,
            (Commands{"close mp3_feedback", "open \"audio/start.mp3\" type mpegvideo alias mp3_feedback",
                      "setaudio mp3_feedback volume to 500", "play mp3_feedback from 0"}));
  device.commands.clear();
  settings.config.edit([](core::Config& c) { c.program.audio_volume = 0.25f; });
  audio.playStopSound();
  EXPECT_EQ(device.commands,
            (Commands{"close mp3_feedback", "open \"audio/stop.mp3\" type mpegvideo alias mp3_feedback",
                      "setaudio mp3_feedback volume to 250", "play mp3_feedback from 0"}));
  EXPECT_EQ(err.str(), "");
}

TEST_F(AudioFixture, SoundsComeFromTheProgramFolderWhenThereElseFromTheWorkingDirectory) {
  testsupport::TempFolder program("strivo audio folder");
  std::filesystem::create_directories(program.path() / "audio");
  testsupport::writeFile(program.file("audio/start.mp3"), "");
  AudioService own(settings, device, err, program.path().string());
  own.playStartSound();
  own.playStopSound();  // not in the program folder
  const std::string file = (program.path() / "audio" / "start.mp3").string();
  ASSERT_EQ(device.commands.size(), 8u);
  EXPECT_EQ(device.commands[1], "open \"" + file + "\" type mpegvideo alias mp3_feedback");
  EXPECT_EQ(device.commands[5], "open \"audio/stop.mp3\" type mpegvideo alias mp3_feedback");
}

TEST_F(AudioFixture, VolumeLevelIsTruncatedAndLimited) {
  EXPECT_EQ(AudioService::levelFor(0.5f), 500);
  EXPECT_EQ(AudioService::levelFor(1.7f), 1000);
  EXPECT_EQ(AudioService::levelFor(-0.2f), 0);
  EXPECT_EQ(AudioService::levelFor(0.0019f), 1);
  EXPECT_EQ(AudioService::levelFor(0.9999f), 999);
  EXPECT_EQ(AudioService::levelFor(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(AudioService::levelFor(std::numeric_limits<float>::infinity()), 1000);
  EXPECT_EQ(AudioService::levelFor(1e30f), 1000);
  audio.setVolume(1.7f);
  EXPECT_EQ(device.commands, Commands{"setaudio mp3_feedback volume to 1000"});
}

TEST_F(AudioFixture, DisabledSendsNothingAtAll) {
  settings.config.edit([](core::Config& c) { c.program.enable_audio_feedback = false; });
  audio.playStartSound();
  audio.playStopSound();
  device.openCode = 275;
  audio.play("missing.mp3");
  EXPECT_TRUE(device.commands.empty());
  EXPECT_EQ(err.str(), "");
}

TEST_F(AudioFixture, OpenFailureIsOneLineOnStandardErrorAndNothingPlays) {
  device.openCode = 275;
  audio.playStopSound();
  EXPECT_EQ(device.commands,
            (Commands{"close mp3_feedback", "open \"audio/stop.mp3\" type mpegvideo alias mp3_feedback"}));
  EXPECT_EQ(err.str(), "[AudioService] Failed to open audio/stop.mp3: The specified file was not found. (Code: 275)\n");

  err.str("");
  device.hasText = false;
  device.openCode = 4294967295u;
  audio.play("x.mp3");
  EXPECT_EQ(err.str(), "[AudioService] Failed to open x.mp3 (Code: 4294967295)\n");
}

TEST_F(AudioFixture, SecondSoundStartsWithACloseOfTheFirst) {
  audio.playStartSound();
  audio.playStopSound();
  ASSERT_EQ(device.commands.size(), 8u);
  EXPECT_EQ(device.commands[4], "close mp3_feedback");
  EXPECT_EQ(device.commands[7], "play mp3_feedback from 0");
}

}  // namespace
}  // namespace core
