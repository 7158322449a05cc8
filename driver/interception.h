#pragma once

#include <cstdint>

#include "common/openvr/driver_api.h"
#include "driver/relay.h"

// Interception of the driver input interface: the first four slots of the method
// table of the server's input object are pointed at our functions, which consult
// the relay and then call the saved real entries. Every caller of that
// implementation in the process goes through the table, so every driver is reached.
namespace gaitrelay {

using TickSource = std::uint64_t (*)();

// Monotonic milliseconds.
std::uint64_t steadyTicks();

class Interception {
 public:
  // Patches `input`'s method table. False (and nothing patched) when the table cannot
  // be written or is already patched by us. `properties` may be null: components then
  // register with role 0 and no serial.
  static bool install(vr::IVRDriverInput* input, vr::IVRProperties* properties, Relay* relay, TickSource ticks);
  // Puts the real entries back (only slots still holding ours) so the library can be unloaded.
  static void remove();
  // The same, only when `relay` is the one installed (a provider going away).
  static void removeFor(const Relay* relay);
  static bool installed();

  // The input object the last intercepted call was made on (or the one installed on).
  static vr::IVRDriverInput* lastInput();
  static UpdateScalarFn realUpdateScalar();
  static UpdateBooleanFn realUpdateBoolean();
};

// Role hint and serial number of a property container, as registration reads them.
std::int32_t readRole(vr::IVRProperties* properties, vr::PropertyContainerHandle_t container);
std::string readSerial(vr::IVRProperties* properties, vr::PropertyContainerHandle_t container);

}  // namespace gaitrelay
