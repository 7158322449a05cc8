#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace testsupport::solarxr {

// Reads a client's first message field by field at the slot numbers the SlimeVR
// server expects, with every read bounds-checked. Returns "" when it is a
// MessageBundle holding exactly one StartDataFeed whose one config asks for updates
// at most every 10 ms with the tracker info, status, rotation and linear
// acceleration (and device data) and nothing else; otherwise what is wrong.
std::string checkStartDataFeed(std::span<const std::uint8_t> message);

}  // namespace testsupport::solarxr
