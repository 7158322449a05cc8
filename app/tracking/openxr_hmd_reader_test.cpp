#include "app/tracking/openxr_hmd_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "app/outputs/openxr_layer_watcher.h"
#include "app/tracking/tracking_service.h"
#include "testing/support/capture_stream.h"
#include "testing/support/manual_wait_clock.h"

namespace tracking {
namespace {

using namespace std::chrono_literals;
using testsupport::ManualWaitClock;
using Position = std::tuple<std::string, float, float, float>;

std::string sectionName(const char* label) {
  return std::string("strivo_test_st_") + label + "_" + std::to_string(::getpid());
}

// The layer's side: creates the state record and publishes frames into it.
struct PublishingLayer {
  explicit PublishingLayer(const std::string& name, std::size_t size = xrshm::kStateRecordSize) : name_(name) {
    EXPECT_TRUE(memory.createOrAttach(name, size)) << memory.error();
  }
  ~PublishingLayer() { platform::SharedMemory::removeName(name_); }
  xrshm::StateRecord& record() { return *static_cast<xrshm::StateRecord*>(memory.data()); }
  void publish(float x, float y, float z, std::uint8_t valid = 1) {
    record().headPosition[0] = x;
    record().headPosition[1] = y;
    record().headPosition[2] = z;
    record().headValid = valid;
    ++record().frameCounter;
  }
  std::string name_;
  platform::SharedMemory memory;
};

struct Harness {
  explicit Harness(const std::string& name) : reader(console, clock, name) {
    core::SampleSink callbacks;
    callbacks.on_position = [this](std::string_view source, float x, float y, float z) {
      std::lock_guard lock(mutex);
      positions.emplace_back(std::string(source), x, y, z);
    };
    tracking.setCallbacks(std::move(callbacks));
  }
  std::vector<Position> delivered() {
    std::lock_guard lock(mutex);
    return positions;
  }
  // Moves time one poll period on and waits until the poll thread has sampled and sleeps again.
  void nextSample() {
    clock->advance(OpenXRHmdReader::kPollPeriod);
    ASSERT_TRUE(clock->waitForSleeper(clock->now() + OpenXRHmdReader::kPollPeriod));
  }

  testsupport::CaptureStream out, err;  // the reader's thread writes when it attaches late
  core::Logger console{&out, std::chrono::system_clock::now, &err};
  std::shared_ptr<ManualWaitClock> clock = std::make_shared<ManualWaitClock>();
  OpenXRHmdReader reader;
  core::Settings settings;
  core::Logger logger{nullptr};
  tracking::TrackingService tracking{settings, logger, tracking::Receivers{.openxrHmd = &reader}};
  std::mutex mutex;
  std::vector<Position> positions;
};

TEST(OpenXRHmdReader, NewHeadFramesReachTheEnginesPositionSlotOncePerPollPeriod) {
  const std::string name = sectionName("frames");
  Harness h(name);
  h.settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenXr; });

  // No game yet: the start fails with its message, then the reader keeps looking, once a second.
  h.tracking.initialize();
  EXPECT_FALSE(h.reader.running());
  EXPECT_EQ(h.err.text(), "[OpenXR HMD] Shared memory not found. Is the game running with the OpenXR layer?\n");
  ASSERT_TRUE(h.clock->waitForSleeper(h.clock->now() + OpenXRHmdReader::kRetryPeriod));

  PublishingLayer layer(name);
  layer.record().headValid = 1;  // a valid byte but no frame yet: counter 0 delivers nothing
  h.clock->advance(OpenXRHmdReader::kRetryPeriod - 1ms);
  EXPECT_FALSE(h.reader.running());
  h.clock->advance(1ms);
  ASSERT_TRUE(h.out.waitFor("[OpenXR HMD] Attached to shared memory. Starting poll thread.\n"));
  EXPECT_TRUE(h.reader.running());
  const auto started = h.clock->now();
  ASSERT_TRUE(h.clock->waitForSleeper(started + OpenXRHmdReader::kPollPeriod));

  layer.publish(0.1f, 1.62f, -0.3f);
  h.clock->advance(OpenXRHmdReader::kPollPeriod - 1ms);
  EXPECT_TRUE(h.delivered().empty());  // 15 ms: no sample yet
  h.clock->advance(1ms);
  ASSERT_TRUE(h.clock->waitForSleeper(started + 2 * OpenXRHmdReader::kPollPeriod));
  EXPECT_EQ(h.delivered(), (std::vector<Position>{{"OpenXR (In-Game)", 0.1f, 1.62f, -0.3f}}));

  // An unchanged counter (the game stopped updating) delivers nothing, however valid.
  h.nextSample();
  EXPECT_EQ(h.delivered().size(), 1u);

  // A game faster than the poll: one delivery per sample, the newest frame.
  layer.publish(0.2f, 1.5f, 0.0f);
  layer.publish(0.3f, 1.4f, 0.0f);
  h.nextSample();
  ASSERT_EQ(h.delivered().size(), 2u);
  EXPECT_EQ(h.delivered().back(), (Position{"OpenXR (In-Game)", 0.3f, 1.4f, 0.0f}));

  // New frames without a valid head, or with a non-finite position, deliver nothing.
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::vector<std::tuple<float, float, std::uint8_t>> rejected = {
      {0.0f, 1.0f, 0}, {0.0f, 1.0f, 2}, {nan, 1.0f, 1}, {0.0f, inf, 1}, {0.0f, -inf, 1}};
  for (const auto& [x, y, valid] : rejected) {
    layer.publish(x, y, 0.0f, valid);
    h.nextSample();
  }
  EXPECT_EQ(h.delivered().size(), 2u);

  // Start again while running, and a refresh that still needs the reader (for crouching): one thread, one line.
  h.reader.start();
  h.settings.config.edit([](core::Config& c) {
    c.tracking.hmd_source = core::Source::PhoneAcceleration;
    c.tracking.squat_source = core::Source::OpenXr;
  });
  h.settings.config.flush();  // the service follows the change itself
  EXPECT_EQ(h.out.text(), "[OpenXR HMD] Attached to shared memory. Starting poll thread.\n");
  layer.publish(0.0f, 1.7f, 0.1f);
  h.nextSample();
  EXPECT_EQ(h.delivered().size(), 3u);

  h.settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::Disabled; });
  h.settings.config.flush();
  EXPECT_FALSE(h.reader.running());
  h.reader.stop();
  EXPECT_EQ(h.out.text(), "[OpenXR HMD] Attached to shared memory. Starting poll thread.\n[OpenXR HMD] Stopped.\n");
}

TEST(OpenXRHmdReader, ShortOrGarbageRecordsNeverCrashAndNeverDeliverNonsense) {
  {
    // A section under the name but shorter than the record: refused where the system
    // knows the section's size; where sections are whole pages (Wine), the bytes past
    // it are zero, so the reader attaches but sees no frame.
    const std::string name = sectionName("short");
    PublishingLayer shortLayer(name, 64);
    Harness h(name);
    if (h.reader.attach()) {
      h.nextSample();
      EXPECT_TRUE(h.delivered().empty());
      h.reader.stop();
    } else {
      EXPECT_EQ(h.err.text(), "[OpenXR HMD] Shared memory not found. Is the game running with the OpenXR layer?\n");
    }
  }

  const std::string name = sectionName("garbage");
  PublishingLayer layer(name);
  Harness h(name);
  h.reader.set_position_callback([&](float x, float y, float z) {
    std::lock_guard lock(h.mutex);
    h.positions.emplace_back("", x, y, z);
  });
  ASSERT_TRUE(h.reader.attach());
  ASSERT_TRUE(h.clock->waitForSleeper(h.clock->now() + OpenXRHmdReader::kPollPeriod));
  std::mt19937 random(12345);
  auto* bytes = static_cast<unsigned char*>(layer.memory.data());
  for (int round = 0; round < 200; ++round) {
    for (std::size_t i = 0; i < xrshm::kStateRecordSize; ++i) bytes[i] = static_cast<unsigned char>(random());
    if (round % 2 == 0) layer.record().headValid = 1;  // half of them claim a valid head
    if (round % 4 == 0) {                              // and some of those carry an infinity or NaN bit pattern
      const std::uint32_t special = 0x7f800000u | (random() & 0x807fffffu);
      std::memcpy(&layer.record().headPosition[round % 3], &special, sizeof special);
    }
    h.nextSample();
  }
  const auto positions = h.delivered();
  // The 50 frames with a valid head and finite numbers, give or take a random byte that happens to be 1.
  EXPECT_GE(positions.size(), 45u);
  EXPECT_LE(positions.size(), 55u);
  for (const auto& [source, x, y, z] : positions) EXPECT_TRUE(std::isfinite(x) && std::isfinite(y) && std::isfinite(z));
  // Still reading: a well-formed frame after all that arrives as it is.
  layer.publish(0.5f, 1.25f, -0.5f);
  h.nextSample();
  EXPECT_EQ(h.delivered().back(), (Position{"", 0.5f, 1.25f, -0.5f}));
  h.reader.stop();
}

// The layer watcher runs whatever the head source is: it logs when the counter starts
// advancing and, after the silence limit without a frame (not before), that the game stopped.
TEST(OpenXRLayerWatcher, LogsWhenTheGameStartsAndStopsRendering) {
  const std::string name = sectionName("watch");
  core::Logger logger(nullptr);
  auto clock = std::make_shared<ManualWaitClock>();
  outputs::OpenXRLayerWatcher watcher(logger, clock, name);
  auto step = [&](int times = 1) {
    for (int i = 0; i < times; ++i) {
      ASSERT_TRUE(clock->waitForSleeper(clock->now() + outputs::OpenXRLayerWatcher::kPollStep));
      clock->advance(outputs::OpenXRLayerWatcher::kPollStep);
    }
    ASSERT_TRUE(clock->waitForSleeper(clock->now() + outputs::OpenXRLayerWatcher::kPollStep));
  };
  auto lines = [&] {
    std::vector<std::string> messages;
    for (const std::string& line : logger.lines()) messages.push_back(line.substr(line.find("] ") + 2));
    return messages;
  };
  watcher.start();
  step(3);  // no section yet
  PublishingLayer layer(name);
  layer.record().frameCounter = 500;  // a record left by an earlier game: no frame until it advances
  step(12);
  EXPECT_FALSE(watcher.gameRunning());
  layer.publish(0, 1.6f, 0);
  step();
  EXPECT_TRUE(watcher.gameRunning());
  EXPECT_EQ(lines(), std::vector<std::string>{"[OpenXR Out] A game with the layer is running"});
  for (int i = 0; i < 5; ++i) {
    layer.publish(0, 1.6f, 0);
    layer.publish(0, 1.6f, 0);
    step();
  }
  EXPECT_EQ(watcher.frames(), 11u);
  step(29);  // 2.9 s without a frame
  EXPECT_TRUE(watcher.gameRunning());
  step();
  EXPECT_FALSE(watcher.gameRunning());
  EXPECT_EQ(lines().back(), "[OpenXR Out] The game with the layer stopped");
  // The next game is seen again once its frames advance.
  step(10);
  layer.publish(0, 1.6f, 0);
  step(2);
  EXPECT_TRUE(watcher.gameRunning());
  EXPECT_EQ(lines().size(), 3u);
  watcher.stop();
}

}  // namespace
}  // namespace tracking
