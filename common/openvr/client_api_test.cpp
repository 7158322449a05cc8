// The client declarations against the runtime's measured layout: sizes, offsets and
// method slots are compared with the numbers the runtime was built with, not with our
// own declarations. Run on both platforms: the controller state differs between them.
#include "common/openvr/client_api.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

#if defined(__linux__)
constexpr std::size_t kStateSize = 60, kStateAlign = 4, kPressedOffset = 4, kTouchedOffset = 12, kAxisOffset = 20;
#else
constexpr std::size_t kStateSize = 64, kStateAlign = 8, kPressedOffset = 8, kTouchedOffset = 16, kAxisOffset = 24;
#endif

static_assert(sizeof(vr::VRControllerState_t) == kStateSize);
static_assert(alignof(vr::VRControllerState_t) == kStateAlign);
static_assert(offsetof(vr::VRControllerState_t, ulButtonPressed) == kPressedOffset);
static_assert(offsetof(vr::VRControllerState_t, ulButtonTouched) == kTouchedOffset);
static_assert(offsetof(vr::VRControllerState_t, rAxis) == kAxisOffset);
static_assert(sizeof(vr::TrackedDevicePose_t) == 80 && alignof(vr::TrackedDevicePose_t) == 4);
static_assert(offsetof(vr::TrackedDevicePose_t, vVelocity) == 48);
static_assert(offsetof(vr::TrackedDevicePose_t, vAngularVelocity) == 60);
static_assert(offsetof(vr::TrackedDevicePose_t, eTrackingResult) == 72);
static_assert(offsetof(vr::TrackedDevicePose_t, bPoseIsValid) == 76);
static_assert(offsetof(vr::TrackedDevicePose_t, bDeviceIsConnected) == 77);
static_assert(sizeof(vr::HmdMatrix34_t) == 48 && sizeof(vr::HiddenAreaMesh_t) == 16);
// Runtimes return values outside the enumerators we list: every enumeration must hold
// any 32-bit value, so its underlying type is fixed.
template <typename E>
constexpr bool kFixed32 = std::is_same_v<std::underlying_type_t<E>, std::int32_t>;
static_assert(kFixed32<vr::EVRInitError> && kFixed32<vr::EVRApplicationType> && kFixed32<vr::ETrackedDeviceClass> &&
              kFixed32<vr::ETrackedControllerRole> && kFixed32<vr::ETrackedPropertyError> &&
              kFixed32<vr::ETrackingResult> && kFixed32<vr::ETrackingUniverseOrigin> &&
              kFixed32<vr::ETrackedDeviceProperty> && kFixed32<vr::EVRButtonId>);

// The vtable slot a virtual method pointer refers to (Itanium C++ ABI, used by gcc on
// both targets: the pointer's first word is 1 + the byte offset in the table).
template <typename Method>
std::size_t slotOf(Method method) {
  static_assert(sizeof method >= sizeof(std::uintptr_t));
  std::uintptr_t word = 0;
  std::memcpy(&word, &method, sizeof word);
  EXPECT_EQ(word % sizeof(void*), 1u) << "not a virtual method pointer";
  return (word - 1) / sizeof(void*);
}

TEST(OpenVrClientApi, MethodsWeCallSitInTheRuntimesSlots) {
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetDeviceToAbsoluteTrackingPose), 11u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetControllerRoleForTrackedDeviceIndex), 18u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetTrackedDeviceClass), 19u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::IsTrackedDeviceConnected), 20u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetStringTrackedDeviceProperty), 27u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::PollNextEventWithPoseAndOverlays), 31u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetControllerState), 34u);
  EXPECT_EQ(slotOf(&vr::IVRSystem::GetRuntimeVersion), 46u);  // the last one: nothing extra
  EXPECT_STREQ(vr::IVRSystem_Version, "IVRSystem_023");
}

}  // namespace
