#include "app/tracking/openvr_devices.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "app/core/utf8_text.h"

namespace tracking {
namespace {

constexpr std::uint32_t kPropertyBufferSize = 256;

// The property's text as it fits in a 256-byte buffer, repaired to UTF-8 (it may be
// selected and saved); `ok` tells whether the runtime reported success. The buffer
// starts zeroed and its last byte stays the end, so whatever the runtime writes, the
// text ends inside the buffer.
std::string stringProperty(vr::IVRSystem& system, std::uint32_t index, vr::ETrackedDeviceProperty prop, bool& ok) {
  std::array<char, kPropertyBufferSize> buffer{};
  vr::ETrackedPropertyError error = vr::TrackedProp_Success;
  system.GetStringTrackedDeviceProperty(index, prop, buffer.data(), kPropertyBufferSize, &error);
  buffer.back() = '\0';
  ok = error == vr::TrackedProp_Success;
  return core::repairUtf8(std::string_view(buffer.data(), std::find(buffer.begin(), buffer.end(), '\0')));
}

const char* classSuffix(vr::ETrackedDeviceClass deviceClass) {
  switch (deviceClass) {
    case vr::TrackedDeviceClass_HMD:
      return " (HMD)";
    case vr::TrackedDeviceClass_Controller:
      return " (Controller)";
    case vr::TrackedDeviceClass_GenericTracker:
      return " (Tracker)";
    default:
      return "";
  }
}

}  // namespace

std::vector<DeviceListEntry> buildDeviceList(vr::IVRSystem& system) {
  std::vector<DeviceListEntry> list;
  for (std::uint32_t index = 0; index < vr::k_unMaxTrackedDeviceCount; ++index) {
    if (!system.IsTrackedDeviceConnected(index)) continue;
    bool ok = false;
    std::string name = stringProperty(system, index, vr::Prop_ModelNumber_String, ok);
    if (!ok) name = "Unknown Device";
    name += classSuffix(system.GetTrackedDeviceClass(index));
    list.push_back({index, std::move(name)});
  }
  return list;
}

std::vector<ControllerListEntry> buildControllerList(vr::IVRSystem& system) {
  std::vector<ControllerListEntry> list;
  for (std::uint32_t index = 0; index < vr::k_unMaxTrackedDeviceCount; ++index) {
    if (!system.IsTrackedDeviceConnected(index)) continue;
    bool ok = false;
    std::string name = stringProperty(system, index, vr::Prop_ModelNumber_String, ok);
    std::string serial = stringProperty(system, index, vr::Prop_SerialNumber_String, ok);
    const vr::ETrackedControllerRole role = system.GetControllerRoleForTrackedDeviceIndex(index);
    if (role == vr::TrackedControllerRole_LeftHand)
      name += " (Left)";
    else if (role == vr::TrackedControllerRole_RightHand)
      name += " (Right)";
    list.push_back({index, std::move(name), std::move(serial)});
  }
  return list;
}

}  // namespace tracking
