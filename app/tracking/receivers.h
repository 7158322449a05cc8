#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

// What the TrackingService needs from each kind of receiver. Each receiver owns its
// thread; `start` is idempotent and `stop` joins. Callbacks are installed once,
// before the first start, and run on the receiver's own thread.
namespace tracking {

using Vec3Callback = std::function<void(float, float, float)>;
using NamedVec3Callback = std::function<void(std::string_view name, float, float, float)>;

// SlimeVR's OSC stream (listens on `osc_input_port`).
class IOscReceiver {
 public:
  using MessageCallback = std::function<void(std::string_view address, std::span<const float> values)>;
  virtual ~IOscReceiver() = default;
  virtual void set_message_callback(MessageCallback callback) = 0;
  virtual bool start() = 0;
  virtual void stop() = 0;
};

// The phone tracker app's server (listens on `owotrack_input_port`).
class IPhoneReceiver {
 public:
  using RotationCallback = std::function<void(float x, float y, float z, float w)>;
  virtual ~IPhoneReceiver() = default;
  virtual void set_rotation_callback(RotationCallback callback) = 0;
  virtual void set_accel_callback(Vec3Callback callback) = 0;
  // True when listening (also when already running).
  virtual bool start() = 0;
  virtual void stop() = 0;
};

// The OpenVR session's head-pose thread (also reads the controllers' toggle button).
class IOpenVrHmdThread {
 public:
  virtual ~IOpenVrHmdThread() = default;
  virtual void set_position_callback(Vec3Callback callback) = 0;
  virtual void set_rotation_callback(Vec3Callback callback) = 0;
  virtual void start(int hmdDeviceIndex) = 0;
  virtual void stop() = 0;
};

// Reads the head position the OpenXR layer publishes.
class IOpenXrHmdReader {
 public:
  virtual ~IOpenXrHmdReader() = default;
  virtual void set_position_callback(Vec3Callback callback) = 0;
  virtual void start() = 0;
  virtual void stop() = 0;
};

// The SlimeVR server's SolarXR WebSocket feed.
class ISolarXrClient {
 public:
  virtual ~ISolarXrClient() = default;
  virtual void set_rotation_callback(NamedVec3Callback callback) = 0;
  virtual void set_accel_callback(NamedVec3Callback callback) = 0;
  virtual void set_status_callback(std::function<void(std::string_view text)> callback) = 0;
  virtual void connect(const std::string& host, int port) = 0;
  virtual void disconnect() = 0;
};

// Reads one SteamVR tracker's pose and acceleration.
class ISteamVrTrackerReader {
 public:
  virtual ~ISteamVrTrackerReader() = default;
  virtual void set_rotation_callback(Vec3Callback callback) = 0;
  virtual void set_accel_callback(Vec3Callback callback) = 0;
  virtual void start(int trackerDeviceIndex) = 0;
  virtual void stop() = 0;
};

// The receivers the program has; a null pointer is a receiver this build lacks.
struct Receivers {
  IOscReceiver* osc = nullptr;
  IPhoneReceiver* phone = nullptr;
  IOpenVrHmdThread* openvrHmd = nullptr;
  IOpenXrHmdReader* openxrHmd = nullptr;
  ISolarXrClient* solarxr = nullptr;
  ISteamVrTrackerReader* steamvrTracker = nullptr;
};

}  // namespace tracking
