#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/openvr/client_api.h"

namespace tracking {

// One entry of the HMD-selection list: a device index and "<model> (HMD)" and the like.
struct DeviceListEntry {
  std::uint32_t index = 0;
  std::string name;
  bool operator==(const DeviceListEntry&) const = default;
};

// One entry of the tracker and hook-target list.
struct ControllerListEntry {
  std::uint32_t index = 0;
  std::string name;    // model number, with " (Left)" / " (Right)" for a hand's controller
  std::string serial;  // serial number
  bool operator==(const ControllerListEntry&) const = default;
};

// Every connected device as "<model number><class suffix>"; a model that cannot be
// read is "Unknown Device".
std::vector<DeviceListEntry> buildDeviceList(vr::IVRSystem& system);

// Every connected device (of any class) with its model, hand and serial number.
std::vector<ControllerListEntry> buildControllerList(vr::IVRSystem& system);

}  // namespace tracking
