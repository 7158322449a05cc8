#include "app/gui/tabs/live_plots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/gui/palette.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::u32;

constexpr double kLeanSeconds = 10.0, kJumpSeconds = 5.0, kCrouchSeconds = 10.0;

// The newest samples of `ring` no older than `seconds` before `now`, oldest first.
template <class Sample, std::size_t N>
void copyRecent(const core::SampleRing<Sample, N>& ring, std::vector<Sample>& out, double now, double seconds) {
  out.resize(N);
  const std::size_t n = ring.copyLatest(out.data(), N);
  std::size_t first = 0;
  while (first < n && out[first].time < now - seconds) ++first;
  out.erase(out.begin() + static_cast<long>(n), out.end());
  out.erase(out.begin(), out.begin() + static_cast<long>(first));
}

// A plot's frame: the box, the time scale and the mapping from (time, value) to pixels.
struct Frame {
  ImDrawList* draw;
  ImVec2 min, max;
  double start, seconds;
  PlotRange range;
  float x(double t) const { return min.x + static_cast<float>((t - start) / seconds) * (max.x - min.x); }
  float y(float v) const { return range.y(v, min.y + 4, max.y - 4); }
  void hline(float v, ImU32 colour, float thickness = 1.5f) const {
    if (v < range.low || v > range.high) return;
    draw->AddLine(ImVec2(min.x, y(v)), ImVec2(max.x, y(v)), colour, thickness);
  }
};

Frame beginPlot(const char* id, const char* caption, float height, double now, double seconds, PlotRange range) {
  ImGui::TextColored(palette::rgb(palette::kMuted), "%s", caption);
  const float width = std::max(ImGui::GetContentRegionAvail().x - 10, 50.0f);
  const ImVec2 min = ImGui::GetCursorScreenPos();
  const ImVec2 max(min.x + width, min.y + height);
  ImGui::Dummy(ImVec2(width, height));
  noteItem(id);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(min, max, u32(palette::kFrameBg), 8);
  draw->AddRect(min, max, u32(palette::kBorder), 8, 0, 1.5f);
  draw->PushClipRect(min, max, true);
  return {draw, min, max, now - seconds, seconds, range};
}

void endPlot(const Frame& frame) { frame.draw->PopClipRect(); }

// A line through (time, value) pairs, at most two points per pixel column.
template <class Sample, class Value>
void polyline(const Frame& frame, const std::vector<Sample>& samples, Value value, ImU32 colour) {
  static std::vector<ImVec2> points;
  points.clear();
  float lastX = -1e9f;
  for (const Sample& s : samples) {
    const float x = frame.x(s.time);
    if (x - lastX < 0.5f && &s != &samples.back()) continue;
    lastX = x;
    const float v = value(s);
    points.emplace_back(x, frame.y(std::isfinite(v) ? v : 0.0f));
  }
  if (points.size() >= 2) frame.draw->AddPolyline(points.data(), static_cast<int>(points.size()), colour, 0, 2.0f);
}

template <class Sample, class Value>
PlotRange rangeOf(const std::vector<Sample>& samples, Value value, float low, float high) {
  for (const Sample& s : samples) {
    const float v = value(s);
    if (!std::isfinite(v)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  return {low, high};
}

}  // namespace

double LivePlots::timeNow(const std::function<double()>& engineNow, const core::LiveHistory& history) {
  if (engineNow) return engineNow();
  core::LeanSample lean{};
  core::JumpSample jump{};
  core::CrouchSample crouch{};
  double newest = 0;
  if (history.lean.copyLatest(&lean, 1)) newest = std::max(newest, lean.time);
  if (history.jump.copyLatest(&jump, 1)) newest = std::max(newest, jump.time);
  if (history.crouch.copyLatest(&crouch, 1)) newest = std::max(newest, crouch.time);
  return newest;
}

float PlotRange::y(float value, float top, float bottom) const {
  const float span = high - low > 1e-6f ? high - low : 1.0f;
  return bottom - (value - low) / span * (bottom - top);
}

void LivePlots::lean(const core::LiveHistory& history, const core::Settings& settings, double now, float height) {
  copyRecent(history.lean, lean_, now, kLeanSeconds);
  const core::ConfigStore::Snapshot config = settings.config.snapshot();
  const core::Config::Locomotion& l = config->locomotion;
  const float dead = l.deadzone, maxX = l.max_angle_x, maxY = l.max_angle_y;
  const float reach = std::max(maxX, maxY) * 1.15f;
  PlotRange range = rangeOf(
      lean_, [](const core::LeanSample& s) { return s.leanForward; }, -reach, reach);
  range = rangeOf(
      lean_, [](const core::LeanSample& s) { return s.leanSide; }, range.low, range.high);
  const Frame f = beginPlot("LeanPlot", "Lean (deg, last 10 s): forward green, right blue; dead zone shaded", height,
                            now, kLeanSeconds, range);
  f.draw->AddRectFilled(ImVec2(f.min.x, f.y(dead)), ImVec2(f.max.x, f.y(-dead)), u32(palette::kInfo, 50));
  f.hline(0, u32(palette::kWhite, 40), 1);
  for (const float m : {maxY, -maxY}) f.hline(m, u32(palette::kAccent), 1.5f);
  for (const float m : {maxX, -maxX}) f.hline(m, u32(palette::kMuted), 1.5f);
  polyline(
      f, lean_, [](const core::LeanSample& s) { return s.leanSide; }, u32(palette::kInfo));
  polyline(
      f, lean_, [](const core::LeanSample& s) { return s.leanForward; }, u32(palette::kGood));
  endPlot(f);
}

void LivePlots::stick(const core::LiveHistory& history, double now, float height) {
  copyRecent(history.lean, lean_, now, kLeanSeconds);
  const Frame f =
      beginPlot("StickPlot", "Stick output: forward green, right blue", height, now, kLeanSeconds, {-1.1f, 1.1f});
  f.hline(0, u32(palette::kWhite, 40), 1);
  for (const float m : {1.0f, -1.0f}) f.hline(m, u32(palette::kMuted), 1);
  polyline(
      f, lean_, [](const core::LeanSample& s) { return s.stickX; }, u32(palette::kInfo));
  polyline(
      f, lean_, [](const core::LeanSample& s) { return -s.stickY; }, u32(palette::kGood));
  endPlot(f);
}

void LivePlots::jump(const core::LiveHistory& history, const core::Settings& settings, double now, float height) {
  copyRecent(history.jump, jump_, now, kJumpSeconds);
  const bool accel = !jump_.empty() && (jump_.back().flags & core::JumpSample::Acceleration);
  const core::ConfigStore::Snapshot config = settings.config.snapshot();
  const float threshold = accel ? config->jump.jump_accel_threshold : config->jump.jump_threshold;
  const PlotRange range = rangeOf(
      jump_, [](const core::JumpSample& s) { return s.signal; }, accel ? -threshold : 0.0f, threshold * 1.5f);
  const Frame f = beginPlot("JumpPlot",
                            accel ? "Acceleration (m/s\xC2\xB2, last 5 s): jumps orange, suppressed x"
                                  : "Rise above the low point (cm, last 5 s): jumps orange, suppressed x",
                            height, now, kJumpSeconds, range);
  f.hline(0, u32(palette::kWhite, 40), 1);
  f.hline(threshold, u32(palette::kBad), 2);
  polyline(
      f, jump_, [](const core::JumpSample& s) { return s.signal; }, u32(palette::kGood));
  for (const core::JumpSample& s : jump_) {
    if (s.flags & core::JumpSample::Fired) {
      const float x = f.x(s.time);
      f.draw->AddLine(ImVec2(x, f.min.y), ImVec2(x, f.max.y), u32(palette::kAccent), 2);
      f.draw->AddCircleFilled(ImVec2(x, f.y(s.signal)), 6, u32(palette::kAccent));
    } else if (s.flags & core::JumpSample::Suppressed) {
      const float x = f.x(s.time);
      const float y = f.y(threshold);
      f.draw->AddLine(ImVec2(x - 5, y - 5), ImVec2(x + 5, y + 5), u32(palette::kWhite), 2);
      f.draw->AddLine(ImVec2(x - 5, y + 5), ImVec2(x + 5, y - 5), u32(palette::kWhite), 2);
    }
  }
  endPlot(f);
}

void LivePlots::crouch(const core::LiveHistory& history, const core::Settings& settings, double now, float height) {
  copyRecent(history.crouch, crouch_, now, kCrouchSeconds);
  const core::ConfigStore::Snapshot config = settings.config.snapshot();
  const float upper = config->crouch.squat_upper_threshold, lower = config->crouch.squat_lower_threshold;
  const PlotRange range = rangeOf(
      crouch_, [](const core::CrouchSample& s) { return s.heightCm; }, std::min(upper, lower) - 20,
      std::max(upper, lower) + 20);
  const Frame f = beginPlot("CrouchPlot", "Head height (cm, last 10 s): upper orange, lower red, crouched shaded",
                            height, now, kCrouchSeconds, range);
  // Crouched stretches shaded, from the sample that entered to the one that left.
  for (std::size_t i = 0; i < crouch_.size(); ++i) {
    if (!crouch_[i].crouching) continue;
    std::size_t j = i;
    while (j + 1 < crouch_.size() && crouch_[j + 1].crouching) ++j;
    const double end = j + 1 < crouch_.size() ? crouch_[j + 1].time : crouch_[j].time;
    f.draw->AddRectFilled(ImVec2(f.x(crouch_[i].time), f.min.y), ImVec2(f.x(end), f.max.y), u32(palette::kBad, 50));
    i = j;
  }
  f.hline(upper, u32(palette::kAccent), 2);
  f.hline(lower, u32(palette::kBad), 2);
  polyline(
      f, crouch_, [](const core::CrouchSample& s) { return s.heightCm; }, u32(palette::kGood));
  endPlot(f);
}

}  // namespace gui::tabs
