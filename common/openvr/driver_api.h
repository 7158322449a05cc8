#pragma once

// The few OpenVR driver-side declarations our driver and its fake host use, written
// from the published ABI (slot = declaration index on both the MSVC and Itanium ABIs).
// Rules for this file: only pure virtual methods, no virtual destructors, no overloads,
// one interface version per table with its version string beside it.

#include <cstddef>
#include <cstdint>

namespace vr {

using PropertyContainerHandle_t = std::uint64_t;
using DriverHandle_t = PropertyContainerHandle_t;
using VRInputComponentHandle_t = std::uint64_t;
using PropertyTypeTag_t = std::uint32_t;
using TrackedDeviceIndex_t = std::uint32_t;

inline constexpr VRInputComponentHandle_t k_ulInvalidInputComponentHandle = 0;

enum EVRInitError : std::int32_t {
  VRInitError_None = 0,
  VRInitError_Init_InterfaceNotFound = 105,
};

enum EVRInputError : std::int32_t {
  VRInputError_None = 0,
  VRInputError_InvalidHandle = 3,
};

enum ETrackedControllerRole : std::int32_t {
  TrackedControllerRole_Invalid = 0,
  TrackedControllerRole_LeftHand = 1,
  TrackedControllerRole_RightHand = 2,
};

enum ETrackedDeviceProperty : std::int32_t {
  Prop_SerialNumber_String = 1002,
  Prop_ControllerRoleHint_Int32 = 3007,
};

enum ETrackedPropertyError : std::int32_t {
  TrackedProp_Success = 0,
  TrackedProp_WrongDataType = 1,
  TrackedProp_BufferTooSmall = 3,
  TrackedProp_UnknownProperty = 4,
  TrackedProp_InvalidContainer = 15,
};

inline constexpr PropertyTypeTag_t k_unInt32PropertyTag = 2;
inline constexpr PropertyTypeTag_t k_unStringPropertyTag = 5;

enum EVRScalarType : std::int32_t { VRScalarType_Absolute = 0, VRScalarType_Relative = 1 };
enum EVRScalarUnits : std::int32_t { VRScalarUnits_NormalizedOneSided = 0, VRScalarUnits_NormalizedTwoSided = 1 };

struct PropertyRead_t {
  ETrackedDeviceProperty prop;
  void* pvBuffer;
  std::uint32_t unBufferSize;
  PropertyTypeTag_t unTag;
  std::uint32_t unRequiredBufferSize;
  ETrackedPropertyError eError;
};
static_assert(sizeof(PropertyRead_t) == 32 && alignof(PropertyRead_t) == 8);
static_assert(offsetof(PropertyRead_t, pvBuffer) == 8 && offsetof(PropertyRead_t, unBufferSize) == 16 &&
              offsetof(PropertyRead_t, unTag) == 20 && offsetof(PropertyRead_t, unRequiredBufferSize) == 24 &&
              offsetof(PropertyRead_t, eError) == 28);

struct PropertyWrite_t;

// Served by the host; has no version string of its own.
class IVRDriverContext {
 public:
  virtual void* GetGenericInterface(const char* pchInterfaceVersion, EVRInitError* peError) = 0;  // 0
  virtual DriverHandle_t GetDriverHandle() = 0;                                                   // 1
};

inline constexpr const char* IVRProperties_Version = "IVRProperties_001";
class IVRProperties {
 public:
  virtual ETrackedPropertyError ReadPropertyBatch(PropertyContainerHandle_t ulContainerHandle, PropertyRead_t* pBatch,
                                                  std::uint32_t unBatchEntryCount) = 0;  // 0
  virtual ETrackedPropertyError WritePropertyBatch(PropertyContainerHandle_t ulContainerHandle, PropertyWrite_t* pBatch,
                                                   std::uint32_t unBatchEntryCount) = 0;                 // 1
  virtual const char* GetPropErrorNameFromEnum(ETrackedPropertyError error) = 0;                         // 2
  virtual PropertyContainerHandle_t TrackedDeviceToPropertyContainer(TrackedDeviceIndex_t nDevice) = 0;  // 3
};

// Slots 0-4 are shared by _003 and _004; we declare no further slot and call none.
inline constexpr const char* IVRDriverInput_Version = "IVRDriverInput_004";
inline constexpr const char* IVRDriverInput_PreviousVersion = "IVRDriverInput_003";
class IVRDriverInput {
 public:
  virtual EVRInputError CreateBooleanComponent(PropertyContainerHandle_t ulContainer, const char* pchName,
                                               VRInputComponentHandle_t* pHandle) = 0;  // 0
  virtual EVRInputError UpdateBooleanComponent(VRInputComponentHandle_t ulComponent, bool bNewValue,
                                               double fTimeOffset) = 0;  // 1
  virtual EVRInputError CreateScalarComponent(PropertyContainerHandle_t ulContainer, const char* pchName,
                                              VRInputComponentHandle_t* pHandle, EVRScalarType eType,
                                              EVRScalarUnits eUnits) = 0;  // 2
  virtual EVRInputError UpdateScalarComponent(VRInputComponentHandle_t ulComponent, float fNewValue,
                                              double fTimeOffset) = 0;  // 3
  virtual EVRInputError CreateHapticComponent(PropertyContainerHandle_t ulContainer, const char* pchName,
                                              VRInputComponentHandle_t* pHandle) = 0;  // 4
};

// The host interfaces the driver context must answer for; the driver calls none of their methods.
inline constexpr const char* IVRServerDriverHost_Version = "IVRServerDriverHost_006";
inline constexpr const char* IVRSettings_Version = "IVRSettings_003";
inline constexpr const char* IVRDriverLog_Version = "IVRDriverLog_001";
inline constexpr const char* IVRDriverManager_Version = "IVRDriverManager_001";
inline constexpr const char* IVRResources_Version = "IVRResources_001";

// Implemented by the driver.
inline constexpr const char* IServerTrackedDeviceProvider_Version = "IServerTrackedDeviceProvider_004";
class IServerTrackedDeviceProvider {
 public:
  virtual EVRInitError Init(IVRDriverContext* pDriverContext) = 0;  // 0
  virtual void Cleanup() = 0;                                       // 1
  virtual const char* const* GetInterfaceVersions() = 0;            // 2
  virtual void RunFrame() = 0;                                      // 3
  virtual bool ShouldBlockStandbyMode() = 0;                        // 4
  virtual void EnterStandby() = 0;                                  // 5
  virtual void LeaveStandby() = 0;                                  // 6
};

// The signature of the driver library's one export.
using HmdDriverFactoryFn = void* (*)(const char* pInterfaceName, int* pReturnCode);

}  // namespace vr
