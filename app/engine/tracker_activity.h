#pragma once

#include <atomic>

namespace engine {

// When the locomotion tracker last sent and last moved (engine seconds, 0: never), and
// whether the watchdog stopped it. The engine owns it and writes it on each sample;
// the watchdog reads it on its pass and restarts the times when it fires.
struct TrackerActivity {
  std::atomic<double> lastSampleTime{0.0};
  std::atomic<double> lastChangeTime{0.0};
  std::atomic<bool> stalled{false};
};

}  // namespace engine
