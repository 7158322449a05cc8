#include "app/core/audio_service.h"

#include <filesystem>

namespace core {

AudioService::AudioService(const Settings& settings, platform::IAudioDevice& device, std::ostream& err,
                           std::string soundFolder)
    : settings_(settings), device_(device), err_(err), soundFolder_(std::move(soundFolder)) {}

std::string AudioService::soundPath(const std::string& name) const {
  if (!soundFolder_.empty()) {
    const std::string own = (std::filesystem::path(soundFolder_) / "audio" / name).string();
    std::error_code error;
    if (std::filesystem::is_regular_file(own, error)) return own;
  }
  return "audio/" + name;
}

int AudioService::levelFor(float v) {
  const float scaled = v * 1000.0f;
  if (!(scaled > 0.0f)) return 0;  // also NaN
  if (scaled >= 1000.0f) return 1000;
  return static_cast<int>(scaled);
}

void AudioService::setVolume(float v) {
  device_.send("setaudio mp3_feedback volume to " + std::to_string(levelFor(v)));
}

void AudioService::play(const std::string& file) {
  const ConfigStore::Snapshot config = settings_.config.snapshot();
  if (!config->program.enable_audio_feedback) return;
  std::lock_guard lock(mutex_);
  device_.send("close mp3_feedback");
  const unsigned code = device_.send("open \"" + file + "\" type mpegvideo alias mp3_feedback");
  if (code != 0) {
    std::string line = "[AudioService] Failed to open " + file;
    std::string text;
    if (device_.errorText(code, text)) line += ": " + text;
    line += " (Code: " + std::to_string(code) + ")";
    err_ << line << std::endl;
    return;
  }
  setVolume(config->program.audio_volume);
  device_.send("play mp3_feedback from 0");
}

}  // namespace core
