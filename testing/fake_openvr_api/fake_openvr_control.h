#pragma once

// The scripting side of the fake OpenVR client library (fake_openvr_api). The library
// exports the real openvr_api names for the program under test and these extra C
// functions for the test, which resolves them from the same loaded library.
//
// A script file named by FAKE_OPENVR_SCRIPT is read on the first init; its lines:
//   device <index> <class> <role> <model|-> <serial>   class and role as numbers; "-" = no model
//   position <index> <seconds> <x> <y> <z>              key frames, interpolated linearly;
//                                                        seconds from the first successful init
//   buttons <index> <seconds> <mask>                    the pressed mask (decimal) from that time on
// The device's pose is valid from its first key frame on.

#include <cstdint>

extern "C" {

struct FakeOpenVrCounters {
  std::uint32_t initCalls;             // VR_InitInternal2 calls that succeeded
  std::uint32_t shutdownCalls;         // VR_ShutdownInternal calls
  std::int32_t firstAppType;           // application type of the first successful init, -1 before
  std::uint32_t poseCalls;             // GetDeviceToAbsoluteTrackingPose calls
  std::uint32_t controllerStateCalls;  // GetControllerState calls
  std::uint32_t rejectedStateSizes;    // of those, calls with the wrong structure size
  std::uint32_t lastControllerIndex;   // index of the last GetControllerState call
  std::uint32_t initialized;           // 1 while a session is open
};

using FakeOpenVR_Reset_t = void (*)();
using FakeOpenVR_SetInstalled_t = void (*)(bool installed);
using FakeOpenVR_SetInitError_t = void (*)(std::int32_t error);
using FakeOpenVR_SetAcceptedVersion_t = void (*)(const char* version);
// model null = the property cannot be read.
using FakeOpenVR_SetDevice_t = void (*)(std::uint32_t index, std::int32_t deviceClass, std::int32_t role,
                                        const char* model, const char* serial);
using FakeOpenVR_RemoveDevice_t = void (*)(std::uint32_t index);
// matrix: 12 floats, row-major 3x4; velocity: 3 floats.
using FakeOpenVR_SetPose_t = void (*)(std::uint32_t index, const float* matrix, const float* velocity, bool valid);
using FakeOpenVR_SetButtons_t = void (*)(std::uint32_t index, std::uint64_t pressed);
using FakeOpenVR_GetCounters_t = void (*)(FakeOpenVrCounters* counters);
}
