#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

// The SolarXR data feed as this program speaks it: the one request it sends and the
// tracker values it reads from the server's updates.
namespace tracking::solarxr {

// The feed message kinds, as numbered on the wire.
inline constexpr std::uint8_t kStartDataFeedType = 2;
inline constexpr std::uint8_t kDataFeedUpdateType = 3;
// The shortest interval between updates we ask for, in milliseconds.
inline constexpr std::uint16_t kFeedIntervalMs = 10;
// The name a tracker without info is reported under.
inline constexpr std::string_view kUnnamedTracker = "SlimeVR_Tracker";
// A tracker's name is cut to this many bytes (never inside a character).
inline constexpr std::size_t kMaxTrackerNameBytes = 128;

// One MessageBundle asking for a data feed of every tracker's info, status, rotation
// and linear acceleration at most every kFeedIntervalMs.
std::vector<std::uint8_t> buildStartDataFeedRequest();

struct TrackerSample {
  // Valid UTF-8 of at most kMaxTrackerNameBytes; points into the message, or to a
  // repaired copy of the name. Valid during the callback only.
  std::string_view name;
  bool hasRotation = false;
  float rotation[4] = {};  // x, y, z, w
  bool hasAcceleration = false;
  float acceleration[3] = {};
};

// Checks the whole message first, then calls `onTracker` for every tracker of every
// DataFeedUpdate in it, in order. A message that fails the check delivers nothing and
// returns false; other message kinds are skipped.
bool decodeBundle(std::span<const std::uint8_t> message, const std::function<void(const TrackerSample&)>& onTracker);

}  // namespace tracking::solarxr
