#pragma once

#include <string>
#include <string_view>

namespace core {

// Stick axis chosen for a tracker angle. Held as an integer, stored as text.
enum Axis : int { AxisX = 0, AxisY = 1, AxisZ = 2, AxisNegX = 3, AxisNegY = 4, AxisNegZ = 5, AxisNone = 6 };

// Exactly "X", "Y", "Z", "-X", "-Y", "-Z" map to 0..5; every other text is 6 ("None").
int axisFromText(std::string_view text);
// 0..5 give their text; every other value gives "None".
std::string axisToText(int axis);

}  // namespace core
