#pragma once

#include <string_view>

// The tracking source names as stored in the settings and carried with each value.
// Compared exactly and case-sensitively.
namespace core::sources {

inline constexpr std::string_view kPhone = "Phone";
inline constexpr std::string_view kPhoneAcceleration = "Phone (Acceleration)";
inline constexpr std::string_view kSlimeOsc = "SlimeVR (OSC)";
inline constexpr std::string_view kSlimeSolarXr = "SlimeVR (SolarXR)";
inline constexpr std::string_view kSteamVrTracker = "SteamVR Tracker";
inline constexpr std::string_view kOpenVr = "SteamVR (OpenVR)";
inline constexpr std::string_view kOpenXr = "OpenXR (In-Game)";
inline constexpr std::string_view kDisabled = "Disabled";

}  // namespace core::sources
