#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds SolarXR data-feed updates the way the SlimeVR server lays them out, writing
// each field at its slot number directly (not through our generated accessors), so
// a wrong slot in the client's schema shows up as a failed test.
namespace testsupport::solarxr {

struct FakeTracker {
  bool withInfo = true;
  std::optional<std::string> displayName;            // info slot 7
  std::optional<std::string> customName;             // info slot 8
  std::optional<std::array<float, 4>> rotation;      // x, y, z, w
  std::optional<std::array<float, 3>> acceleration;  // linear, x, y, z

  FakeTracker& display(std::string name) { return displayName = std::move(name), *this; }
  FakeTracker& custom(std::string name) { return customName = std::move(name), *this; }
  FakeTracker& rotated(std::array<float, 4> q) { return rotation = q, *this; }
  FakeTracker& accelerated(std::array<float, 3> v) { return acceleration = v, *this; }
  FakeTracker& withoutInfo() { return withInfo = false, *this; }
};

using FakeDevice = std::vector<FakeTracker>;

// A MessageBundle with one DataFeedUpdate holding the given devices.
std::vector<std::uint8_t> buildUpdate(const std::vector<FakeDevice>& devices);

// A MessageBundle whose one feed message has the given type and an empty table.
std::vector<std::uint8_t> buildOtherMessage(std::uint8_t type);

// A rotation of `degrees` about the x axis (a forward or backward lean).
std::array<float, 4> pitchQuaternion(float degrees);

}  // namespace testsupport::solarxr
