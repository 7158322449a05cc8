#include "app/gui/tabs/main_visuals.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "app/gui/palette.h"
#include "app/gui/tabs/gui_tab_main.h"

namespace gui::tabs {
namespace {

using palette::u32;

ImU32 buttonColour() { return ImGui::GetColorU32(ImGuiCol_Button); }

void centredText(ImDrawList* draw, ImVec2 centre, ImU32 colour, const std::string& text) {
  const ImVec2 size = ImGui::CalcTextSize(text.c_str());
  draw->AddText(ImVec2(centre.x - size.x / 2, centre.y - size.y / 2), colour, text.c_str());
}

float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

}  // namespace

KeyLabel keyLabel(float deflection, float threshold1, float threshold2, const std::string& binding1,
                  const std::string& binding2) {
  return {deflection > threshold2 / 100.0f ? binding2 : binding1, deflection > threshold1 / 100.0f};
}

void drawStickVisualizer(const core::Settings& s, const engine::LiveView& live) {
  const float side = std::max(ImGui::GetContentRegionAvail().x, 40.0f);
  const ImVec2 top = ImGui::GetCursorScreenPos();
  const float h = side / 2;
  const ImVec2 c(top.x + h, top.y + h);
  ImDrawList* draw = ImGui::GetWindowDrawList();

  draw->AddRectFilled(top, ImVec2(top.x + side, top.y + side), u32(palette::kFrameBg), 20);
  draw->AddRect(top, ImVec2(top.x + side, top.y + side), ImGui::GetColorU32(ImGuiCol_Border), 20, 0, 5);
  draw->AddLine(ImVec2(c.x - h, c.y), ImVec2(c.x + h, c.y), u32(palette::kInfo, 50));
  draw->AddLine(ImVec2(c.x, c.y - h), ImVec2(c.x, c.y + h), u32(palette::kInfo, 50));

  const float x = finiteOrZero(live.stick[0].load()), y = finiteOrZero(live.stick[1].load());
  const core::ConfigStore::Snapshot config = s.config.snapshot();
  const core::Config::Outputs& o = config->outputs;
  const core::OutputMode mode = o.mode;
  if (mode == core::OutputMode::Keyboard) {
    const float t1 = o.keyboard_threshold, t2 = o.keyboard_threshold_2;
    draw->AddCircle(c, t1 / 100 * h, u32(palette::kInfo, 30), 64);
    draw->AddCircle(c, t2 / 100 * h, u32(palette::kAccent), 64);
    struct Direction {
      float deflection;
      ImVec2 offset;
      const std::string& s1;
      const std::string& s2;
    };
    const Direction directions[] = {{-y, ImVec2(0, -0.85f * h), o.key_fwd, o.key_fwd_2},
                                    {y, ImVec2(0, 0.85f * h), o.key_back, o.key_back_2},
                                    {-x, ImVec2(-0.85f * h, 0), o.key_left, o.key_left_2},
                                    {x, ImVec2(0.85f * h, 0), o.key_right, o.key_right_2}};
    for (const Direction& d : directions) {
      const KeyLabel label = keyLabel(d.deflection, t1, t2, d.s1, d.s2);
      centredText(draw, ImVec2(c.x + d.offset.x, c.y + d.offset.y), u32(label.lit ? palette::kGood : palette::kMuted),
                  label.text);
    }
  } else {
    draw->AddCircle(c, 0.35f * side, u32(palette::kInfo, 30), 64);
    const std::string* button = nullptr;
    float threshold = 0;
    if (mode == core::OutputMode::Pad && o.enable_xbox_s2) {
      button = &o.xbox_button_2;
      threshold = o.xbox_threshold_2;
    } else if (mode == core::OutputMode::SteamVrHook && o.enable_steamvr_s2) {
      button = &o.steamvr_button_2;
      threshold = o.steamvr_threshold_2;
    } else if (mode == core::OutputMode::OpenXrLayer && o.enable_openxr_s2) {
      button = &o.openxr_button_2;
      threshold = o.openxr_threshold_2;
    }
    if (button) {
      const float radius = threshold / 100 * h;
      draw->AddCircle(c, radius, u32(palette::kAccent), 64);
      centredText(draw, ImVec2(c.x, c.y - radius), u32(y < -threshold / 100 ? palette::kGood : palette::kMuted),
                  *button);
    }
  }

  const ImVec2 dot(c.x + x * 0.8f * h, c.y + y * 0.8f * h);
  const ImU32 ring = buttonColour();
  const ImVec4 ringColour = ImGui::GetStyle().Colors[ImGuiCol_Button];
  for (int i = 1; i <= 5; ++i) {
    ImVec4 faded = ringColour;
    faded.w = (100.0f / i) / 255.0f;
    draw->AddCircle(dot, 12.0f + 3 * i, ImGui::ColorConvertFloat4ToU32(faded), 32, 2);
  }
  draw->AddCircleFilled(dot, 12, u32(palette::kWhite), 32);
  draw->AddCircle(dot, 12, ring, 32, 4);
  ImGui::Dummy(ImVec2(side, side));
}

void drawCurvePreview(float progression) {
  const float width = std::max(ImGui::GetContentRegionAvail().x - 10, 10.0f);
  constexpr float height = 128;
  const ImVec2 top = ImGui::GetCursorScreenPos();
  const ImVec2 bottomRight(top.x + width, top.y + height);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  draw->AddRectFilled(top, bottomRight, u32(palette::kFrameBg), 8);
  draw->AddRect(top, bottomRight, ImGui::GetColorU32(ImGuiCol_Border), 8, 0, 1.5f);
  draw->AddLine(ImVec2(top.x + width / 2, top.y), ImVec2(top.x + width / 2, bottomRight.y), u32(palette::kWhite, 40));
  draw->AddLine(ImVec2(top.x, top.y + height / 2), ImVec2(bottomRight.x, top.y + height / 2), u32(palette::kWhite, 40));
  ImVec2 points[31];
  for (int i = 0; i <= 30; ++i) {
    const float t = i / 30.0f;
    points[i] = ImVec2(top.x + width * t, bottomRight.y - height * responseCurve(t, progression));
  }
  draw->AddPolyline(points, 31, buttonColour(), 0, 3);
  ImGui::Dummy(ImVec2(width, height));
}

float accelerationOnAxis(const engine::LiveView& live, core::AccelAxis axis) {
  const core::AxisComponent component = core::axisComponent(axis);
  return component.sign * finiteOrZero(live.averaged_acceleration[component.index]);
}

void drawJumpIndicator(const core::Settings& s, const engine::LiveView& live, bool jumping) {
  const float columnWidth = ImGui::GetContentRegionAvail().x;
  const float radius = std::max(columnWidth / 2 - 8, 4.0f);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImVec2 top = ImGui::GetCursorScreenPos();
  const ImVec2 centre(top.x + columnWidth / 2, top.y + radius + 4);
  draw->AddCircleFilled(centre, radius, u32(jumping ? palette::kGood : palette::kFrameBg), 48);
  draw->AddCircle(centre, radius, buttonColour(), 48, 5);
  ImGui::Dummy(ImVec2(columnWidth, 2 * radius + 8));

  const ImVec2 boxTop = ImGui::GetCursorScreenPos();
  const float boxHeight = std::max(ImGui::GetContentRegionAvail().y - 6, 40.0f);
  const ImVec2 boxBottom(boxTop.x + columnWidth, boxTop.y + boxHeight);
  draw->AddRectFilled(boxTop, boxBottom, u32(palette::kFrameBg), 12);
  draw->AddRect(boxTop, boxBottom, ImGui::GetColorU32(ImGuiCol_Border), 12, 0, 4);
  const float inset = 6;

  const core::ConfigStore::Snapshot config = s.config.snapshot();
  const core::Config::Jump& jump = config->jump;
  const core::Source source = config->tracking.hmd_source;
  if (source != core::Source::PhoneAcceleration && source != core::Source::SlimeSolarXr) {
    float riseCm = live.jump_rise.load() * 100.0f;
    if (!std::isfinite(riseCm) || riseCm < 0) riseCm = 0;
    const float fraction = std::min(riseCm / 50.0f, 1.0f);
    const float inner = boxHeight - 2 * inset;
    draw->AddRectFilled(ImVec2(boxTop.x + inset, boxBottom.y - inset - inner * fraction),
                        ImVec2(boxBottom.x - inset, boxBottom.y - inset), u32(palette::kGood), 8);
    const float line = boxBottom.y - inset - inner * std::min(jump.jump_threshold / 50.0f, 1.0f);
    draw->AddLine(ImVec2(boxTop.x + inset, line), ImVec2(boxBottom.x - inset, line), u32(palette::kBad), 2);
  } else {
    const float scale = std::max(std::max(jump.jump_accel_threshold, jump.jump_accel_suppress_threshold) * 1.5f, 10.0f);
    const float value = std::clamp(accelerationOnAxis(live, jump.jump_accel_axis) / scale, -1.0f, 1.0f);
    const float middle = (boxTop.y + boxBottom.y) / 2;
    const float half = boxHeight / 2 - inset;
    const ImU32 colour = value <= 0                    ? u32(palette::kWhite)
                         : live.jump_suppressed.load() ? buttonColour()
                                                       : u32(palette::kGood);
    const float end = middle - value * half;
    draw->AddRectFilled(ImVec2(boxTop.x + inset, std::min(middle, end)),
                        ImVec2(boxBottom.x - inset, std::max(middle, end)), colour, 4);
    draw->AddLine(ImVec2(boxTop.x + inset, middle), ImVec2(boxBottom.x - inset, middle), u32(palette::kInfo, 50));
    const float trigger = middle - std::min(jump.jump_accel_threshold / scale, 1.0f) * half;
    draw->AddLine(ImVec2(boxTop.x + inset, trigger), ImVec2(boxBottom.x - inset, trigger), u32(palette::kBad), 2);
    const float suppress = middle + std::min(jump.jump_accel_suppress_threshold / scale, 1.0f) * half;
    draw->AddLine(ImVec2(boxTop.x + inset, suppress), ImVec2(boxBottom.x - inset, suppress), u32(palette::kGood), 3);
  }
  ImGui::Dummy(ImVec2(columnWidth, boxHeight));
}

}  // namespace gui::tabs
