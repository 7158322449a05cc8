#include "testing/fake_vrserver/fake_vrserver.h"

#include <cstring>

namespace fakevr {

// ---- RealDriverInput ----

vr::EVRInputError RealDriverInput::CreateBooleanComponent(vr::PropertyContainerHandle_t container, const char* name,
                                                          vr::VRInputComponentHandle_t* handle) {
  if (!handle || !name) return vr::VRInputError_InvalidHandle;
  std::lock_guard lock(mutex_);
  *handle = ++next_;
  components_[*handle] = Component{container, name, true, 0, false, 0};
  return vr::VRInputError_None;
}

vr::EVRInputError RealDriverInput::UpdateBooleanComponent(vr::VRInputComponentHandle_t component, bool value, double) {
  std::lock_guard lock(mutex_);
  const auto it = components_.find(component);
  if (it == components_.end() || !it->second.isBoolean) return vr::VRInputError_InvalidHandle;
  it->second.boolean = value;
  ++it->second.updates;
  updates_.push_back({component, value ? 1.0f : 0.0f, std::chrono::steady_clock::now()});
  return vr::VRInputError_None;
}

vr::EVRInputError RealDriverInput::CreateScalarComponent(vr::PropertyContainerHandle_t container, const char* name,
                                                         vr::VRInputComponentHandle_t* handle, vr::EVRScalarType,
                                                         vr::EVRScalarUnits) {
  if (!handle || !name) return vr::VRInputError_InvalidHandle;
  std::lock_guard lock(mutex_);
  *handle = ++next_;
  components_[*handle] = Component{container, name, false, 0, false, 0};
  return vr::VRInputError_None;
}

vr::EVRInputError RealDriverInput::UpdateScalarComponent(vr::VRInputComponentHandle_t component, float value, double) {
  std::lock_guard lock(mutex_);
  const auto it = components_.find(component);
  if (it == components_.end() || it->second.isBoolean) return vr::VRInputError_InvalidHandle;
  it->second.scalar = value;
  ++it->second.updates;
  updates_.push_back({component, value, std::chrono::steady_clock::now()});
  return vr::VRInputError_None;
}

vr::EVRInputError RealDriverInput::CreateHapticComponent(vr::PropertyContainerHandle_t, const char*,
                                                         vr::VRInputComponentHandle_t* handle) {
  if (!handle) return vr::VRInputError_InvalidHandle;
  std::lock_guard lock(mutex_);
  *handle = ++next_;
  return vr::VRInputError_None;
}

RealDriverInput::Component RealDriverInput::component(vr::VRInputComponentHandle_t handle) const {
  std::lock_guard lock(mutex_);
  const auto it = components_.find(handle);
  return it == components_.end() ? Component{} : it->second;
}

std::vector<RealDriverInput::Update> RealDriverInput::updates() const {
  std::lock_guard lock(mutex_);
  return updates_;
}

void RealDriverInput::clearUpdates() {
  std::lock_guard lock(mutex_);
  updates_.clear();
}

// ---- FakeProperties ----

void FakeProperties::set(vr::PropertyContainerHandle_t container, Device device) {
  std::lock_guard lock(mutex_);
  devices_[container] = std::move(device);
}

vr::ETrackedPropertyError FakeProperties::ReadPropertyBatch(vr::PropertyContainerHandle_t container,
                                                            vr::PropertyRead_t* batch, std::uint32_t count) {
  std::lock_guard lock(mutex_);
  const auto device = devices_.find(container);
  if (device == devices_.end()) {
    for (std::uint32_t i = 0; i < count; ++i) batch[i].eError = vr::TrackedProp_InvalidContainer;
    return vr::TrackedProp_InvalidContainer;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    vr::PropertyRead_t& read = batch[i];
    if (read.prop == vr::Prop_ControllerRoleHint_Int32) {
      read.unRequiredBufferSize = 4;
      if (device->second.roleMissing) {
        read.unTag = 0;
        read.eError = vr::TrackedProp_UnknownProperty;
      } else if (read.unBufferSize < 4) {
        read.eError = vr::TrackedProp_BufferTooSmall;
      } else {
        std::memcpy(read.pvBuffer, &device->second.role, 4);
        read.unTag = vr::k_unInt32PropertyTag;
        read.eError = vr::TrackedProp_Success;
      }
    } else if (read.prop == vr::Prop_SerialNumber_String) {
      const std::string& serial = device->second.serial;
      read.unRequiredBufferSize = static_cast<std::uint32_t>(serial.size() + 1);
      if (read.unBufferSize < serial.size() + 1) {
        read.eError = vr::TrackedProp_BufferTooSmall;
      } else {
        std::memcpy(read.pvBuffer, serial.c_str(), serial.size() + 1);
        read.unTag = vr::k_unStringPropertyTag;
        read.eError = vr::TrackedProp_Success;
      }
    } else {
      read.eError = vr::TrackedProp_UnknownProperty;
    }
  }
  return vr::TrackedProp_Success;
}

vr::ETrackedPropertyError FakeProperties::WritePropertyBatch(vr::PropertyContainerHandle_t, vr::PropertyWrite_t*,
                                                             std::uint32_t) {
  return vr::TrackedProp_Success;
}

vr::PropertyContainerHandle_t FakeProperties::TrackedDeviceToPropertyContainer(vr::TrackedDeviceIndex_t index) {
  return 100 + index;
}

// ---- FakeDriverContext ----

void* FakeDriverContext::GetGenericInterface(const char* version, vr::EVRInitError* error) {
  const auto it = version ? interfaces_.find(version) : interfaces_.end();
  if (it == interfaces_.end()) {
    if (error) *error = vr::VRInitError_Init_InterfaceNotFound;
    return nullptr;
  }
  if (error) *error = vr::VRInitError_None;
  return it->second;
}

// ---- FakeController ----

FakeController::FakeController(vr::IVRDriverInput* input, vr::PropertyContainerHandle_t container)
    : input_(input), container_(container) {}

void FakeController::create(const std::vector<std::string>& scalarPaths, const std::vector<std::string>& booleanPaths) {
  std::lock_guard lock(mutex_);
  for (const std::string& path : scalarPaths) {
    vr::VRInputComponentHandle_t handle = 0;
    input_->CreateScalarComponent(container_, path.c_str(), &handle, vr::VRScalarType_Absolute,
                                  vr::VRScalarUnits_NormalizedTwoSided);
    handles_[path] = handle;
    scalars_[path] = 0.0f;
  }
  for (const std::string& path : booleanPaths) {
    vr::VRInputComponentHandle_t handle = 0;
    input_->CreateBooleanComponent(container_, path.c_str(), &handle);
    handles_[path] = handle;
    booleans_[path] = false;
  }
}

void FakeController::setReal(const std::string& path, float value) {
  std::lock_guard lock(mutex_);
  scalars_[path] = value;
}

void FakeController::setRealButton(const std::string& path, bool pressed) {
  std::lock_guard lock(mutex_);
  booleans_[path] = pressed;
}

void FakeController::report() {
  std::lock_guard lock(mutex_);
  for (const auto& [path, value] : scalars_) input_->UpdateScalarComponent(handles_.at(path), value, 0.0);
  for (const auto& [path, value] : booleans_) input_->UpdateBooleanComponent(handles_.at(path), value, 0.0);
}

vr::VRInputComponentHandle_t FakeController::handle(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(path);
  return it == handles_.end() ? 0 : it->second;
}

// ---- FakeVrServer ----

FakeVrServer::FakeVrServer() {
  context_.serve(vr::IVRServerDriverHost_Version, &host_);
  context_.serve(vr::IVRSettings_Version, &settings_);
  context_.serve(vr::IVRProperties_Version, static_cast<vr::IVRProperties*>(&properties_));
  context_.serve(vr::IVRDriverLog_Version, &log_);
  context_.serve(vr::IVRDriverManager_Version, &manager_);
  context_.serve(vr::IVRResources_Version, &resources_);
  context_.serve(vr::IVRDriverInput_Version, static_cast<vr::IVRDriverInput*>(&input_));
}

FakeVrServer::~FakeVrServer() {
  stop();
  // The driver's patches point into the library: take them out before unloading it.
  if (provider_ && initialized_) provider_->Cleanup();
}

bool FakeVrServer::loadDriver(const std::string& path, std::string& error) {
  if (!library_.load(path)) {
    error = library_.error();
    return false;
  }
  if (!library_.symbol("HmdDriverFactory")) {
    error = "HmdDriverFactory is not exported";
    return false;
  }
  int returnCode = 0;
  provider_ =
      static_cast<vr::IServerTrackedDeviceProvider*>(factory(vr::IServerTrackedDeviceProvider_Version, &returnCode));
  if (!provider_) error = "the factory returned no provider";
  return provider_ != nullptr;
}

void* FakeVrServer::factory(const char* interfaceName, int* returnCode) {
  auto* fn = reinterpret_cast<vr::HmdDriverFactoryFn>(library_.symbol("HmdDriverFactory"));
  return fn ? fn(interfaceName, returnCode) : nullptr;
}

vr::EVRInitError FakeVrServer::init() {
  if (!provider_) return vr::VRInitError_Init_InterfaceNotFound;
  const vr::EVRInitError result = provider_->Init(&context_);
  initialized_ = result == vr::VRInitError_None;
  return result;
}

void FakeVrServer::cleanup() {
  stop();
  if (provider_ && initialized_) provider_->Cleanup();
  initialized_ = false;
}

FakeController& FakeVrServer::addController(std::int32_t role, const std::string& serial,
                                            const std::vector<std::string>& axes,
                                            const std::vector<std::string>& clicks) {
  std::lock_guard lock(controllersMutex_);
  const vr::PropertyContainerHandle_t container = ++nextContainer_;
  properties_.set(container, FakeProperties::Device{role, serial, false});
  controllers_.push_back(std::make_unique<FakeController>(driverInput(), container));
  controllers_.back()->create(axes, clicks);
  return *controllers_.back();
}

void FakeVrServer::frame() {
  std::lock_guard frameLock(frameMutex_);
  {
    std::lock_guard lock(controllersMutex_);
    for (auto& controller : controllers_) {
      if (controller->reportsEachFrame()) controller->report();
    }
  }
  if (provider_) provider_->RunFrame();
  ++frames_;
}

void FakeVrServer::start() {
  if (running_.exchange(true)) return;
  thread_ = std::thread([this] {
    const auto period = std::chrono::microseconds(1000000 / 90);
    auto next = std::chrono::steady_clock::now();
    while (running_.load()) {
      frame();
      next += period;
      std::this_thread::sleep_until(next);
    }
  });
}

void FakeVrServer::stop() {
  if (!running_.exchange(false)) return;
  if (thread_.joinable()) thread_.join();
}

std::vector<RealDriverInput::Update> FakeVrServer::updatesOf(vr::VRInputComponentHandle_t handle) const {
  std::vector<RealDriverInput::Update> mine;
  for (const auto& update : input_.updates()) {
    if (update.handle == handle) mine.push_back(update);
  }
  return mine;
}

bool FakeVrServer::waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return done();
}

std::string builtDriverPath() { return STRIVO_BUILT_DRIVER_PATH; }

}  // namespace fakevr
