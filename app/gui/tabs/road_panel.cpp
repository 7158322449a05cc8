#include "app/gui/tabs/road_panel.h"

#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/core/source_names.h"
#include "app/gui/palette.h"
#include "app/gui/widgets.h"
#include "platform/udp_socket.h"

namespace gui::tabs {
namespace {

constexpr unsigned kAmber = 0xF59E0B;

template <class... Args>
std::string format(const char* pattern, Args... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, args...);
  return buffer;
}

unsigned colourOf(RoadLight light) {
  switch (light) {
    case RoadLight::Green:
      return palette::kGood;
    case RoadLight::Amber:
      return kAmber;
    case RoadLight::Red:
      break;
  }
  return palette::kBad;
}

RoadRow trackerRow(const RoadFigures& f) {
  RoadRow row{"Tracker", RoadLight::Green, std::string(core::choiceText(f.trackerSource)) + ": ", ""};
  if (f.trackerAgeS < 0) {
    row.figures += "no packet yet";
  } else {
    row.figures += format("%.0f packets/s, last %.1f s ago", f.trackerRate, f.trackerAgeS);
    if (!f.sender.empty()) row.figures += ", from " + f.sender;
  }
  if (f.trackerAgeS >= 0 && f.trackerAgeS < kTrackerAmberAfterS) return row;
  if (f.trackerAgeS >= 0 && f.trackerAgeS < kTrackerRedAfterS) {
    row.light = RoadLight::Amber;
    return row;
  }
  row.light = RoadLight::Red;
  const core::Source source = f.trackerSource;
  if (source == core::Source::Phone) {
    row.help = "Nothing from the phone: put it on this PC's network and type " + f.localAddress + " port " +
               std::to_string(f.phonePort) + " in the app; if it is, the firewall blocks it (FIX FIREWALL below).";
  } else if (source == core::Source::SlimeOsc) {
    row.help =
        "Nothing from SlimeVR: start the SlimeVR server and let it send OSC to port " + std::to_string(f.oscPort) + ".";
  } else if (source == core::Source::SlimeSolarXr) {
    row.help = "Nothing from SlimeVR: start the SlimeVR server on this PC.";
  } else {
    row.help = "No tracker pose: start SteamVR and switch the tracker on.";
  }
  return row;
}

}  // namespace

const char* lightName(RoadLight light) {
  switch (light) {
    case RoadLight::Green:
      return "green";
    case RoadLight::Amber:
      return "amber";
    case RoadLight::Red:
      break;
  }
  return "red";
}

std::vector<RoadRow> judgeRoad(const RoadFigures& f) {
  std::vector<RoadRow> rows{trackerRow(f)};
  rows.push_back({"Engine", f.engineRate > 0 ? RoadLight::Green : RoadLight::Amber,
                  format("%.0f samples/s, stick %.2f, %.2f", f.engineRate, f.stickX, f.stickY), ""});
  rows.push_back({"Output", f.outputRate > 0 ? RoadLight::Green : RoadLight::Amber,
                  std::string(core::choiceText(f.mode)) + format(": %.0f messages/s", f.outputRate), ""});
  if (f.mode == core::OutputMode::SteamVrHook) {
    RoadRow far{"SteamVR driver", RoadLight::Red, "no answer from the driver", ""};
    if (f.driver.answering) {
      far.light = f.driver.controllers > 0 ? RoadLight::Green : RoadLight::Amber;
      far.figures = format("answers: %u controller(s)", static_cast<unsigned>(f.driver.controllers));
      far.figures += f.driver.overrideAgeMs < 0
                         ? std::string(", no override applied yet")
                         : format(", last override %.1f s ago", static_cast<double>(f.driver.overrideAgeMs) / 1000);
    } else if (!f.driverRegistered) {
      far.help = "The SteamVR driver is not registered: REGISTER/FIX below, then restart SteamVR.";
    } else {
      far.help = "The SteamVR driver is not loaded: start or restart SteamVR and keep the driver enabled there.";
    }
    rows.push_back(far);
  } else if (f.mode == core::OutputMode::OpenXrLayer) {
    RoadRow far{"OpenXR layer", f.layerRunning ? RoadLight::Green : RoadLight::Red,
                f.layerRunning ? format("%.0f frames/s", f.layerRate) : std::string("no frames"), ""};
    if (!f.layerRunning) far.help = "No OpenXR game is running with the layer: start a game that uses OpenXR.";
    rows.push_back(far);
  }
  return rows;
}

std::string latencyLine(const core::LatencyRing::Summary& latency) {
  if (latency.samples == 0) return "Latency (datagram to output, last 10 s): no samples";
  return format("Latency (datagram to output, last 10 s): median %.3f ms, p99 %.3f ms, %zu samples", latency.medianMs,
                latency.p99Ms, latency.samples);
}

std::vector<std::string> RoadPanel::lines() const {
  std::vector<std::string> text;
  for (const RoadRow& row : rows_) {
    text.push_back(row.stage + " [" + lightName(row.light) + "] " + row.figures);
    if (!row.help.empty()) text.push_back("  " + row.help);
  }
  text.push_back(latencyLine(figures_.latency));
  return text;
}

RoadPanel::Counts RoadPanel::countsNow(const core::Settings& settings, const GuiActions& actions) {
  const core::RoadStats* stats = actions.road.stats;
  Counts now;
  now.trackerSource = settings.config.snapshot()->tracking.tracker_source;
  now.layer = actions.road.layerFrames ? actions.road.layerFrames() : 0;
  if (stats) {
    now.atNs = stats->now();
    now.engine = stats->engineSamples.load();
    now.output = stats->outputMessages.load();
    if (const core::TrackerStage* stage = stats->stageOf(core::choiceText(now.trackerSource)))
      now.tracker = stage->packets.load();
  }
  return now;
}

std::array<double, 4> RoadPanel::rates(const Counts& later, const Counts& earlier, double elapsed) {
  auto rate = [&](std::uint64_t after, std::uint64_t before) {
    return after >= before ? static_cast<double>(after - before) / elapsed : 0.0;
  };
  return {rate(later.tracker, earlier.tracker), rate(later.engine, earlier.engine), rate(later.output, earlier.output),
          rate(later.layer, earlier.layer)};
}

std::array<long long, 4> RoadPanel::ratesShown(const core::Settings& settings, const GuiActions& actions) const {
  std::array<double, 4> shown{figures_.trackerRate, figures_.engineRate, figures_.outputRate, figures_.layerRate};
  if (sampled_) {
    const Counts now = countsNow(settings, actions);
    const double elapsed = static_cast<double>(now.atNs - previous_.atNs) / 1e9;
    if (now.trackerSource == previous_.trackerSource && elapsed >= kRateWindowS) shown = rates(now, previous_, elapsed);
  }
  std::array<long long, 4> rounded{};
  for (std::size_t i = 0; i < shown.size(); ++i) rounded[i] = std::llround(shown[i]);
  return rounded;
}

void RoadPanel::sample(const core::Settings& settings, const GuiActions& actions) {
  const core::RoadStats* stats = actions.road.stats;
  RoadFigures& f = figures_;
  f.trackerSource = settings.config.snapshot()->tracking.tracker_source;
  f.mode = settings.config.snapshot()->outputs.mode;
  f.phonePort = settings.config.snapshot()->tracking.owotrack_input_port;
  f.oscPort = settings.config.snapshot()->tracking.osc_input_port;
  f.driver = actions.road.driverAnswer ? actions.road.driverAnswer() : DriverAnswer{};
  f.layerRunning = actions.road.layerRunning && actions.road.layerRunning();

  const Counts now = countsNow(settings, actions);
  f.trackerAgeS = -1;
  f.sender.clear();
  if (stats) {
    if (const core::TrackerStage* stage = stats->stageOf(core::choiceText(now.trackerSource))) {
      const std::int64_t last = stage->lastPacketNs.load();
      if (last != 0) f.trackerAgeS = static_cast<double>(std::max<std::int64_t>(0, now.atNs - last)) / 1e9;
      if (stage == &stats->phone && stage->senderAddress.load() != 0) {
        const platform::Endpoint from{stage->senderAddress.load(), stage->senderPort.load()};
        f.sender = from.addressText() + ":" + std::to_string(from.port);
      }
    }
    f.stickX = stats->stickX.load();
    f.stickY = stats->stickY.load();
  }
  const double elapsed = static_cast<double>(now.atNs - previous_.atNs) / 1e9;
  // What asks the system (the address, the component list) is looked at once a window, not every frame.
  if (!sampled_ || elapsed >= kRateWindowS) {
    f.localAddress = actions.localAddress ? actions.localAddress() : std::string("127.0.0.1");
    f.driverRegistered = actions.road.steamVrDriverRegistered ? actions.road.steamVrDriverRegistered() : true;
  }
  if (!sampled_ || now.trackerSource != previous_.trackerSource) {
    previous_ = now;
    sampled_ = true;
  } else if (elapsed >= kRateWindowS) {
    const std::array<double, 4> measured = rates(now, previous_, elapsed);
    f.trackerRate = measured[0];
    f.engineRate = measured[1];
    f.outputRate = measured[2];
    f.layerRate = measured[3];
    if (stats) f.latency = stats->latency.summarize(now.atNs, kLatencyWindowNs);
    previous_ = now;
  }
  rows_ = judgeRoad(f);
}

void RoadPanel::render(const core::Settings& settings, const GuiActions& actions) {
  sample(settings, actions);
  ImGui::SetCursorPosX(30);
  sectionTitle("ROAD FROM BODY TO GAME");
  ImGui::SetCursorPosX(30);
  ImGui::TextColored(palette::rgb(palette::kWhite), "What arrives and leaves at each stage, right now.");
  ImGui::Spacing();
  for (const RoadRow& row : rows_) {
    ImGui::PushID(row.stage.c_str());
    const ImVec2 at = ImGui::GetCursorScreenPos();
    ImGui::GetWindowDrawList()->AddCircleFilled(ImVec2(at.x + 10, at.y + 10), 8, palette::u32(colourOf(row.light)), 16);
    ImGui::Dummy(ImVec2(20, 20));
    noteItem("Road/" + row.stage + "/" + lightName(row.light));
    ImGui::SameLine(0, 25);
    ImGui::BeginGroup();
    ImGui::Text("%s", row.stage.c_str());
    ImGui::SameLine(180);
    ImGui::TextColored(palette::rgb(palette::kWhite), "%s", row.figures.c_str());
    if (!row.help.empty()) {
      ImGui::PushTextWrapPos(ImGui::GetContentRegionMax().x - 20);
      ImGui::TextColored(palette::rgb(palette::kBad), "%s", row.help.c_str());
      ImGui::PopTextWrapPos();
      noteItem("RoadHelp/" + row.stage);
    }
    ImGui::EndGroup();
    ImGui::PopID();
  }
  ImGui::SetCursorPosX(30);
  ImGui::TextColored(palette::rgb(palette::kInfo), "%s", latencyLine(figures_.latency).c_str());
  ImGui::SetCursorPosX(30);
  if (raisedButton("SAVE SUPPORT REPORT", ImVec2(260, 30))) {
    const std::string written = actions.road.saveSupportReport ? actions.road.saveSupportReport(lines()) : "";
    if (written.empty()) {
      reportResult_ = "Could not write the support report.";
    } else {
      reportResult_ = "Saved " + written;
      callIfSet(actions.openUrl, std::filesystem::path(written).parent_path().string());
    }
  }
  noteItem("SAVE SUPPORT REPORT");
  if (!reportResult_.empty()) {
    ImGui::SameLine();
    ImGui::TextColored(palette::rgb(palette::kWhite), "%s", reportResult_.c_str());
  }
  ImGui::Spacing();
  ImGui::Separator();
  ImGui::Spacing();
}

}  // namespace gui::tabs
