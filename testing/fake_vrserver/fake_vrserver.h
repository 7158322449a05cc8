#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/openvr/driver_api.h"
#include "platform/shared_library.h"

// A stand-in for SteamVR's server process: it loads a driver library by its real
// path, hands it a driver context that serves interfaces by exact version string,
// plays "other drivers" whose controllers create and update input components, runs
// frames, and records what reaches the real input methods.
namespace fakevr {

// The server's own implementation of the driver input interface: what the game
// would see. Every call that reaches it is recorded.
class RealDriverInput : public vr::IVRDriverInput {
 public:
  struct Component {
    vr::PropertyContainerHandle_t container = 0;
    std::string name;
    bool isBoolean = false;
    float scalar = 0;
    bool boolean = false;
    std::uint64_t updates = 0;
  };
  struct Update {
    vr::VRInputComponentHandle_t handle;
    float value;  // booleans as 0 / 1
    std::chrono::steady_clock::time_point at;
  };

  vr::EVRInputError CreateBooleanComponent(vr::PropertyContainerHandle_t container, const char* name,
                                           vr::VRInputComponentHandle_t* handle) override;
  vr::EVRInputError UpdateBooleanComponent(vr::VRInputComponentHandle_t component, bool value,
                                           double timeOffset) override;
  vr::EVRInputError CreateScalarComponent(vr::PropertyContainerHandle_t container, const char* name,
                                          vr::VRInputComponentHandle_t* handle, vr::EVRScalarType type,
                                          vr::EVRScalarUnits units) override;
  vr::EVRInputError UpdateScalarComponent(vr::VRInputComponentHandle_t component, float value,
                                          double timeOffset) override;
  vr::EVRInputError CreateHapticComponent(vr::PropertyContainerHandle_t container, const char* name,
                                          vr::VRInputComponentHandle_t* handle) override;

  Component component(vr::VRInputComponentHandle_t handle) const;
  // Every update that reached the real methods, in order.
  std::vector<Update> updates() const;
  void clearUpdates();

 private:
  mutable std::mutex mutex_;
  vr::VRInputComponentHandle_t next_ = 0x1000;
  std::map<vr::VRInputComponentHandle_t, Component> components_;
  std::vector<Update> updates_;
};

// Property containers of the simulated devices.
class FakeProperties : public vr::IVRProperties {
 public:
  struct Device {
    std::int32_t role = 0;
    std::string serial;
    bool roleMissing = false;  // answer the role with an error
  };
  void set(vr::PropertyContainerHandle_t container, Device device);

  vr::ETrackedPropertyError ReadPropertyBatch(vr::PropertyContainerHandle_t container, vr::PropertyRead_t* batch,
                                              std::uint32_t count) override;
  vr::ETrackedPropertyError WritePropertyBatch(vr::PropertyContainerHandle_t, vr::PropertyWrite_t*,
                                               std::uint32_t) override;
  const char* GetPropErrorNameFromEnum(vr::ETrackedPropertyError) override { return "error"; }
  vr::PropertyContainerHandle_t TrackedDeviceToPropertyContainer(vr::TrackedDeviceIndex_t index) override;

 private:
  std::mutex mutex_;
  std::map<vr::PropertyContainerHandle_t, Device> devices_;
};

// Serves interfaces by exact version string; any interface can be withdrawn.
class FakeDriverContext : public vr::IVRDriverContext {
 public:
  void serve(const std::string& version, void* object) { interfaces_[version] = object; }
  void withdraw(const std::string& version) { interfaces_.erase(version); }
  void* GetGenericInterface(const char* version, vr::EVRInitError* error) override;
  vr::DriverHandle_t GetDriverHandle() override { return 1; }

 private:
  std::map<std::string, void*> interfaces_;
};

// Another driver's controller: creates its components through the input interface
// (so through whatever sits in its method table) and reports real values.
class FakeController {
 public:
  FakeController(vr::IVRDriverInput* input, vr::PropertyContainerHandle_t container);
  // Creates the named components; scalar paths end in /x or /y, boolean paths in /click.
  void create(const std::vector<std::string>& scalarPaths, const std::vector<std::string>& booleanPaths);
  void setReal(const std::string& path, float value);
  void setRealButton(const std::string& path, bool pressed);
  // Reports every component's real value once (what a driver does each frame).
  void report();
  // Drivers that report only on change: the server's frames then leave it silent.
  void setReportsEachFrame(bool each) { reportsEachFrame_ = each; }
  bool reportsEachFrame() const { return reportsEachFrame_; }
  vr::VRInputComponentHandle_t handle(const std::string& path) const;
  vr::PropertyContainerHandle_t container() const { return container_; }

 private:
  vr::IVRDriverInput* input_;
  vr::PropertyContainerHandle_t container_;
  mutable std::mutex mutex_;
  std::map<std::string, vr::VRInputComponentHandle_t> handles_;
  std::map<std::string, float> scalars_;
  std::map<std::string, bool> booleans_;
  std::atomic<bool> reportsEachFrame_{true};
};

class FakeVrServer {
 public:
  // Stick and click paths of a typical controller with a thumbstick.
  static std::vector<std::string> thumbstickAxes() { return {"/input/thumbstick/x", "/input/thumbstick/y"}; }

  FakeVrServer();
  ~FakeVrServer();

  // Loads the library and asks its factory for the provider.
  bool loadDriver(const std::string& path, std::string& error);
  void* factory(const char* interfaceName, int* returnCode);
  // Uses a provider that is already in this process (tests of the driver's classes).
  void useProvider(vr::IServerTrackedDeviceProvider* provider) { provider_ = provider; }
  vr::IServerTrackedDeviceProvider* provider() const { return provider_; }

  FakeDriverContext& context() { return context_; }
  RealDriverInput& realInput() { return input_; }
  // The input interface as other drivers reach it (through its method table), whether
  // or not the context still serves it.
  vr::IVRDriverInput* driverInput() { return inputInterface_; }

  vr::EVRInitError init();
  void cleanup();
  // Adds a controller of another driver; call after init so the driver sees its components.
  FakeController& addController(std::int32_t role, const std::string& serial, const std::vector<std::string>& axes,
                                const std::vector<std::string>& clicks);

  // One server frame: every controller reports its real values, then RunFrame.
  void frame();
  // Frames at 90 Hz on a thread of their own until stop().
  void start();
  void stop();
  std::uint64_t frames() const { return frames_.load(); }
  // The updates of one component that reached the real methods.
  std::vector<RealDriverInput::Update> updatesOf(vr::VRInputComponentHandle_t handle) const;
  // Waits (bounded) until `done` holds, checking after each frame.
  bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

 private:
  struct Inert {
    virtual void unused() {}
  };

  platform::SharedLibrary library_;
  vr::IServerTrackedDeviceProvider* provider_ = nullptr;
  RealDriverInput input_;
  vr::IVRDriverInput* inputInterface_ = &input_;
  FakeProperties properties_;
  FakeDriverContext context_;
  Inert host_, settings_, log_, manager_, resources_;
  std::mutex controllersMutex_;
  std::vector<std::unique_ptr<FakeController>> controllers_;
  vr::PropertyContainerHandle_t nextContainer_ = 100;
  std::mutex frameMutex_;
  std::thread thread_;
  bool initialized_ = false;
  std::atomic<bool> running_{false};
  std::atomic<std::uint64_t> frames_{0};
};

// The built driver library inside the staged program folder.
std::string builtDriverPath();

}  // namespace fakevr
