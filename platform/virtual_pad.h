#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/xusb_report.h"

namespace platform {

// The virtual gamepad bus, in the shape of the bus driver's client library: a client
// connects to the bus, an Xbox 360 target is plugged into it and receives reports.
// Windows: ViGEmClient.dll loaded at run time (absent library = no client).
// Linux: a uinput gamepad with Xbox 360 ids (no write access to the device = bus not found).
class VirtualPadBus {
 public:
  using Handle = void*;

  static constexpr std::uint32_t kErrorNone = 0x20000000u;
  static constexpr std::uint32_t kErrorBusNotFound = 0xE0000001u;
  // Linux only: a failed device call reports this plus the system's error number.
  static constexpr std::uint32_t kErrorSystemBase = 0xE0010000u;

  virtual ~VirtualPadBus() = default;

  // A new client, or nullptr when none can be made.
  virtual Handle alloc() = 0;
  virtual void free(Handle client) = 0;
  // Attaches the client to the bus; kErrorNone on success.
  virtual std::uint32_t connect(Handle client) = 0;
  virtual void disconnect(Handle client) = 0;
  // A new Xbox 360 target (not yet plugged in), or nullptr.
  virtual Handle targetX360Alloc() = 0;
  virtual void targetFree(Handle target) = 0;
  // Plugs the target in; kErrorNone on success.
  virtual std::uint32_t targetAdd(Handle client, Handle target) = 0;
  virtual std::uint32_t targetRemove(Handle client, Handle target) = 0;
  virtual std::uint32_t targetX360Update(Handle client, Handle target, const XusbReport& report) = 0;
  // The last failure in words ("UI_DEV_CREATE: Operation not permitted"), or empty
  // when the bus has nothing to add to its error code.
  virtual std::string lastProblem() const { return {}; }
};

// The platform's bus. `location` overrides where it is found (Windows: the client
// library's path, default "ViGEmClient.dll"; Linux: the uinput device, default
// "/dev/uinput"); tests point it at stand-ins.
std::unique_ptr<VirtualPadBus> createVirtualPadBus(const std::string& location = {});

}  // namespace platform
