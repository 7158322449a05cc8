// A stand-in for the OpenVR client library: the real export names, serving a scripted
// IVRSystem_023 (devices, poses, controller buttons). Every entry point takes one
// lock, as the real library does. Only the plain structures and constants come from
// our declarations (their layout is checked against measured numbers elsewhere).
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/openvr/client_api.h"
#include "testing/fake_openvr_api/fake_openvr_control.h"

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// The controller state size the runtime accepts on each OS (measured, not taken from
// our own declaration).
#if defined(__linux__)
constexpr std::uint32_t kControllerStateSize = 60, kPressedOffset = 4;
#else
constexpr std::uint32_t kControllerStateSize = 64, kPressedOffset = 8;
#endif

struct KeyFrame {
  double time;
  float x, y, z;
};

struct Device {
  bool connected = false;
  vr::ETrackedDeviceClass deviceClass = vr::TrackedDeviceClass_Invalid;
  vr::ETrackedControllerRole role = vr::TrackedControllerRole_Invalid;
  std::optional<std::string> model;
  std::string serial;
  vr::TrackedDevicePose_t pose{};
  std::uint64_t pressed = 0;
  std::vector<KeyFrame> frames;
  std::vector<std::pair<double, std::uint64_t>> buttonFrames;  // (seconds, pressed mask), in time order
};

struct State {
  std::recursive_mutex mutex;
  bool installed = true;
  vr::EVRInitError initError = vr::VRInitError_None;
  std::string acceptedVersion = vr::IVRSystem_Version;
  std::array<Device, vr::k_unMaxTrackedDeviceCount> devices{};
  FakeOpenVrCounters counters{0, 0, -1, 0, 0, 0, 0, 0};
  std::uint32_t token = 0;
  bool scriptRead = false;
  std::chrono::steady_clock::time_point start{};
};

State& state() {
  static State s;
  return s;
}

void identity(vr::HmdMatrix34_t& m) {
  std::memset(&m, 0, sizeof m);
  m.m[0][0] = m.m[1][1] = m.m[2][2] = 1;
}

void readScript(State& s) {
  s.scriptRead = true;
  const char* path = std::getenv("FAKE_OPENVR_SCRIPT");
  if (!path) return;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    std::uint32_t index = 0;
    if (!(words >> kind >> index) || index >= vr::k_unMaxTrackedDeviceCount) continue;
    Device& d = s.devices[index];
    if (kind == "device") {
      int deviceClass = 0, role = 0;
      std::string model;
      words >> deviceClass >> role >> model >> d.serial;
      d.connected = true;
      d.deviceClass = static_cast<vr::ETrackedDeviceClass>(deviceClass);
      d.role = static_cast<vr::ETrackedControllerRole>(role);
      d.model = model == "-" ? std::nullopt : std::optional(model);
      identity(d.pose.mDeviceToAbsoluteTracking);
    } else if (kind == "position") {
      KeyFrame f{};
      if (words >> f.time >> f.x >> f.y >> f.z) d.frames.push_back(f);
    } else if (kind == "buttons") {
      double time = 0;
      std::uint64_t mask = 0;
      if (words >> time >> mask) d.buttonFrames.emplace_back(time, mask);
    }
  }
}

// The scripted position at `t` seconds, or none before the first key frame.
std::optional<KeyFrame> positionAt(const std::vector<KeyFrame>& frames, double t) {
  if (frames.empty() || t < frames.front().time) return std::nullopt;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const KeyFrame& a = frames[i - 1];
    const KeyFrame& b = frames[i];
    if (t < b.time) {
      const float u = static_cast<float>((t - a.time) / (b.time - a.time));
      return KeyFrame{t, a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
    }
  }
  return frames.back();
}

// The IVRSystem_023 object handed to the program, built as the runtime lays it out: a
// table of 47 method slots at the positions the published interface gives, written
// here by number and not taken from our own class declaration. Each method is a plain
// function whose first parameter is the object ('this'), which both x64 calling
// conventions pass like any first argument. The slots the program has no business
// calling abort, so a wrong slot in our declarations shows at once.
constexpr std::size_t kSlotCount = 47;
using Slot = void (*)();

[[noreturn]] void wrongSlot() {
  std::fputs("fake_openvr_api: call to a method slot the program must not use\n", stderr);
  std::abort();
}

void getDeviceToAbsoluteTrackingPose(void*, vr::ETrackingUniverseOrigin origin, float prediction,
                                     vr::TrackedDevicePose_t* poses, std::uint32_t count) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ++s.counters.poseCalls;
  if (origin != vr::TrackingUniverseRawAndUncalibrated || prediction != 0.0f) wrongSlot();
  const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - s.start).count();
  for (std::uint32_t i = 0; i < count && i < vr::k_unMaxTrackedDeviceCount; ++i) {
    Device& d = s.devices[i];
    if (const auto at = positionAt(d.frames, t)) {
      d.pose.mDeviceToAbsoluteTracking.m[0][3] = at->x;
      d.pose.mDeviceToAbsoluteTracking.m[1][3] = at->y;
      d.pose.mDeviceToAbsoluteTracking.m[2][3] = at->z;
      d.pose.bPoseIsValid = true;
    }
    poses[i] = d.pose;
    poses[i].bDeviceIsConnected = d.connected;
  }
}

const Device* device(std::uint32_t index) {
  return index < vr::k_unMaxTrackedDeviceCount && state().devices[index].connected ? &state().devices[index] : nullptr;
}

std::int32_t getControllerRoleForTrackedDeviceIndex(void*, std::uint32_t index) {
  std::lock_guard lock(state().mutex);
  return device(index) ? device(index)->role : vr::TrackedControllerRole_Invalid;
}

std::int32_t getTrackedDeviceClass(void*, std::uint32_t index) {
  std::lock_guard lock(state().mutex);
  return device(index) ? device(index)->deviceClass : vr::TrackedDeviceClass_Invalid;
}

bool isTrackedDeviceConnected(void*, std::uint32_t index) {
  std::lock_guard lock(state().mutex);
  return device(index) != nullptr;
}

std::uint32_t getStringTrackedDeviceProperty(void*, std::uint32_t index, std::int32_t prop, char* value,
                                             std::uint32_t size, vr::ETrackedPropertyError* error) {
  std::lock_guard lock(state().mutex);
  auto result = [&](vr::ETrackedPropertyError e, std::uint32_t bytes) {
    if (error) *error = e;
    return bytes;
  };
  const Device* d = device(index);
  if (!d) return result(vr::TrackedProp_InvalidDevice, 0);
  const std::optional<std::string> text = prop == vr::Prop_ModelNumber_String    ? d->model
                                          : prop == vr::Prop_SerialNumber_String ? std::optional(d->serial)
                                                                                 : std::nullopt;
  if (!text) return result(vr::TrackedProp_UnknownProperty, 0);
  const auto needed = static_cast<std::uint32_t>(text->size() + 1);
  if (!value || size < needed) return result(vr::TrackedProp_BufferTooSmall, needed);
  std::memcpy(value, text->c_str(), needed);
  return result(vr::TrackedProp_Success, needed);
}

// Accepts only the OS's structure size and writes the pressed mask at the OS's offset.
bool getControllerState(void*, std::uint32_t index, unsigned char* out, std::uint32_t size) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ++s.counters.controllerStateCalls;
  s.counters.lastControllerIndex = index;
  if (size != kControllerStateSize) {
    ++s.counters.rejectedStateSizes;
    return false;
  }
  if (!device(index) || !out) return false;
  Device& d = s.devices[index];
  const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - s.start).count();
  for (const auto& [time, mask] : d.buttonFrames)
    if (time <= t) d.pressed = mask;
  std::memset(out, 0, size);
  std::memcpy(out + kPressedOffset, &d.pressed, sizeof(std::uint64_t));
  return true;
}

template <typename Fn>
Slot slot(Fn fn) {
  return reinterpret_cast<Slot>(fn);
}

struct FakeSystem {
  const Slot* table;
};

FakeSystem& fakeSystem() {
  static const std::array<Slot, kSlotCount> table = [] {
    std::array<Slot, kSlotCount> slots;
    slots.fill(&wrongSlot);
    slots[11] = slot(&getDeviceToAbsoluteTrackingPose);
    slots[18] = slot(&getControllerRoleForTrackedDeviceIndex);
    slots[19] = slot(&getTrackedDeviceClass);
    slots[20] = slot(&isTrackedDeviceConnected);
    slots[27] = slot(&getStringTrackedDeviceProperty);
    slots[34] = slot(&getControllerState);
    return slots;
  }();
  static FakeSystem system{table.data()};
  return system;
}

}  // namespace

// ---- The openvr_api exports ----

FAKE_EXPORT bool VR_IsRuntimeInstalled() {
  std::lock_guard lock(state().mutex);
  return state().installed;
}

FAKE_EXPORT std::uint32_t VR_InitInternal2(vr::EVRInitError* error, vr::EVRApplicationType type, const char*) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (!s.scriptRead) readScript(s);
  vr::EVRInitError result = s.installed ? s.initError : vr::VRInitError_Init_InstallationNotFound;
  if (error) *error = result;
  if (result != vr::VRInitError_None) return 0;
  if (s.counters.initCalls++ == 0) {
    s.counters.firstAppType = type;
    s.start = std::chrono::steady_clock::now();
  }
  s.counters.initialized = 1;
  return ++s.token;
}

FAKE_EXPORT std::uint32_t VR_InitInternal(vr::EVRInitError* error, vr::EVRApplicationType type) {
  return VR_InitInternal2(error, type, nullptr);
}

FAKE_EXPORT void VR_ShutdownInternal() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  ++s.counters.shutdownCalls;
  s.counters.initialized = 0;
  ++s.token;
}

FAKE_EXPORT bool VR_IsInterfaceVersionValid(const char* version) {
  std::lock_guard lock(state().mutex);
  return state().counters.initialized && version && state().acceptedVersion == version;
}

FAKE_EXPORT void* VR_GetGenericInterface(const char* version, vr::EVRInitError* error) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  vr::EVRInitError result = vr::VRInitError_None;
  void* found = nullptr;
  if (!s.counters.initialized)
    result = vr::VRInitError_Init_NotInitialized;
  else if (version && s.acceptedVersion == version)
    found = &fakeSystem();
  else
    result = vr::VRInitError_Init_InterfaceNotFound;
  if (error) *error = result;
  return found;
}

FAKE_EXPORT std::uint32_t VR_GetInitToken() {
  std::lock_guard lock(state().mutex);
  return state().token;
}

FAKE_EXPORT const char* VR_GetVRInitErrorAsEnglishDescription(vr::EVRInitError error) {
  switch (error) {
    case vr::VRInitError_None:
      return "No Error (0)";
    case vr::VRInitError_Init_InstallationNotFound:
      return "Installation Not Found (100)";
    case vr::VRInitError_Init_InterfaceNotFound:
      return "Interface Not Found (105)";
    case vr::VRInitError_Init_HmdNotFound:
      return "Hmd Not Found (108)";
    case vr::VRInitError_Init_NoServerForBackgroundApp:
      return "Not starting vrserver for background app (121)";
    default:
      return "Unknown error";
  }
}

FAKE_EXPORT const char* VR_GetVRInitErrorAsSymbol(vr::EVRInitError error) {
  return error == vr::VRInitError_None ? "VRInitError_None" : "VRInitError_Unknown";
}

FAKE_EXPORT bool VR_IsHmdPresent() {
  std::lock_guard lock(state().mutex);
  return state().installed && state().devices[0].connected;
}

// ---- The test's controls ----

FAKE_EXPORT void FakeOpenVR_Reset() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.installed = true;
  s.initError = vr::VRInitError_None;
  s.acceptedVersion = vr::IVRSystem_Version;
  s.devices = {};
  s.counters = {0, 0, -1, 0, 0, 0, 0, 0};
  s.scriptRead = false;
}

FAKE_EXPORT void FakeOpenVR_SetInstalled(bool installed) {
  std::lock_guard lock(state().mutex);
  state().installed = installed;
}

FAKE_EXPORT void FakeOpenVR_SetInitError(std::int32_t error) {
  std::lock_guard lock(state().mutex);
  state().initError = static_cast<vr::EVRInitError>(error);
}

FAKE_EXPORT void FakeOpenVR_SetAcceptedVersion(const char* version) {
  std::lock_guard lock(state().mutex);
  state().acceptedVersion = version ? version : "";
}

FAKE_EXPORT void FakeOpenVR_SetDevice(std::uint32_t index, std::int32_t deviceClass, std::int32_t role,
                                      const char* model, const char* serial) {
  if (index >= vr::k_unMaxTrackedDeviceCount) return;
  std::lock_guard lock(state().mutex);
  Device& d = state().devices[index];
  d.connected = true;
  d.deviceClass = static_cast<vr::ETrackedDeviceClass>(deviceClass);
  d.role = static_cast<vr::ETrackedControllerRole>(role);
  d.model = model ? std::optional<std::string>(model) : std::nullopt;
  d.serial = serial ? serial : "";
  identity(d.pose.mDeviceToAbsoluteTracking);
}

FAKE_EXPORT void FakeOpenVR_RemoveDevice(std::uint32_t index) {
  if (index >= vr::k_unMaxTrackedDeviceCount) return;
  std::lock_guard lock(state().mutex);
  state().devices[index] = Device{};
}

FAKE_EXPORT void FakeOpenVR_SetPose(std::uint32_t index, const float* matrix, const float* velocity, bool valid) {
  if (index >= vr::k_unMaxTrackedDeviceCount) return;
  std::lock_guard lock(state().mutex);
  vr::TrackedDevicePose_t& pose = state().devices[index].pose;
  if (matrix) std::memcpy(pose.mDeviceToAbsoluteTracking.m, matrix, sizeof pose.mDeviceToAbsoluteTracking.m);
  if (velocity) std::memcpy(pose.vVelocity.v, velocity, sizeof pose.vVelocity.v);
  pose.bPoseIsValid = valid;
  pose.eTrackingResult = valid ? vr::TrackingResult_Running_OK : vr::TrackingResult_Uninitialized;
}

FAKE_EXPORT void FakeOpenVR_SetButtons(std::uint32_t index, std::uint64_t pressed) {
  if (index >= vr::k_unMaxTrackedDeviceCount) return;
  std::lock_guard lock(state().mutex);
  state().devices[index].pressed = pressed;
}

FAKE_EXPORT void FakeOpenVR_GetCounters(FakeOpenVrCounters* counters) {
  std::lock_guard lock(state().mutex);
  if (counters) *counters = state().counters;
}
