#include "driver/interception.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/code_patch.h"

namespace gaitrelay {
namespace {

using CreateBooleanFn = vr::EVRInputError (*)(vr::IVRDriverInput*, vr::PropertyContainerHandle_t, const char*,
                                              vr::VRInputComponentHandle_t*);
using CreateScalarFn = vr::EVRInputError (*)(vr::IVRDriverInput*, vr::PropertyContainerHandle_t, const char*,
                                             vr::VRInputComponentHandle_t*, vr::EVRScalarType, vr::EVRScalarUnits);

constexpr std::size_t kSlotCount = 4;  // create/update boolean, create/update scalar

// Process-wide, because the patched table is process-wide. Written by install/remove on
// the driver thread; read by the intercepted calls on any thread.
struct State {
  std::mutex installLock;
  void** table = nullptr;
  void* ours[kSlotCount] = {};
  void* real[kSlotCount] = {};
  std::atomic<CreateBooleanFn> createBoolean{nullptr};
  std::atomic<UpdateBooleanFn> updateBoolean{nullptr};
  std::atomic<CreateScalarFn> createScalar{nullptr};
  std::atomic<UpdateScalarFn> updateScalar{nullptr};
  std::atomic<vr::IVRDriverInput*> lastInput{nullptr};
  std::atomic<vr::IVRProperties*> properties{nullptr};
  std::atomic<Relay*> relay{nullptr};
  std::atomic<TickSource> ticks{&steadyTicks};
};

State& state() {
  static State s;
  return s;
}

vr::EVRInputError hookCreateBoolean(vr::IVRDriverInput* self, vr::PropertyContainerHandle_t container, const char* name,
                                    vr::VRInputComponentHandle_t* handle) {
  State& s = state();
  s.lastInput.store(self, std::memory_order_relaxed);
  const vr::EVRInputError result = s.createBoolean.load(std::memory_order_acquire)(self, container, name, handle);
  Relay* relay = s.relay.load(std::memory_order_acquire);
  if (result == vr::VRInputError_None && handle && name && relay && Relay::isClickPath(name)) {
    vr::IVRProperties* properties = s.properties.load(std::memory_order_acquire);
    try {
      relay->registerBoolean(*handle, name, readRole(properties, container), readSerial(properties, container));
    } catch (...) {
      // Out of memory: the component stays unregistered; nothing may escape into the server.
    }
  }
  return result;
}

vr::EVRInputError hookUpdateBoolean(vr::IVRDriverInput* self, vr::VRInputComponentHandle_t component, bool value,
                                    double timeOffset) {
  State& s = state();
  s.lastInput.store(self, std::memory_order_relaxed);
  if (Relay* relay = s.relay.load(std::memory_order_acquire)) {
    try {
      value = relay->filterBoolean(component, value, s.ticks.load(std::memory_order_relaxed)());
    } catch (...) {
    }
  }
  return s.updateBoolean.load(std::memory_order_acquire)(self, component, value, timeOffset);
}

vr::EVRInputError hookCreateScalar(vr::IVRDriverInput* self, vr::PropertyContainerHandle_t container, const char* name,
                                   vr::VRInputComponentHandle_t* handle, vr::EVRScalarType type,
                                   vr::EVRScalarUnits units) {
  State& s = state();
  s.lastInput.store(self, std::memory_order_relaxed);
  const vr::EVRInputError result =
      s.createScalar.load(std::memory_order_acquire)(self, container, name, handle, type, units);
  Relay* relay = s.relay.load(std::memory_order_acquire);
  if (result == vr::VRInputError_None && handle && name && relay && Relay::isStickAxisPath(name)) {
    vr::IVRProperties* properties = s.properties.load(std::memory_order_acquire);
    try {
      relay->registerScalar(*handle, name, readRole(properties, container), readSerial(properties, container));
    } catch (...) {
    }
  }
  return result;
}

vr::EVRInputError hookUpdateScalar(vr::IVRDriverInput* self, vr::VRInputComponentHandle_t component, float value,
                                   double timeOffset) {
  State& s = state();
  s.lastInput.store(self, std::memory_order_relaxed);
  if (Relay* relay = s.relay.load(std::memory_order_acquire)) {
    try {
      value = relay->filterScalar(component, value, s.ticks.load(std::memory_order_relaxed)());
    } catch (...) {
    }
  }
  return s.updateScalar.load(std::memory_order_acquire)(self, component, value, timeOffset);
}

}  // namespace

std::uint64_t steadyTicks() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

bool Interception::install(vr::IVRDriverInput* input, vr::IVRProperties* properties, Relay* relay, TickSource ticks) {
  if (!input || !relay) return false;
  State& s = state();
  std::lock_guard lock(s.installLock);
  if (s.table) return false;
  void** table = *reinterpret_cast<void***>(input);
  if (!table) return false;
  s.ours[0] = reinterpret_cast<void*>(&hookCreateBoolean);
  s.ours[1] = reinterpret_cast<void*>(&hookUpdateBoolean);
  s.ours[2] = reinterpret_cast<void*>(&hookCreateScalar);
  s.ours[3] = reinterpret_cast<void*>(&hookUpdateScalar);
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    s.real[i] = table[i];
    // Someone (an earlier copy of us) already points a slot here: don't chain onto ourselves.
    if (!s.real[i] || s.real[i] == s.ours[i]) return false;
  }
  // The real entries and the relay are published before the table points at the hooks.
  s.createBoolean.store(reinterpret_cast<CreateBooleanFn>(s.real[0]), std::memory_order_release);
  s.updateBoolean.store(reinterpret_cast<UpdateBooleanFn>(s.real[1]), std::memory_order_release);
  s.createScalar.store(reinterpret_cast<CreateScalarFn>(s.real[2]), std::memory_order_release);
  s.updateScalar.store(reinterpret_cast<UpdateScalarFn>(s.real[3]), std::memory_order_release);
  s.properties.store(properties, std::memory_order_release);
  s.ticks.store(ticks ? ticks : &steadyTicks, std::memory_order_relaxed);
  s.relay.store(relay, std::memory_order_release);
  s.lastInput.store(input, std::memory_order_release);
  if (!platform::writeProtectedPointers(table, s.ours, kSlotCount)) {
    s.relay.store(nullptr, std::memory_order_release);
    return false;
  }
  s.table = table;
  return true;
}

void Interception::remove() { removeFor(nullptr); }

void Interception::removeFor(const Relay* relay) {
  State& s = state();
  std::lock_guard lock(s.installLock);
  if (!s.table) return;
  if (relay && s.relay.load(std::memory_order_acquire) != relay) return;
  void* restore[kSlotCount];
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    // A slot someone else re-pointed after us keeps their entry (it chains to ours).
    restore[i] = s.table[i] == s.ours[i] ? s.real[i] : s.table[i];
  }
  platform::writeProtectedPointers(s.table, restore, kSlotCount);
  // Calls already inside a hook still find the real entries; only the relay is withdrawn.
  s.relay.store(nullptr, std::memory_order_release);
  s.table = nullptr;
}

bool Interception::installed() {
  State& s = state();
  std::lock_guard lock(s.installLock);
  return s.table != nullptr;
}

vr::IVRDriverInput* Interception::lastInput() { return state().lastInput.load(std::memory_order_acquire); }

UpdateScalarFn Interception::realUpdateScalar() {
  State& s = state();
  std::lock_guard lock(s.installLock);
  return s.table ? s.updateScalar.load(std::memory_order_acquire) : nullptr;
}

UpdateBooleanFn Interception::realUpdateBoolean() {
  State& s = state();
  std::lock_guard lock(s.installLock);
  return s.table ? s.updateBoolean.load(std::memory_order_acquire) : nullptr;
}

std::int32_t readRole(vr::IVRProperties* properties, vr::PropertyContainerHandle_t container) {
  if (!properties) return kRoleOther;
  std::int32_t value = 0;
  vr::PropertyRead_t read{};
  read.prop = vr::Prop_ControllerRoleHint_Int32;
  read.pvBuffer = &value;
  read.unBufferSize = sizeof value;
  properties->ReadPropertyBatch(container, &read, 1);
  if (read.unTag != vr::k_unInt32PropertyTag || read.eError != vr::TrackedProp_Success) return kRoleOther;
  return (value == kRoleLeft || value == kRoleRight) ? value : kRoleOther;
}

std::string readSerial(vr::IVRProperties* properties, vr::PropertyContainerHandle_t container) {
  if (!properties) return {};
  char buffer[256] = {};
  vr::PropertyRead_t read{};
  read.prop = vr::Prop_SerialNumber_String;
  read.pvBuffer = buffer;
  read.unBufferSize = sizeof buffer;
  properties->ReadPropertyBatch(container, &read, 1);
  if (read.unTag != vr::k_unStringPropertyTag || read.eError != vr::TrackedProp_Success ||
      read.unRequiredBufferSize == 0)
    return {};
  // The host may not terminate the text; never read past the buffer.
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace gaitrelay
