// AudioService on the real Linux sound output, with SDL's disk driver writing the
// mixed output (signed 16-bit, 48 kHz, stereo) to a file instead of a sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/core/audio_service.h"
#include "testing/support/temp_folder.h"

namespace core {
namespace {

struct Recording {
  int peak = 0;
  double firstSound = -1, lastSound = -1;  // seconds into the output
  bool exists = false;
};

Recording analyse(const std::string& path) {
  Recording r;
  const std::string bytes = testsupport::readFile(path);
  r.exists = std::filesystem::exists(path);
  const std::size_t frames = bytes.size() / 4;
  for (std::size_t i = 0; i < frames; ++i) {
    for (int channel = 0; channel < 2; ++channel) {
      std::int16_t sample;
      std::memcpy(&sample, bytes.data() + i * 4 + channel * 2, 2);
      const int magnitude = std::abs(static_cast<int>(sample));
      if (magnitude > r.peak) r.peak = magnitude;
      if (magnitude > 64) {
        if (r.firstSound < 0) r.firstSound = i / 48000.0;
        r.lastSound = i / 48000.0;
      }
    }
  }
  return r;
}

class SdlDiskOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dist = std::getenv("STRIVO_DIST_DIR");
    ASSERT_NE(dist, nullptr);
    dist_ = dist;
    previous_ = std::filesystem::current_path();
    // The sounds are found in the program folder, whatever the working directory.
    std::filesystem::current_path(folder_.path());
    ASSERT_TRUE(std::filesystem::exists(dist_ + "/audio/start.mp3"));
    output_ = folder_.file("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  // Plays the given sounds (with a pause between them) and returns what was written.
  Recording record(const std::vector<std::function<void(AudioService&)>>& steps,
                   std::chrono::milliseconds between = std::chrono::milliseconds(0)) {
    {
      auto device = platform::makeAudioDevice();
      AudioService audio(settings_, *device, err_, dist_);
      for (const auto& step : steps) {
        step(audio);
        std::this_thread::sleep_for(between);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }  // closing the device flushes the file
    return analyse(output_);
  }

  Settings settings_;
  std::ostringstream err_;
  testsupport::TempFolder folder_{"strivo_audio"};
  std::string output_;
  std::string dist_;
  std::filesystem::path previous_;
};

TEST_F(SdlDiskOutput, ToggleSoundIsAudibleAndScaledByTheVolume) {
  settings_.config.edit([](core::Config& c) { c.program.audio_volume = 1.0f; });
  const Recording loud = record({[](AudioService& a) { a.playStopSound(); }});
  EXPECT_EQ(err_.str(), "");
  ASSERT_GT(loud.peak, 8000);  // the tone is about -3.5 dBFS
  std::filesystem::remove(output_);

  settings_.config.edit([](core::Config& c) { c.program.audio_volume = 0.25f; });
  const Recording quiet = record({[](AudioService& a) { a.playStartSound(); }});
  ASSERT_GT(quiet.peak, 0);
  const double ratio = static_cast<double>(loud.peak) / quiet.peak;
  EXPECT_GT(ratio, 3.6);
  EXPECT_LT(ratio, 4.4);
}

TEST_F(SdlDiskOutput, DisabledSwitchProducesNoSound) {
  settings_.config.edit([](core::Config& c) { c.program.enable_audio_feedback = false; });
  const Recording none =
      record({[](AudioService& a) { a.playStartSound(); }, [](AudioService& a) { a.playStopSound(); }});
  EXPECT_EQ(none.peak, 0);
  EXPECT_EQ(err_.str(), "");
}

TEST_F(SdlDiskOutput, NewSoundCutsThePreviousOne) {
  const Recording single = record({[](AudioService& a) { a.playStopSound(); }});
  std::filesystem::remove(output_);
  // Each sound lasts about 0.34 s. Played 0.1 s apart, the output's audible span is
  // the first sound's 0.1 s plus the second sound, not both in full, and the two
  // never sound together (which would raise the peak well above one sound's).
  const Recording both =
      record({[](AudioService& a) { a.playStartSound(); }, [](AudioService& a) { a.playStopSound(); }},
             std::chrono::milliseconds(100));
  ASSERT_GE(both.firstSound, 0);
  const double span = both.lastSound - both.firstSound;
  EXPECT_GT(span, 0.3);
  EXPECT_LT(span, 0.58);
  EXPECT_LT(both.peak, single.peak * 1.2);
}

TEST_F(SdlDiskOutput, MissingFileReportsTheOpenFailure) {
  dist_ = folder_.path().string();  // neither this folder nor the working directory has audio/
  const Recording r = record({[](AudioService& a) { a.playStartSound(); }});
  EXPECT_EQ(err_.str(), "[AudioService] Failed to open audio/start.mp3: The file cannot be found. (Code: 275)\n");
  EXPECT_EQ(r.peak, 0);
}

TEST_F(SdlDiskOutput, UndecodableFileReportsTheDecoderError) {
  dist_ = folder_.path().string();
  std::filesystem::create_directories(dist_ + "/audio");
  { std::ofstream(dist_ + "/audio/stop.mp3") << "not an mp3 at all"; }
  const Recording r = record({[](AudioService& a) { a.playStopSound(); }});
  EXPECT_EQ(err_.str().rfind("[AudioService] Failed to open " + dist_ + "/audio/stop.mp3: ", 0), 0u) << err_.str();
  EXPECT_NE(err_.str().find(" (Code: 296)\n"), std::string::npos) << err_.str();
  EXPECT_EQ(r.peak, 0);
}

TEST(SdlAudioDevice, CommandsOnAnUnopenedAliasFail) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto device = platform::makeAudioDevice();
  EXPECT_NE(device->send("play mp3_feedback from 0"), 0u);
  EXPECT_NE(device->send("setaudio mp3_feedback volume to 10"), 0u);
  EXPECT_NE(device->send("close mp3_feedback"), 0u);
  EXPECT_NE(device->send(""), 0u);
  EXPECT_NE(device->send("open \"unterminated type mpegvideo alias x"), 0u);
  EXPECT_NE(device->send("frobnicate"), 0u);
}

}  // namespace
}  // namespace core
