#include "app/tracking/tracking_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "app/tracking/fake_receivers.h"
#include "app/tracking/owotrack_protocol.h"
#include "app/tracking/owotrack_server.h"
#include "testing/support/capture_stream.h"

namespace tracking {
namespace {

// What the engine's slots received, one text per value.
struct EngineSlots {
  Calls values;
  core::SampleSink callbacks() {
    core::SampleSink cb;
    cb.on_rotation = [this](std::string_view n, float a, float b, float c) { add("rotation", n, {a, b, c}); };
    cb.on_quaternion = [this](std::string_view n, float x, float y, float z, float w) {
      add("quaternion", n, {x, y, z, w});
    };
    cb.on_position = [this](std::string_view n, float x, float y, float z) { add("position", n, {x, y, z}); };
    cb.on_acceleration = [this](std::string_view n, float x, float y, float z) { add("acceleration", n, {x, y, z}); };
    return cb;
  }
  void add(const char* slot, std::string_view name, std::initializer_list<float> floats) {
    std::string text = std::string(slot) + " " + std::string(name);
    for (float f : floats) text += " " + std::to_string(static_cast<int>(f));
    values.push_back(text);
  }
};

class TrackingServiceTest : public ::testing::Test {
 protected:
  // The log's messages without their time and level tag; errors keep "[ERROR] ".
  Calls messages() {
    Calls out;
    for (const std::string& line : logger.lines()) {
      const std::string tagged = line.substr(13);  // "HH:MM:SS.mmm "
      out.push_back(tagged.rfind("[ERROR] ", 0) == 0 ? tagged : tagged.substr(8));
    }
    logger.clear();
    return out;
  }
  Calls takeCalls() { return std::exchange(calls, {}); }

  core::Settings settings;
  core::Logger logger{nullptr};
  Calls calls;
  FakeOsc osc{calls};
  FakePhone phone{calls};
  FakeOpenVr openvr{calls};
  FakeOpenXr openxr{calls};
  FakeSolarXr solarxr{calls};
  FakeTracker tracker{calls};
  TrackingService service{settings, logger, Receivers{&osc, &phone, &openvr, &openxr, &solarxr, &tracker}};
};

TEST_F(TrackingServiceTest, FirstRefreshStartsThePhoneFromPortMinusOne) {
  service.initialize();
  EXPECT_EQ(
      messages(),
      (Calls{"TrackingService: Initializing...", "TrackingService: Refreshing sources...", "  Tracker Source: Phone",
             "  HMD Source:     Phone (Acceleration)", "TrackingService: owoTrack is NEEDED (Source: Phone)",
             "TrackingService: Port changed (-1 -> 6969), restarting owoTrack...",
             "TrackingService: owoTrack Server started successfully.",
             "TrackingService: calling openvr_server::stop...", "TrackingService: openvr_server::stop returned."}));
  EXPECT_EQ(takeCalls(), (Calls{"osc.stop", "phone.stop", "phone.start", "openvr.stop", "openxr.stop",
                                "solarxr.disconnect", "tracker.stop"}));
  EXPECT_EQ(service.lastPhonePort(), 6969);

  // Unchanged settings: only the idempotent start, and the same log lines minus the restart.
  service.refresh_sources();
  EXPECT_EQ(takeCalls(),
            (Calls{"osc.stop", "phone.start", "openvr.stop", "openxr.stop", "solarxr.disconnect", "tracker.stop"}));
  const Calls again = messages();
  EXPECT_EQ(std::count(again.begin(), again.end(), "TrackingService: owoTrack is NEEDED (Source: Phone)"), 1);
  EXPECT_EQ(std::find_if(again.begin(), again.end(), [](auto& m) { return m.find("Port changed") != m.npos; }),
            again.end());
}

TEST_F(TrackingServiceTest, PhonePortChangeRestartsAndStoppingForgetsThePort) {
  service.initialize();
  messages();
  takeCalls();

  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 7000; });
  settings.config.flush();  // the service follows the change itself
  const Calls log = messages();
  EXPECT_NE(std::find(log.begin(), log.end(), "TrackingService: Port changed (6969 -> 7000), restarting owoTrack..."),
            log.end());
  EXPECT_EQ(Calls(calls.begin() + 1, calls.begin() + 3), (Calls{"phone.stop", "phone.start"}));
  takeCalls();

  // The phone is needed by either selector alone.
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  settings.config.flush();  // the service follows the change itself
  EXPECT_EQ(service.lastPhonePort(), 7000);
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  settings.config.flush();  // the service follows the change itself
  EXPECT_EQ(service.lastPhonePort(), -1);
  const Calls stopped = messages();
  EXPECT_NE(std::find(stopped.begin(), stopped.end(), "TrackingService: owoTrack NOT needed, stopping."),
            stopped.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "phone.stop"), calls.end());

  // Turned on again on the same port: a full restart, because the last port was forgotten.
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::Phone; });
  settings.config.flush();  // the service follows the change itself
  const Calls restarted = messages();
  EXPECT_NE(std::find(restarted.begin(), restarted.end(),
                      "TrackingService: Port changed (-1 -> 7000), restarting owoTrack..."),
            restarted.end());
}

TEST_F(TrackingServiceTest, PhoneStartFailuresAreLoggedAndRetried) {
  phone.startResult = false;
  service.initialize();
  Calls log = messages();
  EXPECT_NE(std::find(log.begin(), log.end(), "[ERROR] TrackingService: FAILED to start owoTrack Server."), log.end());
  EXPECT_EQ(service.lastPhonePort(), -1);

  service.refresh_sources();  // still -1, so a full restart again
  log = messages();
  EXPECT_NE(std::find(log.begin(), log.end(), "TrackingService: Port changed (-1 -> 6969), restarting owoTrack..."),
            log.end());

  phone.startResult = true;
  service.refresh_sources();
  phone.startResult = false;  // e.g. the server died since; an unchanged port still tries to start
  service.refresh_sources();
  log = messages();
  EXPECT_EQ(log.back().find("TrackingService: openvr_server::stop returned."), 0u);
  EXPECT_NE(std::find(log.begin(), log.end(), "[ERROR] TrackingService: owoTrack Server is not running!"), log.end());
}

TEST_F(TrackingServiceTest, OscRestartsOnPortChangeAndRetriesWhileItsPortIsTaken) {
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  osc.startResult = false;
  service.initialize();
  takeCalls();
  for (int i = 0; i < 2; ++i) {
    messages();
    service.refresh_sources();
    const Calls log = messages();
    EXPECT_EQ(log[3], "TrackingService: Port changed, restarting OSC...");
    EXPECT_EQ(log[4], "TrackingService: owoTrack NOT needed, stopping.");
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + 2), (Calls{"osc.stop", "osc.start"}));
    takeCalls();
  }
  osc.startResult = true;
  service.refresh_sources();
  EXPECT_EQ(messages()[4], "TrackingService: OSC Server started successfully.");
  EXPECT_EQ(service.lastOscPort(), 9000);
  takeCalls();
  service.refresh_sources();  // unchanged: start only, nothing logged for OSC
  EXPECT_EQ(messages()[3], "TrackingService: owoTrack NOT needed, stopping.");
  EXPECT_EQ(calls.front(), "osc.start");
}

TEST_F(TrackingServiceTest, StartsTheOtherReceiversTheSettingsSelect) {
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SteamVrTracker; });
  settings.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 4; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenXr; });
  settings.config.edit([](core::Config& c) { c.program.bind_steamvr_toggle = true; });
  settings.config.edit([&](core::Config& c) { c.tracking.openvr_hmd_id = 2; });
  service.initialize();
  EXPECT_EQ(takeCalls(), (Calls{"osc.stop", "phone.stop", "openvr.start 2", "openxr.start", "solarxr.disconnect",
                                "tracker.start 4"}));
  const Calls log = messages();
  EXPECT_EQ(Calls(log.end() - 2, log.end()), (Calls{"TrackingService: calling openvr_server::start...",
                                                    "TrackingService: openvr_server::start returned."}));

  // A change the window publishes is followed without a refresh call.
  settings.config.edit([](core::Config& c) {
    c.tracking.tracker_source = core::Source::SlimeSolarXr;
    c.tracking.solarxr_port = 21111;
    c.tracking.squat_source = core::Source::Disabled;
    c.tracking.hmd_source = core::Source::OpenVr;
  });
  settings.config.flush();
  EXPECT_EQ(takeCalls(), (Calls{"osc.stop", "phone.stop", "openvr.start 2", "openxr.stop",
                                "solarxr.connect 127.0.0.1:21111", "tracker.stop"}));

  // No tracker and no head source start nothing; the gesture alone is heard and
  // followed, and other program changes restart nothing.
  settings.config.edit([](core::Config& c) {
    c.tracking.tracker_source = core::Source::None;
    c.tracking.hmd_source = core::Source::Disabled;
    c.program.bind_steamvr_toggle = false;
  });
  settings.config.flush();
  const Calls stopped{"osc.stop", "phone.stop", "openvr.stop", "openxr.stop", "solarxr.disconnect", "tracker.stop"};
  EXPECT_EQ(takeCalls(), stopped);
  settings.config.edit([](core::Config& c) { c.program.audio_volume = 0.1f; });
  settings.config.flush();
  EXPECT_EQ(takeCalls(), Calls{});
  settings.config.edit([](core::Config& c) { c.program.bind_steamvr_toggle = true; });
  settings.config.flush();
  EXPECT_EQ(takeCalls(),
            (Calls{"osc.stop", "phone.stop", "openvr.start 2", "openxr.stop", "solarxr.disconnect", "tracker.stop"}));
  // A tracker name (which only the engine reads) restarts nothing; a new source does.
  settings.config.edit([](core::Config& c) { c.tracking.slime_tracker_name = "Hip"; });
  settings.config.flush();
  EXPECT_EQ(takeCalls(), Calls{});
  settings.config.edit([](core::Config& c) { c.tracking.tracker_source = core::Source::Phone; });
  settings.config.flush();
  EXPECT_EQ(takeCalls(), (Calls{"osc.stop", "phone.stop", "phone.start", "openvr.start 2", "openxr.stop",
                                "solarxr.disconnect", "tracker.stop"}));

  service.cleanup();
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 2), (Calls{"osc.stop", "phone.stop"}));
  EXPECT_EQ(service.lastPhonePort(), -1);
}

TEST_F(TrackingServiceTest, ForwardsEachReceiverUnderItsSourceNameAndDropsWhileSlotsAreEmpty) {
  service.initialize();
  const float quaternion[] = {1, 2, 3, 4};
  const auto deliverAll = [&] {
    osc.callback("/tracking/trackers/1/rotation", quaternion);
    osc.callback("/tracking/trackers/1/rotation", std::span(quaternion).first(3));
    osc.callback("/tracking/trackers/1/rotation", std::span(quaternion).first(2));
    osc.callback("/tracking/trackers/1/position", std::span(quaternion).first(3));
    osc.callback("/tracking/trackers/1/position", quaternion);
    osc.callback("/x/position/rotation", std::span(quaternion).first(3));
    osc.callback("/tracking/trackers/1/velocity", std::span(quaternion).first(3));
    phone.rotation(5, 6, 7, 8);
    phone.accel(9, 10, 11);
    openvr.position(1, 2, 3);
    openvr.rotation(4, 5, 6);
    openxr.position(7, 8, 9);
    solarxr.rotation("Chest", 1, 1, 1);
    solarxr.accel("Chest", 2, 2, 2);
    tracker.rotation(3, 3, 3);
    tracker.accel(4, 4, 4);
  };

  EngineSlots engine;
  deliverAll();  // before the engine filled its slots: all dropped
  EXPECT_TRUE(engine.values.empty());

  service.setCallbacks(engine.callbacks());
  deliverAll();
  EXPECT_EQ(
      engine.values,
      (Calls{"quaternion /tracking/trackers/1/rotation 1 2 3 4", "rotation /tracking/trackers/1/rotation 1 2 3",
             "position /tracking/trackers/1/position 1 2 3", "rotation /x/position/rotation 1 2 3",
             "quaternion Phone 5 6 7 8", "acceleration Phone 9 10 11", "position SteamVR (OpenVR) 1 2 3",
             "rotation SteamVR (OpenVR) 4 5 6", "position OpenXR (In-Game) 7 8 9", "rotation Chest 1 1 1",
             "acceleration Chest 2 2 2", "rotation SteamVR Tracker 3 3 3", "acceleration SteamVR Tracker 4 4 4"}));

  // A partly filled set forwards what it has and drops the rest.
  EngineSlots partial;
  core::SampleSink onlyQuaternions;
  onlyQuaternions.on_quaternion = partial.callbacks().on_quaternion;
  service.setCallbacks(onlyQuaternions);
  deliverAll();
  EXPECT_EQ(partial.values, (Calls{"quaternion /tracking/trackers/1/rotation 1 2 3 4", "quaternion Phone 5 6 7 8"}));

  messages();
  solarxr.status("Connected");
  EXPECT_EQ(messages(), Calls{"SolarXR: Connected"});
}

TEST_F(TrackingServiceTest, CallbacksCanBeReplacedWhileAReceiverThreadDelivers) {
  service.initialize();
  std::atomic<long> first{0}, second{0};
  core::SampleSink a, b;
  a.on_quaternion = [&](std::string_view, float, float, float, float) { ++first; };
  b.on_quaternion = [&](std::string_view, float, float, float, float) { ++second; };
  service.setCallbacks(a);
  constexpr long kValues = 200000;
  std::thread receiver([&] {
    for (long i = 0; i < kValues; ++i) phone.rotation(0, 0, 0, 1);
  });
  for (int i = 0; i < 2000; ++i) service.setCallbacks(i % 2 ? a : b);
  receiver.join();
  EXPECT_EQ(first + second, kValues);  // every value reached exactly one complete set of slots
}

TEST(TrackingServiceWithPhoneServer, APhoneRotationReachesTheEngineAsPhone) {
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 0; });
  core::Logger logger(nullptr);
  core::SilentFeedbackSounds sounds;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr);
  testsupport::CaptureStream out;
  core::Logger log{&out};
  owotrack_server server(settings, toggle, log);
  TrackingService service(settings, logger, Receivers{.phone = &server});
  service.initialize();
  ASSERT_TRUE(server.running());

  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::string> received;
  core::SampleSink callbacks;
  callbacks.on_quaternion = [&](std::string_view source, float x, float y, float z, float w) {
    std::lock_guard lock(mutex);
    received.push_back(std::string(source) + " " + std::to_string(x) + " " + std::to_string(w));
    arrived.notify_all();
  };
  service.setCallbacks(callbacks);

  platform::UdpSocket phone;
  ASSERT_TRUE(phone.open());
  std::vector<std::byte> hello(owotrack::kHeaderSize);
  owotrack::writeHeader(hello, owotrack::kHandshake, 0);
  ASSERT_TRUE(phone.sendTo(hello, platform::Endpoint::loopback(server.port())));
  std::vector<std::byte> data(owotrack::kRotationSize);
  owotrack::writeHeader(data, owotrack::kRotation, 1);
  owotrack::writeF32(data, 12, 0.5f);
  owotrack::writeF32(data, 24, 0.75f);
  ASSERT_TRUE(phone.sendTo(data, platform::Endpoint::loopback(server.port())));
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(5), [&] { return !received.empty(); }));
    EXPECT_EQ(received.front(), "Phone 0.500000 0.750000");
  }
  service.cleanup();
  EXPECT_FALSE(server.running());
}

}  // namespace
}  // namespace tracking
