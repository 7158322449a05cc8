#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/road_stats.h"
#include "app/core/settings.h"
#include "app/gui/gui_actions.h"

namespace gui::tabs {

enum class RoadLight { Green, Amber, Red };
const char* lightName(RoadLight light);

// One stage of the road as the panel shows it; red rows carry one line of help.
struct RoadRow {
  std::string stage;
  RoadLight light = RoadLight::Red;
  std::string figures;
  std::string help;
};

// The road's figures at one moment.
struct RoadFigures {
  core::Source trackerSource = core::Source::Phone;
  core::OutputMode mode = core::OutputMode::SteamVrHook;
  double trackerRate = 0;
  double trackerAgeS = -1;  // -1: no packet yet
  std::string sender;       // the phone's address and port, empty when unknown
  double engineRate = 0;
  float stickX = 0, stickY = 0;
  double outputRate = 0;
  DriverAnswer driver;
  bool driverRegistered = true;
  bool layerRunning = false;
  double layerRate = 0;
  core::LatencyRing::Summary latency;
  std::string localAddress;
  int phonePort = 0;
  int oscPort = 0;
};

// Tracker age limits: green below the first, red from the second on.
inline constexpr double kTrackerAmberAfterS = 1.0;
inline constexpr double kTrackerRedAfterS = 3.0;

// The rows for the selected road: tracker, engine, output, and the far end where
// one can answer (the SteamVR driver, the OpenXR layer).
std::vector<RoadRow> judgeRoad(const RoadFigures& figures);
// The latency line under the rows.
std::string latencyLine(const core::LatencyRing::Summary& latency);

// The road panel at the top of the Status tab, with "SAVE SUPPORT REPORT".
class RoadPanel {
 public:
  static constexpr double kRateWindowS = 1.0;  // rates are measured over at least this long
  static constexpr std::int64_t kLatencyWindowNs = 10'000'000'000;

  void render(const core::Settings& settings, const GuiActions& actions);
  const std::vector<RoadRow>& rows() const { return rows_; }
  // The rows and the latency line as text (the support report's figures).
  std::vector<std::string> lines() const;
  const std::string& reportResult() const { return reportResult_; }
  // The tracker, engine, output and layer rates as drawing now would show them
  // (new ones once a rate window has passed), rounded as shown: what the window
  // compares to redraw as soon as a rate changes.
  std::array<long long, 4> ratesShown(const core::Settings& settings, const GuiActions& actions) const;

 private:
  void sample(const core::Settings& settings, const GuiActions& actions);

  struct Counts {
    std::int64_t atNs = 0;
    std::uint64_t tracker = 0, engine = 0, output = 0, layer = 0;
    core::Source trackerSource = core::Source::Phone;
  };
  static Counts countsNow(const core::Settings& settings, const GuiActions& actions);
  // The rates between two counts `elapsed` seconds apart, in ratesShown's order.
  static std::array<double, 4> rates(const Counts& later, const Counts& earlier, double elapsed);
  bool sampled_ = false;
  Counts previous_;
  RoadFigures figures_;
  std::vector<RoadRow> rows_;
  std::string reportResult_;
};

}  // namespace gui::tabs
