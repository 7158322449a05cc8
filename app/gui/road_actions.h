#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/road_stats.h"

namespace gui {

// The SteamVR driver's last answer to the program's ping.
struct DriverAnswer {
  bool answering = false;
  std::uint32_t controllers = 0;
  std::int64_t overrideAgeMs = -1;  // -1: never applied an override
};

// What the Status tab's road panel reads; empty members are parts the program lacks.
struct RoadActions {
  const core::RoadStats* stats = nullptr;
  std::function<DriverAnswer()> driverAnswer;
  std::function<bool()> layerRunning;             // a game with the OpenXR layer renders
  std::function<std::uint64_t()> layerFrames;     // frames the layer has published so far
  std::function<bool()> steamVrDriverRegistered;  // for the far end's help line
  // Writes the support report with the panel's lines; returns the file written, empty on failure.
  std::function<std::string(const std::vector<std::string>& roadLines)> saveSupportReport;
};

}  // namespace gui
