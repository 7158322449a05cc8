// The OpenVR client against the fake client library, loaded by the real loader: the
// shared session, the device lists, the head thread with its hold-to-toggle gesture,
// the tracker reader, and what happens without a runtime.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/tracking/openvr_manager.h"
#include "app/tracking/openvr_runtime.h"
#include "app/tracking/openvr_server.h"
#include "app/tracking/steamvr_tracker_reader.h"
#include "app/tracking/tracking_service.h"
#include "platform/shared_library.h"
#include "platform/steamvr_files.h"
#include "testing/fake_openvr_api/fake_openvr_control.h"
#include "testing/support/capture_stream.h"
#include "testing/support/temp_folder.h"

namespace tracking {

// Readable failures for the list entries.
void PrintTo(const DeviceListEntry& e, std::ostream* os) { *os << e.index << ":" << e.name; }
void PrintTo(const ControllerListEntry& e, std::ostream* os) { *os << e.index << ":" << e.name << "/" << e.serial; }

namespace {

using namespace std::chrono_literals;
using Matrix = std::array<float, 12>;

// ---- Poses built independently of the code under test ----

Matrix rotation(char axis, float degrees) {
  const float r = degrees / 57.29577951f, c = std::cos(r), s = std::sin(r);
  if (axis == 'x') return {1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0};
  if (axis == 'y') return {c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0};
  return {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0};
}

Matrix operator*(const Matrix& a, const Matrix& b) {
  Matrix product{};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      for (int k = 0; k < 3; ++k) product[row * 4 + column] += a[row * 4 + k] * b[k * 4 + column];
  return product;
}

Matrix at(Matrix m, float x, float y, float z) {
  m[3] = x;
  m[7] = y;
  m[11] = z;
  return m;
}

// ---- The fake runtime's controls, from the same loaded library ----

struct FakeRuntime {
  explicit FakeRuntime(const std::string& path) {
    EXPECT_TRUE(library.load(path)) << library.error();
    reset = fn<FakeOpenVR_Reset_t>("FakeOpenVR_Reset");
    setInstalled = fn<FakeOpenVR_SetInstalled_t>("FakeOpenVR_SetInstalled");
    setInitError = fn<FakeOpenVR_SetInitError_t>("FakeOpenVR_SetInitError");
    setAcceptedVersion = fn<FakeOpenVR_SetAcceptedVersion_t>("FakeOpenVR_SetAcceptedVersion");
    setDevice = fn<FakeOpenVR_SetDevice_t>("FakeOpenVR_SetDevice");
    removeDevice = fn<FakeOpenVR_RemoveDevice_t>("FakeOpenVR_RemoveDevice");
    setPose = fn<FakeOpenVR_SetPose_t>("FakeOpenVR_SetPose");
    setButtons = fn<FakeOpenVR_SetButtons_t>("FakeOpenVR_SetButtons");
    getCounters = fn<FakeOpenVR_GetCounters_t>("FakeOpenVR_GetCounters");
    reset();
  }
  template <typename Fn>
  Fn fn(const char* name) {
    auto* found = reinterpret_cast<Fn>(library.symbol(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  FakeOpenVrCounters counters() const {
    FakeOpenVrCounters c{};
    getCounters(&c);
    return c;
  }
  void pose(std::uint32_t index, const Matrix& m, std::array<float, 3> velocity = {0, 0, 0}, bool valid = true) {
    setPose(index, m.data(), velocity.data(), valid);
  }
  // Waits until the program has made `cycles` more pose reads (bounded).
  bool waitCycles(std::uint32_t cycles) const {
    const std::uint32_t target = counters().poseCalls + cycles;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (counters().poseCalls < target)
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      else
        std::this_thread::sleep_for(1ms);
    return true;
  }

  platform::SharedLibrary library;
  FakeOpenVR_Reset_t reset = nullptr;
  FakeOpenVR_SetInstalled_t setInstalled = nullptr;
  FakeOpenVR_SetInitError_t setInitError = nullptr;
  FakeOpenVR_SetAcceptedVersion_t setAcceptedVersion = nullptr;
  FakeOpenVR_SetDevice_t setDevice = nullptr;
  FakeOpenVR_RemoveDevice_t removeDevice = nullptr;
  FakeOpenVR_SetPose_t setPose = nullptr;
  FakeOpenVR_SetButtons_t setButtons = nullptr;
  FakeOpenVR_GetCounters_t getCounters = nullptr;
};

std::string folderOf(const std::string& file) { return std::filesystem::path(file).parent_path().string(); }

bool waitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto found = text.find(part); found != std::string::npos; found = text.find(part, found + 1)) ++count;
  return count;
}

class ManualClock final : public core::Clock {
 public:
  double now() const override { return time.load(); }
  std::atomic<double> time{0.0};
};

// Moves on by a fixed step at every reading, so each poll cycle is exactly one step long.
class SteppingClock final : public core::Clock {
 public:
  explicit SteppingClock(double step) : step_(step) {}
  double now() const override {
    double t = time_.load();
    while (!time_.compare_exchange_weak(t, t + step_)) {
    }
    return t;
  }

 private:
  const double step_;
  mutable std::atomic<double> time_{10.0};
};

struct RecordingSounds final : core::IFeedbackSounds {
  void playStartSound() override { ++starts; }
  void playStopSound() override { ++stops; }
  std::atomic<int> starts{0}, stops{0};
};

// Three floats received on another thread.
struct Received {
  void add(float a, float b, float c) {
    std::lock_guard lock(mutex);
    values.push_back({a, b, c});
  }
  std::vector<std::array<float, 3>> all() const {
    std::lock_guard lock(mutex);
    return values;
  }
  std::size_t size() const { return all().size(); }
  mutable std::mutex mutex;
  std::vector<std::array<float, 3>> values;
};

void expectNear(const std::array<float, 3>& actual, const std::array<float, 3>& expected, float tolerance) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

class OpenVrClient : public ::testing::Test {
 protected:
  FakeRuntime fake{STRIVO_FAKE_OPENVR_API};
  testsupport::CaptureStream out, err;
  core::Logger log{&out, std::chrono::system_clock::now, &err};
  ConsoleLines console{log};
  OpenVrRuntime runtime{{folderOf(STRIVO_FAKE_OPENVR_API), ""}};
};

TEST_F(OpenVrClient, SessionIsOpenedOnceSharedAndClosedByTheLastUser) {
  {
    OpenVRManager manager(runtime, console);
    // Not installed: no session and nothing said.
    fake.setInstalled(false);
    EXPECT_EQ(manager.acquire_session(vr::VRApplication_Background), nullptr);
    EXPECT_EQ(out.text() + err.text(), "");
    // A runtime without our interface version is closed again and says why.
    fake.setInstalled(true);
    fake.setAcceptedVersion("IVRSystem_022");
    EXPECT_EQ(manager.acquire_session(vr::VRApplication_Background), nullptr);
    EXPECT_EQ(err.text(), "[OpenVRManager] Failed to init: Interface Not Found (105)\n");
    EXPECT_EQ(fake.counters().shutdownCalls, 1u);
    EXPECT_FALSE(fake.counters().initialized);
    fake.setAcceptedVersion(vr::IVRSystem_Version);
    fake.setInitError(vr::VRInitError_Init_NoServerForBackgroundApp);
    EXPECT_EQ(manager.acquire_session(vr::VRApplication_Background), nullptr);
    EXPECT_TRUE(err.contains("[OpenVRManager] Failed to init: Not starting vrserver for background app (121)\n"));
    EXPECT_FALSE(manager.has_session());
    fake.setInitError(vr::VRInitError_None);

    // Two users share one session opened with the first one's type.
    vr::IVRSystem* first = manager.acquire_session(vr::VRApplication_Background);
    vr::IVRSystem* second = manager.acquire_session(vr::VRApplication_Utility);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(manager.users(), 2u);
    EXPECT_EQ(fake.counters().initCalls, 2u);  // the one refused for its version, and this one
    EXPECT_EQ(fake.counters().firstAppType, vr::VRApplication_Background);
    EXPECT_EQ(out.text(), "[OpenVRManager] Session initialized (Ref: 1)\n");
    manager.release_session();
    EXPECT_TRUE(manager.has_session());
    EXPECT_EQ(fake.counters().shutdownCalls, 1u);
    manager.release_session();
    manager.release_session();  // one too many changes nothing
    EXPECT_FALSE(manager.has_session());
    EXPECT_EQ(manager.users(), 0u);
    EXPECT_EQ(fake.counters().shutdownCalls, 2u);
    EXPECT_EQ(countOf(out.text(), "[OpenVRManager] Session released, shutting down.\n"), 1u);

    // A session still open when the program ends is closed without a word.
    EXPECT_NE(manager.acquire_session(vr::VRApplication_Utility), nullptr);
    EXPECT_EQ(fake.counters().initCalls, 3u);
  }
  EXPECT_EQ(fake.counters().shutdownCalls, 3u);
  EXPECT_EQ(countOf(out.text(), "Session released"), 1u);
  EXPECT_EQ(countOf(out.text(), "[OpenVRManager] Session initialized (Ref: 1)\n"), 2u);
}

TEST_F(OpenVrClient, DeviceListsNameEveryConnectedDeviceAndReleaseTheirSessions) {
  fake.setDevice(0, vr::TrackedDeviceClass_HMD, 0, "Visor-9", "V9-001");
  fake.setDevice(1, vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_LeftHand, "Wand", "W-L");
  fake.setDevice(2, vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_RightHand, "Wand", "W-R");
  fake.setDevice(3, vr::TrackedDeviceClass_GenericTracker, 0, nullptr, "P-3");  // model unreadable
  fake.setDevice(4, vr::TrackedDeviceClass_TrackingReference, 0, "Beacon", "B-4");
  // 255 characters and the end fill the 256-byte buffer; one more does not fit.
  fake.setDevice(5, vr::TrackedDeviceClass_GenericTracker, 0, std::string(256, 'M').c_str(), "P-5");
  fake.setDevice(6, vr::TrackedDeviceClass_GenericTracker, 0, std::string(255, 'N').c_str(), "P-6");
  fake.setDevice(7, vr::TrackedDeviceClass_GenericTracker, 0, "Caf\xE9", "S-\xFF");  // not UTF-8
  fake.setDevice(9, 77, 0, "Oddity", "O-9");  // a class this program does not know
  OpenVRManager manager(runtime, console);
  ManualClock clock;
  core::Settings settings;
  RecordingSounds sounds;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr);
  openvr_server server(settings, manager, toggle, clock, console);
  SteamVrTrackerReader reader(manager, clock, console);

  const std::vector<DeviceListEntry> expected{{0, "Visor-9 (HMD)"},
                                              {1, "Wand (Controller)"},
                                              {2, "Wand (Controller)"},
                                              {3, "Unknown Device (Tracker)"},
                                              {4, "Beacon"},
                                              {5, "Unknown Device (Tracker)"},
                                              {6, std::string(255, 'N') + " (Tracker)"},
                                              {7, "Caf\xEF\xBF\xBD (Tracker)"},
                                              {9, "Oddity"}};
  EXPECT_EQ(server.get_device_list(), expected);
  EXPECT_EQ(fake.counters().firstAppType, vr::VRApplication_Utility);
  EXPECT_FALSE(manager.has_session());
  // The list is kept: asking again opens no session, even though a device went away.
  fake.removeDevice(4);
  EXPECT_EQ(server.get_device_list(), expected);
  EXPECT_EQ(fake.counters().initCalls, 1u);
  server.refresh_device_list();
  const auto refreshed = server.get_device_list();
  ASSERT_EQ(refreshed.size(), 8u);
  EXPECT_EQ(refreshed[4], (DeviceListEntry{5, "Unknown Device (Tracker)"}));

  const std::vector<ControllerListEntry> controllers{{0, "Visor-9", "V9-001"},
                                                     {1, "Wand (Left)", "W-L"},
                                                     {2, "Wand (Right)", "W-R"},
                                                     {3, "", "P-3"},
                                                     {5, "", "P-5"},
                                                     {6, std::string(255, 'N'), "P-6"},
                                                     {7, "Caf\xEF\xBF\xBD", "S-\xEF\xBF\xBD"},
                                                     {9, "Oddity", "O-9"}};
  EXPECT_EQ(reader.list_controllers(), controllers);
  EXPECT_FALSE(manager.has_session());
  EXPECT_EQ(fake.counters().initCalls, 3u);
  EXPECT_EQ(fake.counters().shutdownCalls, 3u);
}

TEST_F(OpenVrClient, HeadThreadFeedsThePoseAndAHeldStickTogglesOnceAfterTwoSeconds) {
  // Device 0 is scripted as a right-hand controller too: it must never be the toggle's.
  fake.setDevice(0, vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_RightHand, "Visor-9", "V");
  fake.setDevice(1, vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_LeftHand, "Wand", "L");
  fake.setDevice(2, vr::TrackedDeviceClass_Controller, vr::TrackedControllerRole_RightHand, "Wand", "R");
  fake.pose(0, at(rotation('z', 40) * rotation('y', 10) * rotation('x', 25), 0.1f, 1.7f, -0.2f));
  fake.pose(1, at(rotation('x', 0), 5, 5, 5));
  fake.setButtons(2, 1ull << vr::k_EButton_Axis0);

  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  settings.config.edit([](core::Config& c) { c.program.bind_steamvr_toggle = true; });
  settings.config.edit([](core::Config& c) { c.program.steamvr_toggle_hand = 1; });
  RecordingSounds sounds;
  std::atomic<int> resets{0}, saves{0};
  TrackingToggle toggle(
      settings, sounds, [&] { ++resets; }, [&] { ++saves; });
  ManualClock clock;
  clock.time = 100.0;
  OpenVRManager manager(runtime, console);
  openvr_server server(settings, manager, toggle, clock, console);
  core::Logger logger(nullptr);
  TrackingService service(settings, logger, Receivers{.openvrHmd = &server});
  Received positions, rotations;
  core::SampleSink callbacks;
  callbacks.on_rotation = [&](std::string_view source, float a, float b, float c) {
    if (source == "SteamVR (OpenVR)") rotations.add(a, b, c);
  };
  callbacks.on_position = [&](std::string_view source, float x, float y, float z) {
    if (source == "SteamVR (OpenVR)") positions.add(x, y, z);
  };
  service.setCallbacks(callbacks);
  service.initialize();
  ASSERT_TRUE(out.waitFor("[OpenVR] Session acquired. Polling HMD pose...\n")) << err.text();
  EXPECT_TRUE(out.contains("[OpenVR] Background thread started. Requesting session...\n"));
  ASSERT_TRUE(waitUntil([&] { return positions.size() > 0 && rotations.size() > 0; }));
  expectNear(positions.all().back(), {0.1f, 1.7f, -0.2f}, 1e-5f);
  expectNear(rotations.all().back(), {25, 10, 40}, 1e-3f);
  EXPECT_EQ(server.get_device_list().size(), 3u);  // built by the thread with its session
  EXPECT_EQ(fake.counters().initCalls, 1u);

  // The hold started at 100 s; 1.9 s later nothing, 2.0 s later one toggle.
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_TRUE(server.hold_toggle().holding());
  EXPECT_EQ(server.hold_toggle().holdStart(), 100.0);
  clock.time = 101.9;
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_TRUE(settings.tracking_active);
  clock.time = 102.0;
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(sounds.stops, 1);
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(saves, 1);
  // Held on for ten seconds: still one toggle.
  clock.time = 112.0;
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(saves, 1);
  // Released and held again (trigger click this time): toggles back after 2 s.
  fake.setButtons(2, 0);
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_FALSE(server.hold_toggle().holding());
  clock.time = 120.0;
  fake.setButtons(2, 1ull << vr::k_EButton_Axis2);
  ASSERT_TRUE(fake.waitCycles(2));
  clock.time = 122.0;
  ASSERT_TRUE(fake.waitCycles(2));
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(sounds.starts, 1);
  EXPECT_EQ(saves, 2);

  // Read with the platform's structure size (rejected calls would never see a press),
  // always from the right-hand controller after the headset's index.
  const FakeOpenVrCounters counters = fake.counters();
  EXPECT_GT(counters.controllerStateCalls, 10u);
  EXPECT_EQ(counters.rejectedStateSizes, 0u);
  EXPECT_EQ(counters.lastControllerIndex, 2u);

  // A new device index waits for the next start of the thread.
  settings.config.edit([&](core::Config& c) { c.tracking.openvr_hmd_id = 1; });
  settings.config.flush();  // the service restarts the thread itself
  ASSERT_TRUE(fake.waitCycles(2));
  expectNear(positions.all().back(), {0.1f, 1.7f, -0.2f}, 1e-5f);
  service.cleanup();
  EXPECT_TRUE(out.contains("[OpenVR] Worker thread finished.\n"));
  EXPECT_TRUE(out.contains("[OpenVRManager] Session released, shutting down.\n"));
  EXPECT_FALSE(manager.has_session());
  service.refresh_sources();
  ASSERT_TRUE(waitUntil([&] { return positions.size() > 0 && positions.all().back()[0] == 5.0f; }));
  service.cleanup();
  EXPECT_EQ(err.text(), "");
}

TEST_F(OpenVrClient, TrackerReaderGivesLeanAnglesAndAccelerationInItsOwnFrame) {
  // Turned 90 degrees about the vertical and leaning 30 degrees, moving along world x.
  fake.setDevice(3, vr::TrackedDeviceClass_GenericTracker, 0, "Puck", "P-3");
  fake.pose(3, rotation('y', 90) * rotation('x', 30), {0.5f, 0, 0});
  fake.setDevice(4, vr::TrackedDeviceClass_GenericTracker, 0, "Puck", "P-4");
  fake.pose(4, rotation('z', 20));
  OpenVRManager manager(runtime, console);

  // The first valid pose after the start divides its velocity by one cycle's time, at
  // least the minimum step; after that the tracker moves steadily: no acceleration.
  // Turned 90 degrees, world x lies in the tracker's y-z plane, split by its 30 degree lean.
  for (const double step : {0.011, 0.002, 0.0011, 0.0009, 0.0005}) {
    SCOPED_TRACE(step);
    SteppingClock clock(step);
    SteamVrTrackerReader reader(manager, clock, console);
    Received angles, accelerations;
    reader.set_rotation_callback([&](float a, float b, float c) { angles.add(a, b, c); });
    reader.set_accel_callback([&](float x, float y, float z) { accelerations.add(x, y, z); });
    reader.start(3);
    ASSERT_TRUE(waitUntil([&] { return accelerations.size() >= 3; }));
    reader.stop();
    const auto accel = accelerations.all();
    const float expected = 0.5f / static_cast<float>(std::max(step, 0.001));
    expectNear(accel[0], {0, 0.5f * expected, 0.8660254f * expected}, expected * 1e-3f);
    for (std::size_t i = 1; i < accel.size(); ++i) expectNear(accel[i], {0, 0, 0}, 1e-3f);
    for (const auto& a : angles.all()) expectNear(a, {30, 0, 90}, 1e-3f);
  }
  EXPECT_EQ(countOf(out.text(), "[SteamVR Input] Worker thread started. Acquiring session...\n"), 5u);
  EXPECT_EQ(countOf(out.text(), "[SteamVR Input] Worker thread finished.\n"), 5u);

  // Through the tracking service: a new `steamvr_tracker_id` switches devices on the
  // running thread, without a new session.
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SteamVrTracker; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  settings.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 3; });
  SteppingClock clock(0.011);
  SteamVrTrackerReader reader(manager, clock, console);
  core::Logger logger(nullptr);
  TrackingService service(settings, logger, Receivers{.steamvrTracker = &reader});
  Received angles;
  core::SampleSink callbacks;
  callbacks.on_rotation = [&](std::string_view source, float a, float b, float c) {
    if (source == "SteamVR Tracker") angles.add(a, b, c);
  };
  service.setCallbacks(callbacks);
  service.initialize();
  ASSERT_TRUE(waitUntil([&] { return angles.size() > 0; }));
  expectNear(angles.all().back(), {30, 0, 90}, 1e-3f);
  const std::uint32_t inits = fake.counters().initCalls;
  settings.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 4; });
  settings.config.flush();  // the service restarts the reader itself
  ASSERT_TRUE(fake.waitCycles(2));
  expectNear(angles.all().back(), {0, 20, 0}, 1e-3f);
  EXPECT_EQ(fake.counters().initCalls, inits);
  EXPECT_TRUE(reader.running());
  service.cleanup();
  EXPECT_FALSE(reader.running());
  EXPECT_FALSE(manager.has_session());
  EXPECT_EQ(err.text(), "");
}

TEST_F(OpenVrClient, WithoutARuntimeThreadsEndAndListsAreEmptyUntilANextRefreshFindsOne) {
  testsupport::TempFolder home("openvr_client");
  std::filesystem::create_directories(home.path() / "program");
  const std::string registry = home.file("openvrpaths.vrpath");
  OpenVrRuntime absent({home.file("program"), registry});
  OpenVRManager manager(absent, console);
  ManualClock clock;
  core::Settings settings;
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SteamVrTracker; });
  settings.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 0; });
  RecordingSounds sounds;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr);
  openvr_server server(settings, manager, toggle, clock, console);
  SteamVrTrackerReader reader(manager, clock, console);
  core::Logger logger(nullptr);
  TrackingService service(settings, logger, Receivers{.openvrHmd = &server, .steamvrTracker = &reader});

  service.initialize();
  ASSERT_TRUE(err.waitFor("[OpenVR] Failed to acquire session from manager.\n"));
  ASSERT_TRUE(err.waitFor("[SteamVR Input] Failed to acquire VR system from manager.\n"));
  ASSERT_TRUE(waitUntil([&] { return !server.running() && !reader.running(); }));
  EXPECT_TRUE(server.get_device_list().empty());
  EXPECT_TRUE(reader.list_controllers().empty());
  EXPECT_FALSE(err.contains("[OpenVRManager]"));  // not installed is not an init failure

  // SteamVR gets installed: its path registry names a runtime holding the library.
  const std::string runtimeFolder = home.file("SteamVR");
  const std::string installed = platform::openvrApiInRuntime(runtimeFolder);
  std::filesystem::create_directories(std::filesystem::path(installed).parent_path());
  std::filesystem::copy_file(STRIVO_FAKE_OPENVR_API, installed);
  testsupport::writeFile(
      registry,
      nlohmann::json{{"jsonid", "vrpathreg"}, {"runtime", {runtimeFolder, "elsewhere"}}, {"external_drivers", nullptr}}
          .dump());
  service.refresh_sources();
  ASSERT_TRUE(out.waitFor("[OpenVR] Session acquired. Polling HMD pose...\n")) << err.text();
  ASSERT_TRUE(waitUntil([&] { return manager.users() == 2; }));
  EXPECT_EQ(absent.loadedFrom(), installed);
  service.cleanup();
  EXPECT_FALSE(manager.has_session());
}

TEST(OpenVrPathRegistry, GivesTheFirstRuntimeFolderOfAWellFormedFileOnly) {
  static constexpr char kRawNul[] = "{\"runtime\": [\"/a\0b\"]}";
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {R"({"runtime": ["/opt/SteamVR", "/other"], "external_drivers": null})", "/opt/SteamVR"},
      {R"({"runtime": ["C:\\Steam\\SteamVR"]})", "C:\\Steam\\SteamVR"},
      {"", std::nullopt},
      {"{\"runtime\": [\"/opt/Ste", std::nullopt},  // cut short
      {"[\"/opt/SteamVR\"]", std::nullopt},
      {R"({"runtime": "/opt/SteamVR"})", std::nullopt},
      {R"({"runtime": []})", std::nullopt},
      {R"({"runtime": [5]})", std::nullopt},
      {R"({"runtime": [""]})", std::nullopt},
      {R"({"config": ["/x"]})", std::nullopt},
      {std::string(kRawNul, sizeof kRawNul - 1), std::nullopt},  // not JSON
      {R"({"runtime": ["/a\u0000/b"]})", std::nullopt},          // a path cut short by its NUL
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(runtimeFolderFromPathRegistry(text), expected) << text;

  // A registry file is read up to 1 MiB; a longer one is not SteamVR's and is ignored.
  testsupport::TempFolder folder("openvr_registry");
  const std::string file = folder.file("openvrpaths.vrpath");
  const std::string json = R"({"runtime": ["/opt/SteamVR"]})";
  for (const std::size_t size : {std::size_t{1} << 20, (std::size_t{1} << 20) + 1}) {
    testsupport::writeFile(file, json + std::string(size - json.size(), ' '));
    const auto candidates = OpenVrRuntime({"", file}).candidates();
    EXPECT_EQ(candidates.size(), size == (1u << 20) ? 1u : 0u) << size;
  }
}

}  // namespace
}  // namespace tracking
