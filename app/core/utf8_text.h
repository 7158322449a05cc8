#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace core {

// Text from outside (a tracker's name, a device property, a settings file) is kept
// as UTF-8. Each ill-formed sequence becomes one U+FFFD, so the result can always
// be written to the settings file.
std::string repairUtf8(std::string_view text);
bool isValidUtf8(std::string_view text);

// At most `maxBytes` bytes of repaired text, never cut inside a character.
std::string repairUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace core
