#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Stretches of sound in SDL's disk-driver output (S16 stereo at 48 kHz), as (start, end)
// in seconds; quiet gaps shorter than 0.1 s do not split a stretch.
inline std::vector<std::pair<double, double>> soundStretches(const std::string& bytes) {
  std::vector<std::pair<double, double>> stretches;
  for (std::size_t i = 0; i < bytes.size() / 4; ++i) {
    std::int16_t left, right;
    std::memcpy(&left, bytes.data() + i * 4, 2);
    std::memcpy(&right, bytes.data() + i * 4 + 2, 2);
    if (std::abs(left) <= 64 && std::abs(right) <= 64) continue;
    const double t = i / 48000.0;
    if (stretches.empty() || t - stretches.back().second > 0.1)
      stretches.push_back({t, t});
    else
      stretches.back().second = t;
  }
  return stretches;
}

}  // namespace testsupport
