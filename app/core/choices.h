#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

// Every choice the player makes, as a value. Each has one name table: its texts are
// the settings file's and the window's, and appear nowhere else in the program.
namespace core {

// The main output.
enum class OutputMode : std::uint8_t { Pad, Keyboard, SteamVrHook, VrchatOsc, OpenXrLayer };

// Where jump or crouch goes: the main output, or one named output.
enum class ActionTarget : std::uint8_t { FollowMain, Pad, Keyboard, SteamVrHook, VrchatOsc, OpenXrLayer };

// A tracking source: the body tracker, the head (jump) source, the crouch source,
// and the origin carried with each tracker value.
enum class Source : std::uint8_t {
  Phone,
  PhoneAcceleration,
  SlimeOsc,
  SlimeSolarXr,
  SteamVrTracker,
  OpenVr,
  OpenXr,
  Disabled,
  None,  // no body tracker
};

enum class Hand : std::uint8_t { Left, Right };

// How the phone or the SlimeVR tracker is worn.
enum class Mounting : std::uint8_t { Portrait, LandscapeLeft, LandscapeRight, Raw };
enum class Facing : std::uint8_t { Outward, Inward, Raw };

// The acceleration component the phone's jump detector watches, with its sign.
enum class AccelAxis : std::uint8_t { X, Y, Z, NegX, NegY, NegZ };
// The rotation the jump detector's pitch compensation reads.
enum class RotationAxis : std::uint8_t { Roll, Pitch, Yaw };

template <class E>
struct ChoiceName {
  E value;
  std::string_view text;
};

template <class E>
struct ChoiceNames;  // specialised below: `static constexpr std::array<ChoiceName<E>, N> table`

template <>
struct ChoiceNames<OutputMode> {
  static constexpr std::array<ChoiceName<OutputMode>, 5> table{{
      {OutputMode::Pad, "Xbox Controller (vJoy)"},
      {OutputMode::Keyboard, "Keyboard"},
      {OutputMode::SteamVrHook, "SteamVR Hook"},
      {OutputMode::VrchatOsc, "VRChat OSC"},
      {OutputMode::OpenXrLayer, "OpenXR API Layer"},
  }};
};

template <>
struct ChoiceNames<ActionTarget> {
  static constexpr std::array<ChoiceName<ActionTarget>, 6> table{{
      {ActionTarget::FollowMain, "Follow Main Output"},
      {ActionTarget::Pad, "Xbox Controller (vJoy)"},
      {ActionTarget::Keyboard, "Keyboard"},
      {ActionTarget::SteamVrHook, "SteamVR Hook"},
      {ActionTarget::VrchatOsc, "VRChat OSC"},
      {ActionTarget::OpenXrLayer, "OpenXR API Layer"},
  }};
};

template <>
struct ChoiceNames<Source> {
  static constexpr std::array<ChoiceName<Source>, 9> table{{
      {Source::Phone, "Phone"},
      {Source::PhoneAcceleration, "Phone (Acceleration)"},
      {Source::SlimeOsc, "SlimeVR (OSC)"},
      {Source::SlimeSolarXr, "SlimeVR (SolarXR)"},
      {Source::SteamVrTracker, "SteamVR Tracker"},
      {Source::OpenVr, "SteamVR (OpenVR)"},
      {Source::OpenXr, "OpenXR (In-Game)"},
      {Source::Disabled, "Disabled"},
      {Source::None, "None"},
  }};
};

template <>
struct ChoiceNames<Hand> {
  static constexpr std::array<ChoiceName<Hand>, 2> table{{{Hand::Left, "Left"}, {Hand::Right, "Right"}}};
};

template <>
struct ChoiceNames<Mounting> {
  static constexpr std::array<ChoiceName<Mounting>, 4> table{{
      {Mounting::Portrait, "Vertical (Portrait)"},
      {Mounting::LandscapeLeft, "Horizontal (Landscape Left)"},
      {Mounting::LandscapeRight, "Horizontal (Landscape Right)"},
      {Mounting::Raw, "None (Raw)"},
  }};
};

template <>
struct ChoiceNames<Facing> {
  static constexpr std::array<ChoiceName<Facing>, 3> table{{
      {Facing::Outward, "Screen Outward (Default)"},
      {Facing::Inward, "Screen Inward (Towards Body)"},
      {Facing::Raw, "None (Raw)"},
  }};
};

template <>
struct ChoiceNames<AccelAxis> {
  static constexpr std::array<ChoiceName<AccelAxis>, 6> table{{
      {AccelAxis::X, "X"},
      {AccelAxis::Y, "Y"},
      {AccelAxis::Z, "Z"},
      {AccelAxis::NegX, "-X"},
      {AccelAxis::NegY, "-Y"},
      {AccelAxis::NegZ, "-Z"},
  }};
};

template <>
struct ChoiceNames<RotationAxis> {
  static constexpr std::array<ChoiceName<RotationAxis>, 3> table{{
      {RotationAxis::Roll, "Roll"},
      {RotationAxis::Pitch, "Pitch"},
      {RotationAxis::Yaw, "Yaw"},
  }};
};

// The text of `value`; empty for a value outside its table.
template <class E>
constexpr std::string_view choiceText(E value) {
  for (const auto& entry : ChoiceNames<E>::table)
    if (entry.value == value) return entry.text;
  return {};
}

// The value named exactly (case-sensitively) by `text`, if any.
template <class E>
constexpr std::optional<E> parseChoice(std::string_view text) {
  for (const auto& entry : ChoiceNames<E>::table)
    if (entry.text == text) return entry.value;
  return std::nullopt;
}

// The output an action goes to when the main output is `main`.
constexpr OutputMode targetOutput(ActionTarget target, OutputMode main) {
  switch (target) {
    case ActionTarget::FollowMain:
      return main;
    case ActionTarget::Pad:
      return OutputMode::Pad;
    case ActionTarget::Keyboard:
      return OutputMode::Keyboard;
    case ActionTarget::SteamVrHook:
      return OutputMode::SteamVrHook;
    case ActionTarget::VrchatOsc:
      return OutputMode::VrchatOsc;
    case ActionTarget::OpenXrLayer:
      return OutputMode::OpenXrLayer;
  }
  return main;
}

// The component (0 for x, 1 for y, 2 for z) and the sign an acceleration axis reads.
struct AxisComponent {
  int index;
  float sign;
};
constexpr AxisComponent axisComponent(AccelAxis axis) {
  switch (axis) {
    case AccelAxis::X:
      return {0, 1.0f};
    case AccelAxis::Y:
      return {1, 1.0f};
    case AccelAxis::Z:
      return {2, 1.0f};
    case AccelAxis::NegX:
      return {0, -1.0f};
    case AccelAxis::NegY:
      return {1, -1.0f};
    case AccelAxis::NegZ:
      return {2, -1.0f};
  }
  return {1, 1.0f};
}

// "L" or "R": the hand as the driver's datagrams and the layer's record name it.
constexpr char handLetter(Hand hand) { return hand == Hand::Left ? 'L' : 'R'; }

}  // namespace core
