#pragma once

#include <functional>
#include <string_view>

namespace core {

// The four slots through which tracker values reach the engine. Each value carries
// the name of the source it came from so the engine can ignore unselected sources.
struct SampleSink {
  // Three angles in degrees.
  std::function<void(std::string_view source, float a, float b, float c)> on_rotation;
  std::function<void(std::string_view source, float x, float y, float z, float w)> on_quaternion;
  // Metres, y up.
  std::function<void(std::string_view source, float x, float y, float z)> on_position;
  // The source's units (m/s² for phones).
  std::function<void(std::string_view source, float x, float y, float z)> on_acceleration;
};

}  // namespace core
