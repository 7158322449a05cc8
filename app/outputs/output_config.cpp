#include "app/outputs/output_config.h"

#include "app/core/settings.h"

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

SecondStageConfig secondStage(const std::atomic<bool>& enabled, const std::atomic<float>& percent) {
  return {enabled.load(), percent.load() / 100.0f};
}

}  // namespace

HandButton parseHandButton(std::string_view text, core::Hand otherwise) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return {otherwise, std::string(trim(text))};
  return {choiceOr(trim(text.substr(0, colon)), otherwise), std::string(trim(text.substr(colon + 1)))};
}

OutputConfig readOutputConfig(const core::Settings& s) {
  OutputConfig config;
  config.mode = s.mode.load();
  config.jumpTarget = s.jump_output_mode.load();
  config.crouchTarget = s.squat_output_mode.load();
  config.secondStage[slotOf(core::OutputMode::Pad)] = secondStage(s.enable_xbox_s2, s.xbox_threshold_2);
  config.secondStage[slotOf(core::OutputMode::SteamVrHook)] = secondStage(s.enable_steamvr_s2, s.steamvr_threshold_2);
  config.secondStage[slotOf(core::OutputMode::OpenXrLayer)] = secondStage(s.enable_openxr_s2, s.openxr_threshold_2);

  KeyboardConfig& keys = config.keyboard;
  keys.threshold = s.keyboard_threshold.load() / 100.0f;
  keys.threshold2 = s.keyboard_threshold_2.load() / 100.0f;
  keys.keys = {s.key_fwd.get(), s.key_back.get(), s.key_left.get(), s.key_right.get()};
  keys.keys2 = {s.key_fwd_2.get(), s.key_back_2.get(), s.key_left_2.get(), s.key_right_2.get()};
  keys.jumpKey = s.jump_key.get();
  keys.crouchKey = s.squat_key.get();

  config.pad = {s.jump_button.get(), s.squat_button.get(), s.xbox_button_2.get()};
  config.osc = {s.vrchat_osc_address.get(), s.vrchat_osc_port.load()};

  const core::Hand hand = s.target_controller.load();
  config.hook.hand = hand;
  config.hook.serial = s.hook_target_serial.get();
  config.hook.jump = parseHandButton(s.jump_hook_button.get(), hand);
  config.hook.crouch = parseHandButton(s.squat_hook_button.get(), hand);
  config.hook.second = parseHandButton(s.steamvr_button_2.get(), hand);
  config.openxr.hand = hand;
  config.openxr.second = parseHandButton(s.openxr_button_2.get(), hand);
  return config;
}

bool usesOutput(const OutputConfig& config, core::OutputMode mode) {
  return config.mode == mode || core::targetOutput(config.jumpTarget, config.mode) == mode ||
         core::targetOutput(config.crouchTarget, config.mode) == mode;
}

}  // namespace outputs
