#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/tracking/console_lines.h"
#include "app/tracking/openvr_runtime.h"
#include "common/openvr/client_api.h"

namespace tracking {

// The one OpenVR session of the process, shared by everyone who reads from SteamVR and
// counted: the first acquire opens it (with that caller's application type), the last
// release shuts it down. Safe from any thread.
class OpenVRManager {
 public:
  OpenVRManager(OpenVrRuntime& runtime, ConsoleLines& console);
  // An open session is shut down without a message.
  ~OpenVRManager();
  OpenVRManager(const OpenVRManager&) = delete;
  OpenVRManager& operator=(const OpenVRManager&) = delete;

  // The session's IVRSystem, or null when SteamVR is not installed or will not start.
  // Every non-null result must be matched by one release_session.
  vr::IVRSystem* acquire_session(vr::EVRApplicationType type);
  void release_session();
  bool has_session() const;
  std::uint32_t users() const { return users_.load(); }

 private:
  vr::IVRSystem* openSession(vr::EVRApplicationType type, vr::EVRInitError* error);

  OpenVrRuntime& runtime_;
  ConsoleLines& console_;
  mutable std::mutex mutex_;
  vr::IVRSystem* system_ = nullptr;
  std::uint32_t token_ = 0;  // the runtime's init token the interface belongs to
  std::atomic<std::uint32_t> users_{0};
};

}  // namespace tracking
