#pragma once

// Receivers that record what the tracking service asks of them, in one shared list
// of texts, for tests of the service and of the window that drives it. A list is
// read by the test only after the calls that fill it returned (or were flushed).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/tracking/receivers.h"

namespace tracking {

using Calls = std::vector<std::string>;

struct FakeOsc : IOscReceiver {
  Calls& calls;
  bool startResult = true;
  MessageCallback callback;
  explicit FakeOsc(Calls& c) : calls(c) {}
  void set_message_callback(MessageCallback cb) override { callback = std::move(cb); }
  bool start() override {
    calls.push_back("osc.start");
    return startResult;
  }
  void stop() override { calls.push_back("osc.stop"); }
};

struct FakePhone : IPhoneReceiver {
  Calls& calls;
  bool startResult = true;
  RotationCallback rotation;
  Vec3Callback accel;
  explicit FakePhone(Calls& c) : calls(c) {}
  void set_rotation_callback(RotationCallback cb) override { rotation = std::move(cb); }
  void set_accel_callback(Vec3Callback cb) override { accel = std::move(cb); }
  bool start() override {
    calls.push_back("phone.start");
    return startResult;
  }
  void stop() override { calls.push_back("phone.stop"); }
};

struct FakeOpenVr : IOpenVrHmdThread {
  Calls& calls;
  Vec3Callback position, rotation;
  explicit FakeOpenVr(Calls& c) : calls(c) {}
  void set_position_callback(Vec3Callback cb) override { position = std::move(cb); }
  void set_rotation_callback(Vec3Callback cb) override { rotation = std::move(cb); }
  void start(int id) override { calls.push_back("openvr.start " + std::to_string(id)); }
  void stop() override { calls.push_back("openvr.stop"); }
};

struct FakeOpenXr : IOpenXrHmdReader {
  Calls& calls;
  Vec3Callback position;
  explicit FakeOpenXr(Calls& c) : calls(c) {}
  void set_position_callback(Vec3Callback cb) override { position = std::move(cb); }
  void start() override { calls.push_back("openxr.start"); }
  void stop() override { calls.push_back("openxr.stop"); }
};

struct FakeSolarXr : ISolarXrClient {
  Calls& calls;
  NamedVec3Callback rotation, accel;
  std::function<void(std::string_view)> status;
  explicit FakeSolarXr(Calls& c) : calls(c) {}
  void set_rotation_callback(NamedVec3Callback cb) override { rotation = std::move(cb); }
  void set_accel_callback(NamedVec3Callback cb) override { accel = std::move(cb); }
  void set_status_callback(std::function<void(std::string_view)> cb) override { status = std::move(cb); }
  void connect(const std::string& host, int port) override {
    calls.push_back("solarxr.connect " + host + ":" + std::to_string(port));
  }
  void disconnect() override { calls.push_back("solarxr.disconnect"); }
};

struct FakeTracker : ISteamVrTrackerReader {
  Calls& calls;
  Vec3Callback rotation, accel;
  explicit FakeTracker(Calls& c) : calls(c) {}
  void set_rotation_callback(Vec3Callback cb) override { rotation = std::move(cb); }
  void set_accel_callback(Vec3Callback cb) override { accel = std::move(cb); }
  void start(int id) override { calls.push_back("tracker.start " + std::to_string(id)); }
  void stop() override { calls.push_back("tracker.stop"); }
};

}  // namespace tracking
