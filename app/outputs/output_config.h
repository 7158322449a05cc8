#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/core/choices.h"
#include "app/core/config.h"
#include "app/core/config_store.h"
#include "platform/hot_path.h"

namespace outputs {

inline constexpr std::size_t kOutputModeCount = core::ChoiceNames<core::OutputMode>::table.size();
constexpr std::size_t slotOf(core::OutputMode mode) { return static_cast<std::size_t>(mode); }

// A controller button with its hand, as "Left: Grip" names it.
struct HandButton {
  core::Hand hand = core::Hand::Left;
  std::string button;
  bool operator==(const HandButton&) const = default;
};

// The second-stage press of one main output: held while the stick leans forward
// beyond `threshold` (0..1, no release margin).
struct SecondStageConfig {
  bool enabled = false;
  float threshold = 0.8f;
  bool operator==(const SecondStageConfig&) const = default;
};

// Directions in the order forward, back, left, right.
struct KeyboardConfig {
  float threshold = 0.3f;   // 0..1: the first key of a direction
  float threshold2 = 0.6f;  // 0..1: the second key replaces the first
  std::array<std::string, 4> keys{"w", "s", "a", "d"};
  std::array<std::string, 4> keys2{"shift+w", "shift+s", "shift+a", "shift+d"};
  std::string jumpKey = "space";
  std::string crouchKey = "ctrl";
  bool operator==(const KeyboardConfig&) const = default;
};

// Pad button names as in VirtualJoystickService::kButtonNames.
struct PadConfig {
  std::string jumpButton = "A";
  std::string crouchButton = "B";
  std::string secondButton = "LB";
  bool operator==(const PadConfig&) const = default;
};

struct OscConfig {
  std::string address = "127.0.0.1";
  int port = 9000;
  bool operator==(const OscConfig&) const = default;
};

struct HookConfig {
  core::Hand hand = core::Hand::Left;  // the stick's hand
  std::string serial;                  // addresses one controller when set
  HandButton jump{core::Hand::Left, "A"};
  HandButton crouch{core::Hand::Left, "B"};
  HandButton second{core::Hand::Left, "Grip"};
  bool operator==(const HookConfig&) const = default;
};

// Jump presses A and crouch B on the stick's hand.
struct OpenXrConfig {
  core::Hand hand = core::Hand::Left;
  HandButton second{core::Hand::Left, "Grip"};
  bool operator==(const OpenXrConfig&) const = default;
};

// Everything the outputs need, as values. The one place that fills it from the
// configuration is readOutputConfig.
struct OutputConfig {
  core::OutputMode mode = core::OutputMode::SteamVrHook;
  core::ActionTarget jumpTarget = core::ActionTarget::FollowMain;
  core::ActionTarget crouchTarget = core::ActionTarget::FollowMain;
  std::array<SecondStageConfig, kOutputModeCount> secondStage{};  // indexed by slotOf(mode)
  KeyboardConfig keyboard;
  PadConfig pad;
  OscConfig osc;
  HookConfig hook;
  OpenXrConfig openxr;
  bool operator==(const OutputConfig&) const = default;
};

// The configuration's output section as the outputs use it: thresholds as
// fractions, the hand of each button parsed from its text.
OutputConfig readOutputConfig(const core::Config::Outputs& outputs);

// "Right: Grip" → right hand, "Grip": split at the first colon, both parts trimmed of
// spaces, tabs, CR and LF. Without a colon, or with a hand naming no hand, the hand is `otherwise`.
HandButton parseHandButton(std::string_view text, core::Hand otherwise);

// The output section read again only when the configuration has changed: what the
// output service asks on each call, without rebuilding the value per sample.
class OutputConfigReader {
 public:
  explicit OutputConfigReader(const core::ConfigStore& store) : reader_(store) {}
  // The section's values when the configuration changed since the last call, else nullptr.
  STRIVO_HOT_PATH const OutputConfig* changed() {
    if (!reader_.renew()) return nullptr;
    current_ = readOutputConfig(reader_.latest().outputs);
    return &current_;
  }

 private:
  core::ConfigStore::Reader reader_;
  OutputConfig current_;
};

// Whether the main output or a jump or crouch target is `mode`.
bool usesOutput(const OutputConfig& config, core::OutputMode mode);

}  // namespace outputs
