#include "app/tracking/openvr_manager.h"

#include <string>

namespace tracking {

OpenVRManager::OpenVRManager(OpenVrRuntime& runtime, ConsoleLines& console) : runtime_(runtime), console_(console) {}

OpenVRManager::~OpenVRManager() {
  std::lock_guard lock(mutex_);
  if (system_) runtime_.shutdown();
  system_ = nullptr;
  users_ = 0;
}

vr::IVRSystem* OpenVRManager::openSession(vr::EVRApplicationType type, vr::EVRInitError* error) {
  *error = vr::VRInitError_None;
  const std::uint32_t token = runtime_.init(error, type);
  if (*error != vr::VRInitError_None) return nullptr;
  if (!runtime_.isInterfaceVersionValid(vr::IVRSystem_Version)) {
    runtime_.shutdown();
    *error = vr::VRInitError_Init_InterfaceNotFound;
    return nullptr;
  }
  vr::EVRInitError lookup = vr::VRInitError_None;
  auto* system = static_cast<vr::IVRSystem*>(runtime_.genericInterface(vr::IVRSystem_Version, &lookup));
  if (!system) {
    // An accepted version without an interface is no session: close what was opened.
    runtime_.shutdown();
    *error = lookup != vr::VRInitError_None ? lookup : vr::VRInitError_Init_InterfaceNotFound;
    return nullptr;
  }
  token_ = token;
  return system;
}

vr::IVRSystem* OpenVRManager::acquire_session(vr::EVRApplicationType type) {
  std::lock_guard lock(mutex_);
  if (system_) {
    // The interface belongs to the init token it came with; fetch it again if the
    // runtime was re-initialised underneath.
    if (const std::uint32_t token = runtime_.initToken(); token != token_) {
      vr::EVRInitError ignored = vr::VRInitError_None;
      if (auto* fresh = static_cast<vr::IVRSystem*>(runtime_.genericInterface(vr::IVRSystem_Version, &ignored))) {
        system_ = fresh;
        token_ = token;
      }
    }
    ++users_;
    return system_;
  }
  if (!runtime_.isRuntimeInstalled()) return nullptr;
  vr::EVRInitError error = vr::VRInitError_None;
  vr::IVRSystem* system = openSession(type, &error);
  if (!system) {
    console_.err("[OpenVRManager] Failed to init: " + runtime_.errorDescription(error));
    return nullptr;
  }
  system_ = system;
  users_ = 1;
  console_.out("[OpenVRManager] Session initialized (Ref: 1)");
  return system_;
}

void OpenVRManager::release_session() {
  std::lock_guard lock(mutex_);
  if (users_ == 0) return;
  if (--users_ == 0 && system_) {
    console_.out("[OpenVRManager] Session released, shutting down.");
    runtime_.shutdown();
    system_ = nullptr;
  }
}

bool OpenVRManager::has_session() const {
  std::lock_guard lock(mutex_);
  return system_ != nullptr;
}

}  // namespace tracking
