#include "app/core/axis.h"

#include <array>

namespace core {
namespace {
constexpr std::array<std::string_view, 7> kAxisTexts = {"X", "Y", "Z", "-X", "-Y", "-Z", "None"};
}

int axisFromText(std::string_view text) {
  for (int axis = AxisX; axis <= AxisNegZ; ++axis)
    if (kAxisTexts[axis] == text) return axis;
  return AxisNone;
}

std::string axisToText(int axis) {
  if (axis < AxisX || axis > AxisNegZ) return "None";
  return std::string(kAxisTexts[axis]);
}

}  // namespace core
