#include "app/core/settings_file.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace core {
namespace {

using nlohmann::json;

// A field of a section of Config: the section, then the field in it.
template <class Section, class T>
struct ConfigField {
  Section Config::*section;
  T Section::*field;
  T& of(Config& config) const { return config.*section.*field; }
  const T& of(const Config& config) const { return config.*section.*field; }
  T fallback() const { return Config{}.*section.*field; }
};
template <class T>
constexpr ConfigField<Config::Program, T> program(T Config::Program::*field) {
  return {&Config::program, field};
}
template <class T>
constexpr ConfigField<Config::Outputs, T> outputs(T Config::Outputs::*field) {
  return {&Config::outputs, field};
}
template <class T>
constexpr ConfigField<Config::Tracking, T> tracking(T Config::Tracking::*field) {
  return {&Config::tracking, field};
}
template <class T>
constexpr ConfigField<Config::Locomotion, T> locomotion(T Config::Locomotion::*field) {
  return {&Config::locomotion, field};
}
template <class T>
constexpr ConfigField<Config::Jump, T> jump(T Config::Jump::*field) {
  return {&Config::jump, field};
}
template <class T>
constexpr ConfigField<Config::Crouch, T> crouch(T Config::Crouch::*field) {
  return {&Config::crouch, field};
}

using FieldPointer = std::variant<
    ConfigField<Config::Program, bool>, ConfigField<Config::Program, int>, ConfigField<Config::Program, float>,
    ConfigField<Config::Outputs, bool>, ConfigField<Config::Outputs, int>, ConfigField<Config::Outputs, float>,
    ConfigField<Config::Outputs, std::string>, ConfigField<Config::Outputs, OutputMode>,
    ConfigField<Config::Outputs, Hand>, ConfigField<Config::Outputs, ActionTarget>, ConfigField<Config::Tracking, bool>,
    ConfigField<Config::Tracking, int>, ConfigField<Config::Tracking, std::string>,
    ConfigField<Config::Tracking, Source>, ConfigField<Config::Locomotion, bool>,
    ConfigField<Config::Locomotion, float>, ConfigField<Config::Locomotion, Mounting>,
    ConfigField<Config::Locomotion, Facing>, ConfigField<Config::Jump, float>, ConfigField<Config::Jump, RotationAxis>,
    ConfigField<Config::Jump, AccelAxis>, ConfigField<Config::Crouch, float>, ConfigField<Config::Crouch, bool>>;

struct PersistedField {
  const char* key;
  FieldPointer field;
};

// Read in this order; a member of the wrong type stops the load, so the order is observable.
const PersistedField kFirstGroup[] = {
    {"osc_input_port", tracking(&Config::Tracking::osc_input_port)},
    {"owotrack_input_port", tracking(&Config::Tracking::owotrack_input_port)},
    {"deadzone", locomotion(&Config::Locomotion::deadzone)},
    {"max_angle_x", locomotion(&Config::Locomotion::max_angle_x)},
    {"max_angle_y", locomotion(&Config::Locomotion::max_angle_y)},
    {"keyboard_threshold", outputs(&Config::Outputs::keyboard_threshold)},
    {"keyboard_threshold_2", outputs(&Config::Outputs::keyboard_threshold_2)},
    {"enable_xbox_s2", outputs(&Config::Outputs::enable_xbox_s2)},
    {"xbox_threshold_2", outputs(&Config::Outputs::xbox_threshold_2)},
    {"enable_steamvr_s2", outputs(&Config::Outputs::enable_steamvr_s2)},
    {"steamvr_threshold_2", outputs(&Config::Outputs::steamvr_threshold_2)},
    {"enable_openxr_s2", outputs(&Config::Outputs::enable_openxr_s2)},
    {"openxr_threshold_2", outputs(&Config::Outputs::openxr_threshold_2)},
    {"progression", locomotion(&Config::Locomotion::progression)},
    {"mode", outputs(&Config::Outputs::mode)},
    {"target_controller", outputs(&Config::Outputs::target_controller)},
    {"debug_mode", program(&Config::Program::debug_mode)},
    {"fix_angle_discontinuity", locomotion(&Config::Locomotion::fix_angle_discontinuity)},
    {"start_on_launch", program(&Config::Program::start_on_launch)},
    {"bind_steamvr_toggle", program(&Config::Program::bind_steamvr_toggle)},
    {"slimevr_tap_toggle", program(&Config::Program::slimevr_tap_toggle)},
    {"steamvr_toggle_hand", program(&Config::Program::steamvr_toggle_hand)},
    {"enable_audio_feedback", program(&Config::Program::enable_audio_feedback)},
    {"audio_volume", program(&Config::Program::audio_volume)},
    {"slimevr_tap_sensitivity", program(&Config::Program::slimevr_tap_sensitivity)},
    {"slimevr_tap_axis", program(&Config::Program::slimevr_tap_axis)},
    {"check_for_updates", program(&Config::Program::check_for_updates)},
    {"enable_experimental_openxr", program(&Config::Program::enable_experimental_openxr)},
    {"key_fwd", outputs(&Config::Outputs::key_fwd)},
    {"key_back", outputs(&Config::Outputs::key_back)},
    {"key_left", outputs(&Config::Outputs::key_left)},
    {"key_right", outputs(&Config::Outputs::key_right)},
    {"key_fwd_2", outputs(&Config::Outputs::key_fwd_2)},
    {"key_back_2", outputs(&Config::Outputs::key_back_2)},
    {"key_left_2", outputs(&Config::Outputs::key_left_2)},
    {"key_right_2", outputs(&Config::Outputs::key_right_2)},
    {"xbox_button_2", outputs(&Config::Outputs::xbox_button_2)},
    {"steamvr_button_2", outputs(&Config::Outputs::steamvr_button_2)},
    {"openxr_button_2", outputs(&Config::Outputs::openxr_button_2)},
    {"jump_threshold", jump(&Config::Jump::jump_threshold)},
    {"jump_duration", jump(&Config::Jump::jump_duration)},
    {"jump_window", jump(&Config::Jump::jump_window)},
    {"jump_pitch_comp", jump(&Config::Jump::jump_pitch_comp)},
    {"jump_comp_axis", jump(&Config::Jump::jump_comp_axis)},
    {"jump_button", outputs(&Config::Outputs::jump_button)},
    {"jump_key", outputs(&Config::Outputs::jump_key)},
    {"jump_hook_button", outputs(&Config::Outputs::jump_hook_button)},
    {"jump_output_mode", outputs(&Config::Outputs::jump_output_mode)},
    {"jump_accel_axis", jump(&Config::Jump::jump_accel_axis)},
    {"jump_accel_threshold", jump(&Config::Jump::jump_accel_threshold)},
    {"jump_accel_smoothing", jump(&Config::Jump::jump_accel_smoothing)},
    {"jump_accel_suppress_threshold", jump(&Config::Jump::jump_accel_suppress_threshold)},
    {"squat_source", tracking(&Config::Tracking::squat_source)},
    {"squat_upper_threshold", crouch(&Config::Crouch::squat_upper_threshold)},
    {"squat_lower_threshold", crouch(&Config::Crouch::squat_lower_threshold)},
    {"squat_is_hold", crouch(&Config::Crouch::squat_is_hold)},
    {"squat_button", outputs(&Config::Outputs::squat_button)},
    {"squat_key", outputs(&Config::Outputs::squat_key)},
    {"squat_hook_button", outputs(&Config::Outputs::squat_hook_button)},
    {"squat_output_mode", outputs(&Config::Outputs::squat_output_mode)},
    {"hmd_source", tracking(&Config::Tracking::hmd_source)},
    {"tracker_source", tracking(&Config::Tracking::tracker_source)},
};

// Read after the identifiers that have legacy names.
const PersistedField kSecondGroup[] = {
    {"slime_jump_tracker_name", tracking(&Config::Tracking::slime_jump_tracker_name)},
    {"slime_orientation", locomotion(&Config::Locomotion::slime_orientation)},
    {"slime_facing", locomotion(&Config::Locomotion::slime_facing)},
    {"solarxr_port", tracking(&Config::Tracking::solarxr_port)},
    {"steamvr_tracker_id", tracking(&Config::Tracking::steamvr_tracker_id)},
    {"steamvr_tracker_name", tracking(&Config::Tracking::steamvr_tracker_name)},
    {"hook_target_serial", outputs(&Config::Outputs::hook_target_serial)},
    {"hook_target_name", outputs(&Config::Outputs::hook_target_name)},
    {"vrchat_osc_address", outputs(&Config::Outputs::vrchat_osc_address)},
    {"vrchat_osc_port", outputs(&Config::Outputs::vrchat_osc_port)},
    {"orientation", locomotion(&Config::Locomotion::orientation)},
    {"screen_facing", locomotion(&Config::Locomotion::screen_facing)},
    {"bridge_listen_all", outputs(&Config::Outputs::bridge_listen_all)},
    {"osc_listen_all", tracking(&Config::Tracking::osc_listen_all)},
};

struct AxisMapping {
  const char* rollKey;
  const char* pitchKey;
  const char* yawKey;
  int Config::Locomotion::*roll;
  int Config::Locomotion::*pitch;
  int Config::Locomotion::*yaw;
};

using Locomotion = Config::Locomotion;
const AxisMapping kPhoneMapping = {"phone_map_roll",
                                   "phone_map_pitch",
                                   "phone_map_yaw",
                                   &Locomotion::phone_map_roll,
                                   &Locomotion::phone_map_pitch,
                                   &Locomotion::phone_map_yaw};
const AxisMapping kSlimeMapping = {"slime_map_roll",
                                   "slime_map_pitch",
                                   "slime_map_yaw",
                                   &Locomotion::slime_map_roll,
                                   &Locomotion::slime_map_pitch,
                                   &Locomotion::slime_map_yaw};

// Members whose number the field cannot hold. Each is refused on its own: the
// field keeps its value, the load goes on with the next key and reports failure.
using Refusals = std::vector<std::string>;

void refuse(Refusals& refusals, const char* key) {
  refusals.push_back(std::string("value of \"") + key + "\" is out of range");
}

// An integer setting reads any JSON number or boolean, cutting fractions toward
// zero. A value outside the int range is refused rather than wrapped.
std::optional<int> readInt(const json& value, const char* key, Refusals& refusals) {
  bool inRange = true;
  if (value.is_number_float()) {
    const double number = value.get<double>();
    inRange = number > -2147483649.0 && number < 2147483648.0;  // false for NaN too
  } else if (value.is_number_unsigned()) {
    inRange = value.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<int>::max());
  } else if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    inRange = number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max();
  }
  if (!inRange) {
    refuse(refusals, key);
    return std::nullopt;
  }
  return value.get<int>();  // a wrong type throws: that stops the load
}

// A float setting takes a finite number that a float can hold; 1e39 (infinite as
// a float) or a parsed 1e999 is refused.
std::optional<float> readFloat(const json& value, const char* key, Refusals& refusals) {
  // As a typed float read: booleans count as 1 and 0, other types throw.
  const double number = value.is_boolean() ? value.get<float>() : value.get<double>();
  const float narrowed = static_cast<float>(number);
  if (!std::isfinite(number) || !std::isfinite(narrowed)) {
    refuse(refusals, key);
    return std::nullopt;
  }
  return narrowed;
}

// A choice reads the text of one of its values; other text is refused like a number
// its field cannot hold, so the file is kept before a save replaces it.
template <class E>
std::optional<E> readChoice(const json& value, const char* key, Refusals& refusals) {
  const auto text = value.get<std::string>();  // a wrong type throws: that stops the load
  const auto choice = parseChoice<E>(text);
  if (!choice) refusals.push_back(std::string("value of \"") + key + "\" is not one of its choices");
  return choice;
}

// A value read into a plain field of a Config section.
template <class T>
void readConfigField(const json& value, const char* key, T& target, Refusals& refusals) {
  if constexpr (std::is_same_v<T, int>) {
    if (const auto number = readInt(value, key, refusals)) target = *number;
  } else if constexpr (std::is_same_v<T, float>) {
    if (const auto number = readFloat(value, key, refusals)) target = *number;
  } else if constexpr (std::is_same_v<T, bool>) {
    target = value.get<bool>();
  } else if constexpr (std::is_enum_v<T>) {
    if (const auto choice = readChoice<T>(value, key, refusals)) target = *choice;
  } else {
    target = value.get<std::string>();
  }
}

void readField(const json& document, const char* key, Config& config, const FieldPointer& field, Refusals& refusals) {
  const auto member = document.find(key);
  if (member == document.end()) return;
  std::visit([&](auto pointer) { readConfigField(*member, key, pointer.of(config), refusals); }, field);
}

// Reads `key`, else the older `legacyKey`; neither present keeps the current value.
template <class Read>
void readWithLegacy(const json& document, const char* key, const char* legacyKey, Read read) {
  if (document.contains(key))
    read(document.at(key));
  else if (document.contains(legacyKey))
    read(document.at(legacyKey));
}

// The mapping keys default to fixed texts (not the current values) when missing.
void readMapping(const json& document, const AxisMapping& mapping, Config::Locomotion& locomotion) {
  const bool own = document.contains(mapping.rollKey);
  const char* keys[3] = {own ? mapping.rollKey : "map_roll", own ? mapping.pitchKey : "map_pitch",
                         own ? mapping.yawKey : "map_yaw"};
  const char* defaults[3] = {"Y", "None", "X"};
  int Config::Locomotion::*fields[3] = {mapping.roll, mapping.pitch, mapping.yaw};
  for (int i = 0; i < 3; ++i) {
    const std::string text = document.value(keys[i], std::string(defaults[i]));
    locomotion.*fields[i] = axisFromText(text);
  }
}

void readCenter(const json& document, Config::Locomotion& locomotion, Refusals& refusals) {
  const auto member = document.find("center_offset");
  if (member == document.end() || !member->is_array()) return;
  // Missing elements read as null, which is not a number: the load fails and the centre is kept.
  static const json kNull;
  std::optional<float> values[3];
  for (std::size_t i = 0; i < 3; ++i)
    values[i] = readFloat(i < member->size() ? (*member)[i] : kNull, "center_offset", refusals);
  if (values[0] && values[1] && values[2]) locomotion.center_offset = {*values[0], *values[1], *values[2]};
}

// A float that is no number is never written: the field's default stands in.
double writableFloat(float value, float fallback) {
  return static_cast<double>(std::isfinite(value) ? value : fallback);
}

json toJson(const Config& config, const FieldPointer& field) {
  return std::visit(
      [&](auto pointer) -> json {
        const auto& stored = pointer.of(config);
        using Stored = std::remove_cvref_t<decltype(stored)>;
        if constexpr (std::is_same_v<Stored, float>)
          return writableFloat(stored, pointer.fallback());
        else if constexpr (std::is_enum_v<Stored>)
          return std::string(choiceText(stored));
        else
          return stored;
      },
      field);
}

std::string withLineEnding(const std::string& text, std::string_view lineEnding) {
  if (lineEnding == "\n") return text;
  std::string converted;
  converted.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n')
      converted += lineEnding;
    else
      converted += c;
  }
  return converted;
}

// How many names a kept copy may try: ".broken", then dated, then dated and numbered.
constexpr int kKeptCopyNames = 10;

// The name for attempt `attempt` (0 to kKeptCopyNames - 1) at keeping a copy of `path`.
std::string keptCopyName(const std::string& path, std::chrono::system_clock::time_point when, int attempt) {
  std::string name = path + ".broken";
  if (attempt == 0) return name;
  using namespace std::chrono;
  const auto day = floor<days>(when);
  const year_month_day date(day);
  const hh_mm_ss time(floor<seconds>(when - day));
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "-%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  name += stamp;
  if (attempt > 1) name += "-" + std::to_string(attempt);
  return name;
}

}  // namespace

SettingsFile::SettingsFile(FolderLookup dataFolder, std::string fallbackPath, std::ostream& out, std::ostream& err,
                           WallClock now)
    : dataFolder_(std::move(dataFolder)),
      fallbackPath_(std::move(fallbackPath)),
      out_(out),
      err_(err),
      now_(std::move(now)) {}

std::string SettingsFile::path() const { return platform::joinPath(dataFolder_(), "usersettings.json"); }

bool SettingsFile::load(Settings& settings) {
  bool fromUserFile = false;
  const bool loaded = loadFrom(settings, fromUserFile);
  std::lock_guard lock(saveMutex_);
  keepBeforeWriting_ = !loaded || !fromUserFile;
  return loaded;
}

bool SettingsFile::loadFrom(Settings& settings, bool& fromUserFile) {
  std::string sourcePath = path();
  std::ifstream in(platform::utf8Path(sourcePath), std::ios::binary);
  fromUserFile = in.is_open();
  if (!in.is_open()) {
    sourcePath = fallbackPath_;
    in.open(platform::utf8Path(sourcePath), std::ios::binary);
  }
  if (!in.is_open()) {
    out_ << "[Settings] No settings file found, using defaults." << std::endl;
    return false;
  }
  out_ << "[Settings] Loading from " << sourcePath << std::endl;
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception& error) {  // a folder in the file's place, a read error
    err_ << "[Settings] Load error: " << error.what() << std::endl;
    return false;
  }
  if (!loadSettingsText(text, settings, err_)) return false;
  out_ << "[Settings] Loaded successfully." << std::endl;
  return true;
}

bool loadSettingsText(std::string_view text, Settings& settings, std::ostream& err) {
  Refusals refusals;
  // The file is read into a copy of the configuration, which replaces the stored
  // value however the load ends: fields read before a failure keep their new values.
  Config config = *settings.config.snapshot();
  struct KeepRead {
    Settings& settings;
    Config& config;
    ~KeepRead() { settings.config.replace(config); }
  } keep{settings, config};
  try {
    const json document = json::parse(text);
    if (!document.is_object()) throw std::invalid_argument("the settings file does not hold a JSON object");

    for (const auto& entry : kFirstGroup) readField(document, entry.key, config, entry.field, refusals);
    readWithLegacy(document, "slime_tracker_id", "slime_loco_id", [&](const json& v) {
      if (const auto id = readInt(v, "slime_tracker_id", refusals)) config.tracking.slime_tracker_id = *id;
    });
    readField(document, "openvr_hmd_id", config, tracking(&Config::Tracking::openvr_hmd_id), refusals);
    readWithLegacy(document, "slime_tracker_name", "slime_loco_name",
                   [&](const json& v) { config.tracking.slime_tracker_name = v.get<std::string>(); });
    for (const auto& entry : kSecondGroup) readField(document, entry.key, config, entry.field, refusals);
    readMapping(document, kPhoneMapping, config.locomotion);
    readMapping(document, kSlimeMapping, config.locomotion);
    readCenter(document, config.locomotion, refusals);
  } catch (const std::exception& error) {
    for (const std::string& refusal : refusals) err << "[Settings] Load error: " << refusal << std::endl;
    err << "[Settings] Load error: " << error.what() << std::endl;
    return false;
  }
  if (!refusals.empty()) {
    for (const std::string& refusal : refusals) err << "[Settings] Load error: " << refusal << std::endl;
    return false;
  }
  return true;
}

std::string serializeSettings(const Settings& settings) {
  const ConfigStore::Snapshot config = settings.config.snapshot();
  json document = json::object();
  for (const auto& entry : kFirstGroup) document[entry.key] = toJson(*config, entry.field);
  for (const auto& entry : kSecondGroup) document[entry.key] = toJson(*config, entry.field);
  document["slime_tracker_id"] = config->tracking.slime_tracker_id;
  document["openvr_hmd_id"] = config->tracking.openvr_hmd_id;
  document["slime_tracker_name"] = config->tracking.slime_tracker_name;
  for (const AxisMapping* mapping : {&kPhoneMapping, &kSlimeMapping}) {
    document[mapping->rollKey] = axisToText(config->locomotion.*mapping->roll);
    document[mapping->pitchKey] = axisToText(config->locomotion.*mapping->pitch);
    document[mapping->yawKey] = axisToText(config->locomotion.*mapping->yaw);
  }
  const auto& center = config->locomotion.center_offset;
  document["center_offset"] = {writableFloat(center[0], 0), writableFloat(center[1], 0), writableFloat(center[2], 0)};
  // Text that is not UTF-8 is written repaired rather than failing the save.
  return document.dump(4, ' ', false, json::error_handler_t::replace);
}

bool SettingsFile::save(const Settings& settings) {
  std::lock_guard lock(saveMutex_);
  std::string text;
  try {
    text = serializeSettings(settings);
  } catch (const std::exception& error) {
    err_ << "[Settings] Save error: " << error.what() << std::endl;
    return false;
  }
  const std::string target = path();
  if (keepBeforeWriting_) {
    if (!keepDamagedFile(target)) return false;
    keepBeforeWriting_ = false;
  }
  std::string reason;
  if (!platform::replaceFileAtomically(target, withLineEnding(text, platform::nativeLineEnding()), reason)) {
    err_ << "[Settings] Failed to open file for writing: " << target << std::endl;
    return false;
  }
  out_ << "[Settings] Saved to " << target << std::endl;
  return true;
}

bool SettingsFile::keepDamagedFile(const std::string& path) {
  const auto when = now_();
  std::string reason = "every name for the copy is taken";
  for (int attempt = 0; attempt < kKeptCopyNames; ++attempt) {
    const std::string copy = keptCopyName(path, when, attempt);
    std::string error;
    switch (platform::copyToNewFile(path, copy, error)) {
      case platform::CopyOutcome::Copied:
        out_ << "[Settings] The damaged file was kept as " << copy << std::endl;
        return true;
      case platform::CopyOutcome::SourceMissing:
        return true;  // nothing on disk that a write could destroy
      case platform::CopyOutcome::TargetExists:
        continue;  // an older copy: never overwritten
      case platform::CopyOutcome::Failed:
        reason = error;
        break;
    }
    break;
  }
  err_ << "[Settings] Could not keep the damaged file " << path << ": " << reason
       << ". It was left as it is and the settings were not saved." << std::endl;
  return false;
}

}  // namespace core
