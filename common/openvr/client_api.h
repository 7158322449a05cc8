#pragma once

// The OpenVR client-side declarations the main program and its fake runtime use,
// written from the published ABI. Rules for this file: only pure virtual methods, no
// virtual destructors, no overloads, one interface version per table with its version
// string beside it. Enumerations have a fixed 32-bit type because runtimes return
// values outside the listed enumerators.

#include <cstddef>
#include <cstdint>

namespace vr {

using TrackedDeviceIndex_t = std::uint32_t;
using VROverlayHandle_t = std::uint64_t;
using PropertyTypeTag_t = std::uint32_t;

inline constexpr TrackedDeviceIndex_t k_unTrackedDeviceIndex_Hmd = 0;
inline constexpr std::uint32_t k_unMaxTrackedDeviceCount = 64;
inline constexpr std::uint32_t k_unControllerStateAxisCount = 5;
inline constexpr const char* IVRSystem_Version = "IVRSystem_023";

enum EVRInitError : std::int32_t {
  VRInitError_None = 0,
  VRInitError_Init_InstallationNotFound = 100,
  VRInitError_Init_VRClientDLLNotFound = 102,
  VRInitError_Init_InterfaceNotFound = 105,
  VRInitError_Init_HmdNotFound = 108,
  VRInitError_Init_NotInitialized = 109,
  VRInitError_Init_PathRegistryNotFound = 110,
  VRInitError_Init_NoServerForBackgroundApp = 121,
};

enum EVRApplicationType : std::int32_t {
  VRApplication_Other = 0,
  VRApplication_Scene = 1,
  VRApplication_Overlay = 2,
  VRApplication_Background = 3,
  VRApplication_Utility = 4,
};

enum ETrackingUniverseOrigin : std::int32_t {
  TrackingUniverseSeated = 0,
  TrackingUniverseStanding = 1,
  TrackingUniverseRawAndUncalibrated = 2,
};

enum ETrackedDeviceClass : std::int32_t {
  TrackedDeviceClass_Invalid = 0,
  TrackedDeviceClass_HMD = 1,
  TrackedDeviceClass_Controller = 2,
  TrackedDeviceClass_GenericTracker = 3,
  TrackedDeviceClass_TrackingReference = 4,
};

enum ETrackedControllerRole : std::int32_t {
  TrackedControllerRole_Invalid = 0,
  TrackedControllerRole_LeftHand = 1,
  TrackedControllerRole_RightHand = 2,
};

enum ETrackingResult : std::int32_t {
  TrackingResult_Uninitialized = 1,
  TrackingResult_Running_OK = 200,
};

enum ETrackedDeviceProperty : std::int32_t {
  Prop_ModelNumber_String = 1001,
  Prop_SerialNumber_String = 1002,
};

enum ETrackedPropertyError : std::int32_t {
  TrackedProp_Success = 0,
  TrackedProp_BufferTooSmall = 3,
  TrackedProp_UnknownProperty = 4,
  TrackedProp_InvalidDevice = 5,
};

enum EVRButtonId : std::int32_t {
  k_EButton_Axis0 = 32,
  k_EButton_Axis1 = 33,
  k_EButton_Axis2 = 34,
};

// Parameter types of methods we never call; only their size matters for the table.
enum EVREye : std::int32_t {};
enum ETextureType : std::int32_t {};
enum EDeviceActivityLevel : std::int32_t {};
enum EVREventType : std::int32_t {};
enum EHiddenAreaMeshType : std::int32_t {};
enum EVRControllerAxisType : std::int32_t {};
enum EVRFirmwareError : std::int32_t {};
struct VkInstance_T;
struct DistortionCoordinates_t;
struct VREvent_t;

struct HmdMatrix34_t {
  float m[3][4];
};
struct HmdMatrix44_t {
  float m[4][4];
};
struct HmdVector3_t {
  float v[3];
};
struct HiddenAreaMesh_t {
  const void* pVertexData;
  std::uint32_t unTriangleCount;
};

struct TrackedDevicePose_t {
  HmdMatrix34_t mDeviceToAbsoluteTracking;
  HmdVector3_t vVelocity;         // m/s
  HmdVector3_t vAngularVelocity;  // rad/s
  ETrackingResult eTrackingResult;
  bool bPoseIsValid;
  bool bDeviceIsConnected;
};

struct VRControllerAxis_t {
  float x;
  float y;
};

// The runtime packs this structure to 4 bytes on Linux (60 bytes) and aligns it
// naturally on Windows (64 bytes); the size passed to GetControllerState must match.
#if defined(__linux__)
#pragma pack(push, 4)
#endif
struct VRControllerState_t {
  std::uint32_t unPacketNum;
  std::uint64_t ulButtonPressed;
  std::uint64_t ulButtonTouched;
  VRControllerAxis_t rAxis[k_unControllerStateAxisCount];
};
#if defined(__linux__)
#pragma pack(pop)
#endif

// IVRSystem_023: slot = declaration index on both ABIs.
class IVRSystem {
 public:
  virtual void GetRecommendedRenderTargetSize(std::uint32_t* pnWidth, std::uint32_t* pnHeight) = 0;
  virtual HmdMatrix44_t GetProjectionMatrix(EVREye eEye, float fNearZ, float fFarZ) = 0;
  virtual void GetProjectionRaw(EVREye eEye, float* pfLeft, float* pfRight, float* pfTop, float* pfBottom) = 0;
  virtual bool ComputeDistortion(EVREye eEye, float fU, float fV, DistortionCoordinates_t* pCoordinates) = 0;
  virtual HmdMatrix34_t GetEyeToHeadTransform(EVREye eEye) = 0;
  virtual bool GetTimeSinceLastVsync(float* pfSecondsSinceLastVsync, std::uint64_t* pulFrameCounter) = 0;
  virtual std::int32_t GetD3D9AdapterIndex() = 0;
  virtual void GetDXGIOutputInfo(std::int32_t* pnAdapterIndex) = 0;
  virtual void GetOutputDevice(std::uint64_t* pnDevice, ETextureType textureType, VkInstance_T* pInstance) = 0;
  virtual bool IsDisplayOnDesktop() = 0;
  virtual bool SetDisplayVisibility(bool bIsVisibleOnDesktop) = 0;
  virtual void GetDeviceToAbsoluteTrackingPose(ETrackingUniverseOrigin eOrigin, float fPredictedSecondsToPhotonsFromNow,
                                               TrackedDevicePose_t* pTrackedDevicePoseArray,
                                               std::uint32_t unTrackedDevicePoseArrayCount) = 0;
  virtual HmdMatrix34_t GetSeatedZeroPoseToStandingAbsoluteTrackingPose() = 0;
  virtual HmdMatrix34_t GetRawZeroPoseToStandingAbsoluteTrackingPose() = 0;
  virtual std::uint32_t GetSortedTrackedDeviceIndicesOfClass(ETrackedDeviceClass eClass,
                                                             TrackedDeviceIndex_t* punIndexArray,
                                                             std::uint32_t unIndexArrayCount,
                                                             TrackedDeviceIndex_t unRelativeToIndex) = 0;
  virtual EDeviceActivityLevel GetTrackedDeviceActivityLevel(TrackedDeviceIndex_t unDeviceId) = 0;
  virtual void ApplyTransform(TrackedDevicePose_t* pOutputPose, const TrackedDevicePose_t* pTrackedDevicePose,
                              const HmdMatrix34_t* pTransform) = 0;
  virtual TrackedDeviceIndex_t GetTrackedDeviceIndexForControllerRole(ETrackedControllerRole unDeviceType) = 0;
  virtual ETrackedControllerRole GetControllerRoleForTrackedDeviceIndex(TrackedDeviceIndex_t unDeviceIndex) = 0;
  virtual ETrackedDeviceClass GetTrackedDeviceClass(TrackedDeviceIndex_t unDeviceIndex) = 0;
  virtual bool IsTrackedDeviceConnected(TrackedDeviceIndex_t unDeviceIndex) = 0;
  virtual bool GetBoolTrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                            ETrackedPropertyError* pError) = 0;
  virtual float GetFloatTrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                              ETrackedPropertyError* pError) = 0;
  virtual std::int32_t GetInt32TrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                                     ETrackedPropertyError* pError) = 0;
  virtual std::uint64_t GetUint64TrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                                       ETrackedPropertyError* pError) = 0;
  virtual HmdMatrix34_t GetMatrix34TrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex,
                                                         ETrackedDeviceProperty prop,
                                                         ETrackedPropertyError* pError) = 0;
  virtual std::uint32_t GetArrayTrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                                      PropertyTypeTag_t propType, void* pBuffer,
                                                      std::uint32_t unBufferSize, ETrackedPropertyError* pError) = 0;
  virtual std::uint32_t GetStringTrackedDeviceProperty(TrackedDeviceIndex_t unDeviceIndex, ETrackedDeviceProperty prop,
                                                       char* pchValue, std::uint32_t unBufferSize,
                                                       ETrackedPropertyError* pError) = 0;
  virtual const char* GetPropErrorNameFromEnum(ETrackedPropertyError error) = 0;
  virtual bool PollNextEvent(VREvent_t* pEvent, std::uint32_t uncbVREvent) = 0;
  virtual bool PollNextEventWithPose(ETrackingUniverseOrigin eOrigin, VREvent_t* pEvent, std::uint32_t uncbVREvent,
                                     TrackedDevicePose_t* pTrackedDevicePose) = 0;
  virtual bool PollNextEventWithPoseAndOverlays(ETrackingUniverseOrigin eOrigin, VREvent_t* pEvent,
                                                std::uint32_t uncbVREvent, TrackedDevicePose_t* pTrackedDevicePose,
                                                VROverlayHandle_t* pulOverlayHandle) = 0;
  virtual const char* GetEventTypeNameFromEnum(EVREventType eType) = 0;
  virtual HiddenAreaMesh_t GetHiddenAreaMesh(EVREye eEye, EHiddenAreaMeshType type) = 0;
  virtual bool GetControllerState(TrackedDeviceIndex_t unControllerDeviceIndex, VRControllerState_t* pControllerState,
                                  std::uint32_t unControllerStateSize) = 0;
  virtual bool GetControllerStateWithPose(ETrackingUniverseOrigin eOrigin, TrackedDeviceIndex_t unControllerDeviceIndex,
                                          VRControllerState_t* pControllerState, std::uint32_t unControllerStateSize,
                                          TrackedDevicePose_t* pTrackedDevicePose) = 0;
  virtual void TriggerHapticPulse(TrackedDeviceIndex_t unControllerDeviceIndex, std::uint32_t unAxisId,
                                  unsigned short usDurationMicroSec) = 0;
  virtual const char* GetButtonIdNameFromEnum(EVRButtonId eButtonId) = 0;
  virtual const char* GetControllerAxisTypeNameFromEnum(EVRControllerAxisType eAxisType) = 0;
  virtual bool IsInputAvailable() = 0;
  virtual bool IsSteamVRDrawingControllers() = 0;
  virtual bool ShouldApplicationPause() = 0;
  virtual bool ShouldApplicationReduceRenderingWork() = 0;
  virtual EVRFirmwareError PerformFirmwareUpdate(TrackedDeviceIndex_t unDeviceIndex) = 0;
  virtual void AcknowledgeQuit_Exiting() = 0;
  virtual std::uint32_t GetAppContainerFilePaths(char* pchBuffer, std::uint32_t unBufferSize) = 0;
  virtual const char* GetRuntimeVersion() = 0;
};

// The openvr_api exports we call (C linkage, undecorated names).
using VR_IsRuntimeInstalled_t = bool (*)();
using VR_InitInternal2_t = std::uint32_t (*)(EVRInitError* peError, EVRApplicationType eApplicationType,
                                             const char* pStartupInfo);
using VR_ShutdownInternal_t = void (*)();
using VR_IsInterfaceVersionValid_t = bool (*)(const char* pchInterfaceVersion);
using VR_GetGenericInterface_t = void* (*)(const char* pchInterfaceVersion, EVRInitError* peError);
using VR_GetInitToken_t = std::uint32_t (*)();
using VR_GetVRInitErrorAsEnglishDescription_t = const char* (*)(EVRInitError error);

}  // namespace vr
