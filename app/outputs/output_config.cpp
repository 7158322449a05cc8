#include "app/outputs/output_config.h"

namespace outputs {
namespace {

std::string_view trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

template <class E>
E choiceOr(std::string_view text, E fallback) {
  return core::parseChoice<E>(text).value_or(fallback);
}

SecondStageConfig secondStage(bool enabled, float percent) { return {enabled, percent / 100.0f}; }

}  // namespace

HandButton parseHandButton(std::string_view text, core::Hand otherwise) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return {otherwise, std::string(trim(text))};
  return {choiceOr(trim(text.substr(0, colon)), otherwise), std::string(trim(text.substr(colon + 1)))};
}

OutputConfig readOutputConfig(const core::Config::Outputs& s) {
  OutputConfig config;
  config.mode = s.mode;
  config.jumpTarget = s.jump_output_mode;
  config.crouchTarget = s.squat_output_mode;
  config.secondStage[slotOf(core::OutputMode::Pad)] = secondStage(s.enable_xbox_s2, s.xbox_threshold_2);
  config.secondStage[slotOf(core::OutputMode::SteamVrHook)] = secondStage(s.enable_steamvr_s2, s.steamvr_threshold_2);
  config.secondStage[slotOf(core::OutputMode::OpenXrLayer)] = secondStage(s.enable_openxr_s2, s.openxr_threshold_2);

  KeyboardConfig& keys = config.keyboard;
  keys.threshold = s.keyboard_threshold / 100.0f;
  keys.threshold2 = s.keyboard_threshold_2 / 100.0f;
  keys.keys = {s.key_fwd, s.key_back, s.key_left, s.key_right};
  keys.keys2 = {s.key_fwd_2, s.key_back_2, s.key_left_2, s.key_right_2};
  keys.jumpKey = s.jump_key;
  keys.crouchKey = s.squat_key;

  config.pad = {s.jump_button, s.squat_button, s.xbox_button_2};
  config.osc = {s.vrchat_osc_address, s.vrchat_osc_port};

  const core::Hand hand = s.target_controller;
  config.hook.hand = hand;
  config.hook.serial = s.hook_target_serial;
  config.hook.jump = parseHandButton(s.jump_hook_button, hand);
  config.hook.crouch = parseHandButton(s.squat_hook_button, hand);
  config.hook.second = parseHandButton(s.steamvr_button_2, hand);
  config.openxr.hand = hand;
  config.openxr.second = parseHandButton(s.openxr_button_2, hand);
  return config;
}

bool usesOutput(const OutputConfig& config, core::OutputMode mode) {
  return config.mode == mode || core::targetOutput(config.jumpTarget, config.mode) == mode ||
         core::targetOutput(config.crouchTarget, config.mode) == mode;
}

}  // namespace outputs
